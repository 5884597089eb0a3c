#pragma once
// A waterfall view on screen: shows the picture the toolkit-free view composed,
// and turns mouse and keys into its operations. Left drag over the waterfall
// zooms, a left double click (or Escape / Home) returns to the whole line, the
// pointer's slant range goes to the status bar, a right double click asks for
// a target capture.

#include "display/waterfall_view.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

namespace kestrova::display::ui {

class WaterfallWidget : public QWidget {
    Q_OBJECT
  public:
    WaterfallWidget(WaterfallView& view, QWidget* parent = nullptr);

    WaterfallView& view() { return view_; }
    void setEnglish(bool english) { english_ = english; }
    // The picture as the window shows it (for snapshots and tests).
    QImage picture() const;

  signals:
    void slantText(const QString& text);
    // Right double click on the waterfall at client (x, y).
    void targetCaptureRequested(int x, int y);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool inWaterfall(const QPoint& p) const;

    WaterfallView& view_;
    bool english_ = true;
    bool dragging_ = false;
    bool leftUpward_ = false;
    QPoint dragStart_;
    QPoint dragNow_;
};

} // namespace kestrova::display::ui

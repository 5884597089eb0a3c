#pragma once
// A waterfall view on screen: shows the picture the toolkit-free view composed,
// and turns mouse and keys into its operations. Left drag over the waterfall
// zooms (the pointer is kept inside the view below the waterfall's top while
// the button is down), a left double click (or Escape / Home) returns to the
// whole line, the pointer's slant range goes to the status bar, a right double
// click on the waterfall captures a target. The channel label is drawn here in
// bold Arial, so that it reads in the interface's language.

#include "display/waterfall_view.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

namespace kestrova::display::ui {

class WaterfallWidget : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLabelPixels = 39;

    WaterfallWidget(WaterfallView& view, QWidget* parent = nullptr);

    WaterfallView& view() { return view_; }
    void setEnglish(bool english);
    // The picture as the window shows it, label included (snapshots, tests).
    QImage picture() const;

    // A zoom drag is under way.
    bool dragging() const { return dragging_; }
    // The pointer is held inside confinement() (global coordinates).
    bool cursorConfined() const { return confined_; }
    QRect confinement() const;

  signals:
    void slantText(const QString& text);
    // A target was captured by a right double click (side 0 port, 1 starboard);
    // the view has already posted 0x489 to the main frame.
    void targetCaptured(int side);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool inWaterfall(const QPoint& p) const;
    // The waterfall area a drag may cover, in widget coordinates.
    QRect dragArea() const;
    // Ends a drag without zooming and lets the pointer go.
    void endDrag();
    void drawLabel(QPainter& painter) const;

    WaterfallView& view_;
    // The window's maximised / minimised / full-screen state at the last
    // resize: a resize that comes with a change of it is that change's new
    // layout, which keeps the data window.
    Qt::WindowStates windowState_;
    bool english_ = true;
    bool dragging_ = false;
    bool confined_ = false;
    bool leftUpward_ = false;
    QPoint dragStart_;
    QPoint dragNow_;
};

} // namespace kestrova::display::ui

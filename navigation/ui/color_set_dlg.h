#pragma once
// "Color Settings": the fifteen colours of the navigation map. The caller
// copies its colours in, runs the dialog and takes them back only on OK.

#include "app/config/message.h"
#include "app/config/settings.h"

#include <QDialog>

#include <array>

class QPushButton;

namespace kestrova::navigation::ui {

class CColorSetDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kColours = 15;

    CColorSetDlg(const app::NaviSettings& colours, app::Messenger& messenger, bool english,
                 QWidget* parent = nullptr);

    // The colours as the dialog holds them (only the colour keys change).
    const app::NaviSettings& colours() const { return colours_; }
    // What the colour chooser's OK does for button i (0x00BBGGRR); false when
    // refused (white for the vessel).
    bool setColour(int i, int bgr);
    void restoreDefaults();
    QPushButton* button(int i) const { return buttons_[static_cast<std::size_t>(i)]; }

  private:
    void choose(int i);
    void paintButton(int i);

    app::NaviSettings colours_;
    app::Messenger& messenger_;
    std::array<QPushButton*, kColours> buttons_{};
};

// 0x00BBGGRR <-> QColor.
QColor fromBgr(int bgr);
int toBgr(const QColor& c);

} // namespace kestrova::navigation::ui

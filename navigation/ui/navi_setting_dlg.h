#pragma once
// "Settings" of the navigation map: coverage, targets, grid, north arrow,
// speed text and unit, the follow mode, and the colours through CColorSetDlg.

#include "app/config/message.h"
#include "app/config/settings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QRadioButton;

namespace kestrova::navigation::ui {

struct NaviSettingValues {
    app::NaviSettings settings;
    int follow = 1;
    bool showSpeed = true;
    bool showMosaic = true;
};

class CNaviSettingDlg : public QDialog {
    Q_OBJECT
  public:
    CNaviSettingDlg(const NaviSettingValues& values, app::Messenger& messenger, bool english,
                    QWidget* parent = nullptr);
    // What OK hands back (read the controls).
    NaviSettingValues values() const;

    QCheckBox* coverHF() const { return coverHF_; }
    QRadioButton* followButton(int mode) const { return follow_[static_cast<std::size_t>(mode)]; }
    QRadioButton* unitButton(int unit) const { return unit_[static_cast<std::size_t>(unit)]; }

  private:
    NaviSettingValues values_;
    app::Messenger& messenger_;
    bool english_;
    QCheckBox* coverHF_ = nullptr;
    QCheckBox* coverLF_ = nullptr;
    QCheckBox* mosaic_ = nullptr;
    QCheckBox* target_ = nullptr;
    QCheckBox* grid_ = nullptr;
    QCheckBox* compass_ = nullptr;
    QCheckBox* speed_ = nullptr;
    std::array<QRadioButton*, 3> unit_{};
    std::array<QRadioButton*, 4> follow_{};
};

} // namespace kestrova::navigation::ui

#include "navigation/ui/navi_setting_dlg.h"

#include "app/config/interface_text.h"

#include "navigation/ui/color_set_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrova::navigation::ui {

CNaviSettingDlg::CNaviSettingDlg(const NaviSettingValues& values, app::Messenger& messenger,
                                 bool english, QWidget* parent)
    : QDialog(parent), values_(values), messenger_(messenger), english_(english) {
    setWindowTitle(app::uiText("设置", english));
    auto tr = [english](const char* chinese) { return app::uiText(chinese, english); };
    auto* column = new QVBoxLayout(this);

    auto* colours = new QPushButton(tr("颜色设置"), this);
    connect(colours, &QPushButton::clicked, this, [this] {
        CColorSetDlg dlg(values_.settings, messenger_, english_, this);
        if (dlg.exec() == QDialog::Accepted) values_.settings = dlg.colours();
    });
    column->addWidget(colours);

    auto group = [&](const char* chinese) {
        auto* g = new QGroupBox(tr(chinese), this);
        g->setLayout(new QVBoxLayout());
        column->addWidget(g);
        return g;
    };
    auto check = [&](QGroupBox* g, const char* chinese, bool on) {
        auto* c = new QCheckBox(tr(chinese), g);
        c->setChecked(on);
        g->layout()->addWidget(c);
        return c;
    };
    const app::NaviSettings& s = values.settings;
    QGroupBox* cover = group("覆盖设置");
    coverHF_ = check(cover, "高频覆盖", s.coverLineHF != 0);
    coverLF_ = check(cover, "低频覆盖", s.coverLineLF != 0);
    mosaic_ = check(cover, "镶嵌图", values.showMosaic);
    QGroupBox* target = group("目标设置");
    target_ = check(target, "显示目标", s.target != 0);
    QGroupBox* view = group("视图设置");
    grid_ = check(view, "坐标网格", s.grid != 0);
    compass_ = check(view, "指北针", s.compass != 0);
    speed_ = check(view, "船速", values.showSpeed);

    QGroupBox* unit = group("速度单位");
    const char* units[3] = {"节", "米/秒", "公里/小时"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(tr(units[i]), unit);
        unit->layout()->addWidget(r);
        unit_[static_cast<std::size_t>(i)] = r;
    }
    unit_[static_cast<std::size_t>(s.shipVelFmt >= 0 && s.shipVelFmt <= 2 ? s.shipVelFmt : 0)]
        ->setChecked(true);

    QGroupBox* follow = group("船跟踪模式");
    const char* modes[4] = {"不跟踪", "视图内", "居中", "船首向上"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(tr(modes[i]), follow);
        follow->layout()->addWidget(r);
        follow_[static_cast<std::size_t>(i)] = r;
    }
    // A mode outside 0..3 is shown and taken as "In View".
    follow_[static_cast<std::size_t>(values.follow >= 0 && values.follow <= 3 ? values.follow : 1)]
        ->setChecked(true);

    auto* box = new QDialogButtonBox(this);
    box->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    box->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(box);
}

NaviSettingValues CNaviSettingDlg::values() const {
    NaviSettingValues v = values_;
    v.settings.coverLineHF = coverHF_->isChecked() ? 1 : 0;
    v.settings.coverLineLF = coverLF_->isChecked() ? 1 : 0;
    v.settings.target = target_->isChecked() ? 1 : 0;
    v.settings.grid = grid_->isChecked() ? 1 : 0;
    v.settings.compass = compass_->isChecked() ? 1 : 0;
    v.showSpeed = speed_->isChecked();
    v.showMosaic = mosaic_->isChecked();
    for (int i = 0; i < 3; ++i)
        if (unit_[static_cast<std::size_t>(i)]->isChecked()) v.settings.shipVelFmt = i;
    for (int i = 0; i < 4; ++i)
        if (follow_[static_cast<std::size_t>(i)]->isChecked()) v.follow = i;
    return v;
}

} // namespace kestrova::navigation::ui

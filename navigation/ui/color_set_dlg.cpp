#include "navigation/ui/color_set_dlg.h"

#include "app/config/interface_text.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::navigation::ui {
namespace {

struct ColourKey {
    const char* chinese;
    int app::NaviSettings::*field;
};

constexpr std::array<ColourKey, CColorSetDlg::kColours> kKeys = {{
    {"计划测线", &app::NaviSettings::surColor},
    {"选中测线", &app::NaviSettings::reSurColor},
    {"测线方向箭头", &app::NaviSettings::surArrColor},
    {"辅助实线", &app::NaviSettings::solidLineColor},
    {"辅助虚线", &app::NaviSettings::dotLineColor},
    {"测距线", &app::NaviSettings::disColor},
    {"船迹", &app::NaviSettings::trackColor},
    {"高频覆盖左", &app::NaviSettings::coverLineColorHFL},
    {"高频覆盖右", &app::NaviSettings::coverLineColorHFR},
    {"低频覆盖左", &app::NaviSettings::coverLineColorLFL},
    {"低频覆盖右", &app::NaviSettings::coverLineColorLFR},
    {"测线名", &app::NaviSettings::textColor},
    {"船", &app::NaviSettings::boatColor},
    {"视图背景", &app::NaviSettings::viewBkColor},
    {"导航信息", &app::NaviSettings::viewNaviColor},
}};
constexpr int kVessel = 12;

} // namespace

QColor fromBgr(int bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
int toBgr(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

CColorSetDlg::CColorSetDlg(const app::NaviSettings& colours, app::Messenger& messenger,
                           bool english, QWidget* parent)
    : QDialog(parent), colours_(colours), messenger_(messenger) {
    setWindowTitle(app::uiText("颜色设置", english));
    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    for (int i = 0; i < kColours; ++i) {
        auto* b =
            new QPushButton(app::uiText(kKeys[static_cast<std::size_t>(i)].chinese, english), this);
        buttons_[static_cast<std::size_t>(i)] = b;
        grid->addWidget(b, i / 3, i % 3);
        connect(b, &QPushButton::clicked, this, [this, i] { choose(i); });
        paintButton(i);
    }
    column->addLayout(grid);
    auto* box = new QDialogButtonBox(this);
    auto* restore = box->addButton(app::uiText("恢复默认", english), QDialogButtonBox::ResetRole);
    box->addButton(app::uiText("确定", english), QDialogButtonBox::AcceptRole);
    box->addButton(app::uiText("取消", english), QDialogButtonBox::RejectRole);
    connect(restore, &QPushButton::clicked, this, [this] { restoreDefaults(); });
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(box);
}

bool CColorSetDlg::setColour(int i, int bgr) {
    if (i < 0 || i >= kColours) return false;
    if (i == kVessel && (bgr & 0xFFFFFF) == 0xFFFFFF) {
        messenger_.ShowMessage("请选择与背景不同的颜色！",
                               "Please select a different color from the BACK color!",
                               app::mb::kIconWarning | app::mb::kOk);
        return false;
    }
    colours_.*(kKeys[static_cast<std::size_t>(i)].field) = bgr;
    paintButton(i);
    return true;
}

void CColorSetDlg::restoreDefaults() {
    const app::NaviSettings defaults;
    for (int i = 0; i < kColours; ++i) {
        auto field = kKeys[static_cast<std::size_t>(i)].field;
        colours_.*field = defaults.*field;
        paintButton(i);
    }
}

void CColorSetDlg::choose(int i) {
    const QColor now = fromBgr(colours_.*(kKeys[static_cast<std::size_t>(i)].field));
    const QColor picked = QColorDialog::getColor(now, this);
    if (picked.isValid()) setColour(i, toBgr(picked));
}

void CColorSetDlg::paintButton(int i) {
    QPushButton* b = buttons_[static_cast<std::size_t>(i)];
    if (b == nullptr) return;
    const QColor c = fromBgr(colours_.*(kKeys[static_cast<std::size_t>(i)].field));
    // By how bright the colour looks: yellow and cyan take black text.
    const int brightness = (299 * c.red() + 587 * c.green() + 114 * c.blue()) / 1000;
    const QColor text = brightness > 150 ? Qt::black : Qt::white;
    b->setStyleSheet(QString("background: %1; color: %2;").arg(c.name(), text.name()));
}

} // namespace kestrova::navigation::ui

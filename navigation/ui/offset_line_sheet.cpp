#include "navigation/ui/offset_line_sheet.h"

#include "app/config/interface_text.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kestrova::navigation::ui {
namespace {

QSpinBox* countBox(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, kMaxOffsetCount);
    return box;
}

QDoubleSpinBox* metresBox(QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(-100000.0, 100000.0);
    box->setDecimals(3);
    box->setSuffix(" m");
    return box;
}

} // namespace

CParallelLinePage::CParallelLinePage(bool english, QWidget* parent) : QWidget(parent) {
    auto* form = new QFormLayout(this);
    left_ = countBox(this);
    right_ = countBox(this);
    spacing_ = metresBox(this);
    left_->setObjectName("leftCount");
    right_->setObjectName("rightCount");
    spacing_->setObjectName("spacing");
    form->addRow(app::uiText("中心线左侧条数：", english), left_);
    form->addRow(app::uiText("中心线右侧条数：", english), right_);
    form->addRow(app::uiText("线间距：", english), spacing_);
    setParams(ParallelParams{});
}

ParallelParams CParallelLinePage::params() const {
    return {left_->value(), right_->value(), spacing_->value()};
}

void CParallelLinePage::setParams(const ParallelParams& p) {
    left_->setValue(p.left);
    right_->setValue(p.right);
    spacing_->setValue(p.spacing);
}

CStairStepPage::CStairStepPage(bool english, QWidget* parent) : QWidget(parent) {
    auto* form = new QFormLayout(this);
    count_ = countBox(this);
    east_ = metresBox(this);
    north_ = metresBox(this);
    count_->setObjectName("count");
    east_->setObjectName("shiftX");
    north_->setObjectName("shiftY");
    form->addRow(app::uiText("测线条数：", english), count_);
    form->addRow(app::uiText("x（东向）偏移：", english), east_);
    form->addRow(app::uiText("y（北向）偏移：", english), north_);
    setParams(ShiftParams{});
}

ShiftParams CStairStepPage::params() const {
    return {count_->value(), east_->value(), north_->value()};
}

void CStairStepPage::setParams(const ShiftParams& p) {
    count_->setValue(p.count);
    east_->setValue(p.east);
    north_->setValue(p.north);
}

COffsetLineSheet::COffsetLineSheet(const OffsetChoice& start, bool english, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(app::uiText("测线偏移", english));
    auto* column = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    parallel_ = new CParallelLinePage(english, tabs_);
    stair_ = new CStairStepPage(english, tabs_);
    parallel_->setParams(start.parallelParams);
    stair_->setParams(start.shiftParams);
    tabs_->addTab(parallel_, app::uiText("平行线", english));
    tabs_->addTab(stair_, app::uiText("阶梯偏移", english));
    showPage(start.parallel);
    column->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(app::uiText("确定", english));
    buttons->button(QDialogButtonBox::Cancel)->setText(app::uiText("取消", english));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}

void COffsetLineSheet::showPage(bool parallel) {
    tabs_->setCurrentIndex(parallel ? 0 : 1);
}

OffsetChoice COffsetLineSheet::choice() const {
    return {tabs_->currentIndex() == 0, parallel_->params(), stair_->params()};
}

} // namespace kestrova::navigation::ui

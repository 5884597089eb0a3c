#include "navigation/ui/offset_line_sheet.h"

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

const char* tr2(bool english, const char* en, const char* zh) {
    return english ? en : zh;
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
    form->addRow(tr2(english, "Lines left of center:", "中心线左侧条数："), left_);
    form->addRow(tr2(english, "Lines right of center:", "中心线右侧条数："), right_);
    form->addRow(tr2(english, "Distance between lines:", "线间距："), spacing_);
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
    form->addRow(tr2(english, "Number of lines:", "测线条数："), count_);
    form->addRow(tr2(english, "Shift in x (east):", "x（东向）偏移："), east_);
    form->addRow(tr2(english, "Shift in y (north):", "y（北向）偏移："), north_);
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
    setWindowTitle(tr2(english, "Line deviation", "测线偏移"));
    auto* column = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    parallel_ = new CParallelLinePage(english, tabs_);
    stair_ = new CStairStepPage(english, tabs_);
    parallel_->setParams(start.parallelParams);
    stair_->setParams(start.shiftParams);
    tabs_->addTab(parallel_, tr2(english, "Parallel Lines", "平行线"));
    tabs_->addTab(stair_, tr2(english, "Stair Step", "阶梯偏移"));
    showPage(start.parallel);
    column->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr2(english, "OK", "确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr2(english, "Cancel", "取消"));
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

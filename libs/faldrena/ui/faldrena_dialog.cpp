#include "libs/faldrena/ui/faldrena_dialog.h"

#include "libs/faldrena/ui/texts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kestrova::faldrena {

namespace {

// Every text is copied onto the heap: the library is unloaded right after the
// dialog, so Qt must keep nothing that points into it.
QString q(const char* text) {
    return QString::fromUtf8(text);
}
QString q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string s(const QString& text) {
    return text.toUtf8().toStdString();
}

std::string refusalText(const char* name, const std::string& reason) {
    return std::string(name) + text::kColon + reason + text::kStop;
}

template <std::size_t N> std::vector<const char*> names(const std::array<Choice, N>& list) {
    std::vector<const char*> out;
    for (const Choice& c : list)
        out.push_back(pick(c.english, c.chinese));
    return out;
}

int selected(const QComboBox* box) {
    return box->currentIndex();
}

} // namespace

void showRefusal(QWidget* parent, const std::string& message) {
    QMessageBox box(QMessageBox::Warning, q(text::kCaption), q(message), QMessageBox::NoButton,
                    parent);
    box.setObjectName("refusal");
    box.addButton(q(text::kOk), QMessageBox::AcceptRole);
    box.exec();
}

// ------------------------------------------------------------------ rows

TextRow& CTabDialog::addRow(QFormLayout* form, Text32 Record::*member, const char* key,
                            const char* label, const char* name, TextRow::Rule rule,
                            AngleKind angle) {
    TextRow row{member, name, rule, angle};
    row.label = new QLabel(q(label), this);
    row.edit = new QLineEdit(this);
    row.edit->setObjectName(key);
    if (rule == TextRow::Rule::Angle) {
        row.edit->setInputMask(q(angleInputMask(angle)));
    } else {
        row.edit->setMaxLength(kMaxTextLength);
    }
    form->addRow(row.label, row.edit);
    rows_.push_back(row);
    return rows_.back();
}

QComboBox* CTabDialog::addChoice(QFormLayout* form, const char* key, const char* label,
                                 const std::vector<const char*>& items) {
    auto* box = new QComboBox(this);
    box->setObjectName(key);
    for (const char* item : items)
        box->addItem(q(item));
    form->addRow(new QLabel(q(label), this), box);
    return box;
}

void CTabDialog::loadRows(const Record& r) {
    for (const TextRow& row : rows_) {
        const std::string stored = fieldText(r.*row.member);
        if (row.rule == TextRow::Rule::Angle) {
            row.edit->setText(q(shownAngle(row.angle, stored)));
        } else {
            row.edit->setText(q(stored.substr(0, kMaxTextLength)));
        }
    }
}

bool CTabDialog::checkRows(FieldRefusal& refusal) const {
    for (const TextRow& row : rows_) {
        // A hidden field belongs to a step that is switched off: it keeps
        // whatever it holds and the engine does not read it.
        if (row.edit->isHidden()) continue;
        const std::string typed = s(row.edit->displayText());
        if (row.rule == TextRow::Rule::Angle) {
            std::string stored;
            Refusal why;
            if (!storedAngle(row.angle, typed, stored, why)) {
                refusal = {refusalText(row.name, kEnglish ? why.english : why.chinese), row.edit};
                return false;
            }
            continue;
        }
        double v = 0;
        const bool number = parseNumber(typed, v);
        const char* reason = nullptr;
        switch (row.rule) {
        case TextRow::Rule::Positive:
            if (!number || !(v > 0)) reason = text::kNotPositive;
            break;
        case TextRow::Rule::AboveOne:
            if (!number || !(v > 1)) reason = text::kNotAboveOne;
            break;
        default:
            if (!number) reason = text::kNotNumber;
        }
        if (reason) {
            refusal = {refusalText(row.name, reason), row.edit};
            return false;
        }
    }
    return true;
}

void CTabDialog::storeRows(Record& r) const {
    for (const TextRow& row : rows_) {
        if (row.rule == TextRow::Rule::Angle) {
            std::string stored;
            Refusal why;
            // A hidden angle left incomplete keeps the record's own text.
            if (storedAngle(row.angle, s(row.edit->displayText()), stored, why))
                setField(r.*row.member, stored);
        } else if (!row.edit->isHidden()) {
            setField(r.*row.member, s(row.edit->text()));
        } else if (row.edit->isModified()) {
            // Typed before its step was switched off: kept when it is a number,
            // so switching the step on again never finds junk there.
            double v = 0;
            if (parseNumber(s(row.edit->text()), v)) setField(r.*row.member, s(row.edit->text()));
        }
    }
}

void CTabDialog::setRowShown(TextRow& row, bool shown) {
    row.label->setVisible(shown);
    row.edit->setVisible(shown);
}

// ------------------------------------------------------------- ellipsoid

CEllipsoidDlg::CEllipsoidDlg(QWidget* parent) : CTabDialog(parent) {
    auto* layout = new QVBoxLayout(this);
    std::vector<const char*> items;
    for (const Ellipsoid& e : kEllipsoids)
        items.push_back(pick(e.english, e.chinese));
    const char* prefix[2] = {"Source", "Target"};
    const char* title[2] = {text::kSource, text::kTarget};
    for (int side = 0; side < 2; ++side) {
        auto* group = new QGroupBox(q(title[side]), this);
        auto* form = new QFormLayout(group);
        const std::string p = prefix[side];
        choice_[side] = new QComboBox(group);
        choice_[side]->setObjectName(q(p + "Ellipsoid"));
        for (const char* item : items)
            choice_[side]->addItem(q(item));
        form->addRow(new QLabel(q(title[side]), group), choice_[side]);
        semimajor_[side] = new QLineEdit(group);
        semimajor_[side]->setObjectName(q(p + "Semimajor"));
        semimajor_[side]->setMaxLength(kMaxTextLength);
        form->addRow(new QLabel(q(text::kSemimajor), group), semimajor_[side]);
        flattening_[side] = new QLineEdit(group);
        flattening_[side]->setObjectName(q(p + "Flattening"));
        flattening_[side]->setMaxLength(kMaxTextLength);
        form->addRow(new QLabel(q(text::kFlattening), group), flattening_[side]);
        layout->addWidget(group);
    }
    layout->addStretch();
}

void CEllipsoidDlg::load(const Record& r) {
    const int stored[2] = {r.SourceEllipsoid, r.TargetEllipsoid};
    const std::string a[2] = {fieldText(r.SourceSemimajor), fieldText(r.TargetSemimajor)};
    const std::string f[2] = {fieldText(r.SourceFlattening), fieldText(r.TargetFlattening)};
    for (int side = 0; side < 2; ++side) {
        choice_[side]->disconnect(this);
        const int index = shownChoice(stored[side], kEllipsoids.size());
        choice_[side]->setCurrentIndex(index);
        // The stored values are shown as they are; a preset keeps them read-only.
        semimajor_[side]->setText(q(a[side].substr(0, kMaxTextLength)));
        flattening_[side]->setText(q(f[side].substr(0, kMaxTextLength)));
        semimajor_[side]->setReadOnly(index > 0);
        flattening_[side]->setReadOnly(index > 0);
        connect(choice_[side], &QComboBox::currentIndexChanged, this,
                [this, side](int i) { chosen(side, i); });
    }
}

void CEllipsoidDlg::chosen(int side, int index) {
    if (index < 0) {
        showRefusal(this, text::kEllipsoidNotSelected);
        return;
    }
    const Ellipsoid& e = kEllipsoids[static_cast<std::size_t>(index)];
    if (e.semimajor) {
        semimajor_[side]->setText(q(e.semimajor));
        flattening_[side]->setText(q(e.flattening));
    }
    semimajor_[side]->setReadOnly(e.semimajor != nullptr);
    flattening_[side]->setReadOnly(e.semimajor != nullptr);
}

bool CEllipsoidDlg::check(FieldRefusal& refusal) const {
    const char* aName[2] = {text::kSourceSemimajor, text::kTargetSemimajor};
    const char* fName[2] = {text::kSourceFlattening, text::kTargetFlattening};
    for (int side = 0; side < 2; ++side) {
        if (selected(choice_[side]) < 0) {
            refusal = {text::kEllipsoidNotSelected, choice_[side]};
            return false;
        }
        double v = 0;
        if (!parseNumber(s(semimajor_[side]->text()), v) || !(v > 0)) {
            refusal = {refusalText(aName[side], text::kNotPositive), semimajor_[side]};
            return false;
        }
        if (!parseNumber(s(flattening_[side]->text()), v) || !(v > 1)) {
            refusal = {refusalText(fName[side], text::kNotAboveOne), flattening_[side]};
            return false;
        }
    }
    return true;
}

void CEllipsoidDlg::store(Record& r) const {
    r.SourceEllipsoid = selected(choice_[0]);
    r.TargetEllipsoid = selected(choice_[1]);
    setField(r.SourceSemimajor, s(semimajor_[0]->text()));
    setField(r.SourceFlattening, s(flattening_[0]->text()));
    setField(r.TargetSemimajor, s(semimajor_[1]->text()));
    setField(r.TargetFlattening, s(flattening_[1]->text()));
}

// ------------------------------------------------------------ projection

namespace {
enum ProjectionRow { kMeridianRow, kNorthRow, kEastRow, kScaleRow, kHeightRow, kLatitudeRow };
}

CProjectionDlg::CProjectionDlg(QWidget* parent) : CTabDialog(parent) {
    auto* form = new QFormLayout(this);
    type_ = addChoice(form, "ProjectionType", text::kProjectionType, names(kProjections));
    using R = TextRow::Rule;
    addRow(form, &Record::CentralMeridian, "CentralMeridian", text::kCentralMeridian,
           text::kCentralMeridian, R::Angle, AngleKind::CentralMeridian);
    addRow(form, &Record::NorthConst, "NorthConst", text::kNorthConst, text::kNorthConst,
           R::Number);
    addRow(form, &Record::EastConst, "EastConst", text::kEastConst, text::kEastConst, R::Number);
    addRow(form, &Record::ScaleRadio, "ScaleRadio", text::kScale, text::kScale, R::Positive);
    addRow(form, &Record::ProjectonAltitude, "ProjectonAltitude", text::kProjectionHeight,
           text::kProjectionHeight, R::Number);
    addRow(form, &Record::DatumLatitude, "DatumLatitude", text::kDatumLatitude,
           text::kDatumLatitude, R::Angle, AngleKind::Latitude);
}

void CProjectionDlg::load(const Record& r) {
    type_->disconnect(this);
    loadRows(r);
    const int index = shownChoice(r.ProjectionType, kProjections.size());
    type_->setCurrentIndex(index);
    setRowShown(rows_[kLatitudeRow], index == kMercator);
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int i) { typeChanged(i); });
}

void CProjectionDlg::typeChanged(int index) {
    switch (index) {
    case kMercator:
        setRowShown(rows_[kLatitudeRow], true);
        rows_[kScaleRow].edit->setText("1.0");
        break;
    case kUtm:
        setRowShown(rows_[kLatitudeRow], false);
        rows_[kScaleRow].edit->setText("0.9996");
        break;
    case kTransverseMercator:
        setRowShown(rows_[kLatitudeRow], false);
        rows_[kNorthRow].edit->setText("0.0");
        rows_[kEastRow].edit->setText("500000.0");
        rows_[kScaleRow].edit->setText("1.0");
        rows_[kHeightRow].edit->setText("0");
        break;
    default:
        setRowShown(rows_[kLatitudeRow], false);
        showRefusal(this, text::kProjectionError);
    }
}

bool CProjectionDlg::check(FieldRefusal& refusal) const {
    if (selected(type_) < 0) {
        refusal = {text::kProjectionError, type_};
        return false;
    }
    return checkRows(refusal);
}

void CProjectionDlg::store(Record& r) const {
    r.ProjectionType = selected(type_);
    r.AddBandnumber = 0;
    r.PositiveSouth = 0;
    r.PositiveWest = 0;
    storeRows(r);
    setField(r.NorthParallel, "00000000000N");
    setField(r.SouthParallel, "00000000000N");
    setField(r.SkewAzimuth, "0");
}

// ---------------------------------------------------- datum transformation

CEllipsoidTransDlg::CEllipsoidTransDlg(QWidget* parent) : CTabDialog(parent) {
    auto* form = new QFormLayout(this);
    type_ = addChoice(form, "ETransType", text::kDatumType, names(kDatumTransforms));
    using R = TextRow::Rule;
    addRow(form, &Record::ETransDx, "ETransDx", text::kDx, text::kDx, R::Number);
    addRow(form, &Record::ETransDy, "ETransDy", text::kDy, text::kDy, R::Number);
    addRow(form, &Record::ETransDz, "ETransDz", text::kDz, text::kDz, R::Number);
    addRow(form, &Record::ETransRx, "ETransRx", text::kRx, text::kRx, R::Number);
    addRow(form, &Record::ETransRy, "ETransRy", text::kRy, text::kRy, R::Number);
    addRow(form, &Record::ETransRz, "ETransRz", text::kRz, text::kRz, R::Number);
    addRow(form, &Record::ETransSc, "ETransSc", text::kPpm, text::kPpm, R::Number);
}

void CEllipsoidTransDlg::load(const Record& r) {
    type_->disconnect(this);
    loadRows(r);
    const int index = shownChoice(r.ETransType, kDatumTransforms.size());
    type_->setCurrentIndex(index);
    showFor(index);
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int i) { showFor(i); });
}

void CEllipsoidTransDlg::showFor(int index) {
    for (TextRow& row : rows_)
        setRowShown(row, index > 0);
}

bool CEllipsoidTransDlg::check(FieldRefusal& refusal) const {
    if (selected(type_) < 0) {
        refusal = {refusalText(text::kDatumType, text::kNotSelected), type_};
        return false;
    }
    return checkRows(refusal);
}

void CEllipsoidTransDlg::store(Record& r) const {
    r.ETransType = selected(type_);
    storeRows(r);
}

// ---------------------------------------------------- plane transformation

CPlantTransDlg::CPlantTransDlg(QWidget* parent) : CTabDialog(parent) {
    auto* form = new QFormLayout(this);
    type_ = addChoice(form, "PTransType", text::kPlaneType, names(kPlaneTransforms));
    using R = TextRow::Rule;
    addRow(form, &Record::PTransDx, "PTransDx", text::kPlaneDx, text::kPlaneDx, R::Number);
    addRow(form, &Record::PTransDy, "PTransDy", text::kPlaneDy, text::kPlaneDy, R::Number);
    addRow(form, &Record::PTransRa, "PTransRa", text::kPlaneRotation, text::kPlaneRotation,
           R::Angle, AngleKind::Rotation);
    // The reverse conversion divides by the scale.
    addRow(form, &Record::PTransSc, "PTransSc", text::kPlaneScale, text::kPlaneScale, R::Positive);
}

void CPlantTransDlg::load(const Record& r) {
    type_->disconnect(this);
    loadRows(r);
    const int index = shownChoice(r.PTransType, kPlaneTransforms.size());
    type_->setCurrentIndex(index);
    showFor(index);
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int i) { showFor(i); });
}

void CPlantTransDlg::showFor(int index) {
    for (TextRow& row : rows_)
        setRowShown(row, index > 0);
}

bool CPlantTransDlg::check(FieldRefusal& refusal) const {
    if (selected(type_) < 0) {
        refusal = {refusalText(text::kPlaneType, text::kNotSelected), type_};
        return false;
    }
    return checkRows(refusal);
}

void CPlantTransDlg::store(Record& r) const {
    r.PTransType = selected(type_);
    storeRows(r);
}

// ----------------------------------------------------------- height fitting

CHeightFittingDlg::CHeightFittingDlg(QWidget* parent) : CTabDialog(parent) {
    auto* form = new QFormLayout(this);
    type_ = addChoice(form, "HFittingType", text::kFittingType, names(kHeightFittings));
    using R = TextRow::Rule;
    Text32 Record::*members[8] = {&Record::HFittingA,  &Record::HFittingB, &Record::HFittingC,
                                  &Record::HFittingD,  &Record::HFittingE, &Record::HFittingF,
                                  &Record::HFittingX0, &Record::HFittingY0};
    const char* keys[8] = {"HFittingA", "HFittingB", "HFittingC",  "HFittingD",
                           "HFittingE", "HFittingF", "HFittingX0", "HFittingY0"};
    for (int i = 0; i < 8; ++i)
        addRow(form, members[i], keys[i], text::kFittingNames[i], text::kFittingNames[i],
               R::Number);
}

void CHeightFittingDlg::load(const Record& r) {
    type_->disconnect(this);
    loadRows(r);
    const int index = shownChoice(r.HFittingType, kHeightFittings.size());
    type_->setCurrentIndex(index);
    showFor(index);
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int i) { showFor(i); });
}

void CHeightFittingDlg::showFor(int index) {
    // A for the fixed difference; A, B, C, x0, y0 for the plane; all for the surface.
    static constexpr bool shown[4][8] = {{false, false, false, false, false, false, false, false},
                                         {true, false, false, false, false, false, false, false},
                                         {true, true, true, false, false, false, true, true},
                                         {true, true, true, true, true, true, true, true}};
    for (std::size_t i = 0; i < rows_.size(); ++i)
        setRowShown(rows_[i], index > 0 && index < 4 && shown[index][i]);
}

bool CHeightFittingDlg::check(FieldRefusal& refusal) const {
    if (selected(type_) < 0) {
        refusal = {refusalText(text::kFittingType, text::kNotSelected), type_};
        return false;
    }
    return checkRows(refusal);
}

void CHeightFittingDlg::store(Record& r) const {
    r.HFittingType = selected(type_);
    storeRows(r);
}

// ---------------------------------------------------------- translation

CCoordinateTranslationDlg::CCoordinateTranslationDlg(QWidget* parent) : CTabDialog(parent) {
    auto* form = new QFormLayout(this);
    using R = TextRow::Rule;
    addRow(form, &Record::CTransDx, "CTransDx", text::kShiftX, text::kShiftX, R::Number);
    addRow(form, &Record::CTransDy, "CTransDy", text::kShiftY, text::kShiftY, R::Number);
    addRow(form, &Record::CTransDz, "CTransDz", text::kShiftH, text::kShiftH, R::Number);
}

// ----------------------------------------------------------------- page

CEllipticalSettingPage::CEllipticalSettingPage(const Record& record, QWidget* parent)
    : QWidget(parent), start_(isEmptyRecord(record) ? dialogDefaults() : record) {
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("tabs");
    // All six tabs in view: the sheet widens instead of scrolling its tab bar.
    tabs_->setUsesScrollButtons(false);
    dialogs_ = {new CEllipsoidDlg(tabs_),      new CProjectionDlg(tabs_),
                new CEllipsoidTransDlg(tabs_), new CPlantTransDlg(tabs_),
                new CHeightFittingDlg(tabs_),  new CCoordinateTranslationDlg(tabs_)};
    const char* names[6] = {"CEllipsoidDlg",  "CProjectionDlg",    "CEllipsoidTransDlg",
                            "CPlantTransDlg", "CHeightFittingDlg", "CCoordinateTranslationDlg"};
    for (std::size_t i = 0; i < dialogs_.size(); ++i) {
        dialogs_[i]->setObjectName(names[i]);
        dialogs_[i]->load(start_);
        tabs_->addTab(dialogs_[i], q(text::kTabs[i]));
    }
    layout->addWidget(tabs_);
}

bool CEllipticalSettingPage::finish(Record& out) {
    for (std::size_t i = 0; i < dialogs_.size(); ++i) {
        FieldRefusal refusal;
        if (!dialogs_[i]->check(refusal)) {
            tabs_->setCurrentIndex(static_cast<int>(i));
            showRefusal(this, refusal.message);
            if (refusal.control) refusal.control->setFocus();
            return false;
        }
    }
    Record edited = start_;
    for (CTabDialog* d : dialogs_)
        d->store(edited);
    // The caller's record receives exactly the tabs' blocks; an empty record
    // also gets the version of the values it now holds.
    for (std::size_t i = 0; i < kBlocks.size(); ++i)
        copyBlock(out, edited, i);
    if (isEmptyRecord(out)) std::memcpy(out.Version, start_.Version, sizeof out.Version);
    return true;
}

CSetEllipticalSheet::CSetEllipticalSheet(const Record& record, QWidget* parent)
    : QDialog(parent), result_(record) {
    setObjectName("CSetEllipticalSheet");
    setWindowTitle(q(text::kCaption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    page_ = new CEllipticalSettingPage(record, this);
    page_->setObjectName("CEllipticalSettingPage");
    layout->addWidget(page_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(q(text::kOk), this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    auto* cancel = new QPushButton(q(text::kCancel), this);
    cancel->setObjectName("cancel");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CSetEllipticalSheet::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CSetEllipticalSheet::accept() {
    Record out = result_;
    if (!page_->finish(out)) return;
    result_ = out;
    QDialog::accept();
}

} // namespace kestrova::faldrena

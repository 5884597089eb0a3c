#pragma once
// The coordinate settings sheet: six tabs over a working copy of the geodetic
// record. Each tab owns one block of the record; the caller's record receives
// exactly those blocks, and only when the operator finishes with OK and every
// field passes its check.

#include "libs/faldrena/geo_fields.h"

#include <QDialog>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace kestrova::faldrena {

using Record = _DefGeodetsyParameterSetting;
using Text32 = char[32];

// A reason OK was refused, and the control to put the operator in front of.
struct FieldRefusal {
    std::string message;
    QWidget* control = nullptr;
};

// One editable text of the record on a tab.
struct TextRow {
    enum class Rule { Number, Positive, AboveOne, Angle };
    Text32 Record::*member;
    const char* name; // in messages
    Rule rule;
    AngleKind angle = AngleKind::CentralMeridian;
    QLabel* label = nullptr;
    QLineEdit* edit = nullptr;
};

// What every child dialog of the sheet does.
class CTabDialog : public QWidget {
  public:
    explicit CTabDialog(QWidget* parent) : QWidget(parent) {}
    virtual void load(const Record& r) = 0;
    // False with the first refusal when the tab's values cannot be stored.
    virtual bool check(FieldRefusal& refusal) const = 0;
    // Writes the tab's fields into `r` (only its own block).
    virtual void store(Record& r) const = 0;

  protected:
    TextRow& addRow(QFormLayout* form, Text32 Record::*member, const char* key, const char* label,
                    const char* name, TextRow::Rule rule,
                    AngleKind angle = AngleKind::CentralMeridian);
    QComboBox* addChoice(QFormLayout* form, const char* key, const char* label,
                         const std::vector<const char*>& items);
    void loadRows(const Record& r);
    bool checkRows(FieldRefusal& refusal) const;
    void storeRows(Record& r) const;
    static void setRowShown(TextRow& row, bool shown);

    std::vector<TextRow> rows_;
};

class CEllipsoidDlg : public CTabDialog {
  public:
    explicit CEllipsoidDlg(QWidget* parent);
    void load(const Record& r) override;
    bool check(FieldRefusal& refusal) const override;
    void store(Record& r) const override;

  private:
    void chosen(int side, int index);
    std::array<QComboBox*, 2> choice_{};
    std::array<QLineEdit*, 2> semimajor_{};
    std::array<QLineEdit*, 2> flattening_{};
};

class CProjectionDlg : public CTabDialog {
  public:
    explicit CProjectionDlg(QWidget* parent);
    void load(const Record& r) override;
    bool check(FieldRefusal& refusal) const override;
    void store(Record& r) const override;

  private:
    void typeChanged(int index);
    QComboBox* type_ = nullptr;
};

class CEllipsoidTransDlg : public CTabDialog {
  public:
    explicit CEllipsoidTransDlg(QWidget* parent);
    void load(const Record& r) override;
    bool check(FieldRefusal& refusal) const override;
    void store(Record& r) const override;

  private:
    void showFor(int index);
    QComboBox* type_ = nullptr;
};

class CPlantTransDlg : public CTabDialog {
  public:
    explicit CPlantTransDlg(QWidget* parent);
    void load(const Record& r) override;
    bool check(FieldRefusal& refusal) const override;
    void store(Record& r) const override;

  private:
    void showFor(int index);
    QComboBox* type_ = nullptr;
};

class CHeightFittingDlg : public CTabDialog {
  public:
    explicit CHeightFittingDlg(QWidget* parent);
    void load(const Record& r) override;
    bool check(FieldRefusal& refusal) const override;
    void store(Record& r) const override;

  private:
    void showFor(int index);
    QComboBox* type_ = nullptr;
};

class CCoordinateTranslationDlg : public CTabDialog {
  public:
    explicit CCoordinateTranslationDlg(QWidget* parent);
    void load(const Record& r) override { loadRows(r); }
    bool check(FieldRefusal& refusal) const override { return checkRows(refusal); }
    void store(Record& r) const override { storeRows(r); }
};

// The single page: a tab control whose selected tab shows its dialog.
class CEllipticalSettingPage : public QWidget {
  public:
    CEllipticalSettingPage(const Record& record, QWidget* parent);
    // True with the finished record; false after telling the operator what
    // to correct (the offending tab is selected and its field focused).
    bool finish(Record& out);

  private:
    Record start_;
    QTabWidget* tabs_ = nullptr;
    std::array<CTabDialog*, 6> dialogs_{};
};

class CSetEllipticalSheet : public QDialog {
  public:
    CSetEllipticalSheet(const Record& record, QWidget* parent);
    const Record& result() const { return result_; }

    void accept() override;

  private:
    CEllipticalSettingPage* page_ = nullptr;
    Record result_;
};

// A plain message box in the build's language; the dialog stays open behind it.
void showRefusal(QWidget* parent, const std::string& message);

} // namespace kestrova::faldrena

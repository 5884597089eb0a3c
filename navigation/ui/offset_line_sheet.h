#pragma once
// The line editor's "Line deviation" sheet: parallel lines beside a two-point
// reference line, or copies of it shifted step by step.

#include "navigation/line_editor.h"

#include <QDialog>
#include <QWidget>

class QDoubleSpinBox;
class QSpinBox;
class QTabWidget;

namespace kestrova::navigation::ui {

class CParallelLinePage : public QWidget {
    Q_OBJECT
  public:
    CParallelLinePage(bool english, QWidget* parent = nullptr);
    ParallelParams params() const;
    void setParams(const ParallelParams& p);

  private:
    QSpinBox* left_ = nullptr;
    QSpinBox* right_ = nullptr;
    QDoubleSpinBox* spacing_ = nullptr;
};

class CStairStepPage : public QWidget {
    Q_OBJECT
  public:
    CStairStepPage(bool english, QWidget* parent = nullptr);
    ShiftParams params() const;
    void setParams(const ShiftParams& p);

  private:
    QSpinBox* count_ = nullptr;
    QDoubleSpinBox* east_ = nullptr;
    QDoubleSpinBox* north_ = nullptr;
};

// What the operator chose: the page shown when OK was pressed and its values.
struct OffsetChoice {
    bool parallel = true;
    ParallelParams parallelParams;
    ShiftParams shiftParams;
};

class COffsetLineSheet : public QDialog {
    Q_OBJECT
  public:
    COffsetLineSheet(const OffsetChoice& start, bool english, QWidget* parent = nullptr);
    OffsetChoice choice() const;
    CParallelLinePage* parallelPage() const { return parallel_; }
    CStairStepPage* stairStepPage() const { return stair_; }
    void showPage(bool parallel);

  private:
    QTabWidget* tabs_ = nullptr;
    CParallelLinePage* parallel_ = nullptr;
    CStairStepPage* stair_ = nullptr;
};

} // namespace kestrova::navigation::ui

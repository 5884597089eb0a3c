#pragma once
// The survey line editor: a modeless window over one ".lnw" file's lines,
// opened from the navigation view. Lines and points are typed in grid or
// geographic coordinates or clicked on the map; offsets come from the
// "Line deviation" sheet; a save hands the file to the navigation view.

#include "app/config/message.h"
#include "navigation/line_editor.h"
#include "navigation/ui/offset_line_sheet.h"
#include "position/geodesy_engine.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QTableWidget;
class QToolBar;

namespace kestrova::navigation::ui {

class CNaviFormView;

// The editor's file dialogs and its sheet; tests replace them.
struct SurLineEditHooks {
    // "Open the Line File"; empty: cancelled.
    std::function<std::string()> chooseOpenFile;
    // "Save the Line File as:"; empty: cancelled.
    std::function<std::string()> chooseSaveFile;
    // The "Line deviation" sheet; false on Cancel.
    std::function<bool(OffsetChoice&)> runOffsetSheet;
};

class CSurLineEditDlg : public QDialog {
    Q_OBJECT
  public:
    // `engine` is the program's geodesy engine; without one the editor uses
    // an engine on the default record.
    CSurLineEditDlg(CNaviFormView* view, app::Messenger& messenger, bool english,
                    const position::GeodesyEngine* engine, QWidget* parent = nullptr);
    ~CSurLineEditDlg() override;

    LineEditor& editor() { return *editor_; }
    SurLineEditHooks& hooks() { return hooks_; }

    // Shows the window and lends the working list to the view for drawing
    // and for its add-point mode.
    void showEditor();

    // The operations, as the tool bars and the menu call them.
    void newFile();
    void openFile();
    bool save();
    bool saveAs();
    void addLine();
    void deleteLine();
    void selectLine(int index);
    void pickPoints();
    void addPoint();
    void insertPoint();
    void deletePoint();
    void offsetLines();
    void setGeographic(bool geographic);

    // The input fields for typed points, and the texts shown.
    QLineEdit* firstInput() const { return first_; }
    QLineEdit* secondInput() const { return second_; }
    QListWidget* lineList() const { return lineList_; }
    QTableWidget* pointList() const { return points_; }
    QString countStatus() const;
    QString noteStatus() const;

  public slots:
    // Escape closes as the close box does: asking to save first.
    void reject() override { close(); }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void refreshLines();
    void refreshPoints();
    void refreshStatus();
    void refreshTitle();
    void pointEdited(int row, int column);
    bool writeAndSend(const std::string& path);
    void viewRedraw();
    void addPointModeChanged(bool on);

    CNaviFormView* view_;
    app::Messenger& messenger_;
    bool english_;
    std::unique_ptr<position::GeodesyEngine> ownEngine_;
    std::unique_ptr<LineEditor> editor_;
    SurLineEditHooks hooks_;
    OffsetChoice lastOffset_;
    bool filling_ = false;

    QToolBar* fileBar_ = nullptr;
    QToolBar* lineBar_ = nullptr;
    QToolBar* pointBar_ = nullptr;
    QListWidget* lineList_ = nullptr;
    QTableWidget* points_ = nullptr;
    QLineEdit* first_ = nullptr;
    QLineEdit* second_ = nullptr;
    QLabel* firstLabel_ = nullptr;
    QLabel* secondLabel_ = nullptr;
    QRadioButton* gridMode_ = nullptr;
    QRadioButton* geoMode_ = nullptr;
    QLabel* countPane_ = nullptr;
    QLabel* notePane_ = nullptr;
};

} // namespace kestrova::navigation::ui

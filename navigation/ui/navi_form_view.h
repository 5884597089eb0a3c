#pragma once
// The navigation map in the main frame's navigation pane: the planned lines,
// the vessel, its track and coverage, the grid and the compass; zoom, pan,
// turn, measure, the follow modes, the line commands and the settings.

#include "app/config/message.h"
#include "app/config/settings.h"
#include "navigation/line_operations.h"
#include "navigation/navi_model.h"
#include "navigation/ui/navi_setting_dlg.h"
#include "position/geodesy_engine.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QToolBar;

namespace kestrova::navigation::ui {

class CSurLineEditDlg;

// Tool commands of the navigation pane (message 1174).
namespace navi_command {
constexpr int kFit = 32820;
constexpr int kPan = 32821;
constexpr int kClearTrack = 32822;
constexpr int kRotatePlus = 32823;
constexpr int kRotateMinus = 32824;
constexpr int kNorthUp = 32825;
constexpr int kTurn180 = 32826;
constexpr int kMeasure = 32827;
constexpr int kPreviousLine = 32828;
constexpr int kNextLine = 32829;
constexpr int kReverseLine = 32830;
constexpr int kLineEditor = 32831;
constexpr int kImportLines = 32832;
constexpr int kCloseLines = 32833;
constexpr int kSettings = 32834;
} // namespace navi_command

// What the view needs from the program around it.
struct NaviViewHost {
    // The open project's navigation folder and project file; empty when none.
    std::function<ImportPlace()> projectPlace;
    // The program's ParaOfNavi settings (read on 1528 with 1, written on OK).
    app::NaviSettings* settings = nullptr;
    // Write ParaOfNavi into the open project's configuration file.
    std::function<void()> saveSettings;
    // The import dialog ("Import Survey Line"); tests replace it.
    std::function<std::vector<std::string>()> chooseLineFiles;
    // The settings dialog; tests replace it. Returns false on Cancel.
    std::function<bool(NaviSettingValues&)> runSettingsDialog;
    // The program's geodesy engine, for the line editor's geographic points.
    const position::GeodesyEngine* geodesy = nullptr;
};

class CNaviFormView : public QWidget {
    Q_OBJECT
  public:
    CNaviFormView(app::Messenger& messenger, bool english, NaviViewHost host,
                  QWidget* parent = nullptr);

    NaviModel& model() { return model_; }
    const NaviModel& model() const { return model_; }

    // 1174: a tool command.
    void command(int id);
    // 1528 with argument 1: settings read again and the view fitted.
    void reloadSettingsAndFit();
    // The project's CurLine at project load; Loaded or Failed.
    bool loadLineFile(const std::string& path);
    // New track points and coverage have arrived (1528 / 1168).
    void dataArrived() { update(); }

    // The line editor's working list for add-point mode (none: nullptr).
    void setEditorLines(std::vector<SurveyLine>* lines, int* selected);
    void setAddPointMode(bool on);

    // The picture as painted now, at the widget's size.
    QImage grabMap();

    // The line editor (32831), made on first use; nullptr before.
    CSurLineEditDlg* lineEditor() const { return lineEditor_; }
    ImportPlace projectPlace() const;
    // 1542: the editor closed; its list is no longer drawn or added to.
    void lineEditorClosed();

  signals:
    // A click in add-point mode added a point to the editor's selected line.
    void editorPointAdded();
    void addPointModeChanged(bool on);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void importLines();
    void openSettings();
    void clearTrack();
    void updateCursor();

    NaviModel model_;
    app::Messenger& messenger_;
    bool english_;
    NaviViewHost host_;
    QImage boat_;
    QImage boatRaw_;
    int boatColour_ = -1;
    std::vector<SurveyLine>* editorLines_ = nullptr;
    int* editorSelected_ = nullptr;
    std::optional<QPointF> dragFrom_;
    bool measuring_ = false;
    std::optional<GridPoint> cursor_;
    CSurLineEditDlg* lineEditor_ = nullptr;
};

// The navigation pane: the tool bar above the map.
class CNavigationPanelWnd : public QWidget {
    Q_OBJECT
  public:
    CNavigationPanelWnd(app::Messenger& messenger, bool english, NaviViewHost host,
                        QWidget* parent = nullptr);
    CNaviFormView* view() const { return view_; }
    QToolBar* toolBar() const { return toolbar_; }

  private:
    CNaviFormView* view_ = nullptr;
    QToolBar* toolbar_ = nullptr;
};

} // namespace kestrova::navigation::ui

#pragma once
// The target view CTargetFormView, a pane beside the waterfalls. When a
// waterfall captured a target (0x489 to the main frame, forwarded here as
// 0x48B) it names the target, writes it, lists it and shows the snapshot;
// on the picture the operator measures length, width and height, and reads
// time, ping and position under the pointer. It also keeps the description
// and offers delete, delete all, save and save all. The ".jpg" of a target is
// drawn off-screen, never copied from the screen.

#include "app/config/configuration.h"
#include "display/palette.h"
#include "platform/messages.h"
#include "targets/target_export.h"
#include "targets/target_measure.h"
#include "targets/target_store.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTreeWidget;

namespace kestrova::targets::ui {

// Messages the view handles.
constexpr std::uint32_t WM_DRAW_TARGET = 0x048A;    // draw the current snapshot
constexpr std::uint32_t WM_CREATE_TARGET = 0x048B;  // wParam: side; a target was captured
constexpr std::uint32_t WM_RELOAD_TARGETS = 0x048C; // the project changed

// What the view needs from the program.
struct TargetViewLinks {
    app::Configuration* config = nullptr;        // running number, sound speed, palettes folder
    display::TargetSnapshot* snapshot = nullptr; // the one the waterfalls capture into
    platform::MessageQueue* queue = nullptr;
    std::function<bool()> projectOpen;
    std::function<std::string()> targetFolder;
    std::function<void()> saveSettings; // section SonarSetPara of the project
    GridToGeo gridToGeo;
    TargetStore::FreeSpace freeSpace; // tests; empty: the drive's
};

class TargetCanvas;

class CTargetFormView : public QWidget {
    Q_OBJECT
  public:
    enum class Tool { None, Length, Width, Height };

    explicit CTargetFormView(TargetViewLinks links, QWidget* parent = nullptr);
    ~CTargetFormView() override;

    platform::WindowHandle handle() const { return handle_; }
    void onMessage(const platform::WindowMessage& m);

    // create_target (0x48B).
    void createTarget(std::uint32_t side);
    // show_target: the list row's ".tgt" read and drawn.
    void showTarget(int row);
    void deleteTargets();
    void deleteAllTargets();
    // "Save"; also asked by a capture before it overwrites the snapshot.
    bool saveTarget();
    void saveIfChanged();
    void saveAllTargets();
    // 0x48C: the list from "Target.idx" of the open project.
    void reloadList();
    // Draws the current snapshot (0x48A).
    void drawSnapshot();

    void startTool(Tool tool);
    // The drawing area's mouse, in its own coordinates.
    void pointerMoved(int x, int y);
    void pointerPressed(int x, int y);

    // The listed targets that have a position, in list order, for the
    // navigation map; each ".tgt" is read once per project.
    std::vector<PlacedTarget> placedTargets();

    // The drawing area rendered off-screen, as the ".jpg" holds it.
    QImage renderPicture() const;
    bool writePicture(const std::string& path) const;

    // Tests and the main frame.
    TargetStore& store() { return store_; }
    const std::string& currentName() const { return current_; }
    bool hasTarget() const { return !current_.empty() && links_.snapshot->pingCount > 0; }
    const TargetBlock& currentBlock() const { return block_; }
    QTreeWidget* list() const { return list_; }
    QWidget* canvas() const;
    QLabel* timeLabel() const { return time_; }
    QLabel* pingLabel() const { return ping_; }
    QLabel* eastLabel() const { return east_; }
    QLabel* northLabel() const { return north_; }
    QLabel* lengthLabel() const { return length_; }
    QLabel* widthLabel() const { return width_; }
    QLabel* heightLabel() const { return height_; }
    QPlainTextEdit* description() const { return description_; }
    PictureGeometry geometryFor(int width, int height) const;
    // Draws the picture into a painter over `size` (screen and ".jpg" alike).
    void paintPicture(class QPainter& painter, const QSize& size) const;

  signals:
    // The list changed: a target created, listed by a save, deleted, or the
    // project's list loaded.
    void targetsChanged();

  private:
    void buildImage();
    bool save(bool writeTgt);
    void loadPalette(int choice, bool invert);
    void fillList();
    void fillTexts(std::optional<std::uint32_t> ping, std::optional<GroundPoint> point);
    void fillMarkedTexts(bool fresh = false);
    void fillMeasureTexts(bool fresh = false);
    void clearCurrent();
    void applyBlockToControls();
    void advanceRunningNumber(std::uint32_t used);
    std::optional<std::uint32_t> pingUnder(int y) const;
    bool confirm(const std::string& zh, const std::string& en);
    app::Messenger& messenger() { return links_.config->messenger(); }
    double soundSpeed() const;
    void setRowPicture(int row, bool picture);

    TargetViewLinks links_;
    bool english_ = false; // the interface language, fixed for the run
    TargetStore store_;
    std::map<std::string, std::optional<GroundPoint>> placed_; // by target name
    platform::WindowHandle handle_ = platform::kNoWindow;

    std::string current_; // name of the current target, empty when none
    bool listed_ = false; // the current target has its row and files
    bool dirty_ = false;  // changed since it was written
    TargetBlock block_;
    display::Palette palette_;
    std::optional<std::pair<int, bool>> loadedPalette_;
    QImage image_; // the snapshot's visible spans, one row per ping, newest on top
    bool updating_ = false;

    Tool tool_ = Tool::None;
    bool rubberStarted_ = false;
    QPoint rubberStart_, rubberEnd_;
    std::optional<std::pair<QPoint, QPoint>> lengthLine_, widthLine_;
    int heightClicks_ = 0;
    bool heightDone_ = false;
    int heightRow_ = 0;
    int heightX_[3] = {0, 0, 0};

    TargetCanvas* canvas_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel *time_ = nullptr, *ping_ = nullptr, *lat_ = nullptr, *lon_ = nullptr, *east_ = nullptr,
           *north_ = nullptr, *length_ = nullptr, *width_ = nullptr, *height_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QComboBox* paletteBox_ = nullptr;
    QCheckBox* invertBox_ = nullptr;
    QSlider* strength_ = nullptr;
};

} // namespace kestrova::targets::ui

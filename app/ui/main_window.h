#pragma once
// The program's main window: the two waterfall views (HF and LF) side by side
// in a splitter, fed live from the sonar's data channel through the display
// pipelines, a toolbar and a status bar of eight panes. The docking panes, the
// commands and the rest of the status display join this frame later; the
// splitter, the toolbar and the panes are where they will go.

#include "acquisition/device_session.h"
#include "acquisition/sonar_acquisition.h"
#include "app/configuration.h"
#include "app/ui/qt_message_sink.h"
#include "display/ui/waterfall_widget.h"
#include "display/waterfall_view.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QLabel;
class QSplitter;
class QTimer;
class QToolBar;

namespace kestrova::app::ui {

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kStatusPanes = 8;

    // `drovanta` is bound and initialised; the window reads the settings and
    // the palettes from `config`'s program folder.
    MainWindow(Configuration& config, const display::DrovantaApi& drovanta,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Starts the sonar threads and connects both channels.
    bool connectSonar();

    acquisition::SonarAcquisition& acquisition() { return *acquisition_; }
    platform::MessageQueue& queue() { return queue_; }
    display::DisplayShared& displayShared() { return shared_; }
    display::WaterfallView& view(acquisition::Frequency f) {
        return f == acquisition::Frequency::HF ? *hfView_ : *lfView_;
    }
    display::ui::WaterfallWidget& waterfall(acquisition::Frequency f) {
        return f == acquisition::Frequency::HF ? *hfWidget_ : *lfWidget_;
    }
    QLabel* statusPane(int i) const { return panes_[static_cast<std::size_t>(i)]; }
    QSplitter* viewSplitter() const { return splitter_; }

    // Settings into the pipelines and palettes into the views.
    void applyDisplaySettings();

  public slots:
    void refreshStatus();

  private:
    void pump();
    void startPinging();
    void onMainMessage(const platform::WindowMessage& m);

    Configuration& config_;
    platform::MessageQueue queue_;
    std::unique_ptr<acquisition::SonarAcquisition> acquisition_;
    std::unique_ptr<acquisition::DeviceSession> session_;
    display::DisplayShared shared_;
    std::unique_ptr<display::WaterfallView> hfView_;
    std::unique_ptr<display::WaterfallView> lfView_;
    display::ui::WaterfallWidget* hfWidget_ = nullptr;
    display::ui::WaterfallWidget* lfWidget_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::array<QLabel*, kStatusPanes> panes_{};
    QTimer* heartbeatCommand_ = nullptr;
    QTimer* heartbeatData_ = nullptr;
    QTimer* statusTimer_ = nullptr;
    bool blink_ = false;
    platform::WindowHandle handle_ = platform::kNoWindow;
    QtMessageSink sink_;
};

} // namespace kestrova::app::ui

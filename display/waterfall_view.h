#pragma once
// One waterfall view without its window: the pipeline and the picture bound to
// the message queue. It registers a window handle where the receive thread
// finds it, takes its batch on WM_PING_HF / WM_PING_LF, answers the redraw,
// re-run, layout and reset messages, and posts what the pass asks for. The Qt
// view shows image() and forwards mouse and size; the headless snapshot uses
// it as it is.

#include "acquisition/ping_hand_off.h"
#include "acquisition/sonar_status.h"
#include "app/config/message.h"
#include "display/display_messages.h"
#include "display/target_capture.h"
#include "display/waterfall.h"
#include "platform/messages.h"

#include <functional>
#include <optional>
#include <string>

namespace kestrova::display {

// What a target capture needs beyond the view: the program's current
// snapshot (one for both views), whether a project is open, and the target
// view, which saves the target it shows before the snapshot is overwritten.
struct TargetCaptureLink {
    TargetSnapshot* snapshot = nullptr;
    std::function<bool()> projectOpen;
    std::function<void()> saveCurrentTarget;
};

class WaterfallView {
  public:
    WaterfallView(Frequency frequency, const DrovantaApi& drovanta, DisplayShared& shared,
                  platform::MessageQueue& queue, acquisition::PingHandOff& handOff,
                  acquisition::WindowTargets& windows);
    ~WaterfallView();
    WaterfallView(const WaterfallView&) = delete;
    WaterfallView& operator=(const WaterfallView&) = delete;

    platform::WindowHandle handle() const { return handle_; }
    void onMessage(const platform::WindowMessage& m);

    // New client size (the window's size event): new layout and the history
    // redrawn; then the HF view posts the data-window resets the view mode
    // asks for (0x48E to itself unless LF only, 0x48F to the LF view when
    // both show), so a zoom ends with the resize.
    void resize(int width, int height);
    // A layout the main frame asked for (0x473 / 0x474): the same without
    // resets; a view that is not zoomed still shows the whole line, as high as
    // the new waterfall.
    void relayout(int width, int height);
    // The main frame's view mode (FrequencyLayout: 0 HF only, 1 LF only, 2 both).
    void setViewMode(int frequencyLayout) { viewMode_ = frequencyLayout; }
    int viewMode() const { return viewMode_; }
    // Called after every composition (the window repaints).
    void setComposed(std::function<void()> composed) { composed_ = std::move(composed); }
    // While the bottom-tracking page is open the range change is announced.
    void setBottomPageOpen(bool open) { bottomPageOpen_ = open; }

    // The acquisition's flags; the traces turn orange while the sonar runs.
    void setSonarStatus(const acquisition::SonarStatus* status) { sonarStatus_ = status; }

    // Where the palette files lie and who tells the operator about a bad one.
    // Loads this view's palette by the current settings at once; afterwards
    // the redraw and re-run messages (what the display settings page posts
    // after storing a choice) reload it whenever palette choice or inversion
    // changed. A file that fails is not retried until the choice changes again.
    void setPaletteSource(std::string folder, app::Messenger* messenger);
    // Applies the display settings of this channel: palette and inversion
    // (reloaded only on a change), label by device kind. True when the
    // palette was read anew.
    bool applyDisplaySettings();

    // The channel label in the interface language ("HF" / "LF" or the Chinese).
    std::string channelLabel(bool english) const;

    // Target capture (right double click on the waterfall at client x, y).
    void setTargetCapture(TargetCaptureLink link) { capture_ = std::move(link); }
    // The per-ping position records the navigation side keeps beside the ring.
    PositionRing& positionRing() { return positions_; }
    // Copies the lines around the pointer into the current snapshot and posts
    // 0x489 with the side to the main frame; the side, or nothing when no
    // capture happens.
    std::optional<std::uint32_t> captureTarget(int x, int y);

    // Pointer over the waterfall at client column x: the status-bar text.
    std::string slantReadout(int x, bool english) const;
    // A finished left drag in client coordinates; true when the view zoomed.
    bool zoom(int x0, int y0, int x1, int y1, bool leftUpward);
    // Double click: back to the whole line.
    void unzoom();

    ViewPipeline& pipeline() { return pipeline_; }
    Waterfall& waterfall() { return waterfall_; }
    const RgbImage& image() const { return waterfall_.image(); }
    std::uint64_t passes() const { return passes_; }

  private:
    void runPass();

    Frequency frequency_;
    ViewMessages ids_;
    platform::MessageQueue& queue_;
    acquisition::PingHandOff& handOff_;
    acquisition::WindowTargets& windows_;
    ViewPipeline pipeline_;
    Waterfall waterfall_;
    platform::WindowHandle handle_ = platform::kNoWindow;
    std::function<void()> composed_;
    bool bottomPageOpen_ = false;
    int viewMode_ = 2;
    bool atMinimumWidth_ = false;
    bool atMinimumHeight_ = false;
    std::uint64_t passes_ = 0;
    const acquisition::SonarStatus* sonarStatus_ = nullptr;
    std::string paletteFolder_;
    app::Messenger* messenger_ = nullptr;
    bool havePaletteSource_ = false;
    std::optional<std::pair<int, bool>> appliedPalette_;
    TargetCaptureLink capture_;
    PositionRing positions_;
};

} // namespace kestrova::display

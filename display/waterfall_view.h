#pragma once
// One waterfall view without its window: the pipeline and the picture bound to
// the message queue. It registers a window handle where the receive thread
// finds it, takes its batch on WM_PING_HF / WM_PING_LF, answers the redraw,
// re-run, layout and reset messages, and posts what the pass asks for. The Qt
// view shows image() and forwards mouse and size; the headless snapshot uses
// it as it is.

#include "acquisition/ping_hand_off.h"
#include "display/display_messages.h"
#include "display/waterfall.h"
#include "platform/messages.h"

#include <functional>
#include <string>

namespace kestrova::display {

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

    // New client size: new layout, data window reset, history redrawn.
    void resize(int width, int height);
    // Called after every composition (the window repaints).
    void setComposed(std::function<void()> composed) { composed_ = std::move(composed); }
    // While the bottom-tracking page is open the range change is announced.
    void setBottomPageOpen(bool open) { bottomPageOpen_ = open; }

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
    bool atMinimumWidth_ = false;
    bool atMinimumHeight_ = false;
    std::uint64_t passes_ = 0;
};

} // namespace kestrova::display

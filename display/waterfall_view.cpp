#include "display/waterfall_view.h"

namespace kestrova::display {

WaterfallView::WaterfallView(Frequency frequency, const DrovantaApi& drovanta,
                             DisplayShared& shared, platform::MessageQueue& queue,
                             acquisition::PingHandOff& handOff, acquisition::WindowTargets& windows)
    : frequency_(frequency), ids_(viewMessages(frequency)), queue_(queue), handOff_(handOff),
      windows_(windows), pipeline_(frequency, drovanta, shared), waterfall_(pipeline_) {
    pipeline_.setTarget(&waterfall_);
    handle_ = queue_.registerWindow([this](const platform::WindowMessage& m) { onMessage(m); });
    windows_.view(frequency_) = handle_;
}

WaterfallView::~WaterfallView() {
    windows_.view(frequency_).compare_exchange_strong(handle_, platform::kNoWindow);
    queue_.unregisterWindow(handle_);
}

void WaterfallView::onMessage(const platform::WindowMessage& m) {
    if (m.id == ids_.batch) {
        if (pipeline_.intake(handOff_) == 0) return; // nothing pending: nothing new to draw
        runPass();
    } else if (m.id == ids_.redraw) {
        applyDisplaySettings();
        pipeline_.setRedrawFlag();
        runPass();
    } else if (m.id == ids_.rerun) {
        applyDisplaySettings();
        runPass();
    } else if (m.id == ids_.layout) {
        const ViewLayout l = waterfall_.viewLayout();
        relayout(l.width, l.height);
    } else if (m.id == ids_.resetWindow) {
        pipeline_.resetDataWindow();
        pipeline_.setRedrawFlag();
        runPass();
    }
}

void WaterfallView::setPaletteSource(std::string folder, app::Messenger* messenger) {
    paletteFolder_ = std::move(folder);
    messenger_ = messenger;
    havePaletteSource_ = true;
    appliedPalette_.reset();
    applyDisplaySettings();
}

bool WaterfallView::applyDisplaySettings() {
    const DisplayPipelineSettings& s = pipeline_.shared().settings;
    const auto i = static_cast<std::size_t>(acquisition::index(frequency_));
    waterfall_.setLabelShown(!(frequency_ == Frequency::HF && s.deviceKind == 1));
    if (!havePaletteSource_) return false;
    const std::pair<int, bool> wanted{s.palette[i], s.invert[i]};
    if (appliedPalette_ == wanted) return false;
    // Remembered even when the file fails, so that the operator is told once
    // per choice and not on every redraw.
    appliedPalette_ = wanted;
    return waterfall_.palette().load(paletteFolder_, wanted.first, wanted.second,
                                     messenger_ ? *messenger_ : app::defaultMessenger());
}

std::string WaterfallView::channelLabel(bool english) const {
    if (frequency_ == Frequency::HF) return english ? "HF" : "高频";
    return english ? "LF" : "低频";
}

std::optional<std::uint32_t> WaterfallView::captureTarget(int x, int y) {
    if (!capture_.snapshot) return std::nullopt;
    const ViewLayout& l = waterfall_.viewLayout();
    const DisplayPipelineSettings& s = pipeline_.shared().settings;
    const auto i = static_cast<std::size_t>(acquisition::index(frequency_));
    CaptureRequest req;
    req.x = x;
    req.y = y;
    req.waterfallTop = ViewLayout::kWaterfallTop;
    req.waterfallWidth = l.width;
    req.waterfallHeight = l.waterfallHeight;
    req.projectOpen = capture_.projectOpen && capture_.projectOpen();
    req.palette = s.palette[i];
    req.invert = s.invert[i];
    req.strength = s.strength[i];
    const auto side = display::captureTarget(pipeline_, positions_, req, *capture_.snapshot,
                                             capture_.saveCurrentTarget);
    if (side) queue_.post(windows_.mainFrame.load(), WM_TARGET_CAPTURED, *side, 0);
    return side;
}

void WaterfallView::runPass() {
    waterfall_.setSonarStateFlag(sonarStatus_ && sonarStatus_->sonarRunning.load());
    waterfall_.setLabelShown(
        !(frequency_ == Frequency::HF && pipeline_.shared().settings.deviceKind == 1));
    const PassResult r = pipeline_.processPass();
    ++passes_;
    const platform::WindowHandle main = windows_.mainFrame.load();
    if (r.rangeChecked && bottomPageOpen_) queue_.post(main, WM_RANGE_CHANGED);
    if (r.bottomStatusDue) queue_.post(main, ids_.bottomStatus);
    if (r.sampleCountChanged) queue_.post(handle_, ids_.redraw);
    if (composed_) composed_();
}

void WaterfallView::relayout(int width, int height) {
    waterfall_.layout(width, height);
    // A view showing the whole line goes on showing all of it, as many lines
    // as the new waterfall has rows: no reset message comes after a maximise,
    // a restore, or a resize in the LF-only mode, and a double click does
    // nothing on a view that is not zoomed. A zoom is the operator's and stays.
    if (!pipeline_.zoomed()) pipeline_.resetDataWindow();
    pipeline_.setRedrawFlag();
    runPass();
}

void WaterfallView::resize(int width, int height) {
    relayout(width, height);
    if (frequency_ != Frequency::HF) return;
    constexpr int kLfOnly = 1;
    constexpr int kBoth = 2;
    // The HF view speaks for both: the LF view resets only when it shows beside it.
    if (viewMode_ != kLfOnly) {
        const platform::WindowHandle self = windows_.hfView.load();
        queue_.post(self != platform::kNoWindow ? self : handle_, WM_RESET_WINDOW_HF);
    }
    if (viewMode_ == kBoth) queue_.post(windows_.lfView.load(), WM_RESET_WINDOW_LF);
}

std::string WaterfallView::slantReadout(int x, bool english) const {
    const double slant = slantUnderPointer(x, waterfall_.viewLayout().width, pipeline_.dataWindow(),
                                           pipeline_.soundSpeed(), pipeline_.newestSampleRate());
    return slantText(slant, english);
}

bool WaterfallView::zoom(int x0, int y0, int x1, int y1, bool leftUpward) {
    const ViewLayout& l = waterfall_.viewLayout();
    ZoomDrag d{x0, y0 - ViewLayout::kWaterfallTop, x1, y1 - ViewLayout::kWaterfallTop, leftUpward};
    DataWindow& w = pipeline_.dataWindow();
    if (!applyZoom(w, d, l.width, l.waterfallHeight, pipeline_.samplesPerSide(), atMinimumWidth_,
                   atMinimumHeight_))
        return false;
    pipeline_.setZoomed(true);
    pipeline_.setRedrawFlag();
    runPass();
    return true;
}

void WaterfallView::unzoom() {
    if (!pipeline_.zoomed()) return;
    atMinimumWidth_ = atMinimumHeight_ = false;
    pipeline_.resetDataWindow();
    pipeline_.setRedrawFlag();
    runPass();
}

} // namespace kestrova::display

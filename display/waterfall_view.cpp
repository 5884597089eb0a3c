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
        pipeline_.setRedrawFlag();
        runPass();
    } else if (m.id == ids_.rerun) {
        runPass();
    } else if (m.id == ids_.layout) {
        const ViewLayout l = waterfall_.viewLayout();
        resize(l.width, l.height);
    } else if (m.id == ids_.resetWindow) {
        pipeline_.resetDataWindow();
        pipeline_.setRedrawFlag();
        runPass();
    }
}

void WaterfallView::runPass() {
    const PassResult r = pipeline_.processPass();
    ++passes_;
    const platform::WindowHandle main = windows_.mainFrame.load();
    if (r.rangeChecked && bottomPageOpen_) queue_.post(main, WM_RANGE_CHANGED);
    if (r.bottomStatusDue) queue_.post(main, ids_.bottomStatus);
    if (r.sampleCountChanged) queue_.post(handle_, ids_.redraw);
    if (composed_) composed_();
}

void WaterfallView::resize(int width, int height) {
    waterfall_.layout(width, height);
    pipeline_.resetDataWindow();
    pipeline_.setRedrawFlag();
    runPass();
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

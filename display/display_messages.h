#pragma once
// Window messages of the two waterfall views. The batch messages themselves
// (WM_PING_HF / WM_PING_LF) are the acquisition side's.

#include "acquisition/frame_format.h"
#include "acquisition/sonar_messages.h"

#include <cstdint>

namespace kestrova::display {

using acquisition::Frequency;

// To a view: redraw the history with the redraw flag set.
constexpr std::uint32_t WM_REDRAW_HF = 0x0471;
constexpr std::uint32_t WM_REDRAW_LF = 0x0472;
// To a view: run the pass as the flags stand (project loading, parameter page).
constexpr std::uint32_t WM_RERUN_HF = 0x046F;
constexpr std::uint32_t WM_RERUN_LF = 0x0470;
// To a view: the main frame rearranged the views.
constexpr std::uint32_t WM_LAYOUT_HF = 0x0473;
constexpr std::uint32_t WM_LAYOUT_LF = 0x0474;
// To a view: data window back to the whole line.
constexpr std::uint32_t WM_RESET_WINDOW_HF = 0x048E;
constexpr std::uint32_t WM_RESET_WINDOW_LF = 0x048F;
// To the main window: bottom tracking status after a batch (same numbers as
// the ping parameter refresh of the acquisition side).
constexpr std::uint32_t WM_BOTTOM_STATUS_HF = acquisition::WM_PING_PARAM_HF;
constexpr std::uint32_t WM_BOTTOM_STATUS_LF = acquisition::WM_PING_PARAM_LF;
// To the main window: a target was captured (wParam: side value).
constexpr std::uint32_t WM_TARGET_CAPTURED = 0x0489;
// To the main window: the sample count per side changed.
constexpr std::uint32_t WM_RANGE_CHANGED = 0x048D;

struct ViewMessages {
    std::uint32_t batch, redraw, rerun, layout, resetWindow, bottomStatus;
};

inline ViewMessages viewMessages(Frequency f) {
    if (f == Frequency::HF)
        return {acquisition::WM_PING_HF, WM_REDRAW_HF,       WM_RERUN_HF, WM_LAYOUT_HF,
                WM_RESET_WINDOW_HF,      WM_BOTTOM_STATUS_HF};
    return {acquisition::WM_PING_LF, WM_REDRAW_LF,       WM_RERUN_LF, WM_LAYOUT_LF,
            WM_RESET_WINDOW_LF,      WM_BOTTOM_STATUS_LF};
}

} // namespace kestrova::display

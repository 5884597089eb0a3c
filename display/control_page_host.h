#pragma once
// What the display pages of the "Control" pane ("Display settings", "Altitude
// Tracker", "Status information") need from the program around them: where
// the open project keeps its settings, and a way to have a waterfall redrawn.

#include "acquisition/frame_format.h"

#include <optional>
#include <string>

namespace kestrova::display {

using acquisition::Frequency;

class ControlPageHost {
  public:
    virtual ~ControlPageHost() = default;
    // The open project's configuration file; nullopt while no project is open.
    virtual std::optional<std::string> projectConfigPath() const = 0;
    // The view's redraw message (0x471 HF, 0x472 LF), which redraws its
    // history with the current settings and reloads a changed palette.
    virtual void redrawView(Frequency f) = 0;
};

} // namespace kestrova::display

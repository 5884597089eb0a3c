#pragma once
// The operator's settings as the waterfall views' display pipelines read
// them: one mapping for the live session and for the command line's XTF
// export, so a recording converted after the survey draws (and writes XTF)
// as the program would have while it ran.

#include "app/config/configuration.h"
#include "display/display_state.h"
#include "display/waterfall.h"

namespace kestrova::app {

// What the pipelines compute with: sound speed, bottom tracking and its
// source, the altitude alarm, the back strengths. These decide the XTF lines.
void applyProcessingSettings(const Configuration& config, display::DisplayPipelineSettings& d);

// What only the pictures use: palettes, inversion, the model's frequencies.
void applyPictureSettings(const Configuration& config, display::DisplayPipelineSettings& d);

// The amplitude strip's full-scale settings (SysCfg.ini, section Max).
display::FullScaleSettings fullScaleSettings(const Configuration& config);

} // namespace kestrova::app

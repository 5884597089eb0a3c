#pragma once
// The display step of the XTF export: one ping in, its history line out (the
// ping header and the 16-bit port and starboard display lines), made with
// Drovanta through the program's binding with the values the waterfall views
// pass. The views' own pipeline replaces this step once it exists; until then
// the export tool calls it directly, so it must keep to the views' rules:
// first index = fs / c, step 1, mean detector, full scales 2^32-1 and 32767,
// gain states per frequency and side that restart on a settings change, the
// HF bottom from pair A and the LF bottom from pair B of depth_select_filter.

#include "acquisition/frame_format.h"
#include "acquisition/xtf_writer.h"
#include "display/drovanta_api.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kestrova::cli {

class ExportDisplayStep {
  public:
    explicit ExportDisplayStep(const display::DrovantaApi& drovanta);

    void setSoundSpeed(float metresPerSecond) { soundSpeed_ = metresPerSecond; }
    // Bottom-tracking source: 0 HF, 1 LF (which view's altitude is current).
    void setBottomSource(int source) { bottomSource_ = source; }

    // Processes one ping into the frequency's history line; the returned
    // input points into that line and stays valid until the next call for the
    // same frequency.
    acquisition::XtfPingInput process(const acquisition::PingRecord& ping, float sampleRate,
                                      bool settingsChanged);
    // The same from a drained PingBatch: the ping's 228 header bytes and its
    // port and starboard amplitudes (PingBatchData::firstPart after the 57
    // header words, secondPart without the trailer word).
    acquisition::XtfPingInput process(acquisition::Frequency frequency,
                                      std::span<const std::uint8_t> header,
                                      std::span<const std::uint32_t> port,
                                      std::span<const std::uint32_t> starboard, float sampleRate,
                                      bool settingsChanged);
    float currentAltitude() const { return altitude_; }

  private:
    struct Side {
        std::vector<float> gain;
        std::uint32_t bottom = 0;
        float strength = 0.0f;
    };

    const display::DrovantaApi& drovanta_;
    float soundSpeed_ = 1500.0f;
    int bottomSource_ = 0;
    float altitude_ = 0.0f;
    std::array<std::array<Side, 2>, 2> sides_;        // [frequency][port, starboard]
    std::array<std::vector<std::uint16_t>, 2> lines_; // one history line per frequency
    std::vector<std::uint32_t> portIn_, starboardIn_;
};

} // namespace kestrova::cli

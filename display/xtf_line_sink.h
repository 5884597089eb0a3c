#pragma once
// The XTF writer behind the waterfall pipelines: each finished history line
// becomes one ping record of the frequency's file, with the position its
// source gives at that moment and the current altitude of the shared display
// state. The live session and the export tool use this one sink; they differ
// only in where the position comes from (the navigation's recording snapshot,
// or the position records of a recording in file order).

#include "acquisition/xtf_writer.h"
#include "display/display_state.h"
#include "display/view_pipeline.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::display {

struct PingPosition {
    double latitude = 0.0;
    double longitude = 0.0;
};

// Where a written ping's position comes from.
class PingPositionSource {
  public:
    virtual ~PingPositionSource() = default;
    virtual PingPosition pingPosition() const = 0;
};

// A position set by its owner (the export: the last position record read).
class HeldPosition : public PingPositionSource {
  public:
    PingPosition pingPosition() const override { return position_; }
    void set(PingPosition p) { position_ = p; }

  private:
    PingPosition position_;
};

class XtfLineSink : public DisplayLineSink {
  public:
    XtfLineSink(acquisition::XtfWriter& writer, const DisplayProcessingState& processing,
                const PingPositionSource& position)
        : writer_(writer), processing_(processing), position_(position) {}

    // Nothing is written while the writer's recording flag is off.
    void writeLine(std::span<const std::uint8_t, HistoryRing::kLineBytes> line,
                   int channel) override;

  private:
    acquisition::XtfWriter& writer_;
    const DisplayProcessingState& processing_;
    const PingPositionSource& position_;
    std::vector<std::uint16_t> port_, starboard_;
};

} // namespace kestrova::display

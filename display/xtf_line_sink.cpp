#include "display/xtf_line_sink.h"

namespace kestrova::display {

void XtfLineSink::writeLine(std::span<const std::uint8_t, HistoryRing::kLineBytes> line,
                            int channel) {
    if (!writer_.recording()) return;
    const auto input = acquisition::xtfInputFromHistoryLine(line, port_, starboard_);
    if (!input) return;
    const PingPosition p = position_.pingPosition();
    acquisition::XtfPingContext context;
    context.latitude = p.latitude;
    context.longitude = p.longitude;
    context.altitude = static_cast<float>(processing_.currentAltitude);
    writer_.write_xtf_ping(channel, *input, context);
}

} // namespace kestrova::display

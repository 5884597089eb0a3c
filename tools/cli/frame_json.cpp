#include "tools/cli/frame_json.h"

namespace kestrova::cli {

using namespace kestrova::acquisition;

std::string pingLine(Frequency f, const PingHeader& h, std::uint32_t portCount,
                     std::uint32_t starboardCount, float sampleRate, std::uint8_t settingsChanged) {
    JsonLine j;
    j.str("kind", "ping")
        .str("freq", frequencyName(f))
        .unum("ping", h.pingNumber)
        .unum("port", portCount)
        .unum("stbd", starboardCount)
        .unum("year", h.year)
        .unum("month", h.month)
        .unum("day", h.day)
        .unum("hour", h.hour)
        .unum("minute", h.minute)
        .unum("second", h.second)
        .unum("usec", h.microseconds)
        .real("rate", sampleRate, 1)
        .unum("changed", settingsChanged)
        .num("roll", h.roll)
        .num("pitch", h.pitch)
        .num("heave", h.heave)
        .unum("heading", h.heading);
    return j.text();
}

std::string attitudeLine(const AttitudeRecord& a) {
    JsonLine j;
    j.str("kind", "attitude")
        .num("roll", a.roll)
        .num("pitch", a.pitch)
        .num("heave", a.heave)
        .unum("heading", a.heading);
    return j.text();
}

std::string summaryLine(std::uint64_t bytes, std::uint64_t hf, std::uint64_t lf,
                        std::uint64_t attitude, std::uint64_t dropped) {
    JsonLine s;
    s.unum("bytes", bytes)
        .unum("hf", hf)
        .unum("lf", lf)
        .unum("attitude", attitude)
        .unum("dropped", dropped);
    return JsonLine().object("summary", s).text();
}

} // namespace kestrova::cli

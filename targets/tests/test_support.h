#pragma once
// A small synthetic capture for the target tests: N pings of one side, dated
// headers and position records that match them, on a track with a given
// heading.

#include "acquisition/frame_format.h"
#include "display/target_capture.h"
#include "position/ping_position_record.h"
#include "position/time_stamp.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kestrova::targets::testing {

struct TempFolder {
    TempFolder() {
        char pattern[] = "/tmp/kestrova_targets_XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

struct TrackSpec {
    double easting = 500000.0;
    double northing = 3400000.0;
    double heading = 0.0; // north-going
    std::uint32_t sampleRate = 50000;
    std::uint8_t decimation = 1;
};

// N pings of `count` samples on side `side`, 14:25:01 on 31 Jan 2024, one per
// second from there; records on a straight track, range 50 m, swath 50 m.
inline void fillSnapshot(display::TargetSnapshot& s, std::uint32_t n, std::uint32_t side,
                         std::uint32_t count, const TrackSpec& track = {}) {
    s.pingCount = n;
    s.side = side;
    s.sampleCount = count;
    s.markSet = true;
    s.markedPing = n / 2;
    s.markedSample = count / 4;
    s.pingsAfterMark = n - s.markedPing;
    s.palette = 2;
    s.invert = true;
    s.strength = 40;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint16_t* row =
            s.samples.get() + std::size_t{i} * display::TargetSnapshot::kRowSamples;
        for (std::uint32_t j = 0; j < display::TargetSnapshot::kRowSamples; ++j)
            row[j] = static_cast<std::uint16_t>(j < count ? (i * 7 + j) & 0x7FFF : 0xBEEF);
        acquisition::PingHeader h;
        h.year = 2024;
        h.month = 1;
        h.day = 31;
        h.hour = 14;
        h.minute = 25;
        h.second = static_cast<std::uint8_t>(1 + i);
        h.microseconds = 250000;
        h.pingNumber = 1000 + i;
        h.layoutMarker = acquisition::PingHeader::kLayoutMarker;
        for (auto* b : {&h.port, &h.starboard}) {
            b->sampleRate = track.sampleRate;
            b->decimation = track.decimation;
            b->sampleCount = count;
        }
        std::uint8_t* header = s.headers.get() + std::size_t{i} * 228;
        std::fill(header, header + 228, 0);
        h.encode({header, 228});
        PingPositionRecord r;
        r.time = epochSeconds(CivilDate{2024, 1, 31}, 14, 25, 1.0 + i + 0.25);
        r.valid = true;
        r.easting = track.easting;
        r.northing = track.northing + i;
        r.heading = track.heading;
        r.range = 50.0;
        r.swathPort = 50.0;
        r.swathStarboard = 50.0;
        r.pingNumber = h.pingNumber;
        r.encode({s.positions.get() + std::size_t{i} * 136, 136});
    }
}

} // namespace kestrova::targets::testing

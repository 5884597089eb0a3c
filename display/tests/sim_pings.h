#pragma once
// Simulated pings for the display tests: frames from the sonar simulator's own
// stream model, put into a PingBatch the way the receive thread does.

#include "acquisition/ping_batch.h"
#include "display/drovanta_api.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace kestrova::display::test {

inline std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

class SimPings {
  public:
    explicit SimPings(sim::SonarStreamConfig config) : config_(config), stream_(config) {}

    // Time of ping k (counted from 0) since the start of the stream.
    double time(std::uint32_t k) const { return k * stream_.pingPeriod(); }
    double alongTrack(std::uint32_t k) const { return config_.towSpeed * time(k); }
    const sim::SeabedModel& seabed() const { return stream_.seabed(); }

    // Appends ping k of one frequency (ping number k + 1); the first ping of
    // the run carries the settings-changed flag.
    bool append(acquisition::PingBatch& batch, bool hf, std::uint32_t k) {
        frames_.push_back(stream_.pingFrame(hf, k + 1, time(k)));
        auto ping = acquisition::PingRecord::fromFrame(frames_.back());
        if (!ping) return false;
        const bool ok =
            batch.append(*ping, ping->header().port.effectiveSampleRate(), first_ ? 1 : 0);
        first_ = false;
        if (frames_.size() > 64) frames_.erase(frames_.begin(), frames_.begin() + 32);
        return ok;
    }
    void restartSettings() { first_ = true; }

  private:
    sim::SonarStreamConfig config_;
    sim::SonarStream stream_;
    std::vector<std::vector<std::uint8_t>> frames_;
    bool first_ = true;
};

inline sim::SonarStreamConfig hfOnly(std::uint32_t samples = 0) {
    sim::SonarStreamConfig c;
    c.lf = false;
    c.samplesPerSide = samples;
    return c;
}

} // namespace kestrova::display::test

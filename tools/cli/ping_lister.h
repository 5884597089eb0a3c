#pragma once
// The live commands' ping listing: a frequency's batch drained on its ping
// message and one `frames`-style line printed per ping.

#include "acquisition/ping_batch.h"
#include "acquisition/sonar_acquisition.h"
#include "tools/cli/frame_json.h"

#include <functional>
#include <memory>
#include <string>

namespace kestrova::cli {

class PingLister {
  public:
    PingLister(acquisition::SonarAcquisition& acq, std::function<void(const std::string&)> print)
        : acq_(acq), print_(std::move(print)),
          copy_(std::make_unique<acquisition::PingBatchData>()) {}

    void take(acquisition::Frequency f) {
        acq_.handOff().drain(f, *copy_);
        for (std::uint32_t i = 0; i < copy_->pingCount; ++i) {
            auto h = copy_->header(i);
            if (!h) continue;
            print_(pingLine(f, *h, copy_->portCount(i), copy_->starboardCount(i),
                            copy_->sampleRate[i], copy_->settingsChanged[i]));
            ++pings[acquisition::index(f)];
        }
    }
    std::uint64_t pings[acquisition::kFrequencyCount] = {0, 0};

  private:
    acquisition::SonarAcquisition& acq_;
    std::function<void(const std::string&)> print_;
    std::unique_ptr<acquisition::PingBatchData> copy_;
};

} // namespace kestrova::cli

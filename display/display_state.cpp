#include "display/display_state.h"

#include <utility>

namespace kestrova::display {

DisplayProcessingState::DisplayProcessingState() {
    for (auto& g : gain_)
        g.reset(new float[kGainLength]());
}

void PingTimeHistory::append(const PingTimeRecord& r) {
    if (records_.capacity() == 0) records_.reserve(kMaxRecords);
    // Undated pings (time 0) or a sonar clock set back never span 10 s.
    if (records_.size() >= kMaxRecords) records_.clear();
    records_.push_back(r);
    if (records_.back().time - records_.front().time >= kSpanSeconds) records_.clear();
}

std::vector<PingTimeRecord> PingTimeHistory::take() {
    std::vector<PingTimeRecord> out;
    out.swap(records_);
    return out;
}

} // namespace kestrova::display

#include "tools/sonar-sim/command_channel.h"

namespace kestrova::sim {

void CommandChannelHandler::onBytes(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) {
        const char c = static_cast<char>(b);
        if (!inLine_) {
            if (c == '$') {
                inLine_ = true;
                line_.assign(1, c);
                zeros_ = 0;
            } else if (c == '0' && padPending_) {
                padPending_ = false; // the "0" that evens out an odd-length line
            } else if (c == '0') {
                // Between lines: heartbeat pairs.
                if (++zeros_ == 2) {
                    ++heartbeats_;
                    zeros_ = 0;
                }
            } else {
                zeros_ = 0;
                padPending_ = false;
            }
            continue;
        }
        line_ += c;
        if (line_.size() >= 2 && line_[line_.size() - 2] == '\r' && c == '\n') {
            inLine_ = false;
            padPending_ = line_.size() % 2 != 0;
            onCommandLine(line_);
            line_.clear();
        } else if (line_.size() > kMaxLine) {
            inLine_ = false;
            line_.clear();
        }
    }
}

std::string CommandChannelHandler::takeOutput() {
    std::string out;
    out.swap(output_);
    return out;
}

void CommandChannelHandler::reset() {
    line_.clear();
    inLine_ = false;
    padPending_ = false;
    zeros_ = 0;
    output_.clear();
}

void CommandChannelHandler::onCommandLine(std::string_view line) {
    lines_.emplace_back(line);
    if (lines_.size() > 1000) lines_.erase(lines_.begin());
}

} // namespace kestrova::sim

#include "tools/sonar-sim/command_channel.h"

namespace kestrova::sim {

void CommandChannelHandler::onBytes(std::span<const std::uint8_t> bytes) {
    // Every transmission of the program (a heartbeat "00" or a command block
    // padded to an even length) starts at an even offset of the stream, so a
    // lone "0" at an odd offset after a line is the padding of its block.
    for (std::uint8_t b : bytes) {
        const char c = static_cast<char>(b);
        const bool odd = (offset_++ & 1u) != 0;
        if (!inLine_) {
            if (c == '$') {
                inLine_ = true;
                line_.assign(1, c);
                zeros_ = 0;
            } else if (c == '0' && !odd) {
                zeros_ = 1;
            } else if (c == '0' && zeros_ == 1) {
                ++heartbeats_;
                zeros_ = 0;
            } else if (c == '0' && afterLine_) {
                afterLine_ = false; // the "0" that evens out an odd-length block
            } else {
                zeros_ = 0;
                onStray(c);
            }
            afterLine_ = false;
            continue;
        }
        line_ += c;
        if (line_.size() >= 2 && line_[line_.size() - 2] == '\r' && c == '\n') {
            inLine_ = false;
            afterLine_ = true;
            onCommandLine(line_);
            line_.clear();
        } else if (line_.size() > kMaxLine) {
            inLine_ = false;
            onOverlong();
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
    afterLine_ = false;
    offset_ = 0;
    zeros_ = 0;
    output_.clear();
}

void CommandChannelHandler::onCommandLine(std::string_view line) {
    lines_.emplace_back(line);
    if (lines_.size() > 1000) lines_.erase(lines_.begin());
}

} // namespace kestrova::sim

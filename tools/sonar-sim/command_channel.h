#pragma once
// The simulator's side of the command channel. The program sends command
// lines ("$cmd,...*ff\r\n", padded with one "0" to an even length) and, every
// second, the heartbeat "00". The handler splits the bytes into heartbeats and
// command lines; onCommandLine is where the command protocol plugs in (it may
// queue reply lines with reply()).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::sim {

class CommandChannelHandler {
  public:
    static constexpr std::size_t kMaxLine = 1024;
    virtual ~CommandChannelHandler() = default;

    void onBytes(std::span<const std::uint8_t> bytes);
    // Reply bytes waiting to go out on the command channel; taking them empties the queue.
    std::string takeOutput();
    bool hasOutput() const { return !output_.empty(); }

    std::uint64_t heartbeats() const { return heartbeats_; }
    const std::vector<std::string>& lines() const { return lines_; }
    // Called when the connection is replaced or closed.
    void reset();

  protected:
    // One complete command line, "$" to "\r\n" included. Kept in lines() by default.
    virtual void onCommandLine(std::string_view line);
    // A byte between lines that is neither a heartbeat nor padding.
    virtual void onStray(char) {}
    // A line that ran past kMaxLine without its CR LF (dropped).
    virtual void onOverlong() {}
    void reply(std::string_view text) { output_.append(text); }

  private:
    std::string line_;
    bool inLine_ = false;
    bool afterLine_ = false;
    std::uint64_t offset_ = 0;
    int zeros_ = 0;
    std::uint64_t heartbeats_ = 0;
    std::vector<std::string> lines_;
    std::string output_;
};

} // namespace kestrova::sim

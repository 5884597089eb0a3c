#pragma once
// The text accumulator of the NMEA input: received bytes go in as they come,
// whole sentences ("$" up to "\r\n") come out oldest first. It works byte by
// byte, so the sentences found never depend on how the bytes were split into
// reads.
//
// Rules, as the receiver's stream needs them:
// - a sentence ends at CR LF, or at LF or CR alone (stripped by loggers and
//   network sources); it comes out with CR LF;
// - bytes outside a sentence are noise and dropped;
// - a sentence cut by the start of a new one keeps only the newest part (the
//   text from its last "$"); with 10 or more further "$" before the end marker
//   the whole candidate is dropped;
// - a candidate longer than 4095 characters without an end marker is dropped
//   and the input waits for the next "$".

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrova::position {

struct AccumulatorStats {
    std::uint64_t noiseBytes = 0;    // outside any sentence
    std::uint64_t cutSentences = 0;  // sentences cut short by a new "$"
    std::uint64_t crowded = 0;       // candidates with 10 or more further "$"
    std::uint64_t overlong = 0;      // candidates beyond the limit
    std::uint64_t queueOverflow = 0; // sentences lost because nobody took them
};

class SentenceAccumulator {
  public:
    static constexpr std::size_t kLimit = 4095;
    static constexpr int kMaxStarts = 10;
    // Sentences waiting to be taken, in bytes; beyond it new sentences are lost.
    static constexpr std::size_t kQueueLimit = 2097152;

    void append(std::span<const std::uint8_t> bytes);
    void append(std::string_view text);
    // The oldest complete sentence, ending in "\r\n" whatever end it arrived with.
    std::optional<std::string> extract_sentence();
    bool hasSentence() const { return !ready_.empty(); }
    // Forgets everything, partial sentence included (a channel was reopened).
    void clear();
    const AccumulatorStats& stats() const { return stats_; }

  private:
    void take(char c);
    std::deque<std::string> ready_;
    std::size_t readyBytes_ = 0;
    bool inSentence_ = false;
    bool afterCr_ = false;            // a sentence just ended at a CR: an LF now completes the pair
    std::string current_;             // text from the last "$" of the candidate
    std::size_t candidateLength_ = 0; // from the first "$"
    int furtherStarts_ = 0;
    AccumulatorStats stats_;
};

} // namespace kestrova::position

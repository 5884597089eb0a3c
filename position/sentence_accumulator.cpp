#include "position/sentence_accumulator.h"

namespace kestrova::position {

void SentenceAccumulator::append(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes)
        take(static_cast<char>(b));
}

void SentenceAccumulator::append(std::string_view text) {
    for (char c : text)
        take(c);
}

void SentenceAccumulator::take(char c) {
    if (!inSentence_) {
        const bool pairedLf = c == '\n' && afterCr_;
        afterCr_ = false;
        if (c != '$') {
            // The LF of a CR LF pair belongs to the sentence that ended at its CR.
            if (!pairedLf) ++stats_.noiseBytes;
            return;
        }
        inSentence_ = true;
        current_.assign(1, '$');
        candidateLength_ = 1;
        furtherStarts_ = 0;
        return;
    }
    // The limit counts the whole end marker: a CR needs room for its LF.
    if (++candidateLength_ > kLimit || (c == '\r' && candidateLength_ == kLimit)) {
        // No end marker within the limit: drop the candidate and wait for a "$".
        ++stats_.overlong;
        inSentence_ = false;
        current_.clear();
        if (c == '$') take(c);
        return;
    }
    if (c == '$') {
        if (furtherStarts_ < kMaxStarts) ++furtherStarts_;
        current_.assign(1, '$');
        return;
    }
    if (c != '\r' && c != '\n') {
        current_ += c;
        return;
    }
    // The end of a sentence: CR LF as the standard has it, but loggers and
    // network sources often strip the CR, and a few send CR alone. The
    // sentence always comes out with CR LF.
    afterCr_ = c == '\r';
    current_ += "\r\n";
    inSentence_ = false;
    if (furtherStarts_ >= kMaxStarts) {
        ++stats_.crowded;
        current_.clear();
        return;
    }
    if (furtherStarts_ > 0) stats_.cutSentences += static_cast<std::uint64_t>(furtherStarts_);
    if (readyBytes_ + current_.size() > kQueueLimit) {
        ++stats_.queueOverflow;
        current_.clear();
        return;
    }
    readyBytes_ += current_.size();
    ready_.push_back(std::move(current_));
    current_.clear();
}

std::optional<std::string> SentenceAccumulator::extract_sentence() {
    if (ready_.empty()) return std::nullopt;
    std::string s = std::move(ready_.front());
    ready_.pop_front();
    readyBytes_ -= s.size();
    return s;
}

void SentenceAccumulator::clear() {
    ready_.clear();
    readyBytes_ = 0;
    inSentence_ = false;
    afterCr_ = false;
    current_.clear();
    candidateLength_ = 0;
    furtherStarts_ = 0;
}

} // namespace kestrova::position

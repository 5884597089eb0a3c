#pragma once
// Everything received on the command channel and not yet consumed by the reply
// line extractor. Bounded: if the sonar talks faster than lines are taken out,
// the oldest bytes go first, so a babbling peer cannot grow it without limit.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrova::acquisition {

class ReplyAccumulator {
  public:
    static constexpr std::size_t kCapacity = 16 * 1024;

    ReplyAccumulator() { text_.reserve(kCapacity); }

    void append(std::span<const std::uint8_t> bytes);
    void append(std::string_view text) {
        append(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                             text.size()));
    }
    std::string_view view() const { return text_; }
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }
    // Removes the first n characters (all when n exceeds the size).
    void consume(std::size_t n);
    void clear() { text_.clear(); }

  private:
    std::string text_;
};

} // namespace kestrova::acquisition

#include "acquisition/reply_accumulator.h"

namespace kestrova::acquisition {

void ReplyAccumulator::append(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= kCapacity) {
        text_.assign(reinterpret_cast<const char*>(bytes.data() + bytes.size() - kCapacity),
                     kCapacity);
        return;
    }
    if (text_.size() + bytes.size() > kCapacity)
        text_.erase(0, text_.size() + bytes.size() - kCapacity);
    text_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void ReplyAccumulator::consume(std::size_t n) {
    if (n >= text_.size())
        text_.clear();
    else
        text_.erase(0, n);
}

} // namespace kestrova::acquisition

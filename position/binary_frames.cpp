#include "position/binary_frames.h"

#include "platform/bytes.h"

#include <algorithm>
#include <cstring>

namespace kestrova::position {

InsFrameBytes encode(const InsFrame& f) {
    using namespace ins_frame;
    InsFrameBytes out{};
    ByteWriter w(out);
    w.u32le(0, kHeader);
    w.u16le(kYear, f.year);
    w.u8(kMonth, f.month);
    w.u8(kDay, f.day);
    w.u8(kHour, f.hour);
    w.u8(kMinute, f.minute);
    w.u8(kSecond, f.second);
    w.f64le(kLongitude, f.longitude);
    w.f64le(kLatitude, f.latitude);
    w.f32le(kSpeed, f.speed);
    w.f32le(kHeight, f.height);
    w.f32le(kHeading, f.heading);
    w.u32le(kTrailerOffset, kTrailer);
    return out;
}

std::optional<InsFrame> decodeInsFrame(std::span<const std::uint8_t> bytes) {
    using namespace ins_frame;
    ByteReader r(bytes);
    if (!r.has(0, kSize) || *r.u32le(0) != kHeader || *r.u32le(kTrailerOffset) != kTrailer)
        return std::nullopt;
    InsFrame f;
    f.year = *r.u16le(kYear);
    f.month = *r.u8(kMonth);
    f.day = *r.u8(kDay);
    f.hour = *r.u8(kHour);
    f.minute = *r.u8(kMinute);
    f.second = *r.u8(kSecond);
    f.longitude = *r.f64le(kLongitude);
    f.latitude = *r.f64le(kLatitude);
    f.speed = *r.f32le(kSpeed);
    f.height = *r.f32le(kHeight);
    f.heading = *r.f32le(kHeading);
    return f;
}

CustomFrameBytes encode(const CustomFrame& f) {
    using namespace custom_frame;
    CustomFrameBytes out{};
    ByteWriter w(out);
    w.u16le(0, kHeader);
    w.f32le(kTime, f.time);
    w.f32le(kLongitude, f.longitude);
    w.f32le(kLatitude, f.latitude);
    w.f32le(kHeading, f.heading);
    w.f32le(kSpeed, f.speed);
    w.f32le(kAuxHeight, f.auxHeight);
    w.u16le(kTrailerOffset, kTrailer);
    return out;
}

std::optional<CustomFrame> decodeCustomFrame(std::span<const std::uint8_t> bytes) {
    using namespace custom_frame;
    ByteReader r(bytes);
    if (!r.has(0, kSize) || *r.u16le(0) != kHeader || *r.u16le(kTrailerOffset) != kTrailer)
        return std::nullopt;
    CustomFrame f;
    f.time = *r.f32le(kTime);
    f.longitude = *r.f32le(kLongitude);
    f.latitude = *r.f32le(kLatitude);
    f.heading = *r.f32le(kHeading);
    f.speed = *r.f32le(kSpeed);
    f.auxHeight = *r.f32le(kAuxHeight);
    return f;
}

bool BinaryBuffer::append(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kCapacity - size()) {
        stats_.overflowBytes += size() + bytes.size();
        clear();
        return false;
    }
    if (start_ > 0) {
        data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return true;
}

std::span<const std::uint8_t> BinaryBuffer::bytes() const {
    return std::span<const std::uint8_t>(data_).subspan(start_);
}

void BinaryBuffer::clear() {
    data_.clear();
    start_ = 0;
}

void BinaryBuffer::consume(std::size_t n) {
    start_ += std::min(n, size());
    if (start_ == data_.size()) clear();
}

void BinaryBuffer::keepLast(std::size_t n) {
    if (size() > n) consume(size() - n);
}

namespace {

template <std::size_t Size, typename Matches>
std::optional<std::array<std::uint8_t, Size>> takeFrame(BinaryBuffer& buffer, Matches matches) {
    auto bytes = buffer.bytes();
    if (bytes.size() < Size) return std::nullopt;
    ByteReader r(bytes);
    for (std::size_t p = 0; p + Size <= bytes.size(); ++p) {
        if (!matches(r, p)) continue;
        std::array<std::uint8_t, Size> frame;
        std::memcpy(frame.data(), bytes.data() + p, Size);
        buffer.stats().skippedBytes += p;
        buffer.consume(p + Size);
        return frame;
    }
    std::size_t before = buffer.size();
    buffer.keepLast(Size - 1);
    buffer.stats().skippedBytes += before - buffer.size();
    return std::nullopt;
}

} // namespace

std::optional<InsFrameBytes> takeInsFrame(BinaryBuffer& buffer) {
    return takeFrame<ins_frame::kSize>(buffer, [](const ByteReader& r, std::size_t p) {
        return *r.u32le(p) == ins_frame::kHeader &&
               *r.u32le(p + ins_frame::kTrailerOffset) == ins_frame::kTrailer;
    });
}

std::optional<CustomFrameBytes> takeCustomFrame(BinaryBuffer& buffer) {
    return takeFrame<custom_frame::kSize>(buffer, [](const ByteReader& r, std::size_t p) {
        return *r.u16le(p) == custom_frame::kHeader &&
               *r.u16le(p + custom_frame::kTrailerOffset) == custom_frame::kTrailer;
    });
}

} // namespace kestrova::position

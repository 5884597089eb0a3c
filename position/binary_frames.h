#pragma once
// The two binary position frames and the buffer they are found in.
//   "Ostra INS Protocol": 64 bytes, header 0xAA5555AA, trailer 0x77EEEE77 at 60.
//   "Custom":             44 bytes, header 0xAA55, trailer 0xCCBB at 40.
// Frame finding (sync words) is kept apart from decoding the fields.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrova::position {

struct InsFrame {
    std::uint16_t year = 0;
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0; // UTC
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    double longitude = 0.0; // degrees, east positive
    double latitude = 0.0;  // degrees, north positive
    float speed = 0.0f;     // m/s
    float height = 0.0f;    // m
    float heading = 0.0f;   // degrees
};

namespace ins_frame {
constexpr std::size_t kSize = 64;
constexpr std::uint32_t kHeader = 0xAA5555AA;
constexpr std::uint32_t kTrailer = 0x77EEEE77;
constexpr std::size_t kYear = 4, kMonth = 6, kDay = 7, kHour = 8, kMinute = 9, kSecond = 10,
                      kLongitude = 16, kLatitude = 24, kSpeed = 32, kHeight = 36, kHeading = 40,
                      kTrailerOffset = 60;
static_assert(kTrailerOffset + 4 == kSize);
} // namespace ins_frame

struct CustomFrame {
    float time = 0.0f; // seconds; its remainder modulo 86400 is the UTC time of day
    float longitude = 0.0f;
    float latitude = 0.0f;
    float heading = 0.0f;   // degrees
    float speed = 0.0f;     // m/s
    float auxHeight = 0.0f; // m
};

namespace custom_frame {
constexpr std::size_t kSize = 44;
constexpr std::uint16_t kHeader = 0xAA55;
constexpr std::uint16_t kTrailer = 0xCCBB;
constexpr std::size_t kTime = 4, kLongitude = 8, kLatitude = 12, kHeading = 16, kSpeed = 32,
                      kAuxHeight = 36, kTrailerOffset = 40;
static_assert(kTrailerOffset + 4 == kSize);
} // namespace custom_frame

using InsFrameBytes = std::array<std::uint8_t, ins_frame::kSize>;
using CustomFrameBytes = std::array<std::uint8_t, custom_frame::kSize>;

InsFrameBytes encode(const InsFrame& frame);
// nullopt unless 64 bytes with both sync words are present.
std::optional<InsFrame> decodeInsFrame(std::span<const std::uint8_t> bytes);
CustomFrameBytes encode(const CustomFrame& frame);
std::optional<CustomFrame> decodeCustomFrame(std::span<const std::uint8_t> bytes);

struct BinaryStats {
    std::uint64_t skippedBytes = 0;  // noise before a frame or dropped while searching
    std::uint64_t overflowBytes = 0; // received while the buffer was full
};

// The binary input buffer: received bytes in order, at most 2 MiB. Bytes that
// would take it past that empty it (the receiver sends faster than we parse).
class BinaryBuffer {
  public:
    static constexpr std::size_t kCapacity = 2097152;

    // False when the bytes did not fit; the buffer is then emptied.
    bool append(std::span<const std::uint8_t> bytes);
    std::span<const std::uint8_t> bytes() const;
    std::size_t size() const { return data_.size() - start_; }
    bool empty() const { return size() == 0; }
    void clear();
    // Drops the first n bytes.
    void consume(std::size_t n);
    // Keeps only the newest n bytes.
    void keepLast(std::size_t n);
    BinaryStats& stats() { return stats_; }
    const BinaryStats& stats() const { return stats_; }

  private:
    std::vector<std::uint8_t> data_;
    std::size_t start_ = 0;
    BinaryStats stats_;
};

// Takes the oldest whole frame out of the buffer: the first offset with the
// header there and the trailer at its place. Without one, only the newest
// size-1 bytes stay, so a frame split across reads is still found.
std::optional<InsFrameBytes> takeInsFrame(BinaryBuffer& buffer);
std::optional<CustomFrameBytes> takeCustomFrame(BinaryBuffer& buffer);

} // namespace kestrova::position

#pragma once
// The sonar's frame format. Every frame opens with a 16-byte SonarFrameHeader
// (two sync words, version, type, length L of what follows) and ends with the
// trailer word 0xAAAA5555 at offset L + 12; a frame occupies L + 16 bytes.
// Frames are kept as their raw little-endian bytes; the records below read and
// write the used fields at their fixed offsets and leave every other byte as
// it came, so a recording carries the sonar's frames byte for byte.

#include "platform/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrova::acquisition {

constexpr std::uint32_t kSyncWord1 = 0x00101702;
constexpr std::uint32_t kSyncWord2 = 0x0000FFFF;
constexpr std::uint32_t kFrameTrailer = 0xAAAA5555;
constexpr std::uint16_t kFrameVersion = 1;
constexpr std::size_t kTrailerSize = 4;

enum class FrameType : std::uint16_t {
    HfPing = 0,
    LfPing = 1,
    Attitude = 5,
    Position = 6, // recordings only
    Time = 7,     // recordings only
};

enum class Frequency : int { HF = 0, LF = 1 };
constexpr int kFrequencyCount = 2;
inline int index(Frequency f) {
    return static_cast<int>(f);
}
inline const char* frequencyName(Frequency f) {
    return f == Frequency::HF ? "HF" : "LF";
}

struct SonarFrameHeader {
    static constexpr std::size_t kSize = 16;
    static constexpr std::size_t kSync1Offset = 0;
    static constexpr std::size_t kSync2Offset = 4;
    static constexpr std::size_t kVersionOffset = 8;
    static constexpr std::size_t kTypeOffset = 10;
    static constexpr std::size_t kLengthOffset = 12;

    std::uint32_t sync1 = kSyncWord1;
    std::uint32_t sync2 = kSyncWord2;
    std::uint16_t version = kFrameVersion;
    std::uint16_t type = 0;
    std::uint32_t length = 0; // bytes after the header, trailer included

    // Bytes the whole frame occupies (64-bit: a hostile length cannot wrap).
    std::uint64_t frameSize() const { return std::uint64_t{length} + kSize; }
    bool syncOk() const { return sync1 == kSyncWord1 && sync2 == kSyncWord2; }

    static std::optional<SonarFrameHeader> decode(std::span<const std::uint8_t> bytes);
    bool encode(std::span<std::uint8_t> out) const;
};
static_assert(SonarFrameHeader::kLengthOffset + 4 == SonarFrameHeader::kSize);

// One side's block inside the ping header (56 bytes; offsets within the block).
struct PingChannelBlock {
    static constexpr std::size_t kSize = 56;
    static constexpr std::size_t kSettingCodeOffset = 1;
    static constexpr std::size_t kFrequencyOffset = 2;
    static constexpr std::size_t kSampleRateOffset = 28;
    static constexpr std::size_t kRangeWindowOffset = 36;
    static constexpr std::size_t kDecimationOffset = 41;
    static constexpr std::size_t kSampleCountOffset = 52;

    std::uint8_t settingCode = 0;
    std::uint16_t frequency = 0;
    std::uint32_t sampleRate = 0;  // Hz
    std::uint32_t rangeWindow = 0; // samples at sampleRate
    std::uint8_t decimation = 0;   // 0 means 1
    std::uint32_t sampleCount = 0; // Np or Ns

    // Sample rate of the delivered samples.
    float effectiveSampleRate() const {
        return decimation == 0 ? static_cast<float>(sampleRate)
                               : static_cast<float>(sampleRate) / static_cast<float>(decimation);
    }

    static std::optional<PingChannelBlock> decode(const ByteReader& r, std::size_t base);
    void encode(ByteWriter& w, std::size_t base) const;
};
static_assert(PingChannelBlock::kSampleCountOffset + 4 == PingChannelBlock::kSize);

// The first 228 bytes (57 words) of an HF or LF ping frame.
struct PingHeader {
    static constexpr std::size_t kSize = 228;
    static constexpr std::size_t kWords = kSize / 4;
    static constexpr std::size_t kYearOffset = 16;
    static constexpr std::size_t kMonthOffset = 18;
    static constexpr std::size_t kDayOffset = 19;
    static constexpr std::size_t kHourOffset = 20;
    static constexpr std::size_t kMinuteOffset = 21;
    static constexpr std::size_t kSecondOffset = 22;
    static constexpr std::size_t kMicrosecondOffset = 24;
    static constexpr std::size_t kPingNumberOffset = 56;
    static constexpr std::size_t kLayoutMarkerOffset = 62;
    static constexpr std::size_t kPortBlockOffset = 84;
    static constexpr std::size_t kStarboardBlockOffset = 140;
    static constexpr std::size_t kRollOffset = 196;
    static constexpr std::size_t kPitchOffset = 198;
    static constexpr std::size_t kHeaveOffset = 200;
    static constexpr std::size_t kHeadingOffset = 202;
    static constexpr std::uint8_t kLayoutMarker = 0x30;

    std::uint16_t year = 0;
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint32_t microseconds = 0;
    std::uint32_t pingNumber = 0;
    std::uint8_t layoutMarker = 0;
    PingChannelBlock port;
    PingChannelBlock starboard;
    std::int16_t roll = 0;     // hundredths of a degree
    std::int16_t pitch = 0;    // hundredths of a degree
    std::int16_t heave = 0;    // hundredths
    std::uint16_t heading = 0; // hundredths of a degree, 0-36000

    static std::optional<PingHeader> decode(std::span<const std::uint8_t> bytes);
    // Writes the used fields into the first 228 bytes of `out`; all others are
    // left as they are.
    bool encode(std::span<std::uint8_t> out) const;
};
static_assert(PingHeader::kSize == 57 * 4);
static_assert(PingHeader::kPortBlockOffset + PingChannelBlock::kSize ==
              PingHeader::kStarboardBlockOffset);
static_assert(PingHeader::kStarboardBlockOffset + PingChannelBlock::kSize ==
              PingHeader::kRollOffset);
static_assert(PingHeader::kHeadingOffset + 2 <= PingHeader::kSize);

// Bytes 0-39 of an attitude frame (type 5), frame header included.
struct AttitudeRecord {
    static constexpr std::size_t kSize = 40;
    static constexpr std::size_t kRollOffset = 28;
    static constexpr std::size_t kPitchOffset = 30;
    static constexpr std::size_t kHeaveOffset = 32;
    static constexpr std::size_t kHeadingOffset = 34;

    std::int16_t roll = 0;
    std::int16_t pitch = 0;
    std::int16_t heave = 0;
    std::uint16_t heading = 0;

    static std::optional<AttitudeRecord> decode(std::span<const std::uint8_t> bytes);
    bool encode(std::span<std::uint8_t> out) const;

    // Values the status display shows as "None".
    bool rollShown() const { return roll >= -18000 && roll <= 18000; }
    bool pitchShown() const {
        auto u = static_cast<std::uint16_t>(pitch);
        return !(u >= 18001 && u <= 47535);
    }
    bool headingShown() const { return heading <= 36000; }
};
static_assert(AttitudeRecord::kHeadingOffset + 2 <= AttitudeRecord::kSize);
using AttitudeBytes = std::array<std::uint8_t, AttitudeRecord::kSize>;

// Position and time frames (types 6, 7) carry the 152-byte position record at 16.
constexpr std::size_t kPositionRecordSize = 152;
constexpr std::size_t kPositionRecordOffset = SonarFrameHeader::kSize;
constexpr std::uint32_t kPositionFrameLength = kPositionRecordSize + kTrailerSize;
static_assert(kPositionFrameLength == 156);

// Length L of a well-formed ping frame with np port and ns starboard samples.
constexpr std::uint64_t pingFrameLength(std::uint64_t np, std::uint64_t ns) {
    return PingHeader::kSize - SonarFrameHeader::kSize + 4 * (np + ns) + kTrailerSize;
}
static_assert(pingFrameLength(0, 0) == 216);

// One whole HF or LF ping frame, kept as its raw bytes and split by Np and Ns:
// the first part is the header and the port samples (57 + Np words), the
// second part the starboard samples and the trailer (Ns + 1 words).
class PingRecord {
  public:
    // Accepts only a frame whose length agrees with its Np and Ns, so that
    // nothing is ever read beyond the frame.
    static std::optional<PingRecord> fromFrame(std::span<const std::uint8_t> frame);

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    const PingHeader& header() const { return header_; }
    Frequency frequency() const { return frequency_; }
    std::uint32_t portCount() const { return header_.port.sampleCount; }
    std::uint32_t starboardCount() const { return header_.starboard.sampleCount; }
    std::uint32_t firstPartWords() const { return PingHeader::kWords + portCount(); }
    std::uint32_t secondPartWords() const { return starboardCount() + 1; }

    std::optional<std::uint32_t> portSample(std::size_t i) const;
    std::optional<std::uint32_t> starboardSample(std::size_t i) const;

  private:
    std::span<const std::uint8_t> bytes_;
    PingHeader header_;
    Frequency frequency_ = Frequency::HF;
};

} // namespace kestrova::acquisition

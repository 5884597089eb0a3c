#pragma once
// The ".tgt" file of one target: the snapshot (N pings of one side, their
// headers and per-ping position records), the 72-byte target block and the
// description, little-endian, items in a fixed order without padding:
//
//   0   4 bytes   0x0F "TGT"
//   4   8 chars   "V1.0.000"
//   12  u32       N x 46884 (bytes of the three per-ping arrays)
//   16  u32       8, then u32 N and u32 side value
//   28  u32       N x 23260, then N rows of 23260 u16 display samples
//   ..  u32       N x 57, then N ping headers of 57 u32 words
//   ..  u32       N x 136, then N position records of 136 bytes
//   ..  u32       72, then the target block
//   ..  u32       description length, then the description bytes
//
// Every offset follows from N, so the reader checks every size field and the
// file length before it touches the snapshot: a file that disagrees anywhere
// is refused whole and the snapshot is never left half read.

#include "display/target_capture.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kestrova::targets {

using display::TargetSnapshot;

constexpr std::uint32_t kRowSamples = TargetSnapshot::kRowSamples;
constexpr std::uint32_t kMaxPings = TargetSnapshot::kMaxPings;
constexpr std::size_t kHeaderBytes = 228;
constexpr std::size_t kPositionBytes = 136;
constexpr std::size_t kBytesPerPing = kRowSamples * 2 + kHeaderBytes + kPositionBytes;
static_assert(kBytesPerPing == 46884);
static_assert(kMaxPings == 1080);

// Fixed offsets of the file head; the later items sit at offsets given by N.
namespace tgt {
constexpr std::size_t kMagic = 0;
constexpr std::size_t kVersion = 4;
constexpr std::size_t kTotalBytes = 12;
constexpr std::size_t kSmallItemSize = 16;
constexpr std::size_t kPingCount = 20;
constexpr std::size_t kSide = 24;
constexpr std::size_t kSampleCount = 28;
constexpr std::size_t kSamples = 32;
constexpr std::size_t kHeadBytes = kSamples;
constexpr const char* kVersionText = "V1.0.000";
// Where each item of a file with n pings starts.
struct Layout {
    std::uint64_t headerCount, headers, positionCount, positions, blockSize, block, descLength,
        description;
};
Layout layout(std::uint32_t n);
} // namespace tgt

// The 72-byte target block.
struct TargetBlock {
    static constexpr std::size_t kBytes = 72;
    static constexpr std::size_t kYear = 0;
    static constexpr std::size_t kMonth = 2; // then day, hour, minute, second
    static constexpr std::size_t kAfterTime = 7;
    static constexpr std::size_t kMicroseconds = 8;
    static constexpr std::size_t kPingNumber = 12;
    static constexpr std::size_t kMarkedPing = 16;
    static constexpr std::size_t kMarkedSample = 20;
    static constexpr std::size_t kSideSamples = 24;
    static constexpr std::size_t kSelection = 28;
    static constexpr std::size_t kStrength = 32;
    static constexpr std::size_t kPalette = 36;
    static constexpr std::size_t kInvert = 40;
    static constexpr std::size_t kLength = 48;
    static constexpr std::size_t kWidth = 56;
    static constexpr std::size_t kHeight = 64;

    std::uint16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint8_t afterTime = 0; // the header byte after the second, carried as is
    std::uint32_t microseconds = 0;
    std::uint32_t pingNumber = 0;
    std::uint32_t markedPing = 0;
    std::uint32_t markedSample = 0;
    std::uint32_t sideSamples = 0;
    std::uint32_t selection = 0;
    std::uint32_t strength = 30;
    std::uint32_t palette = 0;
    std::uint32_t invert = 0;
    double length = 0.0;
    double width = 0.0;
    double height = 0.0;

    void encode(std::span<std::uint8_t, kBytes> out) const;
    static TargetBlock decode(std::span<const std::uint8_t, kBytes> in);
};
static_assert(TargetBlock::kHeight + 8 == TargetBlock::kBytes);

// The block of a fresh capture: time and ping number of the marked ping, the
// mark, and the view settings the capture carried.
TargetBlock blockFromSnapshot(const TargetSnapshot& snapshot);

enum class WriteMode { Create, Overwrite };
enum class WriteStatus { Ok, Exists, Failed };
// Writes through a temporary file in the same folder; Create never replaces
// an existing file. Samples past the marked side's count are written as zeros
// (they are leftovers of earlier captures).
WriteStatus writeTargetFile(const std::string& path, const TargetSnapshot& snapshot,
                            const TargetBlock& block, const std::string& description,
                            WriteMode mode);

enum class ReadStatus { Ok, OpenFailed, NotTarget, Corrupt, ReadFailed };
struct ReadResult {
    ReadStatus status = ReadStatus::OpenFailed;
    std::string why; // for tests and the command line
};
// Reads a whole ".tgt" into the snapshot, block and description. Anything but
// Ok leaves the snapshot empty (pingCount 0).
ReadResult readTargetFile(const std::string& path, TargetSnapshot& snapshot, TargetBlock& block,
                          std::string& description);
// The same over bytes in memory (the fuzz target).
ReadResult readTargetBytes(std::span<const std::uint8_t> bytes, TargetSnapshot& snapshot,
                           TargetBlock& block, std::string& description);

// The marked ping of a ".tgt": its header and position record with the side
// and the block, read without the samples, so every listed target can be
// placed on the navigation map. The file is checked as readTargetFile does.
struct TargetMark {
    std::uint32_t side = 0;
    TargetBlock block;
    std::array<std::uint8_t, kHeaderBytes> header{};
    std::array<std::uint8_t, kPositionBytes> position{};
};
ReadResult readTargetMark(const std::string& path, TargetMark& mark);

} // namespace kestrova::targets

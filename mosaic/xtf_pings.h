#pragma once
// Sonar pings of an XTF file (as export-xtf and the live session write them,
// or any XTF with a port and a starboard channel) for the mosaic: time, the
// sensor's position, heading and altitude, the slant range and the samples of
// each side nadir first. Every length is checked against the bytes present;
// a record cut short ends the file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::mosaic {

struct XtfPing {
    double time = 0.0; // seconds since 1970, as the ping header gives it
    double latitude = 0.0;
    double longitude = 0.0;
    double heading = 0.0;  // degrees
    double altitude = 0.0; // m
    double slantRange = 0.0; // m, of the port side
    std::uint32_t pingNumber = 0;
    std::vector<std::uint16_t> port, starboard; // nadir first
};

constexpr std::size_t kXtfFileHeaderSize = 1024;

// Bytes per sample of channels 0 and 1 from the file header; nullopt unless
// it is an XTF header (format 0x7B) with 1, 2 or 4 bytes per sample.
std::optional<std::array<int, 2>> xtfSampleSizes(std::span<const std::uint8_t> header);

// One sonar record (header type 0, magic 0xFACE) into `ping`; false for
// another record type or one that does not hold what it declares.
bool decodeXtfPing(std::span<const std::uint8_t> record, const std::array<int, 2>& sampleBytes,
                   XtfPing& ping);

class XtfPingReader {
  public:
    ~XtfPingReader();
    bool open(const std::string& path);
    // The next sonar ping; false at the end (or where the file is cut short).
    bool next(XtfPing& ping);
    bool readError() const { return readError_; }

  private:
    std::FILE* file_ = nullptr;
    std::array<int, 2> sampleBytes_{2, 2};
    std::vector<std::uint8_t> record_;
    bool readError_ = false;
};

} // namespace kestrova::mosaic

#include "mosaic/xtf_pings.h"

#include "platform/bytes.h"
#include "position/time_stamp.h"

#include <algorithm>
#include <cmath>

namespace kestrova::mosaic {
namespace {

constexpr std::size_t kChanInfoOffset = 256, kChanInfoSize = 128, kBytesPerSample = 6;
constexpr std::size_t kPingHeaderSize = 256, kChannelHeaderSize = 64;
constexpr std::uint16_t kMagic = 0xFACE;
// Record size limit: both sides at the most samples a sonar ping holds.
constexpr std::uint32_t kMaxRecord = 64u << 20;

// One side's samples as 16-bit display values.
bool samplesOf(std::span<const std::uint8_t> bytes, int size, std::size_t count,
               bool farFirst, std::vector<std::uint16_t>& out) {
    if (bytes.size() < count * static_cast<std::size_t>(size)) return false;
    out.resize(count);
    ByteReader r(bytes);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = i * static_cast<std::size_t>(size);
        std::uint32_t v = 0;
        if (size == 1)
            v = std::uint32_t{*r.u8(at)} << 7;
        else if (size == 2)
            v = *r.u16le(at);
        else
            v = *r.u32le(at) >> 16;
        out[farFirst ? count - 1 - i : i] = static_cast<std::uint16_t>(std::min<std::uint32_t>(v, 0xFFFF));
    }
    return true;
}

} // namespace

std::optional<std::array<int, 2>> xtfSampleSizes(std::span<const std::uint8_t> header) {
    if (header.size() < kXtfFileHeaderSize || header[0] != 0x7B) return std::nullopt;
    ByteReader r(header);
    std::array<int, 2> sizes{};
    for (std::size_t c = 0; c < 2; ++c) {
        const int s = *r.u16le(kChanInfoOffset + c * kChanInfoSize + kBytesPerSample);
        if (s != 1 && s != 2 && s != 4) return std::nullopt;
        sizes[c] = s;
    }
    return sizes;
}

bool decodeXtfPing(std::span<const std::uint8_t> record, const std::array<int, 2>& sampleBytes,
                   XtfPing& ping) {
    ByteReader r(record);
    if (record.size() < kPingHeaderSize || *r.u16le(0) != kMagic || *r.u8(2) != 0) return false;
    const int channels = *r.u16le(4);
    if (channels < 2) return false;
    const int year = *r.u16le(14), month = *r.u8(16), day = *r.u8(17);
    const int hour = *r.u8(18), minute = *r.u8(19), second = *r.u8(20), hundredths = *r.u8(21);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60 || hundredths > 99)
        return false;
    ping.time = epochSeconds(CivilDate{year, month, day}, hour, minute,
                                       second + hundredths / 100.0);
    ping.pingNumber = *r.u32le(28);
    // The sensor's position when it is there, else the ship's.
    double lat = *r.f64le(160), lon = *r.f64le(168);
    if (lat == 0.0 && lon == 0.0) {
        lat = *r.f64le(128);
        lon = *r.f64le(136);
    }
    ping.latitude = lat;
    ping.longitude = lon;
    ping.altitude = *r.f32le(196);
    ping.heading = *r.f32le(212);
    std::size_t at = kPingHeaderSize;
    for (int c = 0; c < 2; ++c) {
        if (record.size() < at + kChannelHeaderSize) return false;
        ByteReader h(record.subspan(at, kChannelHeaderSize));
        const int number = *h.u16le(0);
        if (number != c) return false;
        const std::size_t count = *h.u32le(42);
        if (c == 0) ping.slantRange = *h.f32le(4);
        at += kChannelHeaderSize;
        const std::size_t bytes = count * static_cast<std::size_t>(sampleBytes[c]);
        if (record.size() - at < bytes) return false;
        if (!samplesOf(record.subspan(at, bytes), sampleBytes[c], count, c == 0,
                       c == 0 ? ping.port : ping.starboard))
            return false;
        at += bytes;
    }
    return std::isfinite(ping.latitude) && std::isfinite(ping.longitude) &&
           std::isfinite(ping.slantRange) && ping.slantRange > 0.0;
}

XtfPingReader::~XtfPingReader() {
    if (file_) std::fclose(file_);
}

bool XtfPingReader::open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    std::array<std::uint8_t, kXtfFileHeaderSize> header{};
    if (std::fread(header.data(), 1, header.size(), file_) != header.size()) return false;
    const auto sizes = xtfSampleSizes(header);
    if (!sizes) return false;
    sampleBytes_ = *sizes;
    return true;
}

bool XtfPingReader::next(XtfPing& ping) {
    if (!file_) return false;
    for (;;) {
        std::uint8_t head[14];
        const std::size_t got = std::fread(head, 1, sizeof head, file_);
        if (got < sizeof head) {
            readError_ = std::ferror(file_) != 0;
            return false;
        }
        ByteReader r(head);
        const std::uint32_t size = *r.u32le(10);
        if (*r.u16le(0) != kMagic || size < sizeof head || size > kMaxRecord) return false;
        record_.resize(size);
        std::copy(head, head + sizeof head, record_.begin());
        if (std::fread(record_.data() + sizeof head, 1, size - sizeof head, file_) !=
            size - sizeof head) {
            readError_ = std::ferror(file_) != 0;
            return false;
        }
        if (decodeXtfPing(record_, sampleBytes_, ping)) return true;
        // Another kind of record (or a damaged ping): the next one.
    }
}

} // namespace kestrova::mosaic

#include "acquisition/frame_assembler.h"

#include "platform/clock.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

namespace kestrova::acquisition {
namespace {

constexpr std::size_t kNotFound = ~std::size_t{0};
constexpr std::size_t kAttitudeWordsEnd = PingHeader::kHeadingOffset + 2;

inline std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

inline void add(std::atomic<std::uint32_t>& counter) {
    counter.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

FrameAssembler::FrameAssembler(FrameSink& sink, SonarStatus& status, TickSource tick)
    : buffer_(new std::uint8_t[kBufferSize]()), sink_(&sink), status_(status),
      tick_(tick ? tick : &platform::tickCount) {}

void FrameAssembler::clearBuffer() {
    std::memset(buffer_.get(), 0, kBufferSize);
    headerFound_ = false;
}

void FrameAssembler::restart() {
    headerFound_ = false;
    declaredLength_ = 0;
    pings_ = {};
    haveLiveAttitude_ = false;
    liveAttitude_ = AttitudeRecord{};
}

std::size_t FrameAssembler::hunt(std::size_t from, std::size_t fill) const {
    const std::uint8_t* base = buffer_.get();
    const std::uint8_t* p = base + from;
    const std::uint8_t* last = base + fill - SonarFrameHeader::kSize; // fill >= 16 here
    while (p <= last) {
        const void* hit = std::memchr(p, kSyncWord1 & 0xFF, static_cast<std::size_t>(last - p) + 1);
        if (!hit) return kNotFound;
        p = static_cast<const std::uint8_t*>(hit);
        if (le32(p) == kSyncWord1 && le32(p + 4) == kSyncWord2)
            return static_cast<std::size_t>(p - base);
        ++p;
    }
    return kNotFound;
}

std::uint8_t* FrameAssembler::feed(std::uint32_t& fillCount, std::uint32_t* lastPortSamples) {
    if (fillCount > kBufferSize)
        fillCount = kBufferSize; // a caller's slip never reads past the end
    std::uint8_t* base = buffer_.get();
    const std::size_t fill = fillCount;
    std::size_t pos = 0; // first byte not yet consumed

    while (fill - pos > SonarFrameHeader::kSize - 1) {
        if (!headerFound_) {
            std::size_t at = hunt(pos, fill);
            if (at == kNotFound) {
                // Keep the last 15 bytes: they may be the start of a header.
                const std::size_t keep = fill - (SonarFrameHeader::kSize - 1);
                stats_.bytesSkipped.fetch_add(keep - pos, std::memory_order_relaxed);
                pos = keep;
                break;
            }
            stats_.bytesSkipped.fetch_add(at - pos, std::memory_order_relaxed);
            pos = at;
            const std::uint32_t length = le32(base + pos + SonarFrameHeader::kLengthOffset);
            const std::uint64_t size = std::uint64_t{length} + SonarFrameHeader::kSize;
            if (length < kTrailerSize || size > kMaxFrameSize) {
                // Could never complete: refuse it now rather than let it hold up
                // everything behind it until the buffer overflows.
                add(stats_.rejectedHeaders);
                pos += 1;
                continue;
            }
            headerFound_ = true;
            declaredLength_ = length;
        }

        const std::size_t size = std::size_t{declaredLength_} + SonarFrameHeader::kSize;
        if (fill - pos < size) break; // wait for the rest of the frame

        std::span<std::uint8_t> frame(base + pos, size);
        const std::uint16_t type =
            static_cast<std::uint16_t>(base[pos + SonarFrameHeader::kTypeOffset] |
                                       (base[pos + SonarFrameHeader::kTypeOffset + 1] << 8));
        headerFound_ = false;
        if (le32(base + pos + size - kTrailerSize) != kFrameTrailer) {
            // Only this frame's start is dropped; hunt on right behind it.
            add(stats_.badTrailers);
            pos += 1;
            continue;
        }
        // A good trailer at the declared end makes a good frame, whatever its
        // samples hold (echo data may contain the sync words), unless the
        // frame ends with a whole frame of its own: a truncated frame that ran
        // into the frames behind it.
        if (!plausible(frame, type) || endsWithNestedFrame(frame)) {
            add(stats_.malformedFrames);
            pos += 1;
            continue;
        }

        add(stats_.frames);
        if (!status_.playbackMode.load(std::memory_order_relaxed)) completeAttitude(frame);
        if (sink_->rawRecordingOn()) sink_->recordRawFrame(frame);
        dispatch(frame, type, lastPortSamples);

        pos += size;
        status_.lastFrameTick.store(tick_(), std::memory_order_relaxed);
        status_.anyFrame.store(true, std::memory_order_relaxed);
        status_.dataState.store(data_state::kFramesArriving, std::memory_order_relaxed);
    }

    // One move per feed: the unfinished rest goes to the buffer start.
    if (pos > 0) {
        std::memmove(base, base + pos, fill - pos);
        fillCount = static_cast<std::uint32_t>(fill - pos);
    }
    return base + fillCount;
}

bool FrameAssembler::endsWithNestedFrame(std::span<const std::uint8_t> frame) const {
    // A truncated frame followed by good ones can end, by chance, exactly on a
    // later frame's trailer; the last frame it swallowed gives it away: a sync
    // pair whose declared length ends exactly where this frame ends. A sync
    // pair in echo data has no such length behind it, so the ping is kept.
    // Any 8-byte sync pair wholly contains one 4-byte window of a
    // stride-4 lattice, and that window reads as one of four words; those are
    // rare in echo data, so a word scan finds the few places worth comparing.
    static constexpr std::uint8_t kSync[8] = {0x02, 0x17, 0x10, 0x00, 0xFF, 0xFF, 0x00, 0x00};
    constexpr std::uint32_t kW0 = 0x00101702; // bytes 0-3 of the pair
    constexpr std::uint32_t kW1 = 0xFF001017; // bytes 1-4
    constexpr std::uint32_t kW2 = 0xFFFF0010; // bytes 2-5
    constexpr std::uint32_t kW3 = 0x00FFFF00; // bytes 3-6
    const std::size_t size = frame.size();
    if (size < 1 + sizeof kSync) return false;
    const std::uint8_t* p = frame.data();
    auto exactAt = [&](std::size_t from, std::size_t to) { // pair start in [from, to]
        from = std::max<std::size_t>(from, 1);
        to = std::min(to, size - sizeof kSync);
        for (std::size_t q = from; q <= to; ++q) {
            if (p[q] != 0x02 || std::memcmp(p + q, kSync, sizeof kSync) != 0) continue;
            if (q + SonarFrameHeader::kSize > size) continue;
            const std::uint64_t end = std::uint64_t{q} + SonarFrameHeader::kSize +
                                      le32(p + q + SonarFrameHeader::kLengthOffset);
            if (end == size) return true;
        }
        return false;
    };
    constexpr std::size_t kBlock = 64; // bytes per step: 16 lattice words
    std::size_t off = 1;               // lattice 1, 5, 9, ...
    while (off + kBlock <= size) {
#if defined(__SSE2__)
        const __m128i w0 = _mm_set1_epi32(static_cast<int>(kW0));
        const __m128i w1 = _mm_set1_epi32(static_cast<int>(kW1));
        const __m128i w2 = _mm_set1_epi32(static_cast<int>(kW2));
        const __m128i w3 = _mm_set1_epi32(static_cast<int>(kW3));
        __m128i any = _mm_setzero_si128();
        for (std::size_t j = 0; j < kBlock; j += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + off + j));
            any = _mm_or_si128(
                any, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(v, w0), _mm_cmpeq_epi32(v, w1)),
                                  _mm_or_si128(_mm_cmpeq_epi32(v, w2), _mm_cmpeq_epi32(v, w3))));
        }
        const bool hit = _mm_movemask_epi8(any) != 0;
#else
        bool hit = false;
        for (std::size_t j = 0; j < kBlock; j += 4) {
            const std::uint32_t w = le32(p + off + j);
            hit |= (w == kW0) | (w == kW1) | (w == kW2) | (w == kW3);
        }
#endif
        if (hit && exactAt(off > 3 ? off - 3 : 1, off + kBlock)) return true;
        off += kBlock;
    }
    return exactAt(off > 3 ? off - 3 : 1, size);
}

bool FrameAssembler::plausible(std::span<const std::uint8_t> frame, std::uint16_t type) const {
    switch (static_cast<FrameType>(type)) {
    case FrameType::HfPing:
    case FrameType::LfPing:
        if (PingRecord::fromFrame(frame)) return true;
        // A ping of another sample layout need not have 32-bit samples: it is
        // recorded raw as it came and then dropped by the dispatch.
        return frame.size() >= PingHeader::kSize + kTrailerSize &&
               frame[PingHeader::kLayoutMarkerOffset] != PingHeader::kLayoutMarker;
    case FrameType::Attitude:
        return frame.size() >= AttitudeRecord::kSize + kTrailerSize;
    case FrameType::Position:
    case FrameType::Time:
        return frame.size() == SonarFrameHeader::kSize + kPositionFrameLength;
    }
    return true; // other types are skipped without error
}

void FrameAssembler::completeAttitude(std::span<std::uint8_t> frame) {
    // Only frames long enough to hold the four words: never write into the
    // bytes of the next frame.
    if (frame.size() < kAttitudeWordsEnd + kTrailerSize) return;
    ByteReader r(frame);
    if (*r.u16le(PingHeader::kRollOffset) != 0 || *r.u16le(PingHeader::kPitchOffset) != 0 ||
        *r.u16le(PingHeader::kHeaveOffset) != 0 || *r.u16le(PingHeader::kHeadingOffset) != 0)
        return;
    if (!haveLiveAttitude_) return;
    ByteWriter w(frame);
    w.i16le(PingHeader::kRollOffset, liveAttitude_.roll);
    w.i16le(PingHeader::kPitchOffset, liveAttitude_.pitch);
    w.i16le(PingHeader::kHeaveOffset, liveAttitude_.heave);
    w.u16le(PingHeader::kHeadingOffset, liveAttitude_.heading);
}

void FrameAssembler::dispatch(std::span<std::uint8_t> frame, std::uint16_t type,
                              std::uint32_t* lastPortSamples) {
    const bool playback = status_.playbackMode.load(std::memory_order_relaxed);
    switch (static_cast<FrameType>(type)) {
    case FrameType::HfPing:
    case FrameType::LfPing: {
        auto ping = PingRecord::fromFrame(frame);
        if (!ping) { // a foreign layout whose counts do not fit 32-bit samples
            add(stats_.foreignLayout);
            return;
        }
        if (playback && lastPortSamples) *lastPortSamples = ping->portCount();
        dispatchPing(*ping);
        return;
    }
    case FrameType::Attitude: {
        std::span<const std::uint8_t, AttitudeRecord::kSize> record(frame.data(),
                                                                    AttitudeRecord::kSize);
        add(stats_.attitudes);
        sink_->storeAttitude(record);
        if (!playback) {
            liveAttitude_ = *AttitudeRecord::decode(record);
            haveLiveAttitude_ = true;
        }
        return;
    }
    case FrameType::Position:
    case FrameType::Time:
        if (!playback) return;
        add(stats_.positions);
        sink_->replayPosition(static_cast<FrameType>(type),
                              std::span<const std::uint8_t, kPositionRecordSize>(
                                  frame.data() + kPositionRecordOffset, kPositionRecordSize));
        return;
    }
    add(stats_.otherTypes);
}

void FrameAssembler::dispatchPing(const PingRecord& ping) {
    const PingHeader& h = ping.header();
    PingMemory& m = pings_[static_cast<std::size_t>(index(ping.frequency()))];
    if (h.layoutMarker != PingHeader::kLayoutMarker) {
        add(stats_.foreignLayout);
        return;
    }
    if (m.seenAny && h.pingNumber != 0 && h.pingNumber == m.lastPingNumber) {
        add(stats_.repeatedPings);
        return;
    }
    m.seenAny = true;
    m.lastPingNumber = h.pingNumber;

    const PingChannelBlock& port = h.port;
    const bool changed = !m.compared || port.settingCode != m.settingCode ||
                         port.sampleRate != m.sampleRate || port.rangeWindow != m.rangeWindow ||
                         port.decimation != m.decimation;
    add(stats_.pingsHanded[index(ping.frequency())]);
    if (sink_->handPing(ping, port.effectiveSampleRate(), changed ? 1 : 0)) {
        m.compared = true;
        m.settingCode = port.settingCode;
        m.sampleRate = port.sampleRate;
        m.rangeWindow = port.rangeWindow;
        m.decimation = port.decimation;
    }
}

} // namespace kestrova::acquisition

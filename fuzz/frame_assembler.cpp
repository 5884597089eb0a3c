// Fuzzes the frame assembler with arbitrary bytes. The first byte picks the
// mode (live or playback, recording on or off) and the read sizes; the rest
// is the stream. Fed whole and fed in those pieces, it must hand on exactly
// the same frames, and every ping handed on must lie within its frame.

#include "acquisition/frame_assembler.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace kestrova::acquisition;

struct Seen {
    int kind;
    std::uint32_t size;
    std::uint32_t digest;
    bool operator==(const Seen&) const = default;
};

std::uint32_t digest(std::span<const std::uint8_t> b) {
    std::uint32_t h = 2166136261u;
    for (std::uint8_t c : b)
        h = (h ^ c) * 16777619u;
    return h;
}

class Sink : public FrameSink {
  public:
    bool rawRecordingOn() const override { return recording; }
    void recordRawFrame(std::span<const std::uint8_t> f) override {
        seen.push_back({10, static_cast<std::uint32_t>(f.size()), digest(f)});
    }
    bool handPing(const PingRecord& p, float, std::uint8_t changed) override {
        const auto bytes = p.bytes();
        if (std::uint64_t{p.firstPartWords() + p.secondPartWords()} * 4 != bytes.size())
            std::abort();
        seen.push_back({static_cast<int>(p.frequency()) + 20 * changed,
                        static_cast<std::uint32_t>(bytes.size()), digest(bytes)});
        return accept = !accept; // every other ping "stored", to exercise the comparison rule
    }
    void storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> r) override {
        seen.push_back({5, 40, digest(r)});
    }
    void replayPosition(FrameType t,
                        std::span<const std::uint8_t, kPositionRecordSize> r) override {
        seen.push_back({static_cast<int>(t), 152, digest(r)});
    }
    bool recording = false;
    bool accept = false;
    std::vector<Seen> seen;
};

struct Run {
    SonarStatus status;
    Sink sink;
    FrameAssembler assembler{sink, status};
};

void feedAll(Run& run, const std::uint8_t* data, std::size_t size, unsigned pieceSeed) {
    run.assembler.restart();
    run.sink.seen.clear();
    run.sink.accept = false;
    std::uint32_t fill = 0;
    std::size_t at = 0;
    unsigned s = pieceSeed;
    while (at < size) {
        std::size_t n = size - at;
        if (pieceSeed != 0) {
            s = s * 1103515245u + 12345u;
            n = std::min<std::size_t>(n, 1 + (s >> 16) % 97);
        }
        n = std::min<std::size_t>(n, FrameAssembler::kMaxRead);
        if (fill > FrameAssembler::kOverflowLimit) {
            fill = 0;
            run.assembler.reset();
        }
        std::memcpy(run.assembler.buffer() + fill, data + at, n);
        fill += static_cast<std::uint32_t>(n);
        std::uint32_t np = 0;
        std::uint8_t* next = run.assembler.feed(fill, &np);
        if (next != run.assembler.buffer() + fill || fill > FrameAssembler::kBufferSize)
            std::abort();
        at += n;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static Run whole, pieces;
    const std::uint8_t mode = data[0];
    for (Run* r : {&whole, &pieces}) {
        r->status.playbackMode = (mode & 1) != 0;
        r->sink.recording = (mode & 2) != 0;
    }
    feedAll(whole, data + 1, size - 1, 0);
    feedAll(pieces, data + 1, size - 1, 1u + (mode >> 2));
    if (!(whole.sink.seen == pieces.sink.seen)) std::abort();
    return 0;
}

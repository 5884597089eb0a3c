// The display path with hostile pings: any sample counts (past the history
// line's halves too), any sample rate of a float (zero, negative, NaN,
// infinite), settings-changed flags at random, any strength and bottom source,
// window sizes and zoom drags of any value, target captures anywhere. Nothing
// may be read or written out of bounds (the sanitizers watch), and every line
// stays within its half.

#include "acquisition/ping_batch.h"
#include "display/target_capture.h"
#include "display/waterfall.h"
#include "platform/bytes.h"
#include "platform/library.h"

#include <bit>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace kestrova;
using acquisition::Frequency;
using acquisition::PingHeader;

struct Path {
    Path() {
        const char* bin = std::getenv("KESTROVA_BIN");
        drovanta.load(bin ? std::string(bin)
                          : platform::SharedLibrary::executableFolder() + "/../bin");
        if (!drovanta.ready()) std::abort(); // a run without the library tests nothing
        drovanta.initialize();
        view = std::make_unique<display::ViewPipeline>(Frequency::HF, drovanta, shared);
        picture = std::make_unique<display::Waterfall>(*view);
        view->setTarget(picture.get());
        picture->layout(64, 100);
    }
    display::DrovantaApi drovanta;
    display::DisplayShared shared;
    std::unique_ptr<display::ViewPipeline> view;
    std::unique_ptr<display::Waterfall> picture;
    acquisition::PingBatch batch;
    display::PositionRing positions;
    std::unique_ptr<display::TargetSnapshot> snapshot = std::make_unique<display::TargetSnapshot>();
};

class Input {
  public:
    Input(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t{byte()} << (8 * i);
        return v;
    }
    std::uint8_t byte() { return at_ < n_ ? d_[at_++] : 0; }
    bool done() const { return at_ >= n_; }

  private:
    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t at_ = 0;
};

std::vector<std::uint8_t> pingFrame(Input& in, std::uint32_t np, std::uint32_t ns) {
    const std::uint64_t length = acquisition::pingFrameLength(np, ns);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(length) + 16, 0);
    acquisition::SonarFrameHeader fh;
    fh.type = 0;
    fh.length = static_cast<std::uint32_t>(length);
    fh.encode(frame);
    PingHeader h;
    h.year = static_cast<std::uint16_t>(in.u32());
    h.month = in.byte();
    h.day = in.byte();
    h.pingNumber = in.u32();
    h.layoutMarker = PingHeader::kLayoutMarker;
    h.port.sampleCount = np;
    h.starboard.sampleCount = ns;
    h.port.sampleRate = in.u32();
    h.heading = static_cast<std::uint16_t>(in.u32());
    h.encode(frame);
    ByteWriter w(frame);
    const std::uint32_t seed = in.u32();
    for (std::uint32_t i = 0; i < np + ns; ++i)
        w.u32le(PingHeader::kSize + 4 * std::size_t{i}, seed * (i + 1) ^ (i << 13));
    w.u32le(frame.size() - 4, acquisition::kFrameTrailer);
    return frame;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Path path;
    Input in(data, size);
    auto& s = path.shared.settings;
    s.strength[0] = static_cast<int>(in.u32() % 200) - 50;
    s.bottom.on = in.byte() & 1;
    s.bottom.source = in.byte() % 7;
    s.bottom.manualAltitude = std::bit_cast<float>(in.u32());
    s.bottom.threshold = in.byte() % 16;
    s.soundSpeed = (in.byte() & 1) ? 1500.0 : static_cast<double>(std::bit_cast<float>(in.u32()));
    for (int round = 0; round < 6 && !in.done(); ++round) {
        const std::uint32_t op = in.byte();
        if (op < 160) {
            const std::uint32_t count = 1 + in.byte() % 4;
            for (std::uint32_t k = 0; k < count; ++k) {
                // Mostly short lines (fast runs), now and then past the halves.
                const std::uint32_t limit = (in.byte() & 7) == 0 ? 24000 : 700;
                const std::uint32_t np = in.u32() % limit, ns = in.u32() % limit;
                const auto frame = pingFrame(in, np, ns);
                auto ping = acquisition::PingRecord::fromFrame(frame);
                if (!ping) std::abort(); // built well-formed
                path.batch.append(*ping, std::bit_cast<float>(in.u32()), in.byte() & 1);
            }
            path.view->intake(path.batch);
            path.view->processPass();
        } else if (op < 190) {
            path.picture->layout(static_cast<int>(in.u32() % 3000) - 10,
                                 static_cast<int>(in.u32() % 1300) - 10);
            path.view->resetDataWindow();
            path.view->setRedrawFlag();
            path.view->processPass();
        } else if (op < 220) {
            const auto& l = path.picture->viewLayout();
            display::ZoomDrag drag{static_cast<int>(in.u32() % 4000) - 500,
                                   static_cast<int>(in.u32() % 4000) - 500,
                                   static_cast<int>(in.u32() % 4000) - 500,
                                   static_cast<int>(in.u32() % 4000) - 500, false};
            bool a = in.byte() & 1, b = in.byte() & 1;
            if (display::applyZoom(path.view->dataWindow(), drag, l.width, l.waterfallHeight,
                                   path.view->samplesPerSide(), a, b)) {
                path.view->setRedrawFlag();
                path.view->processPass();
            }
        } else {
            display::CaptureRequest req;
            req.projectOpen = true;
            req.x = static_cast<int>(in.u32() % 5000) - 1000;
            req.y = static_cast<int>(in.u32() % 5000) - 1000;
            req.waterfallTop = 71;
            req.waterfallWidth = static_cast<int>(in.u32() % 5000) - 1000;
            req.waterfallHeight = static_cast<int>(in.u32() % 2000) - 100;
            display::captureTarget(*path.view, path.positions, req, *path.snapshot);
        }
        const auto& ring = path.view->ring();
        for (std::uint32_t line = 0; line < display::HistoryRing::kLines; ++line)
            if (ring.portCount[line] > display::HistoryRing::kPortMax ||
                ring.starboardCount[line] > display::HistoryRing::kStarboardMax)
                std::abort();
    }
    return 0;
}

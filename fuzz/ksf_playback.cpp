// Fuzzes the reading side of raw recordings: the input is a whole ".ksf" file.
// Its header is decoded (both variants) and the file is played through the
// playback reader into a FrameAssembler in playback mode, as the export does;
// every ping is turned into an XTF ping record and every position record is
// decoded. The file lives in memory (memfd), never on the disk. Nothing may
// crash, read out of bounds, or give a record of the wrong size.

#include "acquisition/frame_assembler.h"
#include "acquisition/ksf_header.h"
#include "acquisition/playback.h"
#include "acquisition/xtf_writer.h"
#include "position/position_fix.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kestrova::acquisition;

class Sink : public FrameSink {
  public:
    bool handPing(const PingRecord& ping, float, std::uint8_t) override {
        // Display lines as long as the ping's sides, cut to a history line.
        std::vector<std::uint16_t> port(std::min<std::size_t>(ping.portCount(), 23146), 7);
        std::vector<std::uint16_t> stbd(std::min<std::size_t>(ping.starboardCount(), 23260), 9);
        XtfPingInput in{ping.bytes().first(PingHeader::kSize), port, stbd};
        record.clear();
        xtf::appendPingRecord(in, {}, 1500.0f, record);
        if (record.size() != xtf::recordSize(port.size(), stbd.size()) || record.size() % 64)
            std::abort();
        return true;
    }
    void replayPosition(FrameType, std::span<const std::uint8_t, kPositionRecordSize> r) override {
        if (!kestrova::position::decodePositionFix(r)) std::abort();
    }
    std::vector<std::uint8_t> record;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    auto header = decodeKsfHeader(std::span<const std::uint8_t>(data, size));
    if (header && size < kKsfHeaderSize) std::abort();

    const int fd = ::memfd_create("ksf", MFD_CLOEXEC);
    if (fd < 0) return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    static Sink sink;
    static SonarStatus status;
    static FrameAssembler assembler(sink, status);
    status.playbackMode = true;
    assembler.restart();
    auto r = playWithoutPacing(path, assembler);
    if ((r.status == KsfReader::Status::Ok) != header.has_value()) std::abort();
    if (r.status == KsfReader::Status::Ok && r.bytes != size) std::abort();
    ::close(fd);
    return 0;
}

// The command channel carries whatever the sonar (or a faulty cable) sends.
// Any bytes, in any split, go through the reply line extractor and the
// session's reply handling without a crash, and every line taken out is one
// reply: from its only "$" to its CR LF. Nothing here opens a socket: the
// session's channels are never connected, so its stop line is not sent.

#include "acquisition/device_session.h"
#include "acquisition/sonar_commands_reply.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

using namespace kestrova;

struct Harness {
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    platform::MessageQueue queue;
    // No limits files in this folder: a model change reads the defaults.
    app::Configuration config{"/nonexistent-kestrova-fuzz/", messenger};
    acquisition::SonarAcquisition acq{queue};
    acquisition::DeviceSession session{config, acq};
    Harness() { messenger.setSink(&sink); }
};

Harness& harness() {
    static Harness* h = new Harness();
    return *h;
}

void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Harness& h = harness();
    // The first byte sets the size of the reads, as the receive thread sees them.
    const std::size_t piece = 1 + data[0] % 64;
    ++data;
    --size;
    acquisition::ReplyAccumulator acc;
    for (std::size_t at = 0; at < size; at += piece) {
        acc.append(std::span<const std::uint8_t>(data + at, std::min(piece, size - at)));
        // One line per pass while anything is waiting, as the receive thread takes them.
        for (int pass = 0; pass < 64 && !acc.empty(); ++pass) {
            const std::size_t before = acc.size();
            auto line = acquisition::extractReplyLine(acc);
            check(acc.size() <= before);
            if (!line) {
                if (acc.size() == before) break;
                continue;
            }
            const std::string_view l = *line;
            check(l.size() >= 3 && l.front() == '$' && l.substr(l.size() - 2) == "\r\n");
            check(l.find('$', 1) == std::string_view::npos);
            const acquisition::SonarReply r = acquisition::interpretReply(l);
            if (r.kind == acquisition::ReplyKind::DeviceType ||
                r.kind == acquisition::ReplyKind::Version)
                check(!r.text.empty() && r.text.size() <= acquisition::kDeviceTextLimit);
            h.session.interpret(l);
        }
    }
    h.queue.drain();
    h.sink.clear();
    check(h.session.deviceInformation().type.size() <= acquisition::kDeviceTextLimit);
    return 0;
}

#pragma once
// XTF export: the processed display lines of each ping written to a pair of
// files in the eXtended Triton Format, "<stamp>_HF.xtf" and "<stamp>_LF.xtf",
// created and closed together. Each file opens with the 1024-byte file header
// (two side-scan channels, port and starboard); each ping is one sonar record:
// the 256-byte ping header (0xFACE), then per side a 64-byte channel header and
// its 16-bit samples, port samples farthest first, padded to 64 bytes.
//
// The display pipeline calls write_xtf_ping once per processed ping, with the
// ping header and the two display lines as spans (or a whole history line).
// Every write is checked: on a failure both files are closed with every whole
// ping record kept, XTF recording goes off and the operator is told.

#include "acquisition/ksf_header.h"
#include "acquisition/operator_notice.h"
#include "acquisition/record_file.h"
#include "acquisition/recording_common.h"
#include "platform/lock.h"
#include "platform/messages.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::acquisition {

// Layout of one history line of a waterfall view.
namespace history_line {
constexpr std::size_t kSize = 93040;
constexpr std::size_t kPortOffset = 228;
constexpr std::size_t kStarboardOffset = 46520;
constexpr std::size_t kMaxPort = (kStarboardOffset - kPortOffset) / 2; // 23146
constexpr std::size_t kMaxStarboard = (kSize - kStarboardOffset) / 2;  // 23260
static_assert(kMaxPort == 23146 && kMaxStarboard == 23260);
} // namespace history_line

// One processed ping as the display pipeline hands it over.
struct XtfPingInput {
    std::span<const std::uint8_t> header;     // the ping's first 228 bytes
    std::span<const std::uint16_t> port;      // display samples, nadir first
    std::span<const std::uint16_t> starboard; // display samples, nadir first
};

// Values from outside the ping: the current position fix and altitude.
struct XtfPingContext {
    double latitude = 0.0;
    double longitude = 0.0;
    float altitude = 0.0f; // current altitude from bottom tracking, m
};

// The ping header and display lines of a history line; the sample counts come
// from the header (bytes 136 and 192), cut to what a line can hold. The line
// must outlive the returned spans. nullopt when the line is too short.
std::optional<XtfPingInput> xtfInputFromHistoryLine(std::span<const std::uint8_t> line,
                                                    std::vector<std::uint16_t>& port,
                                                    std::vector<std::uint16_t>& starboard);

namespace xtf {
constexpr std::size_t kFileHeaderSize = 1024;
constexpr std::size_t kChanInfoOffset = 256;
constexpr std::size_t kChanInfoSize = 128;
constexpr std::size_t kPingHeaderSize = 256;
constexpr std::size_t kChannelHeaderSize = 64;
constexpr std::uint16_t kMagic = 0xFACE;
static_assert(kChanInfoOffset + 6 * kChanInfoSize == kFileHeaderSize);

// Bytes of one ping record, ping and channel headers included, padded to 64.
std::uint32_t recordSize(std::size_t portSamples, std::size_t starboardSamples);
// 1 January = 1; 0 for a year before 1970, a month outside 1-12 or a day outside 1-31.
int julianDay(int year, int month, int day);

struct ChannelSetup {
    std::string deviceType = "QM-302";
    float frequency = 900.0f;     // of the device session
    float horizBeamAngle = 0.26f; // 0.26 HF, 0.5 LF
};
std::array<std::uint8_t, kFileHeaderSize> encodeFileHeader(const ChannelSetup& setup,
                                                           const std::string& path);
// Appends one whole ping record to `out`.
void appendPingRecord(const XtfPingInput& ping, const XtfPingContext& context, float soundVelocity,
                      std::vector<std::uint8_t>& out);
} // namespace xtf

struct XtfCounters {
    std::atomic<std::uint64_t> pings[2]{};
    std::atomic<std::uint64_t> bytes[2]{};
    std::atomic<std::uint32_t> writeFailures{0};
};

class XtfWriter {
  public:
    static constexpr int kHF = 0;
    static constexpr int kLF = 1;

    explicit XtfWriter(OperatorNotices& notices, platform::MessageQueue* queue = nullptr,
                       RecordingEnvironment env = {});
    ~XtfWriter();
    XtfWriter(const XtfWriter&) = delete;
    XtfWriter& operator=(const XtfWriter&) = delete;

    void setProjectFolder(const std::string& folder);
    void setDiskPage(platform::WindowHandle window) { diskPage_.store(window); }
    // Device type and channel frequencies of the session, for new file headers.
    void setSession(const DeviceSessionBlock& session);
    // FitSoundVelocity, m/s.
    void setSoundVelocity(float metresPerSecond);

    // "XTF File": on -> off (both files closed); off -> both files made, then on.
    bool toggle_xtf_recording();
    bool create_xtf_files();
    // The export tool: both files as <folder>/<base>_HF.xtf and _LF.xtf (unique).
    bool createNamed(const std::string& folder, const std::string& base);
    void close_xtf_files();
    void switchOff();
    bool recording() const { return recording_.load(std::memory_order_acquire); }
    // Export tool: files open without the recording flag of the window.
    void setRecording(bool on) { recording_.store(on); }

    // Frequency 0 (HF) or 1 (LF); others are ignored.
    void write_xtf_ping(int frequency, const XtfPingInput& ping, const XtfPingContext& context);

    std::string displayedName(int frequency) const;
    std::string path(int frequency) const;
    std::uint64_t fileSize(int frequency) const;
    const XtfCounters& counters() const { return counters_; }

  private:
    bool createLocked(const std::string& folder, std::string base,
                      std::vector<NoticeText>& notices);
    void closeLocked();
    void post(std::uint32_t id, std::uintptr_t wParam = 0);
    void tell(const std::vector<NoticeText>& notices);

    OperatorNotices& notices_;
    platform::MessageQueue* queue_;
    RecordingEnvironment env_;
    std::atomic<platform::WindowHandle> diskPage_{platform::kNoWindow};

    mutable std::mutex settingsMutex_;
    std::string projectFolder_;
    DeviceSessionBlock session_;
    float soundVelocity_ = 1500.0f;

    mutable platform::Lock lock_;
    RecordFile files_[2];
    std::string names_[2];
    std::vector<std::uint8_t> record_; // staging block of one ping record
    std::string namedBase_;            // createNamed: the base a split keeps
    std::atomic<bool> recording_{false};
    std::uint32_t lastReport_[2]{0, 0};
    bool anyReport_[2]{false, false};
    XtfCounters counters_;
};

} // namespace kestrova::acquisition

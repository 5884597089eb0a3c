#pragma once
// The raw recorder: every frame that completes in the FrameAssembler, and the
// position records of the navigation input, appended byte for byte to a ".ksf"
// file in the project's "Data" folder behind a 1024-byte header. Files are
// split before a frame would start at 2 GiB and on the operator's "Cut KSF".
//
// Every write is checked. When the disk fills up or the drive fails the file
// is closed with everything written so far (ending on a whole frame), raw
// recording is switched off and the operator is told; a split whose new file
// cannot be created does the same, so recording never shows on while frames
// are being dropped.
//
// Use: construct it, set the project folder, the disk page window and the
// header source, then hand it to SonarAcquisition::setRawRecorder (the
// receive thread and the playback thread then call writeFrame while
// recording() is on). The interface thread calls toggle_raw_recording ("Save
// KSF", F3), cut_raw_file ("Cut KSF") and close_raw_file (quit).

#include "acquisition/acquisition_hooks.h"
#include "acquisition/ksf_header.h"
#include "acquisition/operator_notice.h"
#include "acquisition/record_file.h"
#include "acquisition/recording_common.h"
#include "platform/lock.h"
#include "platform/messages.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kestrova::acquisition {

struct RawRecorderCounters {
    std::atomic<std::uint64_t> frames{0};
    std::atomic<std::uint64_t> positionFrames{0};
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<std::uint32_t> filesCreated{0};
    std::atomic<std::uint32_t> writeFailures{0};
};

class RawRecorder final : public RawFrameRecorder {
  public:
    static constexpr std::uint64_t kCutIntervalUs = 1000000;
    // Refreshes the installation parameters and the device session block just
    // before a header is written.
    using HeaderSource = std::function<void(KsfInstallation&, DeviceSessionBlock&)>;

    explicit RawRecorder(OperatorNotices& notices, platform::MessageQueue* queue = nullptr,
                         RecordingEnvironment env = {});
    ~RawRecorder() override;
    RawRecorder(const RawRecorder&) = delete;
    RawRecorder& operator=(const RawRecorder&) = delete;

    void setProjectFolder(const std::string& folder);
    std::string projectFolder() const;
    void setDiskPage(platform::WindowHandle window) { diskPage_.store(window); }
    void setHeaderSource(HeaderSource source);

    // "Save KSF": off -> new file and on (only if the file was made); on -> off.
    // Returns the recording state afterwards.
    bool toggle_raw_recording();
    bool create_raw_file();
    void close_raw_file();
    // Recording off and the file closed, from outside (playback mode, a device
    // change, low disk space); posts the state change.
    void switchOff();
    // "Cut KSF": at most once per second a fresh file; only while recording.
    bool cut_raw_file();

    void write_raw_frame(std::span<const std::uint8_t> frame);
    // A 172-byte position or time frame of the navigation input.
    void writePositionFrame(std::span<const std::uint8_t> frame);

    // RawFrameRecorder
    bool recording() const override { return recording_.load(std::memory_order_acquire); }
    void writeFrame(std::span<const std::uint8_t> frame) override { write_raw_frame(frame); }

    std::string displayedName() const;
    std::string currentPath() const;
    std::uint64_t free_disk_space() const;
    const RawRecorderCounters& counters() const { return counters_; }

  private:
    bool createLocked(std::vector<NoticeText>& notices);
    void closeLocked();
    bool appendLocked(std::span<const std::uint8_t> frame, std::vector<NoticeText>& notices,
                      std::uint64_t& positionBefore, bool& stateChanged);
    void post(std::uint32_t id, std::uintptr_t wParam = 0);
    void tell(const std::vector<NoticeText>& notices);

    OperatorNotices& notices_;
    platform::MessageQueue* queue_;
    RecordingEnvironment env_;
    std::atomic<platform::WindowHandle> diskPage_{platform::kNoWindow};

    mutable std::mutex settingsMutex_;
    std::string projectFolder_;
    HeaderSource headerSource_;

    mutable platform::Lock fileLock_;
    RecordFile file_;
    std::string displayedName_;
    std::atomic<bool> recording_{false};
    std::atomic<std::uint32_t> lastSizeReport_{0};
    std::atomic<bool> anySizeReport_{false};
    bool anyCut_ = false;
    std::uint64_t lastCutUs_ = 0;
    RawRecorderCounters counters_;
};

} // namespace kestrova::acquisition

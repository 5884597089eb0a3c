#pragma once
// Playback: a raw recording fed through the same FrameAssembler as live data,
// so the waterfalls, the XTF export and the navigation display behave as
// during the survey; the position records in the file re-enter the position
// pipeline through the assembler's position replay (SonarAcquisition's
// PositionReplay hook). A playback thread reads 64 KiB at a time and paces
// itself by the size of the last ping, so speed 3 is about the survey's pace.
//
// Use from the interface thread: enterMode(chosen file) ... startPause(),
// stop(), speedUp(), slowDown(), previous(), next() ... leaveMode(). The
// disk page follows the posted messages and reads controls().

#include "acquisition/frame_assembler.h"
#include "acquisition/ksf_header.h"
#include "acquisition/operator_notice.h"
#include "acquisition/recording_common.h"
#include "platform/lock.h"
#include "platform/messages.h"
#include "platform/worker.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::acquisition {

// A recording opened for reading, header checked.
class KsfReader {
  public:
    enum class Status { Ok, OpenFailed, NotRecording };
    struct Opened {
        Status status = Status::OpenFailed;
        KsfHeaderInfo header;
        std::uint64_t size = 0;
    };

    KsfReader() = default;
    ~KsfReader() { close(); }
    KsfReader(const KsfReader&) = delete;
    KsfReader& operator=(const KsfReader&) = delete;

    // Opens the file and reads its first 1024 bytes into `headerInto` (at
    // least 1024 bytes, normally the assembler's buffer); the file is a
    // recording only if all 1024 came and they begin with 0x0F "KSF". On
    // success the file is rewound to offset 0: the header is fed to the
    // assembler too, which skips it as bytes before the first sync pair.
    Opened open(const std::string& path, std::span<std::uint8_t> headerInto);
    // Bytes read (0 at the end), or -1 on a read error.
    long long read(std::uint8_t* into, std::size_t max);
    bool rewind();
    void close();
    bool isOpen() const { return file_ != nullptr; }
    std::uint64_t size() const { return size_; }

  private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
};

// A whole recording through the assembler as fast as the machine allows (the
// export tool): the same 64 KiB reads and overflow rule as the playback
// thread, no pacing. `progress` (optional) gets the position after each read.
struct UnpacedResult {
    KsfReader::Status status = KsfReader::Status::OpenFailed;
    KsfHeaderInfo header;
    std::uint64_t bytes = 0;
    bool readError = false;
};
UnpacedResult
playWithoutPacing(const std::string& path, FrameAssembler& assembler,
                  const std::function<void(std::uint64_t, std::uint64_t)>& progress = nullptr);

// What playback asks of the rest of the program.
struct PlaybackHooks {
    // An opened file's header: take its installation parameters into the
    // parameter model, its device session values, and select the device model
    // by its type text. False when no model of that type exists.
    std::function<bool(const KsfHeaderInfo&)> applyHeader;
    // Raw recording switched off as the mode is entered or left.
    std::function<void()> rawRecordingOff;
    // The sonar settings controls: disabled on entering playback; on leaving,
    // the HF and LF channel settings are applied again.
    std::function<void(bool enabled)> sonarControls;
    // Leaving playback: the live device's model replaces the played file's.
    std::function<void()> liveModel;
    // The navigation track buffers and track timing are cleared for a new file.
    std::function<void()> clearTrack;
};

// The disk page's playback controls as the rules leave them.
struct PlaybackControls {
    bool openEnabled = true;
    bool startEnabled = false;
    bool stopEnabled = false;
    bool previousEnabled = false;
    bool nextEnabled = false;
    bool speedUpEnabled = true;
    bool slowDownEnabled = true;
    std::string startText = "Start"; // "Start" or "Pause"
    std::string indexText;           // "%d/%d"
};

class Playback {
  public:
    static constexpr int kStartDivisor = 3;

    Playback(FrameAssembler& assembler, SonarStatus& status, OperatorNotices& notices,
             platform::MessageQueue* queue = nullptr, PlaybackHooks hooks = {});
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    void setDiskPage(platform::WindowHandle window) { diskPage_.store(window); }

    // Pause after one read, in ms: max(4, trunc((Np / 216 + 10) d² / 9 - 1)).
    static std::uint32_t pacingMs(std::uint32_t lastPortSamples, int divisor);

    // Playback mode. `chosen` is the file the operator picked (empty: none,
    // then nothing changes and false is returned). Already in the mode, only
    // the file is chosen.
    bool enterMode(const std::string& chosen);
    void leaveMode();
    bool inMode() const { return status_.playbackMode.load(); }

    // A file picked in the dialog: its folder's "*.ksf" list, its index, open.
    bool chooseFile(const std::string& path);
    // Opens and validates; the previous file is closed either way.
    bool openFile(const std::string& path);
    void closeFile();
    bool previous();
    bool next();

    void startPause(); // also start_work / the toolbar's start in playback mode
    void stop();       // also stop_work
    void speedUp();
    void slowDown();

    // The playback thread lives from entering to leaving playback mode.
    bool startThread();
    void stopThread();
    bool threadRunning() const { return thread_.joinable(); }

    bool fileReady() const { return fileReady_.load(); }
    bool playing() const { return playing_.load(); }
    bool paused() const { return paused_.load(); }
    bool working() const { return working_.load(); }
    int divisor() const;
    int shownSpeed() const { return 6 - divisor(); }
    int progress() const { return progress_.load(); }
    std::uint64_t position() const { return position_.load(); }
    std::uint64_t fileSize() const { return size_.load(); }
    std::vector<std::string> files() const;
    int fileIndex() const;
    std::string folder() const;
    std::string currentFile() const;
    PlaybackControls controls() const;
    // The progress slider moved by hand: only the shown percentage changes.
    void progressMoved(int percent) { progress_.store(percent); }

  private:
    void post(std::uint32_t id, std::uintptr_t wParam = 0);
    void threadLoop();
    void updateProgress();
    void refreshIndexButtons();
    void refreshSpeedButtons();

    FrameAssembler& assembler_;
    SonarStatus& status_;
    OperatorNotices& notices_;
    platform::MessageQueue* queue_;
    PlaybackHooks hooks_;
    std::atomic<platform::WindowHandle> diskPage_{platform::kNoWindow};

    mutable platform::Lock fileLock_;
    KsfReader reader_;
    std::string currentFile_;
    std::atomic<std::uint64_t> size_{0};
    std::atomic<std::uint64_t> position_{0};
    std::atomic<std::uint32_t> generation_{0}; // bumped on every open or rewind by the page
    std::atomic<bool> fileReady_{false};
    std::atomic<bool> playing_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> working_{false};
    std::atomic<int> progress_{0};

    mutable std::mutex speedLock_;
    int divisor_ = kStartDivisor;

    mutable std::mutex stateMutex_; // file list, index, folder, controls
    std::vector<std::string> files_;
    int index_ = -1;
    std::string folder_;
    PlaybackControls controls_;

    platform::WorkerEvents events_;
    std::thread thread_;
    platform::MessageQueue ownQueue_; // for the stop pump when none was given
};

} // namespace kestrova::acquisition

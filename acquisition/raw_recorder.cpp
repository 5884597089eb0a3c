#include "acquisition/raw_recorder.h"

#include "platform/fs.h"

#include <unistd.h>

namespace kestrova::acquisition {

using platform::LockHold;

RawRecorder::RawRecorder(OperatorNotices& notices, platform::MessageQueue* queue,
                         RecordingEnvironment env)
    : notices_(notices), queue_(queue), env_(std::move(env)) {
    env_.complete();
}

RawRecorder::~RawRecorder() {
    LockHold hold(fileLock_);
    closeLocked();
}

void RawRecorder::setProjectFolder(const std::string& folder) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    projectFolder_ = folder;
}

std::string RawRecorder::projectFolder() const {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    return projectFolder_;
}

void RawRecorder::setHeaderSource(HeaderSource source) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    headerSource_ = std::move(source);
}

void RawRecorder::post(std::uint32_t id, std::uintptr_t wParam) {
    const platform::WindowHandle w = diskPage_.load();
    if (queue_ && w != platform::kNoWindow) queue_->post(w, id, wParam, 0);
}

void RawRecorder::tell(const std::vector<NoticeText>& notices) {
    for (const auto& n : notices)
        notices_.notify(n);
}

std::uint64_t RawRecorder::free_disk_space() const {
    const std::string folder = projectFolder();
    if (folder.empty()) return kUnknownFreeSpace;
    return env_.freeSpace(folder);
}

bool RawRecorder::createLocked(std::vector<NoticeText>& notices) {
    closeLocked();
    if (free_disk_space() < env_.minFreeBytes) {
        notices.push_back(notice::kDiskBelow2G);
        return false;
    }
    const std::string data = dataFolderOf(projectFolder());
    std::string base = timeStampName(env_.localTime());
    const std::string path = data.empty() ? std::string() : uniqueRecordingPath(data, base, ".ksf");
    displayedName_ = base + ".ksf";
    post(WM_RAW_NAME);

    if (path.empty() || !file_.open(path)) {
        displayedName_.clear();
        notices.push_back(notice::kKsfCreateFailed);
        return false;
    }
    file_.setSizeLimit(env_.fileSizeLimit);

    KsfInstallation install;
    DeviceSessionBlock session;
    {
        std::lock_guard<std::mutex> hold(settingsMutex_);
        if (headerSource_) headerSource_(install, session);
    }
    const KsfHeaderBytes header = encodeKsfHeader(install, session);
    if (!file_.append(header)) {
        // A file without its header is no recording: take it away again.
        file_.close();
        ::unlink(path.c_str());
        displayedName_.clear();
        notices.push_back(notice::kKsfCreateFailed);
        return false;
    }
    counters_.filesCreated++;
    return true;
}

void RawRecorder::closeLocked() {
    if (!file_.isOpen()) return;
    file_.close();
}

bool RawRecorder::create_raw_file() {
    std::vector<NoticeText> notices;
    bool ok;
    {
        LockHold hold(fileLock_);
        ok = createLocked(notices);
    }
    tell(notices);
    return ok;
}

void RawRecorder::close_raw_file() {
    {
        LockHold hold(fileLock_);
        closeLocked();
        displayedName_.clear();
    }
    post(WM_RAW_NAME);
    post(WM_RAW_SIZE, 0);
    post(WM_FREE_SPACE);
}

bool RawRecorder::toggle_raw_recording() {
    if (recording()) {
        recording_.store(false, std::memory_order_release);
        close_raw_file();
    } else if (create_raw_file()) {
        recording_.store(true, std::memory_order_release);
    } else {
        LockHold hold(fileLock_); // a half-opened file never stays open
        closeLocked();
    }
    post(WM_RAW_STATE);
    return recording();
}

void RawRecorder::switchOff() {
    const bool was = recording_.exchange(false);
    close_raw_file();
    if (was) post(WM_RAW_STATE);
}

bool RawRecorder::cut_raw_file() {
    if (!recording()) return false;
    const std::uint64_t now = env_.microseconds();
    std::vector<NoticeText> notices;
    bool ok;
    {
        LockHold hold(fileLock_);
        if (anyCut_ && now - lastCutUs_ < kCutIntervalUs) return false;
        anyCut_ = true;
        lastCutUs_ = now;
        ok = createLocked(notices);
        if (!ok) {
            recording_.store(false, std::memory_order_release);
            notices.push_back(notice::kKsfSplitFailed);
        }
    }
    tell(notices);
    post(WM_RAW_STATE);
    if (!ok) close_raw_file();
    return ok;
}

bool RawRecorder::appendLocked(std::span<const std::uint8_t> frame,
                               std::vector<NoticeText>& notices, std::uint64_t& positionBefore,
                               bool& stateChanged) {
    if (!file_.isOpen()) return false;
    positionBefore = file_.position();
    if (positionBefore >= env_.splitBytes) {
        stateChanged = true;
        if (!createLocked(notices)) {
            recording_.store(false, std::memory_order_release);
            notices.push_back(notice::kKsfSplitFailed);
            displayedName_.clear();
            return false;
        }
        positionBefore = file_.position();
    }
    if (!file_.append(frame)) {
        counters_.writeFailures++;
        recording_.store(false, std::memory_order_release);
        closeLocked();
        displayedName_.clear();
        notices.push_back(notice::kKsfWriteFailed);
        stateChanged = true;
        return false;
    }
    counters_.bytes += frame.size();
    return true;
}

void RawRecorder::write_raw_frame(std::span<const std::uint8_t> frame) {
    std::vector<NoticeText> notices;
    std::uint64_t before = 0;
    bool changed = false;
    bool ok;
    {
        LockHold hold(fileLock_);
        if (!file_.isOpen()) return;
        ok = appendLocked(frame, notices, before, changed);
        if (ok) counters_.frames++;
    }
    if (changed) post(WM_RAW_STATE);
    if (!ok) {
        tell(notices);
        if (changed) {
            post(WM_RAW_NAME);
            post(WM_RAW_SIZE, 0);
            post(WM_FREE_SPACE);
        }
        return;
    }
    tell(notices);
    const std::uint32_t now = env_.tick();
    if (!anySizeReport_.load() || now - lastSizeReport_.load() >= kSizeReportMs) {
        anySizeReport_.store(true);
        lastSizeReport_.store(now);
        post(WM_RAW_SIZE, static_cast<std::uintptr_t>(before));
        post(WM_FREE_SPACE);
    }
}

void RawRecorder::writePositionFrame(std::span<const std::uint8_t> frame) {
    if (!recording()) return;
    std::vector<NoticeText> notices;
    std::uint64_t before = 0;
    bool changed = false;
    bool ok;
    {
        LockHold hold(fileLock_);
        if (!file_.isOpen()) return;
        ok = appendLocked(frame, notices, before, changed);
        if (ok) counters_.positionFrames++;
    }
    if (changed) post(WM_RAW_STATE);
    if (!ok && changed) {
        post(WM_RAW_NAME);
        post(WM_RAW_SIZE, 0);
        post(WM_FREE_SPACE);
    }
    tell(notices);
}

std::string RawRecorder::displayedName() const {
    LockHold hold(fileLock_);
    return displayedName_;
}

std::string RawRecorder::currentPath() const {
    LockHold hold(fileLock_);
    return file_.isOpen() ? file_.path() : std::string();
}

} // namespace kestrova::acquisition

#include "acquisition/playback.h"

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/fs.h"
#include "platform/thread.h"

#include <algorithm>
#include <cmath>
#include <dirent.h>

namespace kestrova::acquisition {

using platform::LockHold;

KsfReader::Opened KsfReader::open(const std::string& path, std::span<std::uint8_t> headerInto) {
    close();
    Opened r;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return r; // OpenFailed
    r.status = Status::NotRecording;
    if (headerInto.size() < kKsfHeaderSize) return r;
    const std::size_t got = std::fread(headerInto.data(), 1, kKsfHeaderSize, file_);
    auto header =
        got == kKsfHeaderSize ? decodeKsfHeader(headerInto.first(kKsfHeaderSize)) : std::nullopt;
    if (!header || std::fseek(file_, 0, SEEK_END) != 0) return r;
    const long end = std::ftell(file_);
    if (end < 0 || std::fseek(file_, 0, SEEK_SET) != 0) return r;
    size_ = static_cast<std::uint64_t>(end);
    r.status = Status::Ok;
    r.header = *header;
    r.size = size_;
    return r;
}

long long KsfReader::read(std::uint8_t* into, std::size_t max) {
    if (!file_) return -1;
    const std::size_t n = std::fread(into, 1, max, file_);
    if (n == 0 && std::ferror(file_)) {
        std::clearerr(file_);
        return -1;
    }
    return static_cast<long long>(n);
}

bool KsfReader::rewind() {
    if (!file_) return false;
    std::clearerr(file_);
    return std::fseek(file_, 0, SEEK_SET) == 0;
}

void KsfReader::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
}

UnpacedResult playWithoutPacing(const std::string& path, FrameAssembler& assembler,
                                const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    UnpacedResult result;
    KsfReader reader;
    auto opened =
        reader.open(path, std::span<std::uint8_t>(assembler.buffer(), FrameAssembler::kBufferSize));
    result.status = opened.status;
    if (opened.status != KsfReader::Status::Ok) return result;
    result.header = opened.header;
    assembler.reset();
    std::uint32_t fill = 0;
    std::uint8_t* writePos = assembler.buffer();
    std::uint32_t np = 0;
    while (result.bytes < opened.size) {
        if (fill > FrameAssembler::kOverflowLimit) {
            fill = 0;
            writePos = assembler.buffer();
            assembler.reset();
        }
        const long long n = reader.read(writePos, FrameAssembler::kMaxRead);
        if (n <= 0) {
            result.readError = n < 0;
            break; // a file cut short while it was read
        }
        result.bytes += static_cast<std::uint64_t>(n);
        fill += static_cast<std::uint32_t>(n);
        writePos = assembler.feed(fill, &np);
        if (progress) progress(result.bytes, opened.size);
    }
    assembler.reset();
    return result;
}

Playback::Playback(FrameAssembler& assembler, SonarStatus& status, OperatorNotices& notices,
                   platform::MessageQueue* queue, PlaybackHooks hooks)
    : assembler_(assembler), status_(status), notices_(notices), queue_(queue),
      hooks_(std::move(hooks)) {}

Playback::~Playback() {
    stopThread();
    LockHold hold(fileLock_);
    reader_.close();
}

std::uint32_t Playback::pacingMs(std::uint32_t np, int d) {
    const double ms = (np / 216.0 + 10.0) * d * d / 9.0 - 1.0;
    const double t = std::trunc(ms);
    return t < 4.0 ? 4u : static_cast<std::uint32_t>(std::min(t, 1.0e6));
}

void Playback::post(std::uint32_t id, std::uintptr_t wParam) {
    const platform::WindowHandle w = diskPage_.load();
    if (queue_ && w != platform::kNoWindow) queue_->post(w, id, wParam, 0);
}

int Playback::divisor() const {
    std::lock_guard<std::mutex> hold(speedLock_);
    return divisor_;
}

std::vector<std::string> Playback::files() const {
    std::lock_guard<std::mutex> hold(stateMutex_);
    return files_;
}

int Playback::fileIndex() const {
    std::lock_guard<std::mutex> hold(stateMutex_);
    return index_;
}

std::string Playback::folder() const {
    std::lock_guard<std::mutex> hold(stateMutex_);
    return folder_;
}

std::string Playback::currentFile() const {
    LockHold hold(fileLock_);
    return currentFile_;
}

PlaybackControls Playback::controls() const {
    std::lock_guard<std::mutex> hold(stateMutex_);
    return controls_;
}

bool Playback::enterMode(const std::string& chosen) {
    if (inMode()) return chosen.empty() ? false : chooseFile(chosen);
    if (chosen.empty()) return false;
    working_ = false;
    // The receive thread stops feeding the assembler when it sees the mode;
    // the playback thread resets the assembler only once it starts playing,
    // so the two never work on it at the same time.
    assembler_.handOver();
    status_.playbackMode = true;
    status_.connectionState = connection_state::kPlayback;
    status_.dataState = data_state::kIdle;
    if (hooks_.sonarControls) hooks_.sonarControls(false);
    if (hooks_.rawRecordingOff) hooks_.rawRecordingOff();
    chooseFile(chosen);
    startThread();
    post(WM_FREE_SPACE);
    return true;
}

void Playback::leaveMode() {
    stopThread();
    playing_ = false;
    paused_ = false;
    fileReady_ = false;
    assembler_.reset(); // before the receive thread takes the assembler back
    assembler_.handOver();
    status_.playbackMode = false;
    // The live device's model again, before its channel settings go out.
    if (hooks_.liveModel) hooks_.liveModel();
    if (hooks_.sonarControls) hooks_.sonarControls(true);
    if (hooks_.rawRecordingOff) hooks_.rawRecordingOff();
    closeFile();
    {
        std::lock_guard<std::mutex> hold(stateMutex_);
        controls_.openEnabled = false;
        controls_.startEnabled = controls_.stopEnabled = false;
        controls_.previousEnabled = controls_.nextEnabled = false;
        controls_.startText = "Start";
    }
    post(WM_PLAYBACK_CLOSED);
    working_ = false;
    status_.bothConnected = false;
    status_.connectionState = connection_state::kLost;
    status_.dataState = data_state::kNotPinging;
    // Marked lost, so the heartbeat gives state 3 back once it finds both
    // channels up (they may never have gone down).
    status_.commandLost = true;
    status_.dataLost = true;
}

bool Playback::chooseFile(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::vector<std::string> list;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ksf") == 0) list.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(list.begin(), list.end());
    auto it = std::find(list.begin(), list.end(), name);
    if (it == list.end()) { // a file not named *.ksf still plays, as the only one
        list.insert(list.begin(), name);
        it = list.begin();
    }
    {
        std::lock_guard<std::mutex> hold(stateMutex_);
        folder_ = dir;
        files_ = list;
        index_ = static_cast<int>(it - list.begin());
    }
    refreshIndexButtons();
    const bool ok = openFile(path);
    if (hooks_.clearTrack) hooks_.clearTrack();
    return ok;
}

void Playback::refreshIndexButtons() {
    std::lock_guard<std::mutex> hold(stateMutex_);
    const int count = static_cast<int>(files_.size());
    if (count == 0 || index_ < 0) {
        controls_.indexText.clear();
        controls_.previousEnabled = controls_.nextEnabled = false;
        return;
    }
    controls_.indexText = std::to_string(index_ + 1) + "/" + std::to_string(count);
    controls_.previousEnabled = index_ > 0;
    controls_.nextEnabled = index_ < count - 1;
}

void Playback::refreshSpeedButtons() {
    const int d = divisor();
    std::lock_guard<std::mutex> hold(stateMutex_);
    controls_.speedUpEnabled = d > 1;
    controls_.slowDownEnabled = d < 5;
}

bool Playback::openFile(const std::string& path) {
    fileReady_ = false;
    playing_ = false;
    paused_ = false;
    KsfReader::Opened opened;
    {
        LockHold hold(fileLock_);
        reader_.close();
        currentFile_.clear();
        generation_++;
        // The header is read aside, not into the assembler's buffer, which the
        // playback thread may still be feeding; the thread starts the new file
        // from an empty buffer.
        KsfHeaderBytes header{};
        opened = reader_.open(path, header);
        if (opened.status != KsfReader::Status::Ok) reader_.close();
    }
    auto refuse = [&](const NoticeText& text) {
        working_ = false;
        progress_ = 0;
        size_ = 0;
        position_ = 0;
        {
            std::lock_guard<std::mutex> hold(stateMutex_);
            controls_.startEnabled = controls_.stopEnabled = false;
            controls_.startText = "Start";
        }
        post(WM_PROGRESS);
        notices_.notify(text);
        return false;
    };
    if (opened.status == KsfReader::Status::OpenFailed) return refuse(notice::kKsfOpenFailed);
    if (opened.status == KsfReader::Status::NotRecording) return refuse(notice::kKsfNotRecording);
    if (hooks_.applyHeader && !hooks_.applyHeader(opened.header)) {
        LockHold hold(fileLock_);
        reader_.close();
        return refuse(notice::unknownModel(opened.header.deviceType));
    }
    {
        LockHold hold(fileLock_);
        currentFile_ = path;
    }
    size_ = opened.size;
    position_ = 0;
    progress_ = 0;
    fileReady_ = true;
    {
        std::lock_guard<std::mutex> hold(stateMutex_);
        controls_.startEnabled = true;
        controls_.openEnabled = true;
        controls_.stopEnabled = false;
        controls_.startText = "Start";
    }
    post(WM_RAW_SIZE, static_cast<std::uintptr_t>(opened.size));
    post(WM_PROGRESS);
    post(WM_FILE_LOADED);
    return true;
}

void Playback::closeFile() {
    fileReady_ = false;
    playing_ = false;
    paused_ = false;
    LockHold hold(fileLock_);
    reader_.close();
    currentFile_.clear();
    generation_++;
    size_ = 0;
    position_ = 0;
    progress_ = 0;
}

bool Playback::previous() {
    std::string path;
    {
        std::lock_guard<std::mutex> hold(stateMutex_);
        if (files_.empty() || index_ <= 0) return false;
        --index_;
        path = platform::joinPath(folder_, files_[static_cast<std::size_t>(index_)]);
    }
    refreshIndexButtons();
    const bool wasWorking = working_.load();
    const bool ok = openFile(path);
    if (ok && wasWorking) startPause();
    return ok;
}

bool Playback::next() {
    std::string path;
    {
        std::lock_guard<std::mutex> hold(stateMutex_);
        if (files_.empty() || index_ + 1 >= static_cast<int>(files_.size())) return false;
        ++index_;
        path = platform::joinPath(folder_, files_[static_cast<std::size_t>(index_)]);
    }
    refreshIndexButtons();
    const bool wasWorking = working_.load();
    const bool ok = openFile(path);
    if (ok && wasWorking) startPause();
    return ok;
}

void Playback::startPause() {
    if (!fileReady_) return;
    std::string text;
    {
        std::lock_guard<std::mutex> hold(stateMutex_);
        text = controls_.startText;
    }
    if (text == "Start") {
        if (position_.load() >= size_.load()) {
            LockHold hold(fileLock_);
            reader_.rewind();
            generation_++;
            position_ = 0;
        }
        playing_ = true;
        paused_ = false;
        working_ = true;
        std::lock_guard<std::mutex> hold(stateMutex_);
        controls_.startText = "Pause";
        controls_.stopEnabled = true;
    } else {
        paused_ = true;
        working_ = false;
        status_.dataState = data_state::kIdle;
        std::lock_guard<std::mutex> hold(stateMutex_);
        controls_.startText = "Start";
    }
}

void Playback::stop() {
    playing_ = false;
    paused_ = false;
    {
        LockHold hold(fileLock_);
        reader_.rewind();
        generation_++;
        position_ = 0;
    }
    working_ = false;
    updateProgress();
    post(WM_PROGRESS);
    {
        std::lock_guard<std::mutex> hold(stateMutex_);
        controls_.startText = "Start";
    }
    status_.dataState = data_state::kIdle;
}

void Playback::speedUp() {
    {
        std::lock_guard<std::mutex> hold(speedLock_);
        divisor_ = divisor_ - 1 < 1 ? 1 : divisor_ - 1;
    }
    refreshSpeedButtons();
}

void Playback::slowDown() {
    {
        std::lock_guard<std::mutex> hold(speedLock_);
        divisor_ = divisor_ + 1 > 5 ? 5 : divisor_ + 1;
    }
    refreshSpeedButtons();
}

void Playback::updateProgress() {
    const std::uint64_t size = size_.load();
    progress_ = size == 0 ? 0 : static_cast<int>(position_.load() * 100 / size);
}

bool Playback::startThread() {
    if (thread_.joinable()) return false;
    events_.quit.reset();
    events_.exitAck.reset();
    events_.run.set();
    thread_ = platform::startThread("playback", platform::ThreadPriority::Normal,
                                    [this] { threadLoop(); });
    return true;
}

void Playback::stopThread() {
    if (!thread_.joinable()) return;
    platform::stopWorker(events_, thread_, queue_ ? *queue_ : ownQueue_);
}

void Playback::threadLoop() {
    std::uint32_t fill = 0;
    std::uint8_t* writePos = assembler_.buffer();
    std::uint32_t np = 0;
    std::uint32_t seen = generation_.load();
    bool fed = false; // the assembler holds bytes of the current pass
    for (;;) {
        if (platform::Event::waitAny({&events_.run, &events_.quit}) != 0) break;
        const std::uint32_t gen = generation_.load();
        if (!playing_ || gen != seen) {
            // Not playing, or a new file or a rewind: start from empty.
            seen = gen;
            fill = 0;
            writePos = assembler_.buffer();
            if (fed) assembler_.reset();
            fed = false;
        }
        if (!playing_ || paused_) {
            platform::sleepMs(20);
            continue;
        }
        if (!fed) {
            assembler_.reset();
            fed = true;
        }
        if (fill > FrameAssembler::kOverflowLimit) {
            fill = 0;
            writePos = assembler_.buffer();
            assembler_.reset();
        }
        if (position_.load() < size_.load()) {
            long long n = 0;
            {
                LockHold hold(fileLock_);
                if (generation_.load() == seen)
                    n = reader_.read(writePos, FrameAssembler::kMaxRead);
            }
            if (n > 0) {
                position_ += static_cast<std::uint64_t>(n);
                fill += static_cast<std::uint32_t>(n);
                writePos = assembler_.feed(fill, &np);
            } else if (n == 0) {
                // The file ended before its size (cut short while open).
                size_ = position_.load();
            }
        } else {
            {
                LockHold hold(fileLock_);
                reader_.rewind();
                generation_++;
            }
            playing_ = false;
            position_ = 0;
            working_ = false;
            status_.dataState = data_state::kIdle;
            {
                std::lock_guard<std::mutex> hold(stateMutex_);
                controls_.startText = "Start";
                controls_.openEnabled = true;
                controls_.stopEnabled = false;
            }
            refreshSpeedButtons();
            updateProgress();
            post(WM_END_OF_FILE);
            post(WM_PROGRESS);
            continue;
        }
        updateProgress();
        post(WM_PROGRESS);
        platform::sleepMs(pacingMs(np, divisor()));
    }
    events_.exitAck.set();
}

} // namespace kestrova::acquisition

#include "app/disk_page.h"

#include <cstdio>

namespace kestrova::app {

using namespace kestrova::acquisition;

std::string sizeText(const char* label, std::uint64_t bytes) {
    if (bytes == 0) return {};
    char buf[96];
    if (bytes < 1024)
        std::snprintf(buf, sizeof buf, "%s %d B", label, static_cast<int>(bytes));
    else if (bytes < (1ull << 20))
        std::snprintf(buf, sizeof buf, "%s %0.1f KB", label, static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(buf, sizeof buf, "%s %0.1f MB", label,
                      static_cast<double>(bytes) / 1048576.0);
    return buf;
}

std::string freeSpaceText(std::uint64_t bytes) {
    if (bytes == kUnknownFreeSpace) return {};
    char buf[64];
    if (bytes < 1024)
        std::snprintf(buf, sizeof buf, "%d B", static_cast<int>(bytes));
    else if (bytes < (1ull << 20))
        std::snprintf(buf, sizeof buf, "%0.1f KB", static_cast<double>(bytes) / 1024.0);
    else if (bytes < (1ull << 30))
        std::snprintf(buf, sizeof buf, "%0.1f MB", static_cast<double>(bytes) / 1048576.0);
    else
        std::snprintf(buf, sizeof buf, "%0.1f GB", static_cast<double>(bytes) / 1073741824.0);
    return buf;
}

DiskPage::DiskPage(RawRecorder& raw, XtfWriter& xtf, Playback* playback, OperatorNotices& notices)
    : raw_(raw), xtf_(xtf), playback_(playback), notices_(notices) {
    refresh();
}

void DiskPage::refresh() {
    state_.rawChecked = raw_.recording();
    state_.xtfChecked = xtf_.recording();
    state_.rawName = raw_.displayedName();
    state_.xtfName = xtf_.displayedName(XtfWriter::kHF);
    state_.xtfNameLF = xtf_.displayedName(XtfWriter::kLF);
    refreshPlayback();
}

void DiskPage::refreshPlayback() {
    if (!playback_) return;
    state_.playback = playback_->controls();
    state_.playbackControlsEnabled = playback_->fileReady();
    state_.speedText = std::to_string(playback_->shownSpeed());
}

void DiskPage::refreshFreeSpace() {
    const std::uint64_t free = raw_.free_disk_space();
    state_.freeSpace = freeSpaceText(free);
    if (free == kUnknownFreeSpace) return;
    if (free >= k1G) {
        warn1G_ = true;
        return;
    }
    if (free < k1M) return; // the texts below 1 MiB carry no warning
    if (free <= k100M) {
        if (raw_.recording() || xtf_.recording()) {
            // The message says storing stops: both recorders go off, not only
            // the raw one, so nothing keeps writing to the nearly full disk.
            raw_.switchOff();
            xtf_.switchOff();
            state_.rawChecked = false;
            state_.xtfChecked = false;
            notices_.notify(notice::kDiskBelow100MStopped);
        } else {
            notices_.notify(notice::kDiskBelow100M);
        }
        return;
    }
    if (warn1G_) {
        warn1G_ = false;
        notices_.notify(notice::kDiskBelow1G);
    }
}

void DiskPage::handle(const platform::WindowMessage& m) {
    switch (m.id) {
    case WM_RAW_STATE:
    case WM_XTF_STATE:
        state_.rawChecked = raw_.recording();
        state_.xtfChecked = xtf_.recording();
        break;
    case WM_RAW_NAME:
        state_.rawName = raw_.displayedName();
        break;
    case WM_XTF_NAME_HF:
        state_.xtfName = xtf_.displayedName(XtfWriter::kHF);
        break;
    case WM_XTF_NAME_LF:
        state_.xtfNameLF = xtf_.displayedName(XtfWriter::kLF);
        break;
    case WM_RAW_SIZE:
        state_.fileSize = sizeText("File size:", m.wParam);
        break;
    case WM_XTF_SIZE_HF:
        state_.hfSize = sizeText("HF size:", m.wParam);
        break;
    case WM_XTF_SIZE_LF:
        state_.lfSize = sizeText("LF size:", m.wParam);
        break;
    case WM_FREE_SPACE:
        refreshFreeSpace();
        break;
    case WM_PLAYBACK_CLOSED:
        state_.rawName.clear();
        state_.xtfName.clear();
        state_.xtfNameLF.clear();
        state_.fileSize.clear();
        if (playback_) playback_->closeFile();
        state_.progress = 0;
        state_.progressText = "0%";
        refreshPlayback();
        state_.playback.openEnabled = false;
        state_.playbackControlsEnabled = false;
        break;
    case WM_FILE_LOADED:
        refreshPlayback();
        state_.status = notice::kFileLoaded.english;
        break;
    case WM_END_OF_FILE:
        refreshPlayback();
        break;
    case WM_PROGRESS:
        if (playback_) {
            state_.progress = playback_->progress();
            state_.progressText = std::to_string(state_.progress) + "%";
        }
        break;
    case QueuedNotices::WM_SHOW_NOTICE:
        if (queued_) queued_->showPending(notices_);
        break;
    default:
        break;
    }
}

void DiskPage::rawBoxClicked() {
    state_.rawChecked = raw_.toggle_raw_recording();
}

void DiskPage::xtfBoxClicked() {
    state_.xtfChecked = xtf_.toggle_xtf_recording();
}

bool DiskPage::openChosen(const std::string& path) {
    if (!playback_ || path.empty()) return false;
    const bool ok = playback_->inMode() ? playback_->chooseFile(path) : playback_->enterMode(path);
    refresh();
    return ok;
}

void DiskPage::previousClicked() {
    if (playback_) playback_->previous();
    refreshPlayback();
}

void DiskPage::nextClicked() {
    if (playback_) playback_->next();
    refreshPlayback();
}

void DiskPage::startClicked() {
    if (playback_) playback_->startPause();
    refreshPlayback();
}

void DiskPage::stopClicked() {
    if (playback_) playback_->stop();
    refreshPlayback();
}

void DiskPage::speedUpClicked() {
    if (playback_) playback_->speedUp();
    refreshPlayback();
}

void DiskPage::slowDownClicked() {
    if (playback_) playback_->slowDown();
    refreshPlayback();
}

void DiskPage::sliderMoved(int percent) {
    // Moving the slider by hand only changes the shown percentage.
    state_.progress = percent;
    state_.progressText = std::to_string(percent) + "%";
}

} // namespace kestrova::app

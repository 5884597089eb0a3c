#pragma once
// The rules of the disk page of the control panel, without any toolkit: the
// raw and XTF recording boxes, the file names and sizes, the free space of the
// project drive with its warnings, and the playback controls. The page widget
// (app/ui/page_disk.h) registers a window for the messages the recorders and
// playback post, hands each to handle(), and mirrors state() into its controls.

#include "acquisition/operator_notice.h"
#include "acquisition/playback.h"
#include "acquisition/raw_recorder.h"
#include "acquisition/xtf_writer.h"
#include "platform/messages.h"

#include <cstdint>
#include <string>

namespace kestrova::app {

struct DiskPageState {
    bool rawChecked = false;
    bool xtfChecked = false;
    std::string rawName;
    std::string xtfName;   // HF file
    std::string xtfNameLF; // LF file
    std::string fileSize;  // "File size: ..."
    std::string hfSize;    // "HF size: ..."
    std::string lfSize;    // "LF size: ..."
    std::string freeSpace;
    std::string status; // "File loading completed!"
    acquisition::PlaybackControls playback;
    bool playbackControlsEnabled = false; // a file is open for playback
    int progress = 0;
    std::string progressText = "0%";
    std::string speedText = "3";
};

// "File size: 512 B", "File size: 1.5 KB", "File size: 2.0 MB"; empty for 0.
// `label` is "File size:", "HF size:" or "LF size:".
std::string sizeText(const char* label, std::uint64_t bytes);
// Free space: empty for all ones, then B, KB, MB, GB.
std::string freeSpaceText(std::uint64_t bytes);

class DiskPage {
  public:
    static constexpr std::uint64_t k1G = 1ull << 30;
    static constexpr std::uint64_t k1M = 1ull << 20;
    static constexpr std::uint64_t k100M = 104857600ull;

    DiskPage(acquisition::RawRecorder& raw, acquisition::XtfWriter& xtf,
             acquisition::Playback* playback, acquisition::OperatorNotices& notices);

    // Notices the recorders raised on worker threads; the page shows them
    // through its own notices when their message arrives.
    void setQueuedNotices(acquisition::QueuedNotices* queued) { queued_ = queued; }

    // A posted message to the page (0x0478 ... 0x0487).
    void handle(const platform::WindowMessage& message);
    const DiskPageState& state() const { return state_; }

    // The operator's actions.
    void rawBoxClicked();
    void xtfBoxClicked();
    // The file chosen in the open dialog (empty: cancelled).
    bool openChosen(const std::string& path);
    void previousClicked();
    void nextClicked();
    void startClicked();
    void stopClicked();
    void speedUpClicked();
    void slowDownClicked();
    void sliderMoved(int percent);
    // Re-reads everything (page creation).
    void refresh();

  private:
    void refreshFreeSpace();
    void refreshPlayback();

    acquisition::RawRecorder& raw_;
    acquisition::XtfWriter& xtf_;
    acquisition::Playback* playback_;
    acquisition::OperatorNotices& notices_;
    acquisition::QueuedNotices* queued_ = nullptr;
    DiskPageState state_;
    bool warn1G_ = true; // the 1 GiB warning is armed
};

} // namespace kestrova::app

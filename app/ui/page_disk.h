#pragma once
// The disk page of the control panel: the raw ("Save KSF") and XTF recording
// boxes, file names and sizes, free space, and the playback controls (open,
// previous, next, start/pause, stop, speed up, slow down, progress slider).
// All rules live in DiskPage; this widget registers the page's window for the
// recorders' and playback's messages, hands them on and mirrors the state.

#include "app/disk_page.h"

#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kestrova::app::ui {

class CPageDisk : public QWidget {
    Q_OBJECT
  public:
    // `english`: the interface language of the texts it writes while it runs.
    CPageDisk(acquisition::RawRecorder& raw, acquisition::XtfWriter& xtf,
              acquisition::Playback* playback, acquisition::OperatorNotices& notices,
              platform::MessageQueue& queue, bool english, QWidget* parent = nullptr);
    ~CPageDisk() override;

    // The window the recorders and playback post to (set it with their setDiskPage).
    platform::WindowHandle window() const { return window_; }
    // Replaces the open-file dialog (tests, headless runs).
    void setFileChooser(std::function<std::string()> chooser) { chooser_ = std::move(chooser); }
    // Takes the file as if chosen in the dialog.
    bool openFile(const std::string& path);

    DiskPage& rules() { return rules_; }
    QCheckBox* rawBox() const { return raw_; }
    QCheckBox* xtfBox() const { return xtf_; }
    QLabel* rawNameLabel() const { return rawName_; }
    QLabel* xtfNameLabel() const { return xtfName_; }
    QLabel* fileSizeLabel() const { return fileSize_; }
    QLabel* hfSizeLabel() const { return hfSize_; }
    QLabel* lfSizeLabel() const { return lfSize_; }
    QLabel* freeSpaceLabel() const { return freeSpace_; }
    QLabel* indexLabel() const { return index_; }
    QLabel* speedLabel() const { return speed_; }
    QLabel* progressLabel() const { return progressText_; }
    QLabel* statusLabel() const { return status_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* speedUpButton() const { return speedUp_; }
    QPushButton* slowDownButton() const { return slowDown_; }
    QSlider* progressSlider() const { return progress_; }

  private:
    void chooseAndOpen();
    void sync();

    DiskPage rules_;
    acquisition::RawRecorder& rawRecorder_;
    platform::MessageQueue& queue_;
    platform::WindowHandle window_ = platform::kNoWindow;
    std::function<std::string()> chooser_;
    std::string lastFolder_;
    bool syncing_ = false;

    QCheckBox* raw_ = nullptr;
    QCheckBox* xtf_ = nullptr;
    QLabel* rawName_ = nullptr;
    QLabel* xtfName_ = nullptr;
    QLabel* fileSize_ = nullptr;
    QLabel* hfSize_ = nullptr;
    QLabel* lfSize_ = nullptr;
    QLabel* freeSpace_ = nullptr;
    QLabel* index_ = nullptr;
    QLabel* speed_ = nullptr;
    QLabel* progressText_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* speedUp_ = nullptr;
    QPushButton* slowDown_ = nullptr;
    QSlider* progress_ = nullptr;
    bool english_;
};

} // namespace kestrova::app::ui

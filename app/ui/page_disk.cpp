#include "app/ui/page_disk.h"

#include "acquisition/operator_notice.h"
#include "app/config/interface_text.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <string_view>
#include <utility>

namespace kestrova::app::ui {
namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// The recording's size texts are made in English ("File size: 1.5 MB"); the
// Chinese interface shows its own caption before the number.
QString sizeShown(const std::string& s, bool english) {
    if (english) return text(s);
    static constexpr std::pair<std::string_view, const char*> kCaptions[] = {
        {"File size:", "文件大小："}, {"HF size:", "高频大小："}, {"LF size:", "低频大小："}};
    for (const auto& [caption, chinese] : kCaptions)
        if (s.starts_with(caption))
            return QString::fromUtf8(chinese) + text(s.substr(caption.size())).trimmed();
    return text(s);
}

} // namespace

CPageDisk::CPageDisk(acquisition::RawRecorder& raw, acquisition::XtfWriter& xtf,
                     acquisition::Playback* playback, acquisition::OperatorNotices& notices,
                     platform::MessageQueue& queue, bool english, QWidget* parent)
    : QWidget(parent), rules_(raw, xtf, playback, notices), rawRecorder_(raw), queue_(queue),
      english_(english) {
    setWindowTitle(QStringLiteral("磁盘"));
    auto* layout = new QVBoxLayout(this);

    auto* record = new QGroupBox(QStringLiteral("记录"), this);
    auto* rg = new QGridLayout(record);
    raw_ = new QCheckBox(QStringLiteral("保存KSF"), record);
    xtf_ = new QCheckBox(QStringLiteral("XTF文件"), record);
    rawName_ = new QLabel(record);
    xtfName_ = new QLabel(record);
    fileSize_ = new QLabel(record);
    hfSize_ = new QLabel(record);
    lfSize_ = new QLabel(record);
    freeSpace_ = new QLabel(record);
    rg->addWidget(raw_, 0, 0);
    rg->addWidget(rawName_, 0, 1);
    rg->addWidget(fileSize_, 1, 1);
    rg->addWidget(xtf_, 2, 0);
    rg->addWidget(xtfName_, 2, 1);
    rg->addWidget(hfSize_, 3, 1);
    rg->addWidget(lfSize_, 4, 1);
    rg->addWidget(new QLabel(QStringLiteral("剩余空间："), record), 5, 0);
    rg->addWidget(freeSpace_, 5, 1);
    layout->addWidget(record);

    auto* play = new QGroupBox(QStringLiteral("回放"), this);
    auto* pg = new QGridLayout(play);
    open_ = new QPushButton(QStringLiteral("打开"), play);
    previous_ = new QPushButton(QStringLiteral("上一个"), play);
    next_ = new QPushButton(QStringLiteral("下一个"), play);
    index_ = new QLabel(play);
    start_ = new QPushButton(QStringLiteral("开始"), play);
    stop_ = new QPushButton(QStringLiteral("停止"), play);
    speedUp_ = new QPushButton(QStringLiteral("加速"), play);
    slowDown_ = new QPushButton(QStringLiteral("减速"), play);
    speed_ = new QLabel(play);
    progress_ = new QSlider(Qt::Horizontal, play);
    progress_->setRange(0, 100);
    progressText_ = new QLabel(play);
    status_ = new QLabel(play);
    pg->addWidget(open_, 0, 0);
    pg->addWidget(previous_, 0, 1);
    pg->addWidget(next_, 0, 2);
    pg->addWidget(index_, 0, 3);
    pg->addWidget(start_, 1, 0);
    pg->addWidget(stop_, 1, 1);
    pg->addWidget(speedUp_, 1, 2);
    pg->addWidget(slowDown_, 1, 3);
    pg->addWidget(speed_, 1, 4);
    pg->addWidget(progress_, 2, 0, 1, 4);
    pg->addWidget(progressText_, 2, 4);
    pg->addWidget(status_, 3, 0, 1, 5);
    layout->addWidget(play);
    layout->addStretch(1);

    connect(raw_, &QCheckBox::clicked, this, [this] {
        if (syncing_) return;
        rules_.rawBoxClicked();
        sync();
    });
    connect(xtf_, &QCheckBox::clicked, this, [this] {
        if (syncing_) return;
        rules_.xtfBoxClicked();
        sync();
    });
    connect(open_, &QPushButton::clicked, this, [this] { chooseAndOpen(); });
    connect(previous_, &QPushButton::clicked, this, [this] {
        rules_.previousClicked();
        sync();
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        rules_.nextClicked();
        sync();
    });
    connect(start_, &QPushButton::clicked, this, [this] {
        rules_.startClicked();
        sync();
    });
    connect(stop_, &QPushButton::clicked, this, [this] {
        rules_.stopClicked();
        sync();
    });
    connect(speedUp_, &QPushButton::clicked, this, [this] {
        rules_.speedUpClicked();
        sync();
    });
    connect(slowDown_, &QPushButton::clicked, this, [this] {
        rules_.slowDownClicked();
        sync();
    });
    connect(progress_, &QSlider::valueChanged, this, [this](int v) {
        if (syncing_) return;
        rules_.sliderMoved(v);
        sync();
    });

    QPointer<CPageDisk> self(this);
    window_ = queue_.registerWindow([self](const platform::WindowMessage& m) {
        if (!self) return;
        self->rules_.handle(m);
        self->sync();
    });
    sync();
}

CPageDisk::~CPageDisk() {
    queue_.unregisterWindow(window_);
}

bool CPageDisk::openFile(const std::string& path) {
    const bool ok = rules_.openChosen(path);
    if (!path.empty()) lastFolder_ = QFileInfo(text(path)).absolutePath().toStdString();
    sync();
    return ok;
}

void CPageDisk::chooseAndOpen() {
    std::string path;
    if (chooser_) {
        path = chooser_();
    } else {
        // The folder of the last file played, else the project's data folder.
        QString start = text(lastFolder_);
        if (start.isEmpty() || !QDir(start).exists()) {
            const QString dataFolder = text(rawRecorder_.projectFolder()) + QStringLiteral("/Data");
            start = QDir(dataFolder).exists() ? dataFolder : QString();
        }
        path = QFileDialog::getOpenFileName(
                   this, QString::fromUtf8(app::uiText("选择回放文件", english_)), start,
                   QString::fromUtf8(app::uiText("数据文件(*.ksf);;所有文件 (*.*)", english_)))
                   .toStdString();
    }
    openFile(path);
}

void CPageDisk::sync() {
    syncing_ = true;
    const DiskPageState& s = rules_.state();
    {
        QSignalBlocker b1(raw_), b2(xtf_), b3(progress_);
        raw_->setChecked(s.rawChecked);
        xtf_->setChecked(s.xtfChecked);
        progress_->setValue(s.progress);
    }
    rawName_->setText(text(s.rawName));
    xtfName_->setText(text(s.xtfName));
    fileSize_->setText(sizeShown(s.fileSize, english_));
    hfSize_->setText(sizeShown(s.hfSize, english_));
    lfSize_->setText(sizeShown(s.lfSize, english_));
    freeSpace_->setText(text(s.freeSpace));
    index_->setText(text(s.playback.indexText));
    speed_->setText(text(s.speedText));
    progressText_->setText(text(s.progressText));
    // The loaded-file notice is a message pair; the rest of the status is empty.
    status_->setText(!english_ && s.status == acquisition::notice::kFileLoaded.english
                         ? QString::fromUtf8(acquisition::notice::kFileLoaded.chinese)
                         : text(s.status));
    open_->setEnabled(s.playback.openEnabled);
    start_->setText(QString::fromUtf8(
        app::uiText(s.playback.startText == "Pause" ? "暂停" : "开始", english_)));
    start_->setEnabled(s.playbackControlsEnabled && s.playback.startEnabled);
    stop_->setEnabled(s.playbackControlsEnabled && s.playback.stopEnabled);
    previous_->setEnabled(s.playback.previousEnabled);
    next_->setEnabled(s.playback.nextEnabled);
    speedUp_->setEnabled(s.playbackControlsEnabled && s.playback.speedUpEnabled);
    slowDown_->setEnabled(s.playbackControlsEnabled && s.playback.slowDownEnabled);
    progress_->setEnabled(s.playbackControlsEnabled);
    syncing_ = false;
}

} // namespace kestrova::app::ui

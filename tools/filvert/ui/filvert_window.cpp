#include "tools/filvert/ui/filvert_window.h"

#include "app/config/interface_text.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace kestrova::filvert {

FilvertWindow::FilvertWindow(bool english, QString programFolder, QWidget* parent)
    : QWidget(parent), english_(english), programFolder_(std::move(programFolder)) {
    setWindowTitle(text("Filvert - KSF 转 XTF"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(text("原始数据文件（.ksf）："), this));
    list_ = new QListWidget(this);
    column->addWidget(list_, 1);
    auto* outRow = new QHBoxLayout();
    outRow->addWidget(new QLabel(text("输出文件夹："), this));
    out_ = new QLineEdit(this);
    outRow->addWidget(out_, 1);
    browse_ = new QPushButton(text("浏览..."), this);
    outRow->addWidget(browse_);
    column->addLayout(outRow);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    column->addWidget(progress_);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    column->addWidget(status_);
    auto* buttons = new QHBoxLayout();
    add_ = new QPushButton(text("添加文件..."), this);
    convert_ = new QPushButton(text("转换"), this);
    cancel_ = new QPushButton(text("取消"), this);
    buttons->addWidget(add_);
    buttons->addStretch(1);
    buttons->addWidget(convert_);
    buttons->addWidget(cancel_);
    column->addLayout(buttons);
    cancel_->setEnabled(false);
    resize(560, 360);

    connect(add_, &QPushButton::clicked, this, [this] {
        addFiles(QFileDialog::getOpenFileNames(this, text("选择原始数据文件"), QString(),
                                               text("数据文件(*.ksf);;所有文件 (*)")));
    });
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString folder =
            QFileDialog::getExistingDirectory(this, text("输出文件夹"), out_->text());
        if (!folder.isEmpty()) out_->setText(folder);
    });
    connect(convert_, &QPushButton::clicked, this, [this] { convert(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(&process_, &QProcess::readyReadStandardError, this, [this] { onOutput(); });
    connect(&process_, &QProcess::finished, this, &FilvertWindow::onFinished);
}

QString FilvertWindow::text(const char* chinese) const {
    return QString::fromUtf8(app::uiText(chinese, english_));
}

void FilvertWindow::addFiles(const QStringList& files) {
    for (const QString& f : files) {
        const QString path = QFileInfo(f).absoluteFilePath();
        if (files_.contains(path)) continue;
        files_.append(path);
        list_->addItem(path);
        // The first recording's folder is a fair place for its XTF files.
        if (out_->text().isEmpty()) out_->setText(QFileInfo(path).absolutePath());
    }
}

void FilvertWindow::setOutputFolder(const QString& folder) {
    out_->setText(folder);
}

void FilvertWindow::setBusy(bool busy) {
    add_->setEnabled(!busy);
    browse_->setEnabled(!busy);
    out_->setEnabled(!busy);
    convert_->setEnabled(!busy);
    cancel_->setEnabled(busy);
}

bool FilvertWindow::convert() {
    if (running()) return false;
    if (files_.isEmpty()) {
        status_->setText(text("请先添加要转换的文件。"));
        return false;
    }
    if (!QDir().mkpath(out_->text())) {
        status_->setText(text("无法建立输出文件夹。"));
        return false;
    }
    converted_ = 0;
    failed_ = 0;
    cancelled_ = false;
    progress_->setValue(0);
    setBusy(true);
    index_ = 0;
    startNext();
    return true;
}

void FilvertWindow::startNext() {
    if (index_ >= files_.size()) {
        index_ = -1;
        setBusy(false);
        progress_->setValue(100);
        status_->setText(text("完成：转换 %1 个，失败 %2 个。").arg(converted_).arg(failed_) +
                         (errors_.isEmpty() ? QString() : "\n" + errors_.trimmed()));
        emit finished(failed_ == 0);
        return;
    }
    const QString file = files_[index_];
    status_->setText(text("正在转换 %1").arg(QFileInfo(file).fileName()));
    errors_.clear();
    process_.start(programFolder_ + "/kestrova-cli", {"export-xtf", file, "--out", out_->text()});
}

void FilvertWindow::onOutput() {
    const QString got = QString::fromUtf8(process_.readAllStandardError());
    // The tool's progress ("[####....]  42%"); anything else is a message.
    static const QRegularExpression percent(QStringLiteral("(\\d+)%"));
    int pct = -1;
    for (auto it = percent.globalMatch(got); it.hasNext();)
        pct = it.next().captured(1).toInt();
    if (pct >= 0) progress_->setValue((index_ * 100 + pct) / static_cast<int>(files_.size()));
    for (const QString& line : got.split(QRegularExpression("[\r\n]"), Qt::SkipEmptyParts))
        if (!percent.match(line).hasMatch()) errors_ += line + "\n";
}

QStringList FilvertWindow::outputsOf(const QString& file) const {
    const QString base = QFileInfo(file).completeBaseName();
    return {out_->text() + "/" + base + "_HF.xtf", out_->text() + "/" + base + "_LF.xtf"};
}

void FilvertWindow::onFinished(int exitCode, QProcess::ExitStatus status) {
    if (!running()) return;
    if (cancelled_) {
        // Half a conversion is no XTF file.
        for (const QString& f : outputsOf(files_[index_]))
            QFile::remove(f);
        index_ = -1;
        setBusy(false);
        progress_->setValue(0);
        status_->setText(text("已取消。"));
        emit finished(false);
        return;
    }
    if (status == QProcess::NormalExit && exitCode == 0)
        ++converted_;
    else
        ++failed_;
    ++index_;
    progress_->setValue(index_ * 100 / static_cast<int>(files_.size()));
    startNext();
}

void FilvertWindow::cancel() {
    if (!running()) return;
    cancelled_ = true;
    process_.kill();
}

} // namespace kestrova::filvert

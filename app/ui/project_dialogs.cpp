#include "app/ui/project_dialogs.h"

#include "app/config/interface_text.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::app::ui {
CProjectManageDlg::CProjectManageDlg(bool english, QWidget* parent) : QDialog(parent) {
    setWindowTitle(app::uiText("工程管理", english));
    new_ = new QPushButton(app::uiText("新建工程", english), this);
    open_ = new QPushButton(app::uiText("打开工程", english), this);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(new_);
    layout->addWidget(open_);
    connect(new_, &QPushButton::clicked, this, [this] {
        choice_ = ManageChoice::NewProject;
        accept();
    });
    connect(open_, &QPushButton::clicked, this, [this] {
        choice_ = ManageChoice::OpenProject;
        accept();
    });
}

CCreateProjectDlg::CCreateProjectDlg(const NewProjectEntry& preset, bool english, QWidget* parent)
    : QDialog(parent), picker_(pickFolder), english_(english) {
    setWindowTitle(app::uiText("新工程", english));
    name_ = new QLineEdit(QString::fromStdString(preset.name), this);
    location_ =
        new QLineEdit(QString::fromStdString(withoutTrailingSeparators(preset.location)), this);
    browse_ = new QPushButton(app::uiText("浏览...", english), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    if (!english) {
        ok_->setText(QString::fromUtf8("确定"));
        cancel_->setText(QString::fromUtf8("取消"));
    }
    ok_->setDefault(true);

    auto* locationRow = new QHBoxLayout;
    locationRow->addWidget(location_, 1);
    locationRow->addWidget(browse_);
    auto* form = new QFormLayout;
    form->addRow(app::uiText("工程名称", english), name_);
    form->addRow(app::uiText("工程位置", english), locationRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(460);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &CCreateProjectDlg::browse);
}

void CCreateProjectDlg::browse() {
    if (!picker_) return;
    QString chosen = picker_(this, app::uiText("工程路径", english_), location_->text());
    if (chosen.isEmpty()) return;
    location_->setText(QString::fromStdString(withoutTrailingSeparators(chosen.toStdString())));
}

NewProjectEntry CCreateProjectDlg::entry() const {
    return {name_->text().toStdString(), location_->text().toStdString()};
}

QString pickFolder(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(
        parent, title, start, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

ManageChoice QtProjectDialogs::showManageDialog() {
    CProjectManageDlg dlg(messenger_.english(), parent_.data());
    if (dlg.exec() != QDialog::Accepted) return ManageChoice::None;
    return dlg.choice();
}

std::optional<NewProjectEntry>
QtProjectDialogs::showNewProjectDialog(const NewProjectEntry& preset) {
    CCreateProjectDlg dlg(preset, messenger_.english(), parent_.data());
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.entry();
}

std::optional<std::string> QtProjectDialogs::chooseProjectFile(const OpenProjectRequest& request) {
    QFileDialog dlg(parent_.data(), QString::fromStdString(request.title),
                    QString::fromStdString(request.initialFolder),
                    QString::fromStdString(request.filter));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    QStringList files = dlg.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.front().toStdString();
}

void WindowProjectHost::setWindowTitle(const std::string& title) {
    if (window_) window_->setWindowTitle(QString::fromStdString(title));
}

} // namespace kestrova::app::ui

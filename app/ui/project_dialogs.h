#pragma once
// The project dialogs as Qt dialogs: "Project manage", "New project" and the
// project file chooser. The rules (presets, checks, messages) live in
// ProjectManager (app/project.h); these only show and return what the operator
// chose.

#include "app/project.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QLineEdit;
class QPushButton;

namespace kestrova::app::ui {

// "Project manage": "New Project" or "Open Project"; closing chooses neither.
class CProjectManageDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CProjectManageDlg(bool english, QWidget* parent = nullptr);
    ManageChoice choice() const { return choice_; }
    QPushButton* newButton() const { return new_; }
    QPushButton* openButton() const { return open_; }

  private:
    ManageChoice choice_ = ManageChoice::None;
    QPushButton* new_ = nullptr;
    QPushButton* open_ = nullptr;
};

// "New project": "Project Name", "Location" with "Browse...", OK and Cancel.
class CCreateProjectDlg : public QDialog {
    Q_OBJECT
  public:
    // Picks a folder for "Browse..." (title "Project Path"); empty when cancelled.
    using FolderPicker =
        std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
    CCreateProjectDlg(const NewProjectEntry& preset, bool english, QWidget* parent = nullptr);
    NewProjectEntry entry() const;
    void setFolderPicker(FolderPicker picker) { picker_ = std::move(picker); }

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* locationEdit() const { return location_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  private:
    void browse();

    QLineEdit* name_ = nullptr;
    QLineEdit* location_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    FolderPicker picker_;
    bool english_ = true;
};

// The shell folder browser, as Qt's own (non-native) folder dialog.
QString pickFolder(QWidget* parent, const QString& title, const QString& start);

// ProjectDialogs for the window: modal dialogs owned by `parent` (the main window).
class QtProjectDialogs : public ProjectDialogs {
  public:
    QtProjectDialogs(Messenger& messenger, QWidget* parent = nullptr)
        : messenger_(messenger), parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    ManageChoice showManageDialog() override;
    std::optional<NewProjectEntry> showNewProjectDialog(const NewProjectEntry& preset) override;
    std::optional<std::string> chooseProjectFile(const OpenProjectRequest& request) override;

  private:
    Messenger& messenger_;
    QPointer<QWidget> parent_;
};

// The window side of a ProjectHost: the title goes to the window. The main
// window derives from it and adds the views, the recorder and playback.
class WindowProjectHost : public ProjectHost {
  public:
    explicit WindowProjectHost(QWidget* window = nullptr) : window_(window) {}
    void setWindow(QWidget* window) { window_ = window; }
    void setWindowTitle(const std::string& title) override;

  private:
    QPointer<QWidget> window_;
};

} // namespace kestrova::app::ui

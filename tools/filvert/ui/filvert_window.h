#pragma once
// Filvert's window: the chosen recordings, the output folder, a progress bar,
// Convert and Cancel. Each recording is converted by the program's own
// `kestrova-cli export-xtf` (the same display pipeline and XTF writer as the
// survey program), started from this program's folder; Cancel ends the
// running conversion and removes its unfinished files.

#include <QProcess>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace kestrova::filvert {

class FilvertWindow : public QWidget {
    Q_OBJECT
  public:
    FilvertWindow(bool english, QString programFolder, QWidget* parent = nullptr);

    void addFiles(const QStringList& files);
    void setOutputFolder(const QString& folder);
    // Starts converting the listed files; false when there is nothing to do.
    bool convert();
    void cancel();
    bool running() const { return index_ >= 0; }
    int converted() const { return converted_; }
    int failed() const { return failed_; }
    QProgressBar* progress() const { return progress_; }

  signals:
    void finished(bool ok);

  private:
    void startNext();
    void onOutput();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void setBusy(bool busy);
    // A text written in Chinese, in the interface language (English: Polyvox).
    QString text(const char* chinese) const;
    QStringList outputsOf(const QString& file) const;

    bool english_;
    QString programFolder_;
    QListWidget* list_ = nullptr;
    QLineEdit* out_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* convert_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QProcess process_;
    QStringList files_;
    QString errors_;
    int index_ = -1;
    int converted_ = 0;
    int failed_ = 0;
    bool cancelled_ = false;
};

} // namespace kestrova::filvert

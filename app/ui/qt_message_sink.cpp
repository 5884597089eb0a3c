#include "app/ui/qt_message_sink.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

namespace kestrova::app::ui {
namespace {

QMessageBox::Icon iconOf(unsigned flags) {
    switch (flags & mb::kIconMask) {
    case mb::kIconError:
        return QMessageBox::Critical;
    case mb::kIconQuestion:
        return QMessageBox::Question;
    case mb::kIconWarning:
        return QMessageBox::Warning;
    case mb::kIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons buttonsOf(unsigned flags) {
    switch (flags & mb::kButtonMask) {
    case mb::kOkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case mb::kAbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case mb::kYesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case mb::kYesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case mb::kRetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

int answerOf(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Abort:
        return IDABORT;
    case QMessageBox::Retry:
        return IDRETRY;
    case QMessageBox::Ignore:
        return IDIGNORE;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDCANCEL; // closed with Escape or the window button
    }
}

} // namespace

int QtMessageSink::showOnInterfaceThread(const OperatorMessage& message) {
    QMessageBox box(iconOf(message.flags), QString::fromStdString(message.caption),
                    QString::fromStdString(message.text), buttonsOf(message.flags), owner_.data());
    return answerOf(box.exec());
}

int QtMessageSink::present(const OperatorMessage& message) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return defaultAnswer(message.flags);
    if (QThread::currentThread() == app->thread()) return showOnInterfaceThread(message);
    int answer = defaultAnswer(message.flags);
    QMetaObject::invokeMethod(
        app, [&] { answer = showOnInterfaceThread(message); }, Qt::BlockingQueuedConnection);
    return answer;
}

} // namespace kestrova::app::ui

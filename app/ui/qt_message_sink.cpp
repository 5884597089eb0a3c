#include "app/ui/qt_message_sink.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QThread>
#include <QTranslator>

#include <utility>

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

// The buttons speak the interface's language too (Qt's own texts are English).
void nameButtonsInChinese(QMessageBox& box) {
    static const std::pair<QMessageBox::StandardButton, const char*> kNames[] = {
        {QMessageBox::Ok, "确定"},    {QMessageBox::Cancel, "取消"}, {QMessageBox::Yes, "是"},
        {QMessageBox::No, "否"},      {QMessageBox::Abort, "中止"},  {QMessageBox::Retry, "重试"},
        {QMessageBox::Ignore, "忽略"}};
    for (const auto& [button, name] : kNames)
        if (QAbstractButton* b = box.button(button)) b->setText(QString::fromUtf8(name));
}

} // namespace

bool loadQtChinese(QTranslator& translator) {
    return translator.load(QStringLiteral("qtbase_zh_CN"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

int QtMessageSink::showOnInterfaceThread(const OperatorMessage& message) {
    QMessageBox box(iconOf(message.flags), QString::fromStdString(message.caption),
                    QString::fromStdString(message.text), buttonsOf(message.flags), owner_.data());
    if (!message.english) nameButtonsInChinese(box);
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

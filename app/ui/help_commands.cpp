#include "app/ui/help_commands.h"

#include "app/config/interface_text.h"

#include "app/ui/main_window.h"
#include "platform/fs.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>

#ifndef KESTROVA_VERSION_TEXT
#define KESTROVA_VERSION_TEXT "0.0.0.0"
#endif

namespace kestrova::app::ui {
namespace {

constexpr const char* kToChineseZh = "确定要切换到中文版本吗？\r\n如果确定，请重新启动软件";
constexpr const char* kToEnglishZh = "确定要切换到英文版本吗？\r\n如果确定，请重新启动软件";
constexpr const char* kNoToolZh = "无法启动转换工具 %1！";
constexpr const char* kNoToolEn = "Unable to start the conversion tool %1!";

} // namespace

QString versionText() {
    return QStringLiteral("V") + QStringLiteral(KESTROVA_VERSION_TEXT);
}

QString aboutText() {
    return QStringLiteral("Kestrova, ") + versionText();
}

QString languageQuestion(bool toEnglish) {
    // "English" is offered only in the Chinese interface, "Chinese" only in the English one.
    return toEnglish ? QString::fromUtf8(kToEnglishZh)
                     : QString::fromUtf8(app::uiText(kToChineseZh, true));
}

bool applyLanguageAnswer(Configuration& config, bool toEnglish, bool cancelled) {
    if (cancelled) return true;
    return config.writeLanguageFlag(toEnglish);
}

bool startConversionTool(Configuration& config) {
    const bool english = config.messenger().english();
    // By its absolute path: the current directory is never searched.
    const QString program = QString::fromStdString(config.programFile("Filvert"));
    if (QProcess::startDetached(program, {english ? QStringLiteral("1") : QStringLiteral("0")}))
        return true;
    config.messenger().ShowMessage(QString::fromUtf8(kNoToolZh).arg(program).toStdString(),
                                   QString::fromUtf8(kNoToolEn).arg(program).toStdString(),
                                   mb::kOk | mb::kIconError);
    return false;
}

void connectHelpCommands(CMainFrame& frame, Configuration& config) {
    QObject::connect(&frame, &CMainFrame::aboutRequested, &frame, [&frame, &config] {
        const bool english = config.messenger().english();
        QMessageBox box(QMessageBox::Information, QStringLiteral("Kestrova"), aboutText(),
                        QMessageBox::Ok, &frame);
        // The link opens the folder of the operator's settings.
        const QString folder = QString::fromStdString(config.userFolder());
        box.setInformativeText(
            QStringLiteral("%1 <a href=\"file://%2\">%2</a>")
                .arg(QString::fromUtf8(app::uiText("设置：", english)), folder.toHtmlEscaped()));
        box.setTextInteractionFlags(Qt::TextBrowserInteraction);
        if (!english) box.button(QMessageBox::Ok)->setText(QString::fromUtf8("确定"));
        box.exec();
    });
    QObject::connect(&frame, &CMainFrame::languageSwitchRequested, &frame,
                     [&frame, &config](bool toEnglish) {
                         QMessageBox box(QMessageBox::Information,
                                         QString::fromUtf8(app::uiText("信息", !toEnglish)),
                                         languageQuestion(toEnglish),
                                         QMessageBox::Ok | QMessageBox::Cancel, &frame);
                         if (toEnglish) { // asked in the Chinese interface
                             box.button(QMessageBox::Ok)->setText(QString::fromUtf8("确定"));
                             box.button(QMessageBox::Cancel)->setText(QString::fromUtf8("取消"));
                         }
                         const bool cancelled = box.exec() == QMessageBox::Cancel;
                         applyLanguageAnswer(config, toEnglish, cancelled);
                     });
    QObject::connect(&frame, &CMainFrame::conversionToolRequested, &frame,
                     [&config] { startConversionTool(config); });
}

} // namespace kestrova::app::ui

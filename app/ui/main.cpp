// kestrova: the survey program's window. One runs per user ("Kestrova Already
// Run!" for a second start). Chooses the interface language (English needs
// libPolyvox.so beside the program: "Unable to load resource DLL!"), binds Drovanta by
// name from the program folder before anything is shown (without it there is
// no display, so the program does not start), reads SysCfg.ini for the sonar's
// address and opens the main window. The sonar is connected and started only
// by the operator (Connect Device, then Start).
//   kestrova [--project FILE.ksp] [--command SECONDS:ID]...
//            [--quit-after SECONDS [--grab FILE.png]]
// For scripts: --project opens that project instead of offering the last one;
// --command presses the command with that identifier (32789 Connect Device,
// 32779 Start, 32783 Save KSF, 32788 Snapshot ...) after SECONDS, under the
// same enabling rules as its button; --quit-after ends the program after
// SECONDS even while a dialog is open; --grab saves a picture of the main
// window just before.

#include "app/config/configuration.h"
#include "app/config/interface_text.h"
#include "app/ui/help_commands.h"
#include "app/ui/main_window.h"
#include "app/ui/qt_message_sink.h"
#include "display/drovanta_api.h"
#include "platform/fs.h"
#include "platform/instance_lock.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr const char* kAlreadyRunZh = "Kestrova已经在运行！";
constexpr const char* kAlreadyRunEn = "Kestrova Already Run!";
constexpr const char* kNoResourceZh = "无法加载资源DLL！";
constexpr const char* kNoResourceEn = "Unable to load resource DLL!";

} // namespace

int main(int argc, char** argv) {
    using namespace kestrova;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kestrova");
    QApplication::setDesktopFileName("kestrova");
    double quitAfter = 0;
    QString grab;
    std::string project;
    std::vector<std::pair<double, int>> commands; // seconds, command identifier
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quit-after") == 0 && i + 1 < argc)
            quitAfter = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--grab") == 0 && i + 1 < argc)
            grab = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--project") == 0 && i + 1 < argc)
            project = argv[++i];
        else if (std::strcmp(argv[i], "--command") == 0 && i + 1 < argc) {
            const char* at = argv[++i];
            const char* colon = std::strchr(at, ':');
            if (colon != nullptr) commands.emplace_back(std::atof(at), std::atoi(colon + 1));
        }
    }

    // What the program writes goes to the user's folder, never its own.
    const std::string userFolder = app::userConfigFolder();
    app::makeFolders(userFolder);
    app::Configuration config(platform::SharedLibrary::executableFolder(), userFolder);
    config.messenger().setEnglish(config.readLanguageFlag());
    // Without a screen nobody can press OK: messages go to standard error.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == "offscreen" || platform == "minimal";
    app::ui::QtMessageSink startupSink;
    if (!headless) config.messenger().setSink(&startupSink);

    // One program per user: it owns the sonar's channels and the recordings.
    platform::InstanceLock instance;
    if (instance.acquire(platform::instanceLockPath(userFolder, "Kestrova.lock")) ==
        platform::InstanceLock::Result::HeldElsewhere) {
        config.messenger().ShowMessage(kAlreadyRunZh, kAlreadyRunEn,
                                       app::mb::kOk | app::mb::kIconError);
        config.messenger().setSink(nullptr);
        return 1;
    }

    // The English interface needs its resource library beside the program:
    // the window's English texts are Polyvox's.
    app::EnglishTexts polyvox;
    if (config.messenger().english() && !polyvox.load()) {
        config.messenger().ShowMessage(kNoResourceZh, kNoResourceEn,
                                       app::mb::kOk | app::mb::kIconError);
        config.messenger().setSink(nullptr);
        return 1;
    }

    // Qt's own dialogs (file choice, standard buttons) in Chinese too.
    QTranslator qtChinese;
    if (!config.messenger().english() && app::ui::loadQtChinese(qtChinese))
        QCoreApplication::installTranslator(&qtChinese);

    display::DrovantaApi drovanta;
    if (!drovanta.load() || !drovanta.initialize()) {
        config.messenger().ShowMessage(drovanta.failure().chinese, drovanta.failure().english,
                                       app::mb::kOk | app::mb::kIconError);
        config.messenger().setSink(nullptr);
        return 1;
    }
    config.LoadSystemConfig();

    int rc = 0;
    {
        // Without a screen no one answers the project dialogs: no reopen offer.
        app::ui::MainFrameOptions options;
        options.offerLastProject = !headless && project.empty();
        // A message while the window is built (a palette missing) must not
        // wait for an answer nobody gives: --quit-after could never end it.
        options.messageBoxes = !headless;
        app::ui::MainWindow window(config, drovanta, options);
        if (headless) config.messenger().setSink(nullptr);
        app::ui::connectHelpCommands(window, config);
        window.show();
        if (!project.empty()) {
            window.session().projects().openProject(project);
            window.refreshCommands();
        }
        for (const auto& [seconds, id] : commands)
            QTimer::singleShot(static_cast<int>(seconds * 1000), &window, [&window, id = id] {
                for (app::FrameCommand c : app::allFrameCommands())
                    if (static_cast<int>(app::commandId(c)) == id) window.runCommand(c);
            });
        if (quitAfter > 0) {
            QTimer::singleShot(static_cast<int>(quitAfter * 1000), &application, [&] {
                if (!grab.isEmpty() && !window.grab().save(grab)) rc = 1;
                // exit(), not quit(): no window is asked whether it may close,
                // and the event loops of open dialogs end too (a dialog opened
                // after this returns at once); the window's destructor then
                // shuts the survey down.
                window.quitWithoutAsking();
                auto* closer = new QTimer(&application);
                QObject::connect(closer, &QTimer::timeout, [] {
                    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
                    QCoreApplication::exit(0);
                });
                closer->start(50);
                QCoreApplication::exit(0);
            });
        }
        const int exitCode = application.exec();
        if (rc == 0) rc = exitCode;
    }
    config.messenger().setSink(nullptr);
    drovanta.terminate();
    return rc;
}

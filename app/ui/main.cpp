// kestrova: the survey program's window. Binds Drovanta by name from the
// program folder before anything is shown (without it there is no display,
// so the program does not start), reads SysCfg.ini for the sonar's address,
// opens the main window with both waterfalls and connects to the sonar.
//   kestrova [--quit-after SECONDS [--grab FILE.png]]
// --grab saves a picture of the window just before the timed quit.

#include "app/config/configuration.h"
#include "app/ui/main_window.h"
#include "app/ui/qt_message_sink.h"
#include "display/drovanta_api.h"
#include "platform/library.h"

#include <QApplication>
#include <QGuiApplication>
#include <QString>
#include <QTimer>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    using namespace kestrova;
    QApplication application(argc, argv);
    double quitAfter = 0;
    QString grab;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quit-after") == 0 && i + 1 < argc)
            quitAfter = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--grab") == 0 && i + 1 < argc)
            grab = QString::fromLocal8Bit(argv[++i]);
    }

    app::Configuration config(platform::SharedLibrary::executableFolder());
    config.LoadSystemConfig();
    config.messenger().setEnglish(config.readLanguageFlag());
    // Without a screen nobody can press OK: messages go to standard error.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == "offscreen" || platform == "minimal";
    app::ui::QtMessageSink startupSink;
    if (!headless) config.messenger().setSink(&startupSink);

    display::DrovantaApi drovanta;
    if (!drovanta.load() || !drovanta.initialize()) {
        config.messenger().ShowMessage(drovanta.failure().chinese, drovanta.failure().english,
                                       app::mb::kOk | app::mb::kIconError);
        config.messenger().setSink(nullptr);
        return 1;
    }

    int rc = 0;
    {
        // Without a screen no one answers the project dialogs: no reopen offer.
        app::ui::MainFrameOptions options;
        options.offerLastProject = !headless;
        app::ui::MainWindow window(config, drovanta, options);
        if (headless) config.messenger().setSink(nullptr);
        window.show();
        window.connectSonar();
        if (quitAfter > 0)
            QTimer::singleShot(static_cast<int>(quitAfter * 1000), &application, [&] {
                if (!grab.isEmpty() && !window.grab().save(grab)) rc = 1;
                application.quit();
            });
        const int exitCode = application.exec();
        if (rc == 0) rc = exitCode;
    }
    config.messenger().setSink(nullptr);
    drovanta.terminate();
    return rc;
}

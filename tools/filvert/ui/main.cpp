// Filvert: converts raw recordings (.ksf) to XTF in a small window.
//   Filvert [0|1] [--out FOLDER] [--run] [FILE.ksf...]
// 0 or 1 is the language flag the survey program passes (1: English); without
// it the program's language rule applies. English needs libPolyvox.so beside it. --run converts the
// given files at once and ends with 0 when all converted (for scripts).

#include "app/config/configuration.h"
#include "app/config/interface_text.h"
#include "tools/filvert/ui/filvert_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Filvert");
    bool english = kestrova::app::interfaceEnglish();
    QString out;
    bool run = false;
    QStringList files;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "0" || args[i] == "1")
            english = args[i] == "1";
        else if (args[i] == "--out" && i + 1 < args.size())
            out = args[++i];
        else if (args[i] == "--run")
            run = true;
        else
            files.append(args[i]);
    }
    const QString folder = QFileInfo(QApplication::applicationFilePath()).absolutePath();
    // Qt's own dialogs (file choice) in Chinese too, when Qt's translation is installed.
    QTranslator qtChinese;
    if (!english && qtChinese.load(QStringLiteral("qtbase_zh_CN"),
                                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtChinese);
    // The English texts are Polyvox's, beside the survey program.
    kestrova::app::EnglishTexts polyvox;
    if (english && !polyvox.load(folder.toStdString())) {
        std::fprintf(stderr, "Filvert: Unable to load resource DLL! %s\n", polyvox.error().c_str());
        return 1;
    }
    kestrova::filvert::FilvertWindow window(english, folder);
    window.addFiles(files);
    if (!out.isEmpty()) window.setOutputFolder(out);
    window.show();
    if (run) {
        QObject::connect(&window, &kestrova::filvert::FilvertWindow::finished, &application,
                         [](bool ok) { QApplication::exit(ok ? 0 : 1); });
        if (!window.convert()) return 2;
    }
    return application.exec();
}

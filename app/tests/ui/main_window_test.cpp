// The first window against the sonar simulator over loopback, offscreen: both
// waterfalls fill from the live data channel, the status bar follows the
// connection, and the program refuses to start without Drovanta.

#include "app/ui/main_window.h"
#include "tools/sonar-sim/sim_process.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace kestrova::app::ui {
namespace {

using acquisition::Frequency;

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

void application() {
    ASSERT_NE(QApplication::instance(), nullptr);
}

// Brightness of a pixel of the window picture.
int grey(QRgb c) {
    return (qRed(c) + qGreen(c) + qBlue(c)) / 3;
}

TEST(MainWindow, BothWaterfallsFillFromTheLiveSimulator) {
    application();
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4"}));
    Configuration config(binFolder());
    config.system.commandPort = sim.commandPort;
    config.system.dataPort = sim.dataPort;
    config.messenger().setEnglish(true);
    display::DrovantaApi drovanta;
    ASSERT_TRUE(drovanta.load(binFolder())) << drovanta.failure().english;
    drovanta.initialize();
    {
        MainFrameOptions options;
        options.offerLastProject = false; // no project dialogs in this run
        MainWindow window(config, drovanta, options);
        window.resize(1000, 500);
        window.show();
        // The operator's message boxes are modal: read them from a recording sink.
        RecordingMessageSink messages;
        config.messenger().setSink(&messages);
        ASSERT_TRUE(window.connectSonar());
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end &&
               (window.view(Frequency::HF).pipeline().pingsReceived() < 30 ||
                window.view(Frequency::LF).pipeline().pingsReceived() < 30))
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        window.refreshStatus();
        EXPECT_GE(window.view(Frequency::HF).pipeline().pingsReceived(), 30u);
        EXPECT_GE(window.view(Frequency::LF).pipeline().pingsReceived(), 30u);
        EXPECT_EQ(window.statusPane(5)->text().toStdString(), "Net Connected");
        EXPECT_EQ(window.statusPane(6)->text().toStdString(), "Sonar Data Normal");
        // Pinging came from the window's own Start, not from a free-running sonar.
        EXPECT_TRUE(window.acquisition().status().sonarRunning.load());
        ASSERT_GE(messages.count(), 1u);
        EXPECT_EQ(messages.messages().front().text, "Sonar connected successfully!");

        for (Frequency f : {Frequency::HF, Frequency::LF}) {
            auto& widget = window.waterfall(f);
            const QImage pic = widget.picture();
            if (std::getenv("KESTROVA_KEEP_PICTURES"))
                pic.save(QString("/tmp/window_%1.png").arg(acquisition::frequencyName(f)));
            ASSERT_EQ(pic.width(), widget.width());
            ASSERT_EQ(pic.height(), widget.height());
            // The newest rows are drawn at the top of the waterfall: near the
            // centre the dark water column, farther out the brighter seabed.
            const int c = pic.width() / 2;
            for (int side : {-1, 1}) {
                double water = 0, bed = 0;
                int nWater = 0, nBed = 0;
                for (int y = 71; y < 71 + 6; ++y)
                    for (int x = 2; x < c - 2; ++x) {
                        const int g = grey(pic.pixel(c + side * x, y));
                        if (x < c / 10) { // 5 m (HF) or 10 m (LF): above the 15 m altitude
                            water += g;
                            ++nWater;
                        } else if (x > 2 * c / 5) {
                            bed += g;
                            ++nBed;
                        }
                    }
                water /= nWater;
                bed /= nBed;
                EXPECT_GT(bed, 3 * water + 5) << acquisition::frequencyName(f) << " side " << side;
            }
            // Rows far below the pings received are still black.
            EXPECT_EQ(grey(pic.pixel(c + c / 2, pic.height() - 2)), 0);
        }
        // The pointer over the starboard half reads its slant range into pane 2.
        auto& hf = window.waterfall(Frequency::HF);
        const int c = hf.width() / 2;
        auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButton button,
                         Qt::MouseButtons held) {
            QMouseEvent e(type, QPointF(at), hf.mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
            QApplication::sendEvent(&hf, &e);
        };
        mouse(QEvent::MouseMove, {c + 100, 200}, Qt::NoButton, Qt::NoButton);
        const std::string expected = hf.view().slantReadout(c + 100, true);
        EXPECT_EQ(window.statusPane(2)->text().toStdString(), expected);
        EXPECT_EQ(expected.rfind("Slant:", 0), 0u);
        // A drag over the starboard half zooms; a double click returns to the whole line.
        const std::uint32_t whole = hf.view().pipeline().dataWindow().width;
        mouse(QEvent::MouseButtonPress, {c + 50, 100}, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, {c + 150, 250}, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, {c + 150, 250}, Qt::LeftButton, Qt::NoButton);
        EXPECT_TRUE(hf.view().pipeline().zoomed());
        // Columns 50 .. 150 of a half of c: the window keeps 100 / c of the line.
        EXPECT_NEAR(hf.view().pipeline().dataWindow().width, whole * 100.0 / c, 2.0);
        mouse(QEvent::MouseButtonDblClick, {c + 60, 120}, Qt::LeftButton, Qt::LeftButton);
        EXPECT_FALSE(hf.view().pipeline().zoomed());
        EXPECT_EQ(hf.view().pipeline().dataWindow().width, whole);
        // A drag of a few pixels is a click, not a zoom.
        mouse(QEvent::MouseButtonPress, {c + 50, 100}, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, {c + 55, 300}, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, {c + 55, 300}, Qt::LeftButton, Qt::NoButton);
        EXPECT_FALSE(hf.view().pipeline().zoomed());
    }
    sim.stop();
}

TEST(Program, RefusesToStartWithoutDrovanta) {
    application();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.path() + "/kestrova";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(binFolder() + "/kestrova"), copy));
    // The interface's resources are there (the locale may ask for English).
    ASSERT_TRUE(QFile::copy(QString::fromStdString(binFolder() + "/libPolyvox.so"),
                            dir.path() + "/libPolyvox.so"));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    // A home of its own: its settings folder and its one-instance lock.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.remove("XDG_CONFIG_HOME");
    env.remove("XDG_RUNTIME_DIR");
    p.setProcessEnvironment(env);
    p.start(copy, {"--quit-after", "5"});
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains("Drovanta.dll")) << err.toStdString();
    EXPECT_TRUE(err.contains("libdrovanta.so")) << err.toStdString();
}

// Mended: without a screen, a message while the window was built (here the
// palettes missing beside the program) waited for an answer, and
// --quit-after never ended the program.
TEST(Program, HeadlessStartWithoutPalettesEndsAfterQuitAfter) {
    application();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"kestrova", "libdrovanta.so", "libPolyvox.so"})
        ASSERT_TRUE(
            QFile::copy(QString::fromStdString(binFolder() + "/" + name), dir.path() + "/" + name));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.remove("XDG_CONFIG_HOME");
    env.remove("XDG_RUNTIME_DIR");
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.setProcessEnvironment(env);
    p.start(dir.path() + "/kestrova", {"--quit-after", "1"});
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains("brown.clr")) << err.toStdString();
}

// The English interface without its resource library beside the program (or
// with a library lacking its texts): the operator is told and the program ends
// before a window; with it the program starts.
TEST(Program, EnglishNeedsPolyvoxBesideTheProgram) {
    application();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.path() + "/kestrova";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(binFolder() + "/kestrova"), copy));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(binFolder() + "/libdrovanta.so"),
                            dir.path() + "/libdrovanta.so"));
    // The palettes and model limits the window reads.
    const QDir bin(QString::fromStdString(binFolder()));
    for (const QString& name : bin.entryList({"*.clr", "QM-*.ini"}, QDir::Files))
        ASSERT_TRUE(QFile::copy(bin.filePath(name), dir.path() + "/" + name));
    QDir(dir.path()).mkpath(".config/Kestrova");
    QFile flag(dir.path() + "/.config/Kestrova/PolyvoxSet.lang");
    ASSERT_TRUE(flag.open(QIODevice::WriteOnly));
    flag.write("[English]\r\nbEnglish=1\r\n");
    flag.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.remove("XDG_CONFIG_HOME");
    env.remove("XDG_RUNTIME_DIR");
    auto run = [&] {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setProcessEnvironment(env);
        p.start(copy, {"--quit-after", "1"});
        EXPECT_TRUE(p.waitForFinished(15000));
        return std::pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
    };
    const auto [missing, err] = run();
    EXPECT_EQ(missing, 1);
    EXPECT_TRUE(err.contains("Unable to load resource DLL!")) << err.toStdString();
    // A library of that name without the English texts' lookup is refused the same way.
    ASSERT_TRUE(QFile::copy(QString::fromStdString(binFolder() + "/libdrovanta.so"),
                            dir.path() + "/libPolyvox.so"));
    const auto [foreign, foreignErr] = run();
    EXPECT_EQ(foreign, 1);
    EXPECT_TRUE(foreignErr.contains("Unable to load resource DLL!")) << foreignErr.toStdString();
    ASSERT_TRUE(QFile::remove(dir.path() + "/libPolyvox.so"));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(binFolder() + "/libPolyvox.so"),
                            dir.path() + "/libPolyvox.so"));
    const auto [present, log] = run();
    EXPECT_EQ(present, 0) << log.toStdString();
}

} // namespace
} // namespace kestrova::app::ui

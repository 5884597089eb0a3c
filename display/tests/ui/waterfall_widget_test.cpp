// The waterfall view on screen (offscreen platform) over simulated pings: the
// zoom drag keeps the pointer in the view and lets it go on release, leave or
// focus loss; the right double click captures a target and tells the main
// frame; the redraw message reloads a changed palette; the trace pen and the
// label follow the sonar state and the device kind.

#include "display/tests/sim_pings.h"
#include "display/ui/waterfall_widget.h"

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kestrova::display::test {
namespace {

class Widget : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "waterfall_widget_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        drovanta = new DrovantaApi;
        ASSERT_TRUE(drovanta->load(binFolder()));
    }
    void SetUp() override {
        drovanta->initialize();
        handOff = std::make_unique<acquisition::PingHandOff>(queue, windows, snapshots);
        main =
            queue.registerWindow([this](const platform::WindowMessage& m) { toMain.push_back(m); });
        windows.mainFrame = main;
        view = std::make_unique<WaterfallView>(Frequency::HF, *drovanta, shared, queue, *handOff,
                                               windows);
        widget = std::make_unique<ui::WaterfallWidget>(*view);
        widget->resize(600, 400);
        widget->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        widget.reset();
        view.reset();
        queue.unregisterWindow(main);
    }
    void feed(std::uint32_t pings) {
        SimPings sim(hfOnly(300));
        for (std::uint32_t k = 0; k < pings; ++k)
            ASSERT_TRUE(sim.append(handOff->batch(Frequency::HF), true, k));
        queue.post(view->handle(), acquisition::WM_PING_HF);
        for (int i = 0; i < 5; ++i)
            queue.drain();
    }
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton b, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(p), QPointF(widget->mapToGlobal(p)), b, held, Qt::NoModifier);
        QApplication::sendEvent(widget.get(), &e);
    }

    static DrovantaApi* drovanta;
    platform::MessageQueue queue;
    acquisition::WindowTargets windows;
    acquisition::SnapshotStore snapshots;
    std::unique_ptr<acquisition::PingHandOff> handOff;
    DisplayShared shared;
    std::unique_ptr<WaterfallView> view;
    std::unique_ptr<ui::WaterfallWidget> widget;
    platform::WindowHandle main = platform::kNoWindow;
    std::vector<platform::WindowMessage> toMain;
};
DrovantaApi* Widget::drovanta = nullptr;

// A pointer left free during the drag, or held after the button is up, is the
// fault: the confinement must start in the waterfall and end on every way out.
TEST_F(Widget, ZoomDragConfinesThePointerUntilReleaseLeaveOrFocusLoss) {
    feed(20);
    const QPoint start(100, 120);
    mouse(QEvent::MouseButtonPress, QPoint(100, 30), Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(widget->dragging()) << "a press on the amplitude strip starts no drag";
    mouse(QEvent::MouseButtonRelease, QPoint(100, 30), Qt::LeftButton, Qt::NoButton);

    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(widget->cursorConfined());
    // Below the waterfall's top and inside the 600 x 400 view.
    EXPECT_EQ(widget->confinement(),
              QRect(widget->mapToGlobal(QPoint(0, 71)), widget->mapToGlobal(QPoint(599, 399))));
    mouse(QEvent::MouseMove, QPoint(700, 300), Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(widget->cursorConfined());
    mouse(QEvent::MouseButtonRelease, QPoint(250, 300), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(widget->cursorConfined());
    EXPECT_TRUE(view->pipeline().zoomed()) << "a 150 x 180 drag zooms";

    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(widget->cursorConfined());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget.get(), &leave);
    EXPECT_FALSE(widget->cursorConfined());
    EXPECT_FALSE(widget->dragging());

    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(widget->cursorConfined());
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(widget.get(), &out);
    EXPECT_FALSE(widget->cursorConfined());
}

// The capture must go to the main frame as 0x489 with the side, only with a
// project open, after the target view saved what it showed.
TEST_F(Widget, RightDoubleClickCapturesTheTargetAndTellsTheMainFrame) {
    feed(10);
    auto snapshot = std::make_unique<TargetSnapshot>();
    bool project = false;
    int saves = 0;
    view->setTargetCapture({snapshot.get(), [&] { return project; }, [&] { ++saves; }});
    int captured = -1;
    QObject::connect(widget.get(), &ui::WaterfallWidget::targetCaptured,
                     [&](int side) { captured = side; });
    mouse(QEvent::MouseButtonDblClick, QPoint(450, 72), Qt::RightButton, Qt::RightButton);
    queue.drain();
    EXPECT_TRUE(toMain.empty()) << "no project open: no capture";
    project = true;
    mouse(QEvent::MouseButtonDblClick, QPoint(450, 72), Qt::RightButton, Qt::RightButton);
    queue.drain();
    ASSERT_EQ(toMain.size(), 1u);
    EXPECT_EQ(toMain[0].id, 0x489u);
    EXPECT_EQ(toMain[0].wParam, 1u); // right of the centre (300): starboard
    EXPECT_EQ(captured, 1);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(snapshot->pingCount, 10u);
    EXPECT_TRUE(snapshot->markSet);
}

// A palette change stored by the settings page reaches the view with its
// redraw message; the same choice again reads no file.
TEST_F(Widget, RedrawMessageReloadsAChangedPaletteOnly) {
    QTemporaryDir dir;
    auto write = [&](const char* name, std::uint32_t first) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (std::uint32_t i = 0; i < 1024; ++i) {
            const std::uint32_t v = first + i;
            const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), 0};
            f.write(b, 4);
        }
    };
    write("brown.clr", 0x100);
    write("gray.clr", 0x20000);
    app::Messenger messenger;
    view->setPaletteSource(dir.path().toStdString(), &messenger);
    EXPECT_EQ(view->waterfall().palette()[0], 0x100u);
    shared.settings.palette[0] = 2;
    shared.settings.invert[0] = true;
    queue.post(view->handle(), WM_REDRAW_HF);
    queue.drain();
    // gray.clr reversed: entry 0 holds the file's last value.
    EXPECT_EQ(view->waterfall().palette()[0], 0x20000u + 1023u);
    QFile::remove(dir.filePath("gray.clr"));
    queue.post(view->handle(), WM_REDRAW_HF);
    queue.drain();
    EXPECT_FALSE(view->applyDisplaySettings()) << "an unchanged choice reads no file";
    EXPECT_EQ(view->waterfall().palette()[0], 0x20000u + 1023u);
}

// Red traces while the sonar is stopped, orange while it runs; the HF label
// goes for a one-frequency sonar and reads Chinese in the Chinese interface.
TEST_F(Widget, TracePenAndLabelFollowSonarStateAndDeviceKind) {
    acquisition::SonarStatus status;
    view->setSonarStatus(&status);
    feed(5);
    EXPECT_EQ(view->waterfall().tracePen(), 0xFF0000u);
    status.sonarRunning = true;
    feed(5);
    EXPECT_EQ(view->waterfall().tracePen(), 0xFF8000u);
    const QImage shown = widget->picture();
    bool labelPixels = false;
    for (int y = 5; y < 50 && !labelPixels; ++y)
        for (int x = 5; x < 60; ++x)
            if ((shown.pixel(x, y) & 0xFFFFFF) == Waterfall::kTextColour) labelPixels = true;
    EXPECT_TRUE(labelPixels) << "the HF label is drawn in its colour";
    EXPECT_EQ(view->channelLabel(false), "高频");
    shared.settings.deviceKind = 1;
    feed(5);
    EXPECT_FALSE(view->waterfall().labelShown());
    const QImage without = widget->picture();
    for (int y = 5; y < 50; ++y)
        for (int x = 5; x < 60; ++x)
            ASSERT_NE(without.pixel(x, y) & 0xFFFFFF, Waterfall::kTextColour) << x << "," << y;
}

// The window paints the waterfall straight from the view's ring of rows (or,
// zoomed, from the rows gathered for it): what it shows must be the picture.
TEST_F(Widget, WindowShowsThePictureThroughWrapAndZoom) {
    auto painted = [&] { return widget->grab().toImage().convertToFormat(QImage::Format_RGB32); };
    auto same = [&](const char* stage) {
        const QImage want = widget->picture().convertToFormat(QImage::Format_RGB32);
        const QImage got = painted();
        ASSERT_EQ(got.size(), want.size()) << stage;
        int differing = 0;
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x)
                if ((got.pixel(x, y) & 0xFFFFFF) != (want.pixel(x, y) & 0xFFFFFF)) ++differing;
        EXPECT_EQ(differing, 0) << stage;
    };
    feed(400); // more pings than the 329 rows: the ring has wrapped
    feed(7);
    same("whole line");
    ASSERT_TRUE(view->zoom(350, 150, 500, 390, false));
    same("zoomed");
    feed(5);
    same("zoomed, new pings");
    // A smaller view, its reset message not yet run: the zoom reaches past the
    // waterfall's rows, where there is no data.
    widget->resize(600, 250);
    QApplication::processEvents();
    ASSERT_TRUE(view->pipeline().zoomed());
    ASSERT_GT(view->pipeline().dataWindow().top + view->pipeline().dataWindow().height, 179u);
    same("zoomed, smaller");
}

// A view that is not zoomed shows the whole history at any size: after a
// resize in the LF-only mode (no reset message comes) and after the layout of
// a maximise or restore, its rows must not be stretched over the new height.
TEST_F(Widget, UnzoomedViewFollowsItsNewHeight) {
    auto lf = std::make_unique<WaterfallView>(Frequency::LF, *drovanta, shared, queue, *handOff,
                                              windows);
    lf->setViewMode(1);
    auto lfWidget = std::make_unique<ui::WaterfallWidget>(*lf);
    lfWidget->resize(600, 400);
    lfWidget->show();
    QApplication::processEvents();
    SimPings sim{sim::SonarStreamConfig{}};
    for (std::uint32_t k = 0; k < 100; ++k)
        ASSERT_TRUE(sim.append(handOff->batch(Frequency::LF), false, k));
    queue.post(lf->handle(), acquisition::WM_PING_LF);
    for (int i = 0; i < 5; ++i)
        queue.drain();
    ASSERT_EQ(lf->pipeline().pingsReceived(), 100u);
    ASSERT_FALSE(lf->pipeline().zoomed());

    // Rows below the hundred pings received stay as black as a row with no data.
    auto unstretched = [](WaterfallView& v, const char* stage) {
        const RgbImage& img = v.image();
        const ViewLayout& l = v.waterfall().viewLayout();
        EXPECT_EQ(v.pipeline().dataWindow().height,
                  static_cast<std::uint32_t>(l.waterfallHeight))
            << stage;
        const std::uint32_t* row = img.row(ViewLayout::kWaterfallTop + 150);
        int lit = 0;
        for (int x = 0; x < l.width; ++x)
            if (x != l.centre && row[x] != 0u) ++lit;
        EXPECT_EQ(lit, 0) << stage;
    };
    lfWidget->resize(600, 700);
    QApplication::processEvents();
    for (int i = 0; i < 5; ++i)
        queue.drain();
    unstretched(*lf, "LF only, resized");

    feed(100);
    view->relayout(600, 760); // what a maximise's layout does
    queue.drain();
    unstretched(*view, "HF, maximised");
    lfWidget.reset();
}

} // namespace
} // namespace kestrova::display::test

// Bottom tracking through the live session's own parts: the "Altitude
// Tracker" page's rules switch it on and choose the source, simulated pings
// go through the batches, the views' pipelines and Drovanta into the
// waterfall picture. The marks must lie where the simulator's seabed is, and
// a manual altitude must drive the altitude alarm.

#include "app/session/survey_session.h"
#include "display/bottom_tracking_page.h"
#include "display/display_messages.h"
#include "display/tests/sim_pings.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace kestrova::app {
namespace {

using acquisition::Frequency;
using display::test::SimPings;

// The main frame's side of the page: redraws go to the views as messages.
class ViewHost : public display::ControlPageHost {
  public:
    explicit ViewHost(SurveySession& s) : session_(s) {}
    std::optional<std::string> projectConfigPath() const override { return std::nullopt; }
    void redrawView(Frequency f) override {
        session_.queue().post(session_.view(f).handle(),
                              f == Frequency::HF ? display::WM_REDRAW_HF : display::WM_REDRAW_LF);
    }

  private:
    SurveySession& session_;
};

class BottomTrackingSession : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(drovanta.load(display::test::binFolder())) << drovanta.failure().english;
        drovanta.initialize();
        messenger.setEnglish(true);
        messenger.setSink(&sink); // no palette files here: the grey ramp draws
        config = std::make_unique<Configuration>(program.path(), messenger);
        session = std::make_unique<SurveySession>(*config, queue, &drovanta);
        host = std::make_unique<ViewHost>(*session);
        page =
            std::make_unique<display::BottomTrackingPage>(*config, session->displayShared(), *host);
        // The main frame hands the views' range notice (0x48D) to the page.
        mainWindow = queue.registerWindow([this](const platform::WindowMessage& m) {
            if (m.id == display::kMsgBottomPageRangeChanged) page->rangesChanged();
        });
        session->setMainWindow(mainWindow);
        session->view(Frequency::HF).setBottomPageOpen(true);
        session->view(Frequency::HF).relayout(800, 400);
        page->open();
    }
    void TearDown() override {
        queue.unregisterWindow(mainWindow);
        page.reset();
        session.reset();
        drovanta.terminate();
    }
    // Pings [from, from + n) of the HF channel through its batch and view, as
    // the receive thread hands them over.
    void feed(std::uint32_t from, std::uint32_t n) {
        acquisition::SonarAcquisition& acq = session->acquisition();
        for (std::uint32_t k = from; k < from + n; ++k)
            ASSERT_TRUE(sim.append(acq.handOff().batch(Frequency::HF), true, k));
        queue.post(acq.windows().hfView.load(), acquisition::WM_PING_HF);
        queue.drain();
        queue.drain(); // the redraw a view posts to itself
    }
    // Port columns of the newest waterfall row holding the bottom mark.
    std::vector<int> markedColumns() {
        const display::Waterfall& w = session->view(Frequency::HF).waterfall();
        const display::RgbImage& picture = w.waterfallBitmap();
        std::vector<int> cols;
        for (int x = 0; x < w.viewLayout().portWidth; ++x)
            if (picture.at(x, 0) == display::Waterfall::kBottomMark) cols.push_back(x);
        return cols;
    }

    kestrova::testing::TempFolder program;
    display::DrovantaApi drovanta;
    RecordingMessageSink sink;
    Messenger messenger;
    std::unique_ptr<Configuration> config;
    platform::MessageQueue queue;
    std::unique_ptr<SurveySession> session;
    std::unique_ptr<ViewHost> host;
    std::unique_ptr<display::BottomTrackingPage> page;
    platform::WindowHandle mainWindow = platform::kNoWindow;
    SimPings sim{display::test::hfOnly()};
};

TEST_F(BottomTrackingSession, MarksLieOnTheSimulatedSeabedOnceSwitchedOn) {
    feed(0, 20);
    EXPECT_TRUE(markedColumns().empty()) << "bottom tracking is off";
    EXPECT_EQ(page->state().stop.highLabel, "50.0") << "the page learnt the 50 m range";

    page->onOffClicked(true); // redraws both views: the history gets its marks
    queue.drain();
    feed(20, 10);
    const display::Waterfall& w = session->view(Frequency::HF).waterfall();
    // 3600 samples a side at 54 kHz: the seabed at altitude a lies at sample
    // a * 2 * 54000 / 1500, shown on a half of portWidth columns.
    const double altitude = sim.seabed().altitude(sim.alongTrack(29));
    const double perColumn = 3600.0 / w.viewLayout().portWidth;
    const int expected = static_cast<int>(altitude * 2.0 * 54000.0 / 1500.0 / perColumn);
    const std::vector<int> marks = markedColumns();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_NEAR(marks[0], expected, 2) << "seabed at " << altitude << " m";
    EXPECT_NEAR(session->displayShared().processing.currentAltitude, altitude, 0.25);
}

TEST_F(BottomTrackingSession, ManualAltitudeDrivesTheAltitudeAlarm) {
    config->sonar.alarm.alertAltitude = true;
    config->sonar.alarm.minAltitude = 3.0f;
    session->applyDisplaySettings();
    page->onOffClicked(true);
    page->manualChosen();
    ASSERT_TRUE(page->applyManualAltitude("2.5"));
    feed(0, 5);
    const display::DisplayProcessingState& p = session->displayShared().processing;
    EXPECT_DOUBLE_EQ(p.currentAltitude, 2.5);
    EXPECT_EQ(p.altitudeAlarmState, display::altitude_alarm::kAtOrBelowMinimum);

    EXPECT_FALSE(page->applyManualAltitude("-1")); // refused: the alarm stays on 2.5 m
    feed(5, 2);
    EXPECT_EQ(p.altitudeAlarmState, display::altitude_alarm::kAtOrBelowMinimum);

    ASSERT_TRUE(page->applyManualAltitude("8"));
    feed(7, 2);
    EXPECT_DOUBLE_EQ(p.currentAltitude, 8.0);
    EXPECT_EQ(p.altitudeAlarmState, display::altitude_alarm::kAboveMinimum);
    // The mark follows the manual altitude: 8 m is sample 576 of 3600.
    const display::Waterfall& w = session->view(Frequency::HF).waterfall();
    const std::vector<int> marks = markedColumns();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0], static_cast<int>(576.0 / (3600.0 / w.viewLayout().portWidth)));
}

} // namespace
} // namespace kestrova::app

#include "app/ui/control_pages.h"

#include "app/ping_parameter_panel.h"
#include "display/display_messages.h"
#include "display/ui/page_bottom_tracking.h"
#include "display/ui/page_display_set.h"
#include "display/ui/page_para_display.h"

namespace kestrova::app::ui {

using display::Frequency;

ControlPages::ControlPages(Configuration& config, SurveySession& session, QWidget* parent)
    : session_(session) {
    display::DisplayShared& shared = session.displayShared();
    display_ = new display::ui::CPageDisplaySet(config, shared, *this, parent);
    bottom_ = new display::ui::CPageBottomTracking(config, shared, *this, parent);
    status_ = new display::ui::CPageParaDisplay(config, shared, parent);
    // The page exists for the whole run: the views announce every range change.
    if (session_.hasViews())
        for (Frequency f : {Frequency::HF, Frequency::LF})
            session_.view(f).setBottomPageOpen(true);
}

ControlPages::~ControlPages() {
    if (session_.hasViews())
        for (Frequency f : {Frequency::HF, Frequency::LF})
            session_.view(f).setBottomPageOpen(false);
}

void ControlPages::rangesChanged() {
    bottom_->rangesChanged();
}

void ControlPages::settingsLoaded() {
    display_->reopen();
    bottom_->reopen();
}

void ControlPages::refreshStatus() {
    display::StatusPageInputs in;
    in.fix = session_.navigation().displaySnapshot();
    const Configuration& config = session_.configuration();
    const bool english = session_.configuration().messenger().english();
    for (Frequency f : {Frequency::HF, Frequency::LF}) {
        const auto i = static_cast<std::size_t>(acquisition::index(f));
        in.pings[i] = session_.acquisition().snapshots().ping(f).header();
        if (!in.pings[i]) continue;
        // The same texts as the ping parameter panels above the waterfalls.
        const bool hf = f == Frequency::HF;
        const PingParameterTexts t = formatPingParameters(
            pingParameterCodes(
                *in.pings[i], config.sonar.of(hf ? app::Frequency::HF : app::Frequency::LF),
                pingRangeMetres(*in.pings[i], session_.displayShared().settings.soundSpeed,
                                hf ? config.sonar.commandRangeMetresHF
                                   : config.sonar.commandRangeMetresLF)),
            english);
        display::SonarRowReadouts r;
        r.range = t.range;
        r.power = t.power;
        r.signal = t.signal;
        r.pulse = t.pulse;
        r.gain = t.gain;
        r.spreading = t.spreading;
        r.absorption = t.absorption;
        in.parameters[i] = r;
    }
    status_->update(in);
}

std::optional<std::string> ControlPages::projectConfigPath() const {
    return session_.projects().current().configPath();
}

void ControlPages::redrawView(Frequency f) {
    if (!session_.hasViews()) return;
    session_.queue().post(session_.view(f).handle(),
                          f == Frequency::HF ? display::WM_REDRAW_HF : display::WM_REDRAW_LF);
}

} // namespace kestrova::app::ui

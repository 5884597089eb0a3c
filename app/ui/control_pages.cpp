#include "app/ui/control_pages.h"

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
    for (Frequency f : {Frequency::HF, Frequency::LF})
        in.pings[static_cast<std::size_t>(acquisition::index(f))] =
            session_.acquisition().snapshots().ping(f).header();
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

#pragma once
// The display pages of the "Control" pane ("Display settings", "Altitude
// Tracker", "Status information") bound to the survey session: their settings
// reach the views' pipelines, their redraws the views, their saves the open
// project, and the status display fills the status page.

#include "app/session/survey_session.h"
#include "display/control_page_host.h"

class QWidget;

namespace kestrova::display::ui {
class CPageBottomTracking;
class CPageDisplaySet;
class CPageParaDisplay;
} // namespace kestrova::display::ui

namespace kestrova::app::ui {

class ControlPages : public display::ControlPageHost {
  public:
    // The pages are made as children of `parent` (the control pane's sheet).
    ControlPages(Configuration& config, SurveySession& session, QWidget* parent);
    ~ControlPages() override;
    ControlPages(const ControlPages&) = delete;
    ControlPages& operator=(const ControlPages&) = delete;

    display::ui::CPageDisplaySet* displayPage() const { return display_; }
    display::ui::CPageBottomTracking* bottomPage() const { return bottom_; }
    display::ui::CPageParaDisplay* statusPage() const { return status_; }

    // A channel range changed (0x48D from the views, 1165 from the sonar page).
    void rangesChanged();
    // A project's configuration was loaded: the pages open again on it.
    void settingsLoaded();
    // The status display's refresh of the status page.
    void refreshStatus();

    // ControlPageHost
    std::optional<std::string> projectConfigPath() const override;
    void redrawView(display::Frequency f) override;

  private:
    SurveySession& session_;
    display::ui::CPageDisplaySet* display_ = nullptr;
    display::ui::CPageBottomTracking* bottom_ = nullptr;
    display::ui::CPageParaDisplay* status_ = nullptr;
};

} // namespace kestrova::app::ui

#pragma once
// The rules of the "Altitude Tracker" page (CPageBottomTracking), without any
// toolkit: the on/off box, the altitude source, the bottom search window and
// threshold sliders with their labels and ranges, and the manual altitude.
// The settings the pipelines read live in DisplayShared; on/off and source
// are also the program's settings (BT_bOn, BT_iuAlertGps), saved with the
// project on every change. The page widget mirrors state() into its controls.

#include "app/config/configuration.h"
#include "display/control_page_host.h"
#include "display/display_state.h"

#include <string>
#include <string_view>

namespace kestrova::display {

// Messages the page answers: the device was identified (posted by the device
// model's observers), and the channel range changed (0x48D from the views,
// the same number as the sonar parameter page's refresh after a range change).
constexpr unsigned kMsgBottomPageDeviceIdentified = 0x609;
constexpr unsigned kMsgBottomPageRangeChanged = 0x48D;

struct TrackSliderState {
    int min = 0;
    int max = 0;
    int position = 0;
    bool enabled = true;
    std::string lowLabel; // range labels
    std::string highLabel;
    std::string valueLabel;
};

struct BottomTrackingPageState {
    bool onChecked = false;
    bool controlsEnabled = false; // every control but the on/off box follows it
    bool sonarDataChecked = true;
    bool manualChecked = false;
    bool hfChecked = true;
    bool lfChecked = false;
    bool frequencyChoiceVisible = true; // "High Frequency" / "Low Frequency"
    bool searchVisible = true;          // the "Start" and "Stop" sliders
    bool manualVisible = false;         // the altitude box, "m" and "Apply"
    TrackSliderState start;
    TrackSliderState stop;
    TrackSliderState threshold;
    std::string manualAltitudeText;
};

// Range labels in RGB(0x3C, 0x3C, 0x3C), value labels in RGB(0x03, 0x7E, 0xBA).
constexpr std::uint32_t kPageRangeLabelColour = 0x3C3C3C;
constexpr std::uint32_t kPageValueLabelColour = 0x037EBA;

// A slider position p stands for (p + 1) tenths of a metre: "%0.1f m".
std::string searchValueText(int position);
// The threshold's value label: "Auto" (Chinese "自动") for 0, else the number.
std::string thresholdText(int threshold, bool english);

class BottomTrackingPage {
  public:
    BottomTrackingPage(app::Configuration& config, DisplayShared& shared, ControlPageHost& host);

    // Opening the page: boxes and radios from the settings, the threshold
    // kept to 0 .. 10, the slider ranges, the manual altitude, and the rule
    // of message 0x609.
    void open();
    const BottomTrackingPageState& state() const { return state_; }

    void onOffClicked(bool checked);
    void sonarDataChosen();
    void frequencyChosen(Frequency f);
    void manualChosen();

    // During a drag only the value label follows (returned).
    std::string startMoving(int position);
    std::string stopMoving(int position);
    std::string thresholdMoving(int position);
    // A slider released at `position`: the setting takes it, the ranges follow.
    void startReleased(int position);
    void stopReleased(int position);
    void thresholdReleased(int position);

    // "Apply" with the altitude box's text. Only a finite altitude above 0
    // and within the longest channel range is taken; otherwise the operator
    // is told and the old altitude stays (false).
    bool applyManualAltitude(std::string_view text);
    // The highest manual altitude "Apply" takes, in metres.
    double manualAltitudeLimit() const;

    // Message 0x609: in the HF-only view mode the frequency choice hides and
    // the LF source becomes HF.
    void deviceIdentified();
    // A channel range changed (0x48D, 1165): the slider ranges again.
    void rangesChanged();

  private:
    BottomTrackingSettings& bottom() { return shared_.settings.bottom; }
    bool hfOnlyView() const;
    void setSource(int source);
    void showSource();
    void computeRanges();
    void save();

    app::Configuration& config_;
    DisplayShared& shared_;
    ControlPageHost& host_;
    BottomTrackingPageState state_;
};

} // namespace kestrova::display

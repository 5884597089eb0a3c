#pragma once
// The rules of the "Sonar parameter" page, without any toolkit: what every
// control of the two frequency rows shows, how a refresh brings the settings
// into the connected model's limits, and what a committed change stores, sends
// and saves. The page widget (app/ui/page_sonar_para_set.h) only mirrors this
// state into its controls and forwards the operator's actions.

#include "app/config/configuration.h"
#include "app/config/sonar_command_port.h"

#include <array>
#include <optional>
#include <string>

namespace kestrova::app {

enum class SliderKind { Range = 0, Power, Pulse, Gain, Spreading, Absorption };
constexpr std::size_t kSliderKinds = 6;

struct SliderState {
    int min = 0;
    int max = 0;
    int position = 0;
    std::string valueLabel;
    std::string lowLabel; // end labels; empty for the power slider
    std::string highLabel;
};

struct FrequencyRowState {
    bool visible = true;
    bool onOffChecked = true;
    bool onOffEnabled = true;    // false in playback mode
    bool controlsEnabled = true; // sliders and combo follow the On/Off box
    int signalShape = 1;         // the shape combo's value: 1 "CW", 2 "LFM"
    std::array<SliderState, kSliderKinds> sliders;
    SliderState& slider(SliderKind k) { return sliders[static_cast<std::size_t>(k)]; }
    const SliderState& slider(SliderKind k) const { return sliders[static_cast<std::size_t>(k)]; }
};

// What the page needs from the rest of the program.
class SonarPageHost {
  public:
    virtual ~SonarPageHost() = default;
    // The open project's configuration file; nullopt while no project is open.
    virtual std::optional<std::string> projectConfigPath() const = 0;
    virtual bool playbackMode() const = 0;
    // A committed range change: the main window refreshes the bottom-tracking
    // page if it exists (message 1165).
    virtual void rangeCommitted(Frequency f) = 0;
};

constexpr unsigned kMsgRefreshBottomTrackFromRange = 1165;

class SonarParameterPage {
  public:
    SonarParameterPage(Configuration& config, SonarCommandPort& port, SonarPageHost& host);

    // Page creation: hides the LF row, then refreshes.
    void initialise();
    // Message 1126: every slider from the settings and the model limits (values
    // outside the limits are brought inside), then the LF row from FrequencyLayout.
    void refresh();

    const FrequencyRowState& row(Frequency f) const { return rows_[index(f)]; }

    // A slider is being dragged: only its value label changes. Returns it.
    std::string sliderMoving(Frequency f, SliderKind kind, int level);
    // A slider was released at `level` (clamped into its span): commits it.
    void sliderReleased(Frequency f, SliderKind kind, int level);
    void onOffClicked(Frequency f, bool checked);
    void signalShapeChosen(Frequency f, int shape);

  private:
    static std::size_t index(Frequency f) { return f == Frequency::HF ? 0 : 1; }
    FrequencyRowState& rowOf(Frequency f) { return rows_[index(f)]; }
    void refreshSliders(Frequency f);
    void setPulseSpanForRange(Frequency f);
    std::string labelFor(SliderKind kind, int level) const;
    bool connected() const { return port_.commandChannelConnected(); }
    void saveIfProjectOpen();

    Configuration& config_;
    SonarCommandPort& port_;
    SonarPageHost& host_;
    std::array<FrequencyRowState, 2> rows_;
};

} // namespace kestrova::app

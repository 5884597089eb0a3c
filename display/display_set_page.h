#pragma once
// The rules of the "Display settings" page (CPageDisplaySet), without any
// toolkit: per channel the waterfall strength, the palette and its
// inversion, with the palette previews. A change is stored in the program's
// settings and in what the pipelines read, the view is redrawn (which reloads
// a changed palette), and the settings are saved with an open project.

#include "app/config/configuration.h"
#include "display/control_page_host.h"
#include "display/display_state.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::display {

// Message 0x608: the device was identified (the LF controls follow the view mode).
constexpr unsigned kMsgDisplayPageDeviceIdentified = 0x608;

// Items of the "Color" lists, by palette setting.
constexpr std::array<const char*, 4> kPaletteNames{"brown", "prismy", "gray", "jet"};

struct ChannelDisplayState {
    bool visible = true;       // strength, palette list, invert box and preview
    int strengthPosition = 50; // the slider, 0 .. 100
    std::string strengthLabel; // "%d%"
    int palette = 0;
    bool invert = false;
    bool previewShown = true;
    // One colour per second palette entry (1, 3, ... 1021), 0x00RRGGBB.
    std::vector<std::uint32_t> preview;
};

struct DisplaySetPageState {
    std::array<ChannelDisplayState, 2> channels;
    bool captionsVisible = true; // "High Frequency" / "Low  Frequency"
    // The trace strengths: loaded, shown and saved, never changed here.
    std::array<int, 2> waveStrength{50, 50};
    ChannelDisplayState& of(Frequency f) { return channels[f == Frequency::HF ? 0 : 1]; }
    const ChannelDisplayState& of(Frequency f) const {
        return channels[f == Frequency::HF ? 0 : 1];
    }
};

// "%d%".
std::string strengthText(int strength);

class DisplaySetPage {
  public:
    static constexpr int kStrengthSliderMax = 100;
    static constexpr std::size_t kPreviewLines = 511;

    DisplaySetPage(app::Configuration& config, DisplayShared& shared, ControlPageHost& host);

    // Opening the page (and after a project load): strengths kept to 0 .. 99,
    // palette choices and invert boxes, previews, and the view-mode rule.
    void open();
    // Message 0x608: in the HF-only view mode the LF inversion goes off and
    // every LF control hides with both captions.
    void deviceIdentified();
    const DisplaySetPageState& state() const { return state_; }

    // During a drag only the label follows (returned).
    std::string strengthMoving(Frequency f, int position);
    // The slider released: true when the setting changed (and the view redraws).
    bool strengthReleased(Frequency f, int position);
    // A palette chosen from the list: true when it differs and was applied.
    bool paletteChosen(Frequency f, int index);
    bool invertToggled(Frequency f, bool on);

  private:
    static std::size_t index(Frequency f) { return f == Frequency::HF ? 0 : 1; }
    int& strengthOf(Frequency f);
    int& paletteOf(Frequency f);
    bool& invertOf(Frequency f);
    void loadPreview(Frequency f);
    void applied(Frequency f);

    app::Configuration& config_;
    DisplayShared& shared_;
    ControlPageHost& host_;
    DisplaySetPageState state_;
};

} // namespace kestrova::display

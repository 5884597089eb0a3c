#include "display/display_set_page.h"

#include "display/palette.h"
#include "platform/fs.h"

#include <algorithm>

namespace kestrova::display {

std::string strengthText(int strength) {
    return std::to_string(strength) + "%";
}

DisplaySetPage::DisplaySetPage(app::Configuration& config, DisplayShared& shared,
                               ControlPageHost& host)
    : config_(config), shared_(shared), host_(host) {}

int& DisplaySetPage::strengthOf(Frequency f) {
    app::DisplaySettings& d = config_.sonar.display;
    return f == Frequency::HF ? d.backStrengthHF : d.backStrengthLF;
}

int& DisplaySetPage::paletteOf(Frequency f) {
    app::DisplaySettings& d = config_.sonar.display;
    return f == Frequency::HF ? d.backColorHF : d.backColorLF;
}

bool& DisplaySetPage::invertOf(Frequency f) {
    app::DisplaySettings& d = config_.sonar.display;
    return f == Frequency::HF ? d.invertHF : d.invertLF;
}

void DisplaySetPage::open() {
    app::DisplaySettings& d = config_.sonar.display;
    for (Frequency f : {Frequency::HF, Frequency::LF}) {
        int& s = strengthOf(f);
        if (s < 0 || s > 99) s = 99;
        int& p = paletteOf(f);
        if (p < 0 || p > 3) p = 0;
        ChannelDisplayState& c = state_.of(f);
        c.strengthPosition = s;
        c.strengthLabel = strengthText(s);
        c.palette = p;
        c.invert = invertOf(f);
        shared_.settings.strength[index(f)] = s;
        shared_.settings.palette[index(f)] = p;
        shared_.settings.invert[index(f)] = c.invert;
    }
    for (int* w : {&d.waveStrengthHF, &d.waveStrengthLF})
        if (*w < 0 || *w > 99) *w = 0;
    state_.waveStrength = {d.waveStrengthHF, d.waveStrengthLF};
    deviceIdentified();
    loadPreview(Frequency::HF);
    loadPreview(Frequency::LF);
}

void DisplaySetPage::deviceIdentified() {
    const int mode = config_.device.FrequencyLayout;
    const bool hfOnly = mode == app::kLayoutHfOnly;
    ChannelDisplayState& lf = state_.of(Frequency::LF);
    if (hfOnly && invertOf(Frequency::LF)) {
        invertOf(Frequency::LF) = false;
        shared_.settings.invert[1] = false;
        lf.invert = false;
        loadPreview(Frequency::LF);
    }
    lf.visible = !hfOnly;
    state_.captionsVisible = !hfOnly;
    state_.of(Frequency::HF).previewShown = true;
    lf.previewShown = mode == app::kLayoutBoth;
}

void DisplaySetPage::loadPreview(Frequency f) {
    ChannelDisplayState& c = state_.of(f);
    // Read without a message: the view reading the same file tells the operator.
    Palette p;
    if (p.loadFile(platform::joinPath(config_.programFolder(), Palette::fileName(c.palette))) &&
        c.invert)
        p.reverse();
    c.preview.clear();
    c.preview.reserve(kPreviewLines);
    for (std::size_t i = 1; i < Palette::kEntries - 1; i += 2)
        c.preview.push_back(p[i] & 0xFFFFFFu);
}

std::string DisplaySetPage::strengthMoving(Frequency f, int position) {
    const std::string text = strengthText(std::clamp(position, 0, kStrengthSliderMax));
    state_.of(f).strengthLabel = text;
    return text;
}

bool DisplaySetPage::strengthReleased(Frequency f, int position) {
    const int s = std::clamp(position, 0, kStrengthSliderMax);
    ChannelDisplayState& c = state_.of(f);
    c.strengthPosition = s;
    c.strengthLabel = strengthText(s);
    int& stored = strengthOf(f);
    if (s == stored) return false;
    // The slider's end, 100, would divide the colour scale by zero: 99 at most.
    stored = std::min(s, 99);
    shared_.settings.strength[index(f)] = stored;
    applied(f);
    return true;
}

bool DisplaySetPage::paletteChosen(Frequency f, int choice) {
    if (choice < 0 || choice > 3) return false;
    int& stored = paletteOf(f);
    if (choice == stored) return false;
    stored = choice;
    shared_.settings.palette[index(f)] = choice;
    state_.of(f).palette = choice;
    loadPreview(f);
    applied(f);
    return true;
}

bool DisplaySetPage::invertToggled(Frequency f, bool on) {
    bool& stored = invertOf(f);
    stored = on;
    shared_.settings.invert[index(f)] = on;
    state_.of(f).invert = on;
    loadPreview(f);
    applied(f);
    return true;
}

void DisplaySetPage::applied(Frequency f) {
    host_.redrawView(f);
    if (auto path = host_.projectConfigPath()) config_.SaveConfigSection("SonarSetPara", *path);
}

} // namespace kestrova::display

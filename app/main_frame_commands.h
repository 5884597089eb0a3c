#pragma once
// The main frame's commands: their identifiers, texts, keys, when each may be
// used and what its prompt says. The rules take the program's state as a plain
// record so the toolbar, the menus and the keys all follow one table, and the
// window only mirrors what comes out.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrova::app {

enum class FrameCommand {
    Project,
    ConnectDevice,
    OpenFile,
    DeviceSettings,
    AlarmSettings,
    Start,
    Stop,
    SaveKsf,
    CutKsf,
    XtfFile,
    CalibrationPressure,
    SwitchWindow,
    Snapshot,
    Navigation,
    Target,
    About,
    Chinese,
    English,
    ConversionTool,
    WindowReset,
};
constexpr int kFrameCommandCount = 20;

// Every command, in the order of the command table.
const std::array<FrameCommand, kFrameCommandCount>& allFrameCommands();

// What the rules look at. Owned elsewhere (project, playback, device session,
// recorders, device model); the window fills it before asking.
struct FrameState {
    bool english = true;
    bool projectOpen = false;
    bool playbackMode = false;
    bool running = false; // the sonar pinging after "Start"
    bool deviceConnected = false;
    bool rawRecording = false;
    bool xtfRecording = false;
    int frequencyCount = 2; // of the connected model
    bool pressureSensor = true;
};

std::uint32_t commandId(FrameCommand command);
std::optional<FrameCommand> commandFromId(std::uint32_t id);
// The button and menu text in the interface language.
std::string commandText(FrameCommand command, bool english);
// "F1" ... "F12"; empty for a command without a key. F4 is "Cut KSF" in the
// Chinese interface and "XTF File" in the English one.
std::string commandKey(FrameCommand command, bool english);
bool commandEnabled(FrameCommand command, const FrameState& state);
// Tooltip and status-line text; the recording commands say what a press will do.
std::string commandPrompt(FrameCommand command, const FrameState& state);

// The toolbar buttons, button index = image index.
constexpr int kToolbarButtons = 14;
const std::array<FrameCommand, kToolbarButtons>& toolbarCommands();
// The commands of the drop-down that replaces the "Help" button.
constexpr int kHelpMenuCommands = 5;
const std::array<FrameCommand, kHelpMenuCommands>& helpMenuCommands();

// Button 7 shows image 7 (raw recording off) or 15 (on); button 8, which then
// carries the XTF command, image 8 or 16 (messages 1142 and 1143).
struct RecordingButtons {
    int rawImage = 7;
    int xtfImage = 8;
};
RecordingButtons recordingButtonImages(bool rawRecording, bool xtfRecording);

// "Switch Window": FrequencyLayout 0 (HF the whole height), 1 (LF), 2 (both,
// equal rows). A stored layout above 2 (or below 0) reads as 0.
int effectiveLayout(int stored);
int nextLayout(int stored);
struct LayoutRows {
    bool hfShown = true;
    bool lfShown = true;
};
LayoutRows layoutRows(int stored);

} // namespace kestrova::app

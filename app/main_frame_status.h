#pragma once
// What the main frame's status bar shows: the device panes 0 and 1 and the
// status display of panes 3 to 7 (position time message, position state,
// network, sonar data, altitude), each a text, one of five styles and whether
// the information sound plays at this refresh. Refreshed every 1020 ms by the
// status timer, whose blink phase drives the alarm style.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::app {

enum class PaneStyle { Plain, Yellow, Green, Orange, Alarm };

struct PaneShow {
    std::string text;
    PaneStyle style = PaneStyle::Plain;
    bool beep = false;
};

// Text and background of a style; the alarm style alternates between white on
// red (blink phase set) and plain.
struct PaneColours {
    std::uint32_t text = 0x000000;       // 0xRRGGBB
    std::uint32_t background = 0xFFFFFF; // 0xRRGGBB
};
PaneColours paneColours(PaneStyle style, bool blinkPhase);

// Pane 0: "Model:" + model identifier ("型号：" in the Chinese interface);
// pane 1: "ID：" + device identifier.
std::string modelPaneText(std::string_view model, bool english);
std::string identifierPaneText(std::string_view identifier);
constexpr const char* kSlantPaneLabel = "Slant:"; // pane 2
constexpr const char* kSlantPaneLabelZh = "斜距：";
// Pane 5 while the "Open File" command has switched to playback.
std::string playbackPaneText(bool english);

// Pane 3: no time message (ZDA) for 3 s.
PaneShow timeMessagePane(bool timeMessageMissing, bool english);
// Pane 4: the position state code.
PaneShow positionPane(int gpsState, bool english);
// Pane 5: the connection state code.
PaneShow connectionPane(int connectionState, bool english);
// Pane 6: the sonar data state code.
PaneShow dataPane(int dataState, bool english);
// Pane 7: the altitude alarm state with the current altitude.
PaneShow altitudePane(int altitudeAlarmState, double altitude, bool english);

// The five panes of one refresh.
struct StatusInputs {
    bool english = true;
    bool timeMessageMissing = false;
    int gpsState = 0;
    int connectionState = 0;
    int dataState = 0;
    int altitudeAlarmState = 0;
    double altitude = 0;
};
struct StatusPanes {
    PaneShow panes[5]; // panes 3 .. 7
    // One information sound per refresh while any pane asks for it.
    bool beep() const;
};
StatusPanes statusPanes(const StatusInputs& in);

} // namespace kestrova::app

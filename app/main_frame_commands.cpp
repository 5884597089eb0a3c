#include "app/main_frame_commands.h"

namespace kestrova::app {
namespace {

struct CommandRow {
    FrameCommand command;
    std::uint32_t id;
    const char* english;
    const char* chinese;
};

constexpr std::array<CommandRow, kFrameCommandCount> kTable{{
    {FrameCommand::Project, 32776, "Project", "工程"},
    {FrameCommand::ConnectDevice, 32789, "Connect Device", "连接设备"},
    {FrameCommand::OpenFile, 32777, "Open File", "打开文件"},
    {FrameCommand::DeviceSettings, 32785, "Device Settings", "设备设置"},
    {FrameCommand::AlarmSettings, 32787, "Alarm Settings", "报警设置"},
    {FrameCommand::Start, 32779, "Start", "开始"},
    {FrameCommand::Stop, 32781, "Stop", "停止"},
    {FrameCommand::SaveKsf, 32783, "Save KSF", "保存KSF"},
    {FrameCommand::CutKsf, 32810, "Cut KSF", "分割KSF"},
    {FrameCommand::XtfFile, 32784, "XTF File", "XTF文件"},
    {FrameCommand::CalibrationPressure, 32786, "Calibration Pressure", "压力校准"},
    {FrameCommand::SwitchWindow, 32782, "Switch Window", "切换窗口"},
    {FrameCommand::Snapshot, 32788, "Snapshot", "截屏"},
    {FrameCommand::Navigation, 32800, "Navigation", "导航"},
    {FrameCommand::Target, 32801, "Target", "目标"},
    {FrameCommand::About, 32812, "About", "关于"},
    {FrameCommand::Chinese, 32814, "Chinese", "中文"},
    {FrameCommand::English, 32816, "English", "英文"},
    {FrameCommand::ConversionTool, 32818, "Conversion Tool", "转换工具"},
    {FrameCommand::WindowReset, 32820, "Window Reset", "窗口复位"},
}};

// row() indexes the table by the enum value.
constexpr bool tableInEnumOrder() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (static_cast<std::size_t>(kTable[i].command) != i) return false;
    return true;
}
static_assert(tableInEnumOrder());

const CommandRow& row(FrameCommand c) {
    return kTable[static_cast<std::size_t>(c)];
}

} // namespace

const std::array<FrameCommand, kFrameCommandCount>& allFrameCommands() {
    static const std::array<FrameCommand, kFrameCommandCount> all = [] {
        std::array<FrameCommand, kFrameCommandCount> a{};
        for (std::size_t i = 0; i < a.size(); ++i)
            a[i] = kTable[i].command;
        return a;
    }();
    return all;
}

std::uint32_t commandId(FrameCommand command) {
    return row(command).id;
}

std::optional<FrameCommand> commandFromId(std::uint32_t id) {
    for (const CommandRow& r : kTable)
        if (r.id == id) return r.command;
    return std::nullopt;
}

std::string commandText(FrameCommand command, bool english) {
    return english ? row(command).english : row(command).chinese;
}

std::string commandKey(FrameCommand command, bool english) {
    switch (command) {
    case FrameCommand::Start:
        return "F1";
    case FrameCommand::Stop:
        return "F2";
    case FrameCommand::SaveKsf:
        return "F3";
    case FrameCommand::CutKsf:
        return english ? "" : "F4";
    case FrameCommand::XtfFile:
        return english ? "F4" : "";
    case FrameCommand::SwitchWindow:
        return "F11";
    case FrameCommand::Snapshot:
        return "F12";
    default:
        return "";
    }
}

bool commandEnabled(FrameCommand command, const FrameState& s) {
    switch (command) {
    case FrameCommand::Project:
        return !s.running && !s.rawRecording && !s.xtfRecording;
    case FrameCommand::ConnectDevice:
    case FrameCommand::OpenFile:
    case FrameCommand::DeviceSettings:
        return s.projectOpen && !s.running;
    case FrameCommand::AlarmSettings:
    case FrameCommand::XtfFile:
    case FrameCommand::Snapshot:
    case FrameCommand::Navigation:
    case FrameCommand::Target:
        return s.projectOpen;
    case FrameCommand::Start:
        return s.projectOpen && !s.playbackMode && !s.running && s.deviceConnected;
    case FrameCommand::Stop:
        return s.projectOpen && !s.playbackMode && s.running;
    case FrameCommand::SaveKsf:
        // Played frames are never recorded again: in playback a new recording
        // would stay empty. A running recording can always be stopped.
        return s.projectOpen && ((!s.playbackMode && s.deviceConnected) || s.rawRecording);
    case FrameCommand::CutKsf:
        return s.rawRecording;
    case FrameCommand::CalibrationPressure:
        return s.projectOpen && !s.running && !s.playbackMode && s.deviceConnected &&
               s.pressureSensor;
    case FrameCommand::SwitchWindow:
        return s.projectOpen && s.frequencyCount == 2;
    case FrameCommand::Chinese:
        return s.english;
    case FrameCommand::English:
        return !s.english;
    case FrameCommand::About:
    case FrameCommand::ConversionTool:
    case FrameCommand::WindowReset:
        return true;
    }
    return false;
}

std::string commandPrompt(FrameCommand command, const FrameState& s) {
    switch (command) {
    case FrameCommand::SaveKsf:
        if (s.english)
            return s.rawRecording ? "Stop Record to KSF files" : "Start Record to KSF files";
        return s.rawRecording ? "停止记录KSF文件" : "开始记录KSF文件";
    case FrameCommand::XtfFile:
        if (s.english)
            return s.xtfRecording ? "Stop Record to XTF files" : "Start Record to XTF files";
        return s.xtfRecording ? "停止记录XTF文件" : "开始记录XTF文件";
    case FrameCommand::CutKsf:
        return s.english ? "Cut KSF" : "分割KSF";
    default:
        return commandText(command, s.english);
    }
}

const std::array<FrameCommand, kToolbarButtons>& toolbarCommands() {
    static const std::array<FrameCommand, kToolbarButtons> buttons{
        FrameCommand::Project,       FrameCommand::ConnectDevice,
        FrameCommand::OpenFile,      FrameCommand::DeviceSettings,
        FrameCommand::AlarmSettings, FrameCommand::Start,
        FrameCommand::Stop,          FrameCommand::SaveKsf,
        FrameCommand::CutKsf,        FrameCommand::CalibrationPressure,
        FrameCommand::SwitchWindow,  FrameCommand::Snapshot,
        FrameCommand::Navigation,    FrameCommand::Target,
    };
    return buttons;
}

const std::array<FrameCommand, kHelpMenuCommands>& helpMenuCommands() {
    static const std::array<FrameCommand, kHelpMenuCommands> help{
        FrameCommand::About, FrameCommand::Chinese, FrameCommand::English,
        FrameCommand::ConversionTool, FrameCommand::WindowReset};
    return help;
}

RecordingButtons recordingButtonImages(bool rawRecording, bool xtfRecording) {
    return {rawRecording ? 15 : 7, xtfRecording ? 16 : 8};
}

int effectiveLayout(int stored) {
    return stored >= 0 && stored <= 2 ? stored : 0;
}

int nextLayout(int stored) {
    return (effectiveLayout(stored) + 1) % 3;
}

LayoutRows layoutRows(int stored) {
    switch (effectiveLayout(stored)) {
    case 0:
        return {true, false};
    case 1:
        return {false, true};
    default:
        return {true, true};
    }
}

} // namespace kestrova::app

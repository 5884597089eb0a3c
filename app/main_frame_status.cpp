#include "app/main_frame_status.h"

#include <cstdio>

namespace kestrova::app {
namespace {

PaneShow show(bool english, const char* en, const char* zh, PaneStyle style, bool beep = false) {
    return {english ? en : zh, style, beep};
}

} // namespace

PaneColours paneColours(PaneStyle style, bool blinkPhase) {
    switch (style) {
    case PaneStyle::Plain:
        return {0x000000, 0xFFFFFF};
    case PaneStyle::Yellow:
        return {0x000000, 0xFFFF00};
    case PaneStyle::Green:
        return {0x000000, 0x80FF00};
    case PaneStyle::Orange:
        return {0x000000, 0xFF8000};
    case PaneStyle::Alarm:
        return blinkPhase ? PaneColours{0xFFFFFF, 0xFF0000} : PaneColours{0x000000, 0xFFFFFF};
    }
    return {};
}

std::string modelPaneText(std::string_view model, bool english) {
    return std::string(english ? "Model:" : "型号：") + std::string(model);
}

std::string identifierPaneText(std::string_view identifier) {
    return "ID：" + std::string(identifier);
}

std::string playbackPaneText(bool english) {
    return english ? "Playback mode" : "回放模式";
}

PaneShow timeMessagePane(bool timeMessageMissing, bool english) {
    if (timeMessageMissing) return show(english, "No ZDA data", "无ZDA数据", PaneStyle::Yellow);
    return {};
}

PaneShow positionPane(int s, bool e) {
    using P = PaneStyle;
    switch (s) {
    case 0:
        return show(e, "GPS device Unused", "GPS 设备未使用", P::Yellow);
    case 1:
        return show(e, "GPS serial disconnect", "GPS 串口断开", P::Alarm, true);
    case 2:
        return show(e, "GPS data error", "GPS 数据错误", P::Alarm);
    case 3:
        return show(e, "GPS initialization", "GPS 初始化", P::Alarm, true);
    case 4:
        return show(e, "GPS Stand Alone", "GPS 单点定位", P::Green);
    case 5:
        return show(e, "GPS Stand Alone", "GPS 单点定位", P::Alarm, true);
    case 6:
        return show(e, "GPS Differential", "GPS 差分定位", P::Green);
    case 7:
        return show(e, "GPS Differential", "GPS 差分定位", P::Alarm, true);
    case 8:
        return show(e, "GPS PPS Invalid", "GPS PPS 无效", P::Alarm);
    case 9:
        return show(e, "GPS RTK Fixed", "GPS RTK 固定解", P::Green);
    case 10:
        return show(e, "GPS RTK Float", "GPS RTK 浮点解", P::Alarm, true);
    case 11:
        return show(e, "GPS RTK Float", "GPS RTK 浮点解", P::Green);
    case 12:
        return show(e, "GPS Reckoning", "GPS 航位推算", P::Alarm, true);
    case 13:
        return show(e, "GPS Manual", "GPS 手动输入", P::Alarm);
    case 14:
        return show(e, "GPS Reckoning", "GPS 航位推算模式", P::Alarm, true);
    case 15:
        return show(e, "GPS No data", "GPS 无数据", P::Alarm);
    case 16:
        return show(e, "GPS Data Anomaly", "GPS 数据异常", P::Alarm, true);
    case 17:
        return show(e, "No GPS data", "无GPS数据", P::Yellow);
    case 18:
        return show(e, "GPS initialization", "GPS 初始化", P::Green);
    case 19:
        return show(e, "No GPS data", "无GPS数据", P::Alarm, true);
    default:
        return show(e, "GPS Data Anomaly", "GPS 数据异常", P::Alarm);
    }
}

PaneShow connectionPane(int s, bool e) {
    switch (s) {
    case 1:
        return show(e, "Net not connected", "网络未连接", PaneStyle::Yellow);
    case 2:
        return show(e, "Net Disconnected", "网络断开", PaneStyle::Alarm, true);
    case 3:
        return show(e, "Net Connected", "网络已连接", PaneStyle::Green);
    case 4:
        return show(e, "Playback Mode", "回放模式", PaneStyle::Orange);
    default:
        return {};
    }
}

PaneShow dataPane(int s, bool e) {
    switch (s) {
    case 1:
        return show(e, "No Sonar Data", "无声纳数据", PaneStyle::Yellow);
    case 2:
        return show(e, "No Sonar Data", "无声纳数据", PaneStyle::Alarm, true);
    case 3:
        return show(e, "Sonar Data Normal", "声纳数据正常", PaneStyle::Green);
    default:
        return {};
    }
}

PaneShow altitudePane(int s, double altitude, bool e) {
    if (s < 1 || s > 3) return {};
    char text[64];
    std::snprintf(text, sizeof text, e ? "Altitude：%0.1f" : "高度：%0.1f", altitude);
    switch (s) {
    case 1:
        return {text, PaneStyle::Plain, false};
    case 2:
        return {text, PaneStyle::Alarm, true};
    default:
        return {text, PaneStyle::Green, false};
    }
}

bool StatusPanes::beep() const {
    for (const PaneShow& p : panes)
        if (p.beep) return true;
    return false;
}

StatusPanes statusPanes(const StatusInputs& in) {
    StatusPanes out;
    out.panes[0] = timeMessagePane(in.timeMessageMissing, in.english);
    out.panes[1] = positionPane(in.gpsState, in.english);
    out.panes[2] = connectionPane(in.connectionState, in.english);
    out.panes[3] = dataPane(in.dataState, in.english);
    out.panes[4] = altitudePane(in.altitudeAlarmState, in.altitude, in.english);
    return out;
}

} // namespace kestrova::app

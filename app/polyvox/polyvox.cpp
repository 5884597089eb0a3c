// Polyvox, the English resource library: the program loads it by name from its
// folder when the English interface is chosen and does not start without it.
// The program writes each window text once, in Chinese; polyvox_text() gives
// the English text for it, or nullptr when this library has none.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {

struct Text {
    const char* chinese;
    const char* english;
};

// Grouped by where the operator sees them; sorted below at compile time.
constexpr Text kTexts[] = {
    // Sonar parameter page
    {"高频", "High Frequency"},
    {"低频", "Low Frequency"},
    {"开/关", "On/Off"},
    {"量程", "Range"},
    {"功率", "Power"},
    {"脉宽", "Pulsewidth"},
    {"增益", "Gain"},
    {"扩展", "Spreading"},
    {"吸收", "Absorption"},
    {"信号形式", "Signal shape"},
    // Display settings page
    {"颜色", "Color"},
    {"反色", "Invert"},
    {"棕色", "brown"},
    {"棱彩", "prismy"},
    {"灰度", "gray"},
    {"彩虹", "jet"},
    // Storage and playback page
    {"磁盘", "Disk"},
    {"记录", "Recording"},
    {"保存KSF", "Save KSF"},
    {"XTF文件", "XTF File"},
    {"剩余空间：", "Free space:"},
    {"回放", "Playback"},
    {"打开", "Open"},
    {"上一个", "Previous"},
    {"下一个", "Next"},
    {"开始", "Start"},
    {"停止", "Stop"},
    {"暂停", "Pause"},
    {"加速", "Speedup"},
    {"减速", "Slowdown"},
    // Altitude tracker page
    {"声纳数据", "Sonar Data"},
    {"手动设置", "Manual Setting"},
    {"拖鱼", "Towfish"},
    {"阈值", "Threshold"},
    {"应用", "Apply"},
    // Status information page
    {"日期：", "Date:"},
    {"时间：", "Time:"},
    {"经度：", "Longitude:"},
    {"纬度：", "Latitude:"},
    {"航向：", "Course:"},
    {"航速：", "Speed:"},
    {"深度：", "Depth:"},
    {"艏向：", "Heading:"},
    {"纵摇：", "Pitch:"},
    {"横摇：", "Roll:"},
    {"温度：", "Temp:"},
    {"湿度：", "Humidity:"},
    {"压力：", "Pressure:"},
    {"高频：", "High:"},
    {"低频：", "Low:"},
    {"声纳参数：", "Sonar Para:"},
    {"脉冲：", "Ping:"},
    {"量程：", "Range:"},
    {"功率：", "Power:"},
    {"信号：", "Signal:"},
    {"脉宽：", "Pulsewidth:"},
    {"增益：", "Gain:"},
    {"扩展：", "Spreading:"},
    {"吸收：", "Absorption:"},
    {"高度(m)：", "Altitude(m):"},
    {"无", "None"},
    // Device settings and the position input's connection
    {"关闭", "Close"},
    {"网络", "Net"},
    {"手动", "Manual"},
    {"设备", "Device"},
    {"密度(g/cm3)：", "Density (g/cm3):"},
    {"GPS天线(m)：", "GPS antenna (m):"},
    {"经纬度：", "Latitude/longitude:"},
    {"船速(kn)：", "Ship speed (kn):"},
    {"声速(m/s)：", "Sound velocity (m/s):"},
    {"同步：", "Sync:"},
    {"拖缆长度(m)：", "Tow cable length (m):"},
    {"拖点高出水面(m)：", "Tow point above water (m):"},
    {"拖鱼深度(m)：", "Towfish depth (m):"},
    {"设备参数", "Device Parameters"},
    {"GPS设备连接", "GPS device connection"},
    {"INS数据协议：", "INS Data Protocol:"},
    {"拖点为参考点", "Drag point is the reference point"},
    {"坐标系", "Coordinate"},
    {"拖鱼罗经", "Fish Gyro"},
    {"GPS航向", "GPS Course"},
    {"内同步", "Internal"},
    {"外同步", "External"},
    {"正极性", "Positive"},
    {"负极性", "Negative"},
    {"度:分:秒", "deg:min:sec"},
    {"度:分", "deg:min"},
    {"度", "deg"},
    {"确定", "OK"},
    {"取消", "Cancel"},
    // Alarm and pressure calibration dialogs
    {"报警设置", "Alarm Setting"},
    {"拖鱼高度报警", "TowFish Altitude Alarm"},
    {"高度：", "Altitude:"},
    {"GPS报警", "GPS Alarm"},
    {"无数据", "No Data"},
    {"单点定位", "Stand Alone"},
    {"差分定位", "Differential"},
    {"RTK固定解", "RTK Fixed"},
    {"压力校准", "Calibration Pressure"},
    {"1. 是否需要校准压力？", "1. Do you need to calibrate the pressure?"},
    {"2. 确认拖鱼在空气中。", "2. Make sure that the TowFish  is in the AIR."},
    {"3. 点击“校准”按钮开始校准。", "3. Click the Calibration button to start calibrating."},
    {"校准", "Calibration"},
    {"恢复默认值", "Restore Defaults"},
    {"串口号：", "COM Number:"},
    {"波特率：", "Baud rate:"},
    {"停止位：", "Stop bit:"},
    {"数据位：", "Data bit:"},
    {"校验位：", "Check bit:"},
    {"奇校验", "Odd"},
    {"偶校验", "Even"},
    {"标记", "Mark"},
    {"空格", "Space"},
    {"IP地址：", "IP address:"},
    {"端口：", "Port:"},
    {"TCP客户端", "TCP_Client"},
    {"TCP服务器", "TCP_Server"},
    // Target pane read-outs (caption and value in one text)
    {"X(东)：", "X(East):"},
    {"Y(北)：", "Y(North):"},
    {"长度：", "Length:"},
    {"宽度：", "Width:"},
    // Help commands
    {"设置：", "Settings:"},
    {"信息", "Information"},
    {"确定要切换到中文版本吗？\r\n如果确定，请重新启动软件",
     "Really change to Chinese version?\r\nIf OK, please restart the software"},
    // Main frame
    {"选择回放文件", "Select the file for playback"},
    {"数据文件(*.ksf);;所有文件 (*.*)", "Data File(*.ksf);;All Files (*.*)"},
    {"控制", "Control"},
    {"声纳参数", "Sonar parameter"},
    {"显示设置", "Display settings"},
    {"存储与回放", "Storage and playback"},
    {"高度跟踪", "Altitude Tracker"},
    {"状态信息", "Status information"},
    {"导航", "Navigation"},
    {"命令", "Commands"},
    {"主工具栏", "Main"},
    {"帮助", "Help"},
    {"退出", "Quit"},
    {"斜距：", "Slant:"},
    {"退出Kestrova", "Quit Kestrova"},
    {"截图：", "Snapshot: "},
    {"目标", "Target"},
    // Navigation colours
    {"颜色设置", "Color Settings"},
    {"恢复默认", "Restore Defaults"},
    {"计划测线", "Planned Lines"},
    {"选中测线", "Planned Line Selected"},
    {"测线方向箭头", "Line Direction Arrow"},
    {"辅助实线", "Auxiliary Solid Line"},
    {"辅助虚线", "Auxiliary Dotted Line"},
    {"测距线", "Distance Measure Line"},
    {"船迹", "Vessel Track"},
    {"高频覆盖左", "High Frequency Coverage Left"},
    {"高频覆盖右", "High Frequency Coverage Right"},
    {"低频覆盖左", "Low Frequency Coverage Left"},
    {"低频覆盖右", "Low Frequency Coverage Right"},
    {"测线名", "Line Name"},
    {"船", "Vessel"},
    {"视图背景", "View Background"},
    {"导航信息", "Navigation Information"},
    // Navigation pane
    {"导入测线", "Import Lines"},
    {"导入测线文件", "Import Survey Line"},
    {"测线文件(*.lnw);;DXF文件(*.dxf)", "SurLine File(*.lnw);;dxf File(*.dxf)"},
    {"全图", "Fit"},
    {"平移", "Pan"},
    {"测距", "Measure"},
    {"+10°", "+10°"},
    {"-10°", "-10°"},
    {"北向上", "North Up"},
    {"180°", "180°"},
    {"清除航迹", "Clear Track"},
    {"上一条", "Previous Line"},
    {"下一条", "Next Line"},
    {"反向", "Reverse Line"},
    {"关闭测线", "Close Lines"},
    // Navigation settings
    {"设置", "Settings"},
    // Survey line editor
    {"测线编辑", "Line Editor"},
    {"测线编辑器", "Survey Line Editor"},
    {"序号", "No."},
    {"边线文件(*.lnw)", "BorderLine File(*.lnw)"},
    {"测线文件(*.lnw)", "Surveyline File(*.lnw)"},
    {"测线数：", "Lines num:"},
    {"X坐标", "X coordinates"},
    {"Y坐标", "Y coordinates"},
    {"B坐标", "B coordinates"},
    {"L坐标", "L coordinates"},
    {"注：x为东向坐标，y为北向坐标",
     "Note: x is East-direction coordinate, y is North-direction coordinate"},
    {"注：纬度格式 04 29 29.6751 N，经度格式 076 21 7.3738 E",
     "Note: the format: latitude (XX XX xx.xxxx N) longitude (XXX XX xx.xxxx E)"},
    {"打开测线文件", "Open the Line File"},
    {"测线文件另存为：", "Save the Line File as:"},
    {"文件", "File"},
    {"新建", "New"},
    {"保存", "Save"},
    {"另存为", "Save As"},
    {"测线工具栏", "Planned Line Toolbar"},
    {"选点", "Sel"},
    {"添加", "Add"},
    {"删除", "Delete"},
    {"偏移", "Shift"},
    {"测线点工具栏", "Line Point Toolbar"},
    {"插入", "Ins"},
    {"平面坐标", "Grid coordinates"},
    {"经纬度坐标", "Geographic coordinates"},
    // Project dialogs
    {"工程管理", "Project manage"},
    {"新建工程", "New Project"},
    {"打开工程", "Open Project"},
    {"浏览...", "Browse..."},
    {"工程名称", "Project Name"},
    {"工程位置", "Location"},
    {"工程路径", "Project Path"},
    {"新工程", "New project"},
    // Navigation settings
    {"覆盖设置", "Coverage Settings"},
    {"目标设置", "Target Settings"},
    {"视图设置", "View Settings"},
    {"速度单位", "Speed Unit"},
    {"船跟踪模式", "Ship Tracking Mode"},
    {"高频覆盖", "High Frequency Coverage"},
    {"低频覆盖", "Low Frequency Coverage"},
    {"镶嵌图", "Mosaic"},
    {"显示目标", "Display Target"},
    {"坐标网格", "Coordinate Grid"},
    {"指北针", "North Arrow"},
    {"船速", "Ship Speed"},
    {"节", "Knot"},
    {"米/秒", "m/s"},
    {"公里/小时", "Km/h"},
    {"不跟踪", "No Tracking"},
    {"视图内", "In View"},
    {"居中", "In Center"},
    {"船首向上", "Vessel Up"},
    // Line offsets
    {"中心线左侧条数：", "Lines left of center:"},
    {"中心线右侧条数：", "Lines right of center:"},
    {"线间距：", "Distance between lines:"},
    {"测线条数：", "Number of lines:"},
    {"x（东向）偏移：", "Shift in x (east):"},
    {"y（北向）偏移：", "Shift in y (north):"},
    {"测线偏移", "Line deviation"},
    {"平行线", "Parallel Lines"},
    {"阶梯偏移", "Stair Step"},
    // Target pane
    {"名称", "Name"},
    {"全部删除", "Delete all"},
    {"全部保存", "Save all"},
    {"长度", "Length"},
    {"宽度", "Width"},
    {"高度", "Height"},
    {"如有必要，请描述目标！", "If necessary, describe the target!"},
    // The conversion tool Filvert
    {"Filvert - KSF 转 XTF", "Filvert - KSF to XTF"},
    {"原始数据文件（.ksf）：", "Recordings (.ksf):"},
    {"输出文件夹：", "Output folder:"},
    {"添加文件...", "Add Files..."},
    {"转换", "Convert"},
    {"选择原始数据文件", "Choose recordings"},
    {"输出文件夹", "Output folder"},
    {"请先添加要转换的文件。", "Add the recordings to convert first."},
    {"无法建立输出文件夹。", "The output folder cannot be made."},
    {"完成：转换 %1 个，失败 %2 个。", "Done: %1 converted, %2 failed."},
    {"正在转换 %1", "Converting %1"},
    {"已取消。", "Cancelled."},
    {"数据文件(*.ksf);;所有文件 (*)", "Data File(*.ksf);;All Files (*)"},
};

constexpr bool before(const Text& a, const Text& b) {
    return std::string_view(a.chinese) < std::string_view(b.chinese);
}

constexpr auto kSorted = [] {
    std::array<Text, std::size(kTexts)> sorted{};
    std::copy(std::begin(kTexts), std::end(kTexts), sorted.begin());
    std::sort(sorted.begin(), sorted.end(), before);
    return sorted;
}();

// One Chinese text has one English text: a second one would never be found.
constexpr bool eachTextOnce() {
    for (std::size_t i = 1; i < kSorted.size(); ++i)
        if (!before(kSorted[i - 1], kSorted[i])) return false;
    return true;
}
static_assert(eachTextOnce(), "a Chinese text is listed twice");

} // namespace

extern "C" __attribute__((visibility("default"))) const char* polyvox_language() {
    return "English";
}

extern "C" __attribute__((visibility("default"))) const char* polyvox_text(const char* chinese) {
    if (chinese == nullptr) return nullptr;
    std::size_t low = 0;
    std::size_t high = kSorted.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const int order = std::strcmp(kSorted[mid].chinese, chinese);
        if (order == 0) return kSorted[mid].english;
        if (order < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return nullptr;
}

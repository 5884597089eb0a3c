#include "app/ui/interface_texts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

namespace kestrova::app::ui {
namespace {

constexpr TextPair kTexts[] = {
    // Sonar parameter page
    {"高频", "High Frequency"},
    {"低频", "Low Frequency"},
    {"低频", "Low  Frequency"},
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
    {"确定", "&OK"},
    {"取消", "Cancel"},
    {"取消", "&Cancel"},
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
    // Target pane read-outs (caption and value in one text)
    {"X(东)：", "X(East):"},
    {"Y(北)：", "Y(North):"},
    {"长度：", "Length:"},
    {"宽度：", "Width:"},
    {"高度：", "Height:"},
};

void setText(QWidget* w, const QString& now, const QString& wanted,
             void (*apply)(QWidget*, const QString&)) {
    if (wanted == now) return;
    if (!w->property("sourceText").isValid()) w->setProperty("sourceText", now);
    apply(w, wanted);
}

} // namespace

QString interfaceText(const QString& text, bool english) {
    for (const TextPair& p : kTexts) {
        const QString zh = QString::fromUtf8(p.chinese);
        const QString en = QString::fromUtf8(p.english);
        if (english && text == zh) return en;
        if (!english && text == en) return zh;
    }
    // A caption followed by its value ("X(East): 12.50 m"): the caption alone.
    for (const TextPair& p : kTexts) {
        const QString from = QString::fromUtf8(english ? p.chinese : p.english);
        const QString to = QString::fromUtf8(english ? p.english : p.chinese);
        if ((from.endsWith(':') || from.endsWith(QChar(0xFF1A))) && text.size() > from.size() &&
            text.startsWith(from))
            return to + text.mid(from.size()).trimmed();
    }
    return text;
}

void speakLanguage(QWidget* root, bool english) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.push_back(root);
    for (QWidget* w : widgets) {
        if (w->isWindow() && !w->windowTitle().isEmpty())
            w->setWindowTitle(interfaceText(w->windowTitle(), english));
        if (!w->toolTip().isEmpty()) w->setToolTip(interfaceText(w->toolTip(), english));
        if (auto* l = qobject_cast<QLabel*>(w))
            setText(w, l->text(), interfaceText(l->text(), english),
                    [](QWidget* x, const QString& t) { static_cast<QLabel*>(x)->setText(t); });
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->setText(interfaceText(b->text(), english));
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            g->setTitle(interfaceText(g->title(), english));
        else if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                c->setItemText(i, interfaceText(c->itemText(i), english));
        else if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i)
                t->setTabText(i, interfaceText(t->tabText(i), english));
    }
}

QString sourceText(const QWidget* widget, const QString& shown) {
    const QVariant source = widget->property("sourceText");
    return source.isValid() ? source.toString() : shown;
}

} // namespace kestrova::app::ui

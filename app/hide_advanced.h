#pragma once
// "Advanced settings interface" (CHideAdvenced): the service dialog behind
// main-frame message 1131, with no menu or toolbar entry. Every button acts at
// once; OK and Cancel only close the dialog. Its labels are Chinese in both
// interfaces. The values live for the run only (nothing is stored in a file).

#include "app/config/message.h"
#include "app/config/sonar_command_port.h"

#include <array>
#include <cstdint>
#include <string>

namespace kestrova::app {

// Main-frame message that opens the dialog.
constexpr std::uint32_t kMsgShowAdvancedSettings = 1131;

// The advanced settings of the run.
struct AdvancedSettings {
    int uploadKind = 0;       // 0 result data, 1 raw data, 2 none
    bool rawUpload = false;   // uploadKind is 1
    int storageForm = 0;      // 0 one file, 1 several files
    int transmitMode = 0;     // transducer selection 0..3
    int receiveMode = 1;      // transducer selection 0..3
    int maximumGain = 30;     // dB, both frequencies
    std::string idleTimeText; // ms, as typed
    int algorithm = 1;        // 0..9
};

namespace advanced_text {
constexpr const char* kCaption = "Advanced settings interface";
constexpr std::array<const char*, 3> kUploadKinds{"结果数据", "原始数据", "不上传"};
constexpr std::array<const char*, 2> kStorageForms{"单个文件", "多个文件"};
constexpr std::array<const char*, 4> kTransducerModes{"小开角", "中开角", "大开角", "自己玩"};
constexpr const char* kUploadButton = "Change upload data point to me";
constexpr const char* kStorageButton = "改变文件存储点我";
constexpr const char* kGainButton = "改变增益点我";
constexpr const char* kTimeButton = "改变时间点我";
constexpr const char* kTransmitButton = "改变发射模式点我";
constexpr const char* kReceiveButton = "改变接收模式点我";
constexpr const char* kAlgorithmButton = "改变算法点我";
constexpr const char* kStopButton = "停掉那条蠢鱼";
constexpr const char* kStartButton = "让那二货工作";
constexpr const char* kBothFrequenciesZh = "高低频同时变化哦";
constexpr const char* kBothFrequenciesEn = "HF and LF changed together.";
constexpr const char* kBadIdleTimeZh = "时间输入错误！";
constexpr const char* kBadIdleTimeEn = "Error: the idle time cannot be sent as typed!";
} // namespace advanced_text

constexpr int kAlgorithmCount = 10;

class AdvancedSettingsRules {
  public:
    AdvancedSettingsRules(AdvancedSettings& settings, SonarCommandPort& port, Messenger& messenger);

    const AdvancedSettings& settings() const { return settings_; }

    // Each returns true when its lines went to the sonar.
    bool changeUpload(int index);
    void changeStorage(int index);
    bool changeGain(int dB);
    bool changeIdleTime(const std::string& typed);
    bool changeTransmitMode(int index);
    bool changeReceiveMode(int index);
    bool changeAlgorithm(int index);
    bool stopPinging();
    bool startPinging();

  private:
    bool send(const std::string& lines);
    // The note the two-frequency buttons show; the not-connected error when
    // nothing went out, so the operator is not told of a change that did not happen.
    void bothFrequenciesNote(bool sent);

    AdvancedSettings& settings_;
    SonarCommandPort& port_;
    Messenger& messenger_;
};

} // namespace kestrova::app

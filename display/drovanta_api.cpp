#include "display/drovanta_api.h"

#include "libs/drovanta/single_math.h"

#include <cmath>

namespace kestrova::display {

namespace {

// The display line lengths the library makes (its header: 33 <= N <= 86400).
constexpr std::uint32_t kMinLine = 33;
constexpr std::uint32_t kMaxLine = 86400;

// The headline the program has always shown when Drovanta does not load.
constexpr const char* kHeadlineEnglish = "Load Drovanta.dll error!";
constexpr const char* kHeadlineChinese = "加载Drovanta.dll错误!";

template <typename Fn> Fn entryPoint(platform::SharedLibrary& library, const char* name) {
    return reinterpret_cast<Fn>(library.symbol(name));
}

} // namespace

bool DrovantaApi::load() {
    const std::string folder = platform::SharedLibrary::executableFolder();
    if (folder.empty()) {
        unload();
        fail("找不到程序所在的文件夹，无法加载 " + std::string(kFileName) + "。",
             "The program folder cannot be found, so " + std::string(kFileName) +
                 " cannot be loaded.");
        return false;
    }
    return load(folder);
}

bool DrovantaApi::load(const std::string& folder, const std::string& fileName) {
    unload();
    failure_ = {};
    if (!library_.open(folder, fileName)) {
        fail("无法加载 " + library_.path() + "：" + library_.error(),
             "Cannot load " + library_.path() + ": " + library_.error());
        return false;
    }
    return bind();
}

bool DrovantaApi::loadSeparateCopy(const DrovantaApi& other) {
    unload();
    failure_ = {};
    const std::string& path = other.path();
    const std::size_t slash = path.find_last_of('/');
    if (!other.ready() || slash == std::string::npos ||
        !library_.open(path.substr(0, slash), path.substr(slash + 1), true)) {
        fail("无法加载 " + path + " 的副本：" + library_.error(),
             "Cannot load a copy of " + path + ": " + library_.error());
        return false;
    }
    return bind();
}

bool DrovantaApi::bind() {
    repro_ = entryPoint<SssDisplayReproFn>(library_, "sss_display_repro");
    initialize_ = entryPoint<SssDisplayReproInitializeFn>(library_, "sss_display_repro_initialize");
    terminate_ = entryPoint<SssDisplayReproTerminateFn>(library_, "sss_display_repro_terminate");
    depthSelect_ = entryPoint<DepthSelectFilterFn>(library_, "depth_select_filter");
    if (ready()) return true;

    std::string missing;
    auto note = [&missing](const void* entry, const char* name) {
        if (entry) return;
        if (!missing.empty()) missing += ", ";
        missing += name;
    };
    note(reinterpret_cast<const void*>(repro_), "sss_display_repro");
    note(reinterpret_cast<const void*>(initialize_), "sss_display_repro_initialize");
    note(reinterpret_cast<const void*>(terminate_), "sss_display_repro_terminate");
    note(reinterpret_cast<const void*>(depthSelect_), "depth_select_filter");
    const std::string path = library_.path();
    unload();
    fail(path + " 中缺少入口点 " + missing + "。",
         "The entry point " + missing + " is missing from " + path + ".");
    return false;
}

void DrovantaApi::unload() {
    repro_ = nullptr;
    initialize_ = nullptr;
    terminate_ = nullptr;
    depthSelect_ = nullptr;
    library_.close();
}

void DrovantaApi::fail(const std::string& chinese, const std::string& english) {
    failure_.chinese = std::string(kHeadlineChinese) + "\n" + chinese;
    failure_.english = std::string(kHeadlineEnglish) + "\n" + english;
}

std::uint32_t DrovantaApi::lineLengthFor(std::uint32_t sampleCount, float step) {
    using namespace kestrova::drovanta;
    const float used = step >= 1.0f ? step : 1.0f;
    const float ratio = static_cast<float>(sampleCount) / used;
    const std::int64_t n = truncToInt64(roundSingle(floorSingle(ratio)));
    return n >= 0 && n <= 0xffffffffLL ? static_cast<std::uint32_t>(n) : 0;
}

bool DrovantaApi::initialize() const {
    if (!ready()) return false;
    initialize_();
    return true;
}

bool DrovantaApi::terminate() const {
    if (!ready()) return false;
    terminate_();
    return true;
}

ReproResult DrovantaApi::repro(std::span<const std::uint32_t> samples,
                               const ReproSettings& settings, std::span<float> gainState,
                               std::span<std::uint16_t> line) const {
    ReproResult result;
    if (!ready() || samples.empty() || samples.size() > 0xffffffffu) return result;
    const auto count = static_cast<std::uint32_t>(samples.size());
    const std::uint32_t expected = lineLengthFor(count, settings.step);
    if (gainState.size() < expected || line.size() < expected) return result;
    repro_(samples.data(), count, settings.reset ? 1 : 0, settings.sampleRate, settings.step,
           settings.useMean ? 1 : 0, settings.inputFullScale, 0, settings.outputFullScale,
           settings.firstIndex, 0.02f, 0.04f, settings.soundSpeed, settings.minRangeDm,
           settings.maxRangeDm, settings.threshold, nullptr, gainState.data(), line.data(),
           &result.lineLength, &result.bottomIndex, &result.bottomStrength);
    result.ok = result.lineLength != 0 && result.lineLength <= expected;
    return result;
}

bool DrovantaApi::takes(std::uint32_t sampleCount, const ReproSettings& settings,
                        std::size_t gainLength, std::size_t lineLength) const {
    if (!ready() || sampleCount == 0) return false;
    const std::uint32_t expected = lineLengthFor(sampleCount, settings.step);
    if (gainLength < expected || lineLength < expected) return false;
    const auto positiveFinite = [](float v) { return v > 0.0f && std::isfinite(v); };
    return expected >= kMinLine && expected <= kMaxLine && positiveFinite(settings.sampleRate) &&
           positiveFinite(settings.soundSpeed);
}

DepthSelectResult DrovantaApi::depthSelect(const DepthSelectInput& in) const {
    DepthSelectResult result;
    if (!ready()) return result;
    float cleared = 0.0f;
    depthSelect_(in.soundSpeed, in.sampleRate, in.usePairB ? 1 : 0, in.beamWidth, in.tilt, in.reset,
                 in.aIndex1, in.aStrength1, in.aIndex2, in.aStrength2, in.bIndex1, in.bStrength1,
                 in.bIndex2, in.bStrength2, &cleared, &result.altitude, &result.aSelected,
                 &result.bSelected);
    result.ok = true;
    return result;
}

} // namespace kestrova::display

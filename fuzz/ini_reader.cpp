// Settings files come from anywhere: copied projects, hand edits, damaged disks.
// Any bytes must parse without a crash, serialise back byte for byte, take a
// write without disturbing other sections, and load into the settings (and
// through the parameter page's clamping) without undefined behaviour.
// Everything happens in memory: no files are written.

#include "app/config/configuration.h"
#include "app/sonar_parameter_page.h"
#include "platform/ini.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using kestrova::app::Configuration;
using kestrova::app::Frequency;
using kestrova::app::kProjectConfigSections;
using kestrova::app::SliderKind;
using kestrova::platform::IniDocument;

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void require(bool condition) {
    if (!condition) std::abort();
}

class NullPort : public kestrova::app::SonarCommandPort {
  public:
    bool commandChannelConnected() const override { return true; }
    bool sendRangeCommand(Frequency) override { return true; }
    bool sendTransmitCommand(Frequency) override { return true; }
    bool sendGainCommand(Frequency) override { return true; }
    bool sendChannelCommand() override { return true; }
};

class NoProject : public kestrova::app::SonarPageHost {
  public:
    std::optional<std::string> projectConfigPath() const override { return std::nullopt; }
    bool playbackMode() const override { return false; }
    void rangeCommitted(Frequency) override {}
};

void checkDocument(std::string_view text) {
    IniDocument doc = IniDocument::parse(text);
    require(doc.serialize() == text);

    auto sections = doc.sectionNames();
    std::size_t checked = 0; // bounded, so a file of many keys stays fast
    for (const auto& section : sections) {
        if (checked > 256) break;
        for (const auto& key : doc.keyNames(section)) {
            if (++checked > 256) break;
            std::string small = doc.readString(section, key, "", 40);
            require(small.size() <= 39);
            auto full = doc.value(section, key);
            require(full.has_value() && full->starts_with(small));
            (void)doc.readInt(section, key, -1);
        }
    }

    // A write lands where it should and leaves every other section's keys alone.
    if (!sections.empty() && !sections.front().empty() &&
        doc.writeString(sections.front(), "FuzzKey", "v a l")) {
        IniDocument again = IniDocument::parse(doc.serialize());
        require(again.value(sections.front(), "fuzzkey") == std::string("v a l"));
    }
    std::vector<std::size_t> before;
    for (const auto& s : sections)
        before.push_back(doc.keyNames(s).size());
    require(doc.writeString("KestrovaFuzzSection", "Key", "1"));
    IniDocument reparsed = IniDocument::parse(doc.serialize());
    require(reparsed.value("KESTROVAFUZZSECTION", "KEY") == std::string("1"));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (sameName(sections[i], "KestrovaFuzzSection")) continue;
        require(reparsed.keyNames(sections[i]).size() == before[i]);
    }
}

void checkSettings(std::string_view text, const std::uint8_t* data, std::size_t size) {
    IniDocument doc = IniDocument::parse(text);
    kestrova::app::RecordingMessageSink sink;
    kestrova::app::Messenger messenger;
    messenger.setSink(&sink);
    Configuration config("/nonexistent-kestrova-folder", messenger);
    for (const char* section : kProjectConfigSections)
        require(config.loadSection(section, doc));

    // Integer sections read back exactly what they wrote.
    for (const char* section : {"INSPara", "ParaOfNavi"}) {
        auto entries = config.sectionEntries(section).value();
        IniDocument written;
        for (const auto& e : entries)
            require(written.writeString(section, e.key, e.fileText()));
        Configuration other("/nonexistent-kestrova-folder", messenger);
        require(other.loadSection(section, IniDocument::parse(written.serialize())));
        auto back = other.sectionEntries(section).value();
        require(back.size() == entries.size());
        for (std::size_t i = 0; i < back.size(); ++i)
            require(back[i].value == entries[i].value);
    }
    for (const char* section : kProjectConfigSections)
        (void)config.sectionEntries(section);

    // The same bytes as a limits file, then the page's refresh and a few commits.
    config.device.limits = kestrova::app::readModelLimits(doc);
    config.device.FrequencyLayout = size % 3;
    NullPort port;
    NoProject host;
    kestrova::app::SonarParameterPage page(config, port, host);
    page.initialise();
    for (Frequency f : {Frequency::HF, Frequency::LF}) {
        const auto& lim = config.device.limits.of(f);
        const auto& p = config.sonar.of(f);
        int top = lim.rangeMax < lim.rangeMin ? lim.rangeMin : lim.rangeMax;
        require(p.rangeLevel >= lim.rangeMin && p.rangeLevel <= top);
        require(p.pulseLevel >= 0 && p.pulseLevel <= 7);
    }
    for (std::size_t i = 0; i + 2 < size && i < 24; i += 3) {
        Frequency f = (data[i] & 1) ? Frequency::LF : Frequency::HF;
        auto kind = static_cast<SliderKind>(data[i + 1] % kestrova::app::kSliderKinds);
        int level = static_cast<std::int8_t>(data[i + 2]);
        page.sliderMoving(f, kind, level);
        page.sliderReleased(f, kind, level);
        if (data[i] & 2) page.signalShapeChosen(f, data[i + 2] % 4);
        if (data[i] & 4) page.onOffClicked(f, data[i] & 8);
    }
    page.refresh();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    checkDocument(text);
    checkSettings(text, data, size);
    return 0;
}

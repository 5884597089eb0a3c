// kestrova-cli navmap: the navigation map drawn without a window, through the
// pane's own drawing code, fitted to what it shows: planned lines from a line
// file, the track from a position capture, colours and grid from a project
// configuration.

#if defined(KESTROVA_CLI_QT)

#include "tools/cli/command.h"

#include "app/config/configuration.h"
#include "navigation/navi_model.h"
#include "navigation/survey_line.h"
#include "navigation/ui/navi_painter.h"
#include "platform/fs.h"
#include "position/geodesy_engine.h"
#include "position/position_stream.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage =
    "navmap --out FILE.png [--lines FILE.lnw] [--positions FILE --type gga|ins|custom]"
    " [--config FILE.ini] [--width W] [--height H]";

// The capture through the position input's own parsing; every track point.
bool readTrack(const std::string& path, position::DataType type,
               const position::GridConverter& grid, std::vector<position::TrackPoint>& out) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    position::PositionStream stream(type);
    stream.decoder().setConverter(&grid);
    std::uint8_t block[4095];
    std::uint32_t tick = 0;
    for (;;) {
        const std::size_t n = std::fread(block, 1, sizeof block, in);
        if (n == 0) break;
        stream.appendBytes(std::span<const std::uint8_t>(block, n));
        for (;;) {
            position::StepResult r = stream.step(tick);
            if (r.kind == position::StepResult::Kind::Idle) break;
            if (r.kind == position::StepResult::Kind::Position && r.completion.trackPoint)
                out.push_back(*r.completion.trackPoint);
        }
        tick += 100;
    }
    std::fclose(in);
    return true;
}

int runNavmap(const Args& args) {
    ArgList list(args);
    auto out = list.value("--out");
    auto lines = list.value("--lines");
    auto positions = list.value("--positions");
    auto type = list.value("--type");
    auto config = list.value("--config");
    auto widthText = list.value("--width");
    auto heightText = list.value("--height");
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!list.positional().empty()) return usageError(kUsage, "unexpected " + list.positional()[0]);
    if (!out) return usageError(kUsage, "--out is required");
    long long width = 1280, height = 800;
    if ((widthText && (!parseInt(*widthText, width) || width < 16 || width > 8192)) ||
        (heightText && (!parseInt(*heightText, height) || height < 16 || height > 8192)))
        return usageError(kUsage, "--width and --height need 16..8192");
    if (positions.has_value() != type.has_value())
        return usageError(kUsage, "--positions and --type go together");
    position::DataType dataType = position::DataType::GgaZda;
    if (type) {
        if (*type == "gga")
            dataType = position::DataType::GgaZda;
        else if (*type == "ins")
            dataType = position::DataType::OstraIns;
        else if (*type == "custom")
            dataType = position::DataType::Custom;
        else
            return usageError(kUsage, "unknown --type " + *type);
    }

    app::StderrMessageSink sink;
    app::Messenger messenger;
    messenger.setSink(&sink);
    messenger.setEnglish(app::interfaceEnglish());
    app::Configuration settings(platform::executableFolder(), messenger);
    if (config) {
        if (!platform::PathFileExistsA(*config)) {
            std::fprintf(stderr, "kestrova-cli: cannot open %s\n", config->c_str());
            return kExitFailure;
        }
        // A section the file lacks keeps the program's defaults.
        settings.LoadConfigSection("ParaOfGeo", *config);
        settings.LoadConfigSection("ParaOfNavi", *config);
    }

    navigation::NaviModel model;
    model.settings() = settings.navi;
    model.view().width = static_cast<int>(width);
    model.view().height = static_cast<int>(height);
    model.view().follow = 0; // the picture is fitted, not steered
    if (lines) {
        navigation::LineFileParse parsed = navigation::readLineFileText(*lines);
        if (!parsed.ok()) {
            navigation::MessagePair m = navigation::mainFrameReadMessage(parsed.error, *lines);
            std::fprintf(stderr, "Kestrova: %s\n", m.english.c_str());
            return kExitFailure;
        }
        model.lines().replace(*lines, true, std::move(parsed.lines));
    }
    if (positions) {
        position::GeodesyEngine engine(settings.geo.record);
        if (!engine.valid()) {
            std::fprintf(stderr, "kestrova-cli: navmap: Load Tessmark.dll error!\n");
            return kExitFailure;
        }
        std::vector<position::TrackPoint> track;
        if (!readTrack(*positions, dataType, engine, track)) {
            std::fprintf(stderr, "kestrova-cli: cannot open %s\n", positions->c_str());
            return kExitFailure;
        }
        model.addTrackPoints(track);
    }
    model.fitView();

    // Text needs a font database: an offscreen application, no window.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "kestrova-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    QImage boat(QString::fromStdString(platform::executableFolder() + "OstraRes/Boat.png"));
    const QImage tinted = navigation::ui::tintedBoat(boat, model.settings().boatColor);
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    {
        QPainter p(&image);
        navigation::ui::NaviPaintExtras extras;
        extras.boat = &tinted;
        navigation::ui::paintNaviMap(p, model, extras);
    }
    if (!image.save(QString::fromStdString(*out), "PNG")) {
        std::fprintf(stderr, "kestrova-cli: cannot write %s\n", out->c_str());
        return kExitFailure;
    }
    std::printf("{\"kind\":\"navmap\",\"file\":\"%s\",\"lines\":%zu,\"track\":%zu}\n", out->c_str(),
                model.lines().lines().size(), model.track().size());
    return kExitOk;
}

const Registration reg{"navmap", kUsage, runNavmap};

} // namespace
} // namespace kestrova::cli

#endif

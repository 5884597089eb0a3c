// kestrova-cli lines show FILE.lnw: the planned lines of a line file, one JSON
// object per line with its points, as the navigation view would load them.
// lines parallel / lines shift: the line editor's offset pages on one line of
// a file, written to a new file as the editor would save it.

#include "app/config/message.h"
#include "navigation/line_editor.h"
#include "navigation/survey_line.h"
#include "platform/json_line.h"
#include "tools/cli/command.h"

#include <cmath>
#include <cstdio>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage =
    "lines show FILE.lnw\n"
    "       kestrova-cli lines parallel FILE.lnw --line NAME --count K --spacing D"
    " --side left|right --out OUT.lnw\n"
    "       kestrova-cli lines shift FILE.lnw --line NAME --count K --east DX --north DY"
    " --out OUT.lnw";

bool countIn(const std::optional<std::string>& text, int& out) {
    long long v = 0;
    if (!text || !parseInt(*text, v) || v < 1 || v > navigation::kMaxOffsetCount) return false;
    out = static_cast<int>(v);
    return true;
}

bool finiteIn(const std::optional<std::string>& text, double& out) {
    return text && parseDouble(*text, out) && std::isfinite(out);
}

// parallel and shift: the editor's rules and messages (in English on
// standard error, every question answered OK), then the editor's save.
int runOffset(const Args& args) {
    const bool parallel = args[0] == "parallel";
    Args rest(args.begin() + 1, args.end());
    ArgList list(rest);
    auto lineName = list.value("--line");
    auto countText = list.value("--count");
    auto out = list.value("--out");
    auto spacingText = parallel ? list.value("--spacing") : std::nullopt;
    auto side = parallel ? list.value("--side") : std::nullopt;
    auto eastText = parallel ? std::nullopt : list.value("--east");
    auto northText = parallel ? std::nullopt : list.value("--north");
    if (!list.ok()) return usageError(kUsage, list.error());
    const std::vector<std::string> files = list.positional();
    if (files.size() != 1) return usageError(kUsage, "one line file is needed");
    if (!lineName || !out) return usageError(kUsage, "--line and --out are required");
    int count = 0;
    if (!countIn(countText, count)) return usageError(kUsage, "--count needs 1..500");
    navigation::ParallelParams pp{0, 0, 0.0};
    navigation::ShiftParams sp{count, 0.0, 0.0};
    if (parallel) {
        if (!finiteIn(spacingText, pp.spacing)) return usageError(kUsage, "--spacing needs metres");
        if (!side || (*side != "left" && *side != "right"))
            return usageError(kUsage, "--side needs left or right");
        (*side == "left" ? pp.left : pp.right) = count;
    } else if (!finiteIn(eastText, sp.east) || !finiteIn(northText, sp.north)) {
        return usageError(kUsage, "--east and --north need metres");
    }

    app::Messenger messenger;
    messenger.setEnglish(true);
    const position::GeodesyEngine engine;
    navigation::LineEditor editor(messenger, engine);
    if (!editor.read_line_file(files[0])) return kExitFailure;
    int index = -1;
    for (std::size_t i = 0; i < editor.lines().size(); ++i)
        if (editor.lines()[i].name == *lineName) {
            index = static_cast<int>(i);
            break;
        }
    if (index < 0) {
        std::fprintf(stderr, "kestrova-cli: no line named \"%s\" in %s\n", lineName->c_str(),
                     files[0].c_str());
        return kExitFailure;
    }
    editor.selectLine(index);
    const std::size_t before = editor.lines().size();
    const bool made = parallel ? editor.offsetParallel(pp) : editor.offsetShift(sp);
    if (!made) return kExitFailure;
    if (!editor.write_line_file(*out)) return kExitFailure;
    std::printf(
        "%s\n",
        JsonLine()
            .str("kind", "lines")
            .str("file", *out)
            .unum("lines", editor.lines().size())
            .unum("added", editor.lines().size() - before)
            .str("reference", editor.lines()[static_cast<std::size_t>(editor.selectedLine())].name)
            .text()
            .c_str());
    return kExitOk;
}

int runLines(const Args& args) {
    if (!args.empty() && (args[0] == "parallel" || args[0] == "shift")) return runOffset(args);
    if (args.size() != 2 || args[0] != "show") return usageError(kUsage, "");
    const std::string& path = args[1];
    navigation::LineFileParse parsed = navigation::readLineFileText(path);
    if (!parsed.ok()) {
        navigation::MessagePair m = navigation::mainFrameReadMessage(parsed.error, path);
        std::fprintf(stderr, "Kestrova: %s\n", m.english.c_str());
        return kExitFailure;
    }
    int index = 0;
    for (const navigation::SurveyLine& line : parsed.lines) {
        std::string points = "[";
        for (std::size_t i = 0; i < line.points.size(); ++i) {
            if (i) points += ',';
            points += JsonLine().real("x", line.points[i].x).real("y", line.points[i].y).text();
        }
        points += ']';
        std::printf("%s\n", JsonLine()
                                .str("kind", "line")
                                .num("index", index++)
                                .str("name", line.name)
                                .unum("points", line.points.size())
                                .raw("xy", points)
                                .text()
                                .c_str());
    }
    return kExitOk;
}

const Registration reg{"lines", kUsage, runLines};

} // namespace
} // namespace kestrova::cli

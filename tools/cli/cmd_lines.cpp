// kestrova-cli lines show FILE.lnw: the planned lines of a line file, one JSON
// object per line with its points, as the navigation view would load them.

#include "navigation/survey_line.h"
#include "platform/json_line.h"
#include "tools/cli/command.h"

#include <cstdio>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage = "lines show FILE.lnw";

int runLines(const Args& args) {
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

// Survey line files come from other machines and hand edits. Any bytes must
// parse without a crash or an unbounded allocation, and whatever is accepted
// must write back to a file that reads back the same.

#include "navigation/survey_line.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrova::navigation;
    if (size > (1u << 20)) return 0;
    LineFileParse parsed =
        parseLineFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed.ok()) {
        if (!parsed.lines.empty()) std::abort(); // a refused file yields nothing
        return 0;
    }
    if (parsed.lines.empty() || parsed.lines.size() > static_cast<std::size_t>(kMaxLines))
        std::abort();
    LineFileParse again = parseLineFile(formatLineFile(parsed.lines));
    if (!again.ok() || again.lines.size() != parsed.lines.size()) std::abort();
    return 0;
}

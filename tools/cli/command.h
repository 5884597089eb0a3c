#pragma once
// Sub-commands of kestrova-cli register themselves at start-up:
//   static const kestrova::cli::Registration reg{"frames", "frames FILE|-", runFrames};
// Exit codes: 0 success, 1 I/O or processing failure, 2 usage error.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::cli {

using Args = std::vector<std::string>;
using Handler = int (*)(const Args& args);

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Registration {
    Registration(const char* name, const char* usage, Handler handler);
};

// Small argument helpers shared by the sub-commands.
class ArgList {
  public:
    explicit ArgList(const Args& args) : args_(args) {}
    // Value of "--name VALUE"; nullopt when absent. A flag given without a value
    // is a usage error, reported through ok().
    std::optional<std::string> value(std::string_view name);
    bool flag(std::string_view name);
    // Everything not consumed by value() or flag(), in order.
    std::vector<std::string> positional() const;
    bool ok() const { return ok_; }
    std::string error() const { return error_; }

  private:
    const Args& args_;
    std::vector<bool> used_ = std::vector<bool>(args_.size(), false);
    bool ok_ = true;
    std::string error_;
};

// Parses a whole decimal number (optionally fractional); false on junk.
bool parseDouble(const std::string& text, double& out);
bool parseInt(const std::string& text, long long& out);

int usageError(const std::string& usage, const std::string& why);

} // namespace kestrova::cli

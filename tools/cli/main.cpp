// kestrova-cli: the command-line tool over the program's own acquisition,
// processing and file code.

#include "app/config/configuration.h"
#include "app/config/message.h"
#include "tools/cli/command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace kestrova::cli {
namespace {

struct Entry {
    std::string usage;
    Handler handler;
};

std::map<std::string, Entry>& registry() {
    static std::map<std::string, Entry> commands;
    return commands;
}

void printUsage() {
    std::fprintf(stderr, "usage: kestrova-cli COMMAND [ARGS]\ncommands:\n");
    for (const auto& [name, entry] : registry()) std::fprintf(stderr, "  %s\n", entry.usage.c_str());
}

} // namespace

Registration::Registration(const char* name, const char* usage, Handler handler) {
    registry()[name] = Entry{usage, handler};
}

std::optional<std::string> ArgList::value(std::string_view name) {
    for (std::size_t i = 0; i < args_.size(); ++i) {
        if (used_[i] || args_[i] != name) continue;
        used_[i] = true;
        if (i + 1 >= args_.size()) {
            ok_ = false;
            error_ = std::string(name) + " needs a value";
            return std::nullopt;
        }
        used_[i + 1] = true;
        return args_[i + 1];
    }
    return std::nullopt;
}

bool ArgList::flag(std::string_view name) {
    for (std::size_t i = 0; i < args_.size(); ++i) {
        if (!used_[i] && args_[i] == name) {
            used_[i] = true;
            return true;
        }
    }
    return false;
}

std::vector<std::string> ArgList::positional() const {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args_.size(); ++i)
        if (!used_[i]) rest.push_back(args_[i]);
    return rest;
}

bool parseDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size()) return false;
    out = v;
    return true;
}

bool parseInt(const std::string& text, long long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) return false;
    out = v;
    return true;
}

int usageError(const std::string& usage, const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "kestrova-cli: %s\n", why.c_str());
    std::fprintf(stderr, "usage: kestrova-cli %s\n", usage.c_str());
    return kExitUsage;
}

} // namespace kestrova::cli

int main(int argc, char** argv) {
    using namespace kestrova::cli;
    if (argc < 2) {
        printUsage();
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage();
        return kExitOk;
    }
    auto it = registry().find(name);
    if (it == registry().end()) {
        std::fprintf(stderr, "kestrova-cli: unknown command \"%s\"\n", name.c_str());
        printUsage();
        return kExitUsage;
    }
    // Messages to the operator in the interface language, as the program shows them.
    kestrova::app::defaultMessenger().setEnglish(kestrova::app::interfaceEnglish());
    Args args(argv + 2, argv + argc);
    return it->second.handler(args);
}

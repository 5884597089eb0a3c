#pragma once
// Runs kestrova-cli for the tests, with its output captured in files.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::testing {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string binDir() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

inline std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// `args` is pasted into a shell command line: tests pass only plain words.
inline CliRun runCli(const std::string& args, const std::string& stdinFile = "/dev/null") {
    const std::string base =
        "/tmp/kestrova_cli_" + std::to_string(::getpid()) + "_" + std::to_string(std::rand());
    const std::string cmd = binDir() + "/kestrova-cli " + args + " <" + stdinFile + " >" + base +
                            ".out 2>" + base + ".err";
    const int status = std::system(cmd.c_str());
    CliRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(base + ".out");
    r.err = slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return r;
}

inline int countLines(const std::string& text, const std::string& needle) {
    int n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        n += line.find(needle) != std::string::npos;
    return n;
}

} // namespace kestrova::testing

#pragma once
// Runs kestrova-sonar-sim as a child process for tests: starts it on ports the
// kernel picks (unless given), reads the "listening" line for the ports, and
// on stop collects its "sent ..." summary. Everything is bounded in time.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kestrova::sim {

struct SimSummary {
    std::uint64_t hf = 0, lf = 0, attitude = 0, faulty = 0, frames = 0, bytes = 0, heartbeats = 0;
    // Command lines taken and refused, replies sent.
    std::uint64_t commands = 0, rejected = 0, replies = 0;
};

class SimProcess {
  public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess() { kill(); }

    static std::string binary() {
        const char* bin = std::getenv("KESTROVA_BIN");
        return std::string(bin ? bin : "build/bin") + "/kestrova-sonar-sim";
    }

    // Starts the simulator with `args`; "--command-port 0 --data-port 0" are
    // added unless the args name ports. False when it did not report listening
    // within `timeoutMs`.
    bool start(std::vector<std::string> args, int timeoutMs = 5000) {
        kill();
        bool hasPorts = false;
        for (const auto& a : args)
            hasPorts = hasPorts || a == "--data-port";
        if (!hasPorts) args.insert(args.begin(), {"--command-port", "0", "--data-port", "0"});
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        std::string path = binary();
        std::vector<char*> argv;
        argv.push_back(path.data());
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) {
            ::close(fds[0]);
            pid_ = -1;
            return false;
        }
        out_ = fds[0];
        std::string line;
        // A world's report line may come first.
        for (int i = 0; i < 4; ++i)
            if (!readLine(line, timeoutMs) || line.rfind("listening", 0) == 0) break;
        unsigned c = 0, d = 0;
        if (std::sscanf(line.c_str(), "listening command=%u data=%u", &c, &d) != 2) return false;
        commandPort = static_cast<std::uint16_t>(c);
        dataPort = static_cast<std::uint16_t>(d);
        return true;
    }

    // Waits up to timeoutMs for the simulator to end by itself; true when it did.
    bool waitExit(int timeoutMs) {
        if (pid_ < 0) return true;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int status = 0;
            pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid_ = -1;
                drain();
                return true;
            }
            if (std::chrono::steady_clock::now() >= end) break;
            ::usleep(10000);
        }
        return false;
    }

    // Asks the simulator to stop (SIGTERM) and waits for its summary.
    bool stop(int timeoutMs = 5000) {
        if (pid_ < 0) return true;
        ::kill(pid_, SIGTERM);
        if (waitExit(timeoutMs)) return true;
        kill();
        return false;
    }

    // Ends it at once, as a pulled cable or a crashed unit would.
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        if (out_ >= 0) {
            ::close(out_);
            out_ = -1;
        }
    }

    std::optional<SimSummary> summary() const {
        auto at = text_.find("sent hf=");
        if (at == std::string::npos) return std::nullopt;
        SimSummary s;
        unsigned long long v[10];
        if (std::sscanf(text_.c_str() + at,
                        "sent hf=%llu lf=%llu attitude=%llu faulty=%llu frames=%llu bytes=%llu "
                        "heartbeats=%llu commands=%llu rejected=%llu replies=%llu",
                        &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                        &v[9]) != 10)
            return std::nullopt;
        s = SimSummary{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]};
        return s;
    }
    // Reads the simulator's output until it holds `needle` (true) or
    // `timeoutMs` passes (false).
    bool waitForOutput(const std::string& needle, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (text_.find(needle) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0 || out_ < 0) return false;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char buf[4096];
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return false;
            text_.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
    // The command lines the simulator took, in order, as it lists them.
    std::vector<std::string> commandLines() const {
        std::vector<std::string> lines;
        std::size_t at = 0;
        while ((at = text_.find("\ncommand ", at)) != std::string::npos) {
            at += 9;
            const std::size_t end = text_.find('\n', at);
            if (end == std::string::npos) break;
            lines.push_back(text_.substr(at, end - at));
        }
        return lines;
    }
    const std::string& output() const { return text_; }
    int exitCode() const { return exitCode_; }
    bool running() const { return pid_ > 0; }

    std::uint16_t commandPort = 0;
    std::uint16_t dataPort = 0;

  private:
    bool readLine(std::string& line, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto nl = text_.find('\n', consumed_);
            if (nl != std::string::npos) {
                line = text_.substr(consumed_, nl - consumed_);
                consumed_ = nl + 1;
                return true;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) return false;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char buf[512];
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) return false;
            text_.append(buf, static_cast<std::size_t>(n));
        }
    }

    void drain() {
        if (out_ < 0) return;
        char buf[512];
        for (;;) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) break;
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n <= 0) break;
            text_.append(buf, static_cast<std::size_t>(n));
        }
        ::close(out_);
        out_ = -1;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int exitCode_ = -1;
    std::string text_;
    std::size_t consumed_ = 0;
};

} // namespace kestrova::sim

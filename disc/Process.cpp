#include "disc/Process.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarvex {

namespace {

constexpr std::size_t MaxLine = 64 * 1024;

/// Splits what arrives on a pipe into lines.
class TLineReader {
  public:
    explicit TLineReader(const std::function<void(std::string_view)>& sink) : Sink(sink) {}

    void Add(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\n' || c == '\r') {
                Flush();
            } else {
                Pending += c;
                if (Pending.size() >= MaxLine) Flush();
            }
        }
    }
    void Flush() {
        if (!Pending.empty() && Sink) Sink(Pending);
        Pending.clear();
    }

  private:
    const std::function<void(std::string_view)>& Sink;
    std::string Pending;
};

/// A pipe whose ends close themselves.
struct TPipe {
    int Read = -1;
    int Write = -1;
    bool Open() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        Read = fds[0];
        Write = fds[1];
        return true;
    }
    static void Close(int& fd) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    ~TPipe() {
        Close(Read);
        Close(Write);
    }
};

std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        const std::string_view name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& x : extra)
            if (std::string_view(x).substr(0, x.find('=')) == name) replaced = true;
        if (!replaced) env.emplace_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& t : texts) pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers;
}

/// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void StartChild(const char* program, char* const* argv, char* const* envp,
                             const char* dir, int out, int err, int report) {
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (dir[0] == '\0' || chdir(dir) == 0) execve(program, argv, envp);
    const int error = errno;
    [[maybe_unused]] const auto n = write(report, &error, sizeof error);
    _exit(127);
}

/// Stops the child's whole process group: politely first, then for good.
void Stop(pid_t pid, int& status) {
    kill(-pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            kill(-pid, SIGKILL); // its own children, if any are left
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

} // namespace

std::string FindProgram(const std::string& program, const std::string& searchPath) {
    const auto runnable = [](const std::string& path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
               access(path.c_str(), X_OK) == 0;
    };
    if (program.empty()) return "";
    if (program.find('/') != std::string::npos) return runnable(program) ? program : "";
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) end = searchPath.size();
        const std::string dir = end > start ? searchPath.substr(start, end - start) : ".";
        const std::string path = dir + "/" + program;
        if (runnable(path)) return path;
        start = end + 1;
    }
    return "";
}

TProcessResult RunProcess(const TCommand& command,
                          const std::function<void(std::string_view)>& onOutput,
                          const std::function<void(std::string_view)>& onError,
                          const std::atomic<bool>* cancel) {
    TProcessResult result;
    TPipe out, err, report;
    if (!out.Open() || !err.Open() || !report.Open()) {
        result.StartError = std::strerror(errno);
        return result;
    }
    // Everything the child needs is built before the fork.
    std::vector<std::string> args = command.Args;
    std::vector<std::string> env = Environment(command.Env);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);

    const pid_t pid = fork();
    if (pid < 0) {
        result.StartError = std::strerror(errno);
        return result;
    }
    if (pid == 0)
        StartChild(command.Program.c_str(), argv.data(), envp.data(), command.Dir.c_str(),
                   out.Write, err.Write, report.Write);
    setpgid(pid, pid); // also here, so that a cancel right away reaches the group
    TPipe::Close(out.Write);
    TPipe::Close(err.Write);
    TPipe::Close(report.Write);

    int startError = 0;
    if (read(report.Read, &startError, sizeof startError) == sizeof startError) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.StartError = std::strerror(startError);
        return result;
    }
    result.Started = true;

    TLineReader outLines(onOutput), errLines(onError);
    std::array<pollfd, 2> fds = {{{out.Read, POLLIN, 0}, {err.Read, POLLIN, 0}}};
    std::array<char, 4096> buffer{};
    int status = 0;
    bool ended = false;
    while (!ended) {
        if (Cancelled(cancel)) {
            Stop(pid, status);
            result.Cancelled = true;
            return result;
        }
        const bool open = fds[0].fd >= 0 || fds[1].fd >= 0;
        if (open) {
            const int ready = poll(fds.data(), fds.size(), 100);
            if (ready < 0 && errno != EINTR) break;
            for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = read(fds[i].fd, buffer.data(), buffer.size());
                if (n > 0) {
                    (i == 0 ? outLines : errLines).Add(buffer.data(), static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                }
            }
            out.Read = fds[0].fd;
            err.Read = fds[1].fd;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!open || (fds[0].fd < 0 && fds[1].fd < 0))
            ended = waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!ended) waitpid(pid, &status, 0);
    outLines.Flush();
    errLines.Flush();
    if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
    return result;
}

} // namespace tarvex

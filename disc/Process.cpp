#include "disc/Process.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarvex {

namespace {

constexpr std::size_t MaxLine = 64 * 1024;

/// Splits what arrives on a pipe into lines.
class TPipeLineSplitter {
  public:
    explicit TPipeLineSplitter(const std::function<void(std::string_view)>& sink) : Sink(sink) {}

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
                             const char* dir, int out, int err, int report, pid_t parent) {
    setpgid(0, 0);
    // The tool ends with the thread that started it, even when that dies by SIGKILL;
    // a parent that died before this line is seen in getppid().
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (dir[0] == '\0' || chdir(dir) == 0) execve(program, argv, envp);
    const int error = errno;
    [[maybe_unused]] const auto n = write(report, &error, sizeof error);
    _exit(127);
}

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

/// A started child with its process group and the read ends of its output: on
/// every path out, a child still running is stopped and every child is reaped.
class TChild {
  public:
    explicit TChild(const TCommand& command) { Start(command); }
    ~TChild() {
        if (Pid > 0) Stop();
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    bool Started() const { return Pid > 0; }
    const std::string& StartError() const { return Error; }
    int& OutFd() { return Out.Read; }
    int& ErrFd() { return Err.Read; }

    /// Stops the whole process group, politely first, then for good, and reaps it.
    int Stop() {
        if (Pid <= 0) return Status;
        kill(-Pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Reaped(WNOHANG)) {
                kill(-Reaping, SIGKILL); // its own children, if any are left
                return Status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(-Pid, SIGKILL);
        Reaped(0);
        return Status;
    }
    /// Whether the child has ended (and is reaped); `flags` as waitpid's.
    bool Reaped(int flags) {
        if (Pid <= 0) return true;
        if (waitpid(Pid, &Status, flags) != Pid) return false;
        Reaping = Pid;
        Pid = -1;
        return true;
    }
    int ExitStatus() const { return Status; }

  private:
    void Start(const TCommand& command) {
        TPipe report;
        if (!Out.Open() || !Err.Open() || !report.Open()) {
            Error = ErrorText(errno);
            return;
        }
        // Everything the child needs is built before the fork.
        std::vector<std::string> args = command.Args;
        std::vector<std::string> env = Environment(command.Env);
        std::vector<char*> argv = Pointers(args);
        std::vector<char*> envp = Pointers(env);
        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid < 0) {
            Error = ErrorText(errno);
            return;
        }
        if (pid == 0)
            StartChild(command.Program.c_str(), argv.data(), envp.data(), command.Dir.c_str(),
                       Out.Write, Err.Write, report.Write, parent);
        Pid = pid;
        setpgid(pid, pid); // also here, so that a stop right away reaches the group
        TPipe::Close(Out.Write);
        TPipe::Close(Err.Write);
        TPipe::Close(report.Write);
        int startError = 0;
        if (read(report.Read, &startError, sizeof startError) == sizeof startError) {
            Reaped(0);
            Error = ErrorText(startError);
        }
    }

    TPipe Out, Err;
    pid_t Pid = -1;
    pid_t Reaping = -1; ///< the group of the child once reaped
    int Status = 0;
    std::string Error;
};

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

namespace {

/// Reads the child's output line by line until both pipes close or the cancel
/// flag is set; false when cancelled.
bool Pump(TChild& child, const std::function<void(std::string_view)>& onOutput,
          const std::function<void(std::string_view)>& onError, const std::atomic<bool>* cancel) {
    TPipeLineSplitter outLines(onOutput), errLines(onError);
    std::array<pollfd, 2> fds = {{{child.OutFd(), POLLIN, 0}, {child.ErrFd(), POLLIN, 0}}};
    std::array<char, 4096> buffer{};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (Cancelled(cancel)) return false;
        const int ready = poll(fds.data(), fds.size(), 100);
        if (ready < 0 && errno != EINTR) break;
        for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = read(fds[i].fd, buffer.data(), buffer.size());
            if (n > 0) {
                (i == 0 ? outLines : errLines).Add(buffer.data(), static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                TPipe::Close(i == 0 ? child.OutFd() : child.ErrFd());
                fds[i].fd = -1;
            }
        }
    }
    outLines.Flush();
    errLines.Flush();
    return true;
}

} // namespace

TProcessResult RunProcess(const TCommand& command,
                          const std::function<void(std::string_view)>& onOutput,
                          const std::function<void(std::string_view)>& onError,
                          const std::atomic<bool>* cancel) {
    TProcessResult result;
    TChild child(command);
    if (!child.Started()) {
        result.StartError = child.StartError();
        return result;
    }
    result.Started = true;
    result.Cancelled = !Pump(child, onOutput, onError, cancel);
    // Both pipes closed: the child has ended or is about to; a cancel still reaches it.
    while (!result.Cancelled && !child.Reaped(WNOHANG)) {
        result.Cancelled = Cancelled(cancel);
        if (!result.Cancelled) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (result.Cancelled) {
        child.Stop();
        return result;
    }
    const int status = child.ExitStatus();
    if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
    return result;
}

} // namespace tarvex

// tarvex-cli making a VCD as a program of its own, interrupted as a shell or a
// system would: no tool outlives it, nothing of the unfinished disc is left, and
// the work folder of a killed run goes with the next run into its folder.
#include "tests/TempFolder.h"
#include "tests/source/SourceMedia.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tt = tarvex::testing;
namespace fs = std::filesystem;

namespace tarvex {
namespace {

/// The ids of the running (not zombie) processes named `name` whose parent is `parent`.
std::vector<pid_t> Children(pid_t parent, const std::string& name) {
    std::vector<pid_t> found;
    for (const auto& e : fs::directory_iterator("/proc")) {
        std::ifstream in(e.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat)) continue;
        const auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != 'Z' && stat.substr(open + 1, close - open - 1) == name)
            found.push_back(std::stoi(e.path().filename()));
    }
    return found;
}

bool Running(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return false;
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

/// Waits up to `seconds` for `done`.
template <class F>
bool Within(double seconds, F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// The work folders in `dir`.
std::vector<std::string> WorkFolders(const fs::path& dir) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.path().filename().string().starts_with(".tarvex-work")) found.push_back(e.path());
    return found;
}

class CliSignals : public ::testing::TestWithParam<int> {
  protected:
    static void SetUpTestSuite() {
        // Long enough that the encoder is still at work when the signal comes; made
        // once in the build folder under a name of its own, then renamed.
        if (fs::exists(Film)) return;
        fs::create_directories(fs::path(Film).parent_path());
        const std::string part = Film + "." + std::to_string(getpid());
        if (tt::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=720x576:r=25:d=120 "
                           "-f lavfi -i sine=d=120 -c:v mpeg4 -q:v 10 -c:a mp2 -f avi '" +
                           part + "'") == 0)
            fs::rename(part, Film);
    }

    /// Starts tarvex-cli making a VCD of the film into `dir` at about 1200 kbps; its
    /// output goes to `log`.
    pid_t Start(const fs::path& dir, const std::string& log, bool replace = false) {
        std::vector<std::string> args = {
            "tarvex-cli",  "--ini",        Temp / "Tarvex.ini",  "--open",         Film,
            "--select",    "MuxModeBox=6", "--select",           "AuthoringBox=5", "--select",
            "CDTypeBox=0", "--down",       "VideoUpDown10=1300", "--make-disc",    dir};
        if (replace) args.insert(args.begin() + 1, "--replace");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 2);
            dup2(out, 1);
            execv(TARVEX_CLI, argv.data());
            _exit(127);
        }
        return pid;
    }
    /// The encoder the run started; -1 when none came within a minute.
    static pid_t Encoder(pid_t run) {
        pid_t encoder = -1;
        Within(60, [&] {
            const std::vector<pid_t> found = Children(run, "ffmpeg");
            if (!found.empty()) encoder = found[0];
            return encoder > 0 || !Running(run);
        });
        return encoder;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }
    static std::string Read(const std::string& name) {
        std::ifstream in(name);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    TTempFolder Temp;
    static inline const std::string Film = TARVEX_CLI_FILMS "/signal-film.avi";
};

TEST_P(CliSignals, LeaveNoToolAndNoWorkBehind) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    ASSERT_TRUE(fs::exists(Film)) << "ffmpeg could not make " << Film;
    const int signal = GetParam();
    const fs::path dir = Temp.Path / "discs";
    const pid_t run = Start(dir, Temp / "run.log");
    const pid_t encoder = Encoder(run);
    ASSERT_GT(encoder, 0) << Read(Temp / "run.log");

    // A second run into the busy folder is refused and leaves the first at work.
    const pid_t second = Start(dir, Temp / "second.log");
    const int refused = Wait(second);
    EXPECT_TRUE(WIFEXITED(refused) && WEXITSTATUS(refused) == 1);
    EXPECT_NE(Read(Temp / "second.log").find("Another run of Tarvex is making discs in "),
              std::string::npos)
        << Read(Temp / "second.log");

    kill(run, signal);
    const int status = Wait(run);
    EXPECT_TRUE(Within(5, [&] { return !Running(encoder); }));
    EXPECT_FALSE(fs::exists(dir / "disc1.bin"));
    if (signal != SIGKILL) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << Read(Temp / "run.log");
        EXPECT_EQ(WorkFolders(dir), std::vector<std::string>{});
        return;
    }
    // Killed: its work folder stays until the next run into the folder.
    const std::vector<std::string> stale = WorkFolders(dir);
    ASSERT_EQ(stale.size(), 1u);
    const pid_t next = Start(dir, Temp / "next.log", true); // the killed run's log goes
    const pid_t nextEncoder = Encoder(next);
    EXPECT_GT(nextEncoder, 0) << Read(Temp / "next.log");
    EXPECT_FALSE(fs::exists(stale[0]));
    EXPECT_EQ(WorkFolders(dir).size(), 1u);
    kill(next, SIGTERM);
    Wait(next);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignals, ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGKILL),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

} // namespace
} // namespace tarvex

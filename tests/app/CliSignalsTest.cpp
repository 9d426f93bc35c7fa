// tarvex-cli making a VCD as a program of its own, interrupted as a shell or a
// system would: no tool outlives it, nothing of the unfinished disc is left, and
// the work folder of a killed run goes with the next run into its folder.
#include "tests/source/SourceMedia.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace tt = tarvex::testkit;
namespace fs = std::filesystem;

namespace tarvex {
namespace {

/// A child of `parent` that runs `program`; 0 when there is none.
pid_t Child(pid_t parent, const std::string& program) {
    const std::string task = "/proc/" + std::to_string(parent) + "/task/";
    std::ifstream in(task + std::to_string(parent) + "/children");
    for (pid_t child = 0; in >> child;) {
        std::string name;
        std::ifstream("/proc/" + std::to_string(child) + "/comm") >> name;
        if (name == program) return child;
    }
    return 0;
}

/// Whether `pid` runs (a zombie has ended).
bool Running(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    return std::getline(in, stat) && stat.substr(stat.rfind(')') + 2, 1) != "Z";
}

/// Waits up to `seconds` for `done`.
template <class F>
bool Within(double seconds, F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
}

std::vector<std::string> WorkFolders(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
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
        if (tt::Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=720x576:r=25:d=120 "
                      "-f lavfi -i sine=d=120 -c:v mpeg4 -q:v 10 -c:a mp2 -f avi '" +
                      part + "'") == 0)
            fs::rename(part, Film);
    }

    /// Starts tarvex-cli making a VCD of the film into the test's
    /// folder; its output goes to `log`. Returns it and the encoder it started (0: none).
    std::pair<pid_t, pid_t> Start(const std::string& log, const std::string& options = "") {
        const pid_t run = fork();
        if (run == 0) {
            const std::string command =
                "exec '" TARVEX_CLI "' " + options + " --ini " + Temp / "Tarvex.ini" + " --open " +
                Film +
                " --select MuxModeBox=6 --select AuthoringBox=5 --select CDTypeBox=0 --select "
                "DestAspectBox=6 --select Audio1kbps=10 --type Videokbps=1150 --make-disc " +
                Dir + " >" + Temp / log + " 2>&1";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        pid_t encoder = 0;
        Within(60, [&] { return (encoder = Child(run, "ffmpeg")) > 0 || !Running(run); });
        return {run, encoder};
    }
    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    std::string Read(const std::string& log) const {
        std::ifstream in(Temp / log);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    TTempFolder Temp;
    const std::string Dir = Temp / "discs";
    static inline const std::string Film = TARVEX_TEST_FILMS "/signal-film.avi";
};

TEST_P(CliSignals, LeaveNoToolAndNoWorkBehind) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    ASSERT_TRUE(fs::exists(Film)) << "ffmpeg could not make " << Film;
    const auto [run, encoder] = Start("run.log");
    ASSERT_GT(encoder, 0) << Read("run.log");
    // A second run into the busy folder is refused and leaves the first at work.
    EXPECT_EQ(Wait(Start("second.log").first), 1);
    EXPECT_NE(Read("second.log").find("Another run of Tarvex is making discs in "),
              std::string::npos);

    kill(run, GetParam());
    const int status = Wait(run);
    EXPECT_TRUE(Within(5, [&] { return !Running(encoder); }));
    EXPECT_FALSE(fs::exists(Dir + "/disc1.bin"));
    if (GetParam() != SIGKILL) {
        EXPECT_EQ(status, 3) << Read("run.log");
        EXPECT_EQ(WorkFolders(Dir), std::vector<std::string>{});
        return;
    }
    // Killed: its work folder stays until the next run into the folder.
    const std::vector<std::string> stale = WorkFolders(Dir);
    ASSERT_EQ(stale.size(), 1u);
    const auto [next, nextEncoder] = Start("next.log", "--replace"); // the killed run's log goes
    EXPECT_GT(nextEncoder, 0) << Read("next.log");
    EXPECT_NE(WorkFolders(Dir), stale);
    kill(next, SIGTERM);
    EXPECT_EQ(Wait(next), 3);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignals, ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGKILL),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

} // namespace
} // namespace tarvex

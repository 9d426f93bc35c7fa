// The disc maker with hostile names, short films, full disks and files of an
// earlier run, with the real tools on a short VCD.
#include "disc/Runner.h"
#include "tests/support/DiscPlans.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>

namespace tarvex {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace fs = std::filesystem;

/// Makes `seconds` of a PAL film of the test picture with a tone.
bool SmallFilm(const std::string& path, int seconds) {
    const std::string length = std::to_string(seconds);
    return testkit::Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=720x576:duration=" +
                          length + " -f lavfi -i sine=duration=" + length +
                          " -c:v mpeg4 -c:a pcm_s16le -f avi 'file:" + path + "'") == 0;
}

/// The plan of a one-disc VCD of `seconds` of `source` at 1150 kbps.
TDiscPlan VcdPlan(const std::string& source, int seconds) {
    TCDImage budget = testkit::Budget(TDiscFormat::VCD, {6, 5}, seconds, 1, 224000);
    budget.SetVideoRate(1150000);
    budget.ComputeImage();
    return testkit::Plan(TDiscFormat::VCD, source, std::int64_t{seconds} * 25, budget);
}

/// Names below `dir` (all levels) that start with `prefix`, but for the log.
std::vector<std::string> Files(const fs::path& dir, const std::string& prefix = "") {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = e.path().filename();
        if (name.starts_with(prefix) && name != "tarvex-disc.log") found.push_back(name);
    }
    return found;
}

std::string Text(const std::string& name) {
    std::ifstream in(name);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// A TCP listener on 127.0.0.1 that counts the connections made to it.
struct TListener {
    TListener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (bind(Socket, any, size) != 0 || listen(Socket, 8) != 0 ||
            getsockname(Socket, any, &size) != 0)
            return;
        Port = ntohs(address.sin_port);
        Thread = std::thread([this] {
            for (pollfd fd{Socket, POLLIN, 0}; !Stop;)
                if (poll(&fd, 1, 50) > 0) {
                    close(accept(Socket, nullptr, nullptr));
                    ++Connections;
                }
        });
    }
    ~TListener() {
        Stop = true;
        if (Thread.joinable()) Thread.join();
        close(Socket);
    }
    int Socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int Port = 0;
    std::atomic<int> Connections = 0;
    std::atomic<bool> Stop = false;
    std::thread Thread;
};

class LocalNames : public ::testing::TestWithParam<std::string> {};

// Relative names, as a user gives them, in the current folder.
TEST_P(LocalNames, ReachEveryToolAsLocalFilesOnly) {
    const TTempFolder dir;
    TListener listener;
    ASSERT_NE(listener.Port, 0);
    std::string name = GetParam();
    if (const auto at = name.find("PORT"); at != std::string::npos)
        name.replace(at, 4, std::to_string(listener.Port));
    fs::create_directories((dir.Path / name).parent_path());
    ASSERT_TRUE(SmallFilm(dir / name, 1));
    const fs::path here = fs::current_path();
    fs::current_path(dir.Path);
    TMakeOptions options;
    options.KeepWork = true;
    const TMakeResult result = MakePlan(VcdPlan(name, 1), "out", options);
    fs::current_path(here);
    EXPECT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    EXPECT_EQ(listener.Connections, 0);
    // What -report makes an ffmpeg tool write.
    EXPECT_THAT(Files(dir.Path, "ffprobe-"), IsEmpty());
    EXPECT_THAT(Files(dir.Path, "ffmpeg-"), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Names, LocalNames,
                         ::testing::Values("http:/127.0.0.1:PORT/x.mpg", "-report"),
                         [](const auto& info) { return info.index == 0 ? "url" : "option"; });

TEST(ShortSource, IsAnErrorNotADisc) {
    const TTempFolder dir;
    ASSERT_TRUE(SmallFilm(dir / "film.avi", 1));
    // The plan counts two seconds; the file holds one.
    const TMakeResult result = MakePlan(VcdPlan(dir / "film.avi", 2), dir / "out", {});
    EXPECT_EQ(result.Status, TMakeStatus::Failed);
    EXPECT_THAT(result.Message, HasSubstr("\"Disc 1: video, first pass\" made 25 of the 50 "
                                          "frames planned: the source ends early"));
    EXPECT_THAT(Files(dir.Path / "out"), IsEmpty());
}

class FullDisk : public ::testing::TestWithParam<int> {};

// Each size fills the disk at another step: the encoder, the multiplexer, the authoring.
TEST_P(FullDisk, EndsTheRunWithTheReason) {
    const TTempFolder dir;
    ASSERT_TRUE(SmallFilm(dir / "film.avi", 2));
    const std::string out = dir / "out";
    fs::create_directories(out);
    const std::string size = "size=" + std::to_string(GetParam()) + "k";
    if (mount("tarvex-test", out.c_str(), "tmpfs", 0, size.c_str()) != 0)
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    TDiscJob job = BuildJobIn(VcdPlan(dir / "film.avi", 2), out);
    job.NeededBytes = 0; // past the check of the free space before the start
    const TMakeResult result = MakeDiscs(job, {});
    EXPECT_THAT(result.Message, ::testing::StartsWith("The disk is full: "));
    EXPECT_THAT(Files(out), IsEmpty());
    umount(out.c_str());
}

INSTANTIATE_TEST_SUITE_P(Sizes, FullDisk, ::testing::Values(64, 300, 700, 1100),
                         [](const auto& info) { return std::to_string(info.param) + "k"; });

class EarlierRun : public ::testing::TestWithParam<std::pair<std::string, bool>> {};

// Each file of an earlier run, there or as a link planted to a file elsewhere.
TEST_P(EarlierRun, FilesAreReplacedOnlyWhenAsked) {
    const auto& [file, link] = GetParam();
    const TTempFolder dir;
    TDiscJob job{.Format = TDiscFormat::VCD,
                 .WorkDir = dir / "out/.tarvex-work",
                 .OutDir = dir / "out",
                 .Parts = {{}},
                 .NeededBytes = 0};
    job.Parts[0].Steps = {{"Disc 1: test picture",
                           {"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                            "testsrc=size=32x32:duration=0.2", "-f", "rawvideo", "made.bin"},
                           {},
                           0,
                           1,
                           {"made.bin"}}};
    job.Parts[0].Images = {{"made.bin", job.OutDir + "/disc1.bin"}};
    fs::create_directories(job.OutDir);
    const std::string earlier = dir.Write(link ? "elsewhere" : "out/" + file, "earlier");
    if (link) fs::create_symlink(earlier, job.OutDir + "/" + file);
    EXPECT_EQ(MakeDiscs(job, {}).Message, job.OutDir + " already holds " + file +
                                              " of an earlier run. Choose another folder or "
                                              "let Tarvex replace them.");
    EXPECT_EQ(Text(earlier), "earlier");
    TMakeOptions replace;
    replace.Replace = true;
    const TMakeResult made = MakeDiscs(job, replace);
    EXPECT_EQ(made.Status, TMakeStatus::Done) << made.Message;
    EXPECT_TRUE(!link || Text(earlier) == "earlier"); // a link is replaced, not written through
    EXPECT_THAT(Text(made.LogFile), HasSubstr("# Made 1 disc image"));
    EXPECT_EQ(fs::file_size(job.OutDir + "/disc1.bin"), 32u * 32 * 3 * 5); // five rgb24 frames
}

const char* const EarlierNames[] = {"image", "report", "log", "log_link", "image_link"};
INSTANTIATE_TEST_SUITE_P(Files, EarlierRun,
                         ::testing::Values(std::pair("disc1.bin", false),
                                           std::pair("tarvex-report.txt", false),
                                           std::pair("tarvex-disc.log", false),
                                           std::pair("tarvex-disc.log", true),
                                           std::pair("disc1.bin", true)),
                         [](const auto& info) { return EarlierNames[info.index]; });

} // namespace
} // namespace tarvex

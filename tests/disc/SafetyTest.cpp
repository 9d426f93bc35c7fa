// The disc maker with hostile names, short films, full disks and busy folders,
// run with the real tools on a short VCD.
#include "disc/Runner.h"
#include "tests/disc/DiscFixtures.h"

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

namespace fs = std::filesystem;

/// Makes a PAL film of the test picture, with a tone unless `silent`.
bool SmallFilm(const std::string& path, double seconds, bool silent = false) {
    const std::string length = std::to_string(seconds);
    return testing::Shell("ffmpeg -nostdin -v error -y -f lavfi -i "
                          "testsrc=size=720x576:rate=25:duration=" +
                          length +
                          (silent ? "" : " -f lavfi -i sine=sample_rate=48000:duration=" + length) +
                          " -c:v mpeg4 -q:v 8 -c:a pcm_s16le -f avi 'file:" + path + "'") == 0;
}

/// The plan of a one-disc VCD of `seconds` of `source`.
TDiscPlan VcdPlan(const std::string& source, int seconds) {
    TCDImage budget = testing::Budget(TDiscFormat::VCD, {6, 5}, seconds, 1, 224000);
    budget.SetVideoRate(1150000);
    budget.ComputeImage();
    return testing::Plan(TDiscFormat::VCD, source, std::int64_t{seconds} * 25, budget);
}

/// Files anywhere below `dir` whose names start with `prefix`.
std::vector<std::string> FilesStartingWith(const fs::path& dir, const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().starts_with(prefix)) found.push_back(e.path());
    return found;
}

/// A TCP listener on 127.0.0.1 that counts the connections made to it.
class TListener {
  public:
    TListener() {
        Socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        const auto* any = reinterpret_cast<sockaddr*>(&address);
        if (bind(Socket, any, size) != 0 || listen(Socket, 8) != 0 ||
            getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        Port = ntohs(address.sin_port);
        Thread = std::thread([this] {
            pollfd fd{Socket, POLLIN, 0};
            while (!Stop)
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
    int Port = 0;
    std::atomic<int> Connections = 0;

  private:
    int Socket = -1;
    std::atomic<bool> Stop = false;
    std::thread Thread;
};

/// Runs in `dir` as the current folder while it lives.
class TInFolder {
  public:
    explicit TInFolder(const fs::path& dir) : Old(fs::current_path()) { fs::current_path(dir); }
    ~TInFolder() { fs::current_path(Old); }

  private:
    fs::path Old;
};

struct TNameCase {
    const char* Name;
    std::string File; ///< relative to the current folder; PORT is the listener's port
};

void PrintTo(const TNameCase& c, std::ostream* os) {
    *os << c.Name;
}

class LocalNames : public ::testing::TestWithParam<TNameCase> {};

TEST_P(LocalNames, ReachEveryToolAsLocalFilesOnly) {
    const TTempFolder dir;
    TListener listener;
    ASSERT_NE(listener.Port, 0);
    std::string name = GetParam().File;
    if (const auto at = name.find("PORT"); at != std::string::npos)
        name.replace(at, 4, std::to_string(listener.Port));
    fs::create_directories((dir.Path / name).parent_path());
    ASSERT_TRUE(SmallFilm(dir / name, 1));
    TMakeResult result;
    {
        const TInFolder in(dir.Path);
        TMakeOptions options;
        options.KeepWork = true;
        result = MakePlan(VcdPlan(name, 1), "out", options);
    }
    EXPECT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    EXPECT_EQ(listener.Connections, 0);
    // What -report makes an ffmpeg tool write.
    EXPECT_THAT(FilesStartingWith(dir.Path, "ffprobe-"), ::testing::IsEmpty());
    EXPECT_THAT(FilesStartingWith(dir.Path, "ffmpeg-"), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Names, LocalNames,
                         ::testing::Values(TNameCase{"url", "http:/127.0.0.1:PORT/x.mpg"},
                                           TNameCase{"option", "-report"}),
                         [](const auto& info) { return std::string(info.param.Name); });

/// What the output folder holds besides the log.
std::vector<std::string> Images(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != "tarvex-disc.log") names.push_back(e.path().filename());
    return names;
}

TEST(ShortSource, IsAnErrorNotADisc) {
    const TTempFolder dir;
    ASSERT_TRUE(SmallFilm(dir / "film.avi", 1));
    // The plan counts two seconds; the file holds one.
    const TMakeResult result = MakePlan(VcdPlan(dir / "film.avi", 2), dir / "out", {});
    EXPECT_EQ(result.Status, TMakeStatus::Failed);
    EXPECT_THAT(result.Message, HasSubstr("\"Disc 1: video, first pass\" made 25 of the 50 "
                                          "frames planned: the source ends early"));
    EXPECT_EQ(Images(dir.Path / "out"), std::vector<std::string>{});
}

/// A file system of `kilobytes` mounted on `dir` while it lives.
class TSmallDisk {
  public:
    TSmallDisk(const std::string& dir, int kilobytes) : Dir(dir) {
        const std::string size = "size=" + std::to_string(kilobytes) + "k";
        Mounted = mount("tarvex-test", dir.c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~TSmallDisk() {
        if (Mounted) umount(Dir.c_str());
    }
    std::string Dir;
    bool Mounted = false;
};

class FullDisk : public ::testing::TestWithParam<int> {};

// Each size fills the disk at another step: the encoder, the multiplexer, the authoring.
TEST_P(FullDisk, EndsTheRunWithTheReason) {
    const TTempFolder dir;
    ASSERT_TRUE(SmallFilm(dir / "film.avi", 2));
    const fs::path out = dir.Path / "out";
    fs::create_directories(out);
    const TSmallDisk disk(out, GetParam());
    if (!disk.Mounted) GTEST_SKIP() << "mounting a small file system is not permitted here";
    TDiscJob job = BuildJobIn(VcdPlan(dir / "film.avi", 2), out);
    job.NeededBytes = 0; // past the check of the free space before the start
    const TMakeResult result = MakeDiscs(job, {});
    EXPECT_EQ(result.Status, TMakeStatus::Failed);
    EXPECT_THAT(result.Message, ::testing::StartsWith("The disk is full: "));
    EXPECT_EQ(Images(out), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Sizes, FullDisk, ::testing::Values(64, 300, 700, 1100),
                         [](const auto& info) { return std::to_string(info.param) + "k"; });

struct TEarlierCase {
    const char* Name;
    std::string File; ///< in the output folder
    bool Link;        ///< planted as a link to a file elsewhere
};

void PrintTo(const TEarlierCase& c, std::ostream* os) {
    *os << c.Name;
}

class EarlierRun : public ::testing::TestWithParam<TEarlierCase> {};

TEST_P(EarlierRun, FilesAreReplacedOnlyWhenAsked) {
    const TTempFolder dir;
    TDiscJob job;
    job.WorkDir = dir / "out/.tarvex-work";
    job.OutDir = dir / "out";
    TDiscPart part;
    part.Steps = {{"Disc 1: test picture",
                   {"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                    "testsrc=size=32x32:duration=0.2", "-f", "rawvideo", "made.bin"},
                   {},
                   0,
                   1,
                   "made.bin"}};
    part.Images = {{"made.bin", job.OutDir + "/disc1.bin"}};
    job.Parts = {part};
    fs::create_directories(job.OutDir);
    const std::string earlier = GetParam().Link ? dir.Write("elsewhere", "earlier")
                                                : dir.Write("out/" + GetParam().File, "earlier");
    if (GetParam().Link) fs::create_symlink(earlier, dir / ("out/" + GetParam().File));
    const auto text = [](const std::string& name) {
        std::ifstream in(name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const TMakeResult refused = MakeDiscs(job, {});
    EXPECT_EQ(refused.Message, job.OutDir + " already holds " + GetParam().File +
                                   " of an earlier run. Choose another folder or let Tarvex "
                                   "replace them.");
    EXPECT_EQ(text(earlier), "earlier");
    TMakeOptions replace;
    replace.Replace = true;
    const TMakeResult made = MakeDiscs(job, replace);
    EXPECT_EQ(made.Status, TMakeStatus::Done) << made.Message;
    // A link planted under a name is replaced, never written through.
    if (GetParam().Link) {
        EXPECT_EQ(text(earlier), "earlier");
    }
    EXPECT_FALSE(fs::is_symlink(made.LogFile));
    EXPECT_THAT(text(made.LogFile), HasSubstr("# Made 1 disc image"));
    EXPECT_EQ(fs::file_size(job.OutDir + "/disc1.bin"), 32u * 32 * 3 * 5); // five rgb24 frames
}

INSTANTIATE_TEST_SUITE_P(
    Files, EarlierRun,
    ::testing::Values(TEarlierCase{"image", "disc1.bin", false},
                      TEarlierCase{"report", "tarvex-report.txt", false},
                      TEarlierCase{"log", "tarvex-disc.log", false},
                      TEarlierCase{"log_linked_elsewhere", "tarvex-disc.log", true},
                      TEarlierCase{"image_linked_elsewhere", "disc1.bin", true}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tarvex

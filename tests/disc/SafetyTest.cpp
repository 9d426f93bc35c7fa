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

} // namespace
} // namespace tarvex

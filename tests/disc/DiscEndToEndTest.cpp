// From a film to disc images with the real tools, one short film for every format:
// the images get their final names, the players' tools read them, the frame has the
// size and the borders the script gives it, and the report holds the made sizes.
#include "budget/DiscStandard.h"
#include "disc/PackScan.h"
#include "disc/Report.h"
#include "disc/Runner.h"
#include "tests/support/DiscPlans.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace tarvex {
namespace {

using ::testing::UnorderedElementsAreArray;

namespace fs = std::filesystem;

constexpr int FilmSeconds = 12;
constexpr int NtscFrames = 360; ///< what ffmpeg makes of 12 s at 29.97

/// The source films: PAL with a tone, NTSC at 29.97 without sound, and PAL DV with a
/// tone, its fields bottom first.
enum class TFilm { Pal, NtscSilent, DvBottomFirst };

/// One made disc set: its plan, its budget and the result.
struct TCase {
    const char* Name;
    TDiscFormat Format;
    std::int8_t MuxMode, AuthoringMode; ///< the window's rows
    std::uint32_t VideoRate;
    std::uint32_t AudioRate;
    bool Ac3;
    int Discs;
    bool Interlaced;
    int Width, Height;           ///< of the frame on the disc: the picture is centred in it
    int Top, Left;               ///< black borders
    const char* Files;           ///< in the output folder, by spaces
    const char* Detected;        ///< what the image's reader says of it
    std::int64_t AuthoringSlack; ///< blocks the authoring row may miss by
    TFilm Source = TFilm::Pal;
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Name;
}

class DiscEndToEndTest : public ::testing::TestWithParam<TCase> {
  protected:
    static void SetUpTestSuite() {
        Dir = std::make_unique<TTempFolder>();
        // Kept in the build folder: made on the first run, used by every later one.
        std::filesystem::create_directories(TARVEX_TEST_FILMS);
        const std::string seconds = std::to_string(FilmSeconds);
        const std::string noise = ":duration=" + seconds + ",noise=alls=12:allf=t";
        Films[1] = testkit::CachedFile(TARVEX_TEST_FILMS, "ntsc-silent-12s.avi",
                                       "-f lavfi -i testsrc2=size=720x480:rate=30000/1001" + noise +
                                           " -c:v mpeg4 -q:v 5 -an");
        Films[2] =
            testkit::CachedFile(TARVEX_TEST_FILMS, "dv-bff-12s.avi",
                                "-f lavfi -i testsrc2=size=720x576:rate=25" + noise +
                                    " -f lavfi -i sine=sample_rate=48000:duration=" + seconds +
                                    " -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le");
        FilmMade =
            testkit::MakeNoisyFilm(Films[0], FilmSeconds) && !Films[1].empty() && !Films[2].empty();
    }
    static void TearDownTestSuite() { Dir.reset(); }

    /// The budget of one disc as the window computes it when the rate is set by hand.
    static TCDImage Budget(const TCase& c) {
        TCDImage m = testkit::Budget(c.Format, {c.MuxMode, c.AuthoringMode}, FilmSeconds / c.Discs,
                                     1, c.AudioRate, c.Ac3);
        if (c.Source == TFilm::NtscSilent) {
            m.SetFrameRate(29.97f);
            m.SetFrames(NtscFrames / c.Discs);
        }
        m.SetVideoRate(c.VideoRate);
        m.ComputeImage();
        return m;
    }

    /// The luma of one frame of the multiplexed file, a little into the film.
    static std::string Frame(const std::string& file, const std::string& name) {
        const std::string out = *Dir / name;
        testkit::Shell("ffmpeg -nostdin -v error -y -ss 3 -i '" + file +
                       "' -frames:v 1 -pix_fmt gray -f rawvideo '" + out + "'");
        std::ifstream in(out, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static inline std::string Films[] = {TARVEX_TEST_FILMS "/film-12s.avi", "", ""};
    static inline std::unique_ptr<TTempFolder> Dir;
    static inline bool FilmMade = false;
};

/// The mean luma of a row or a column of a frame.
double Mean(const std::string& frame, int width, int row, int column) {
    const auto at = [&](int x, int y) {
        return static_cast<unsigned char>(frame[static_cast<std::size_t>(y * width + x)]);
    };
    const int height = static_cast<int>(frame.size()) / width;
    double sum = 0;
    const int n = row >= 0 ? width : height;
    for (int i = 0; i < n; ++i) sum += row >= 0 ? at(i, row) : at(column, i);
    return sum / n;
}

TEST_P(DiscEndToEndTest, MakesTheImagesOfThePlan) {
    const TCase& c = GetParam();
    ASSERT_TRUE(FilmMade) << "ffmpeg could not make the film";
    const TCDImage budget = Budget(c);
    const bool ntsc = c.Source == TFilm::NtscSilent;
    TDiscPlan plan = testkit::Plan(c.Format, Films[static_cast<int>(c.Source)],
                                   ntsc ? NtscFrames : FilmSeconds * 25, budget);
    plan.DiscCount = c.Discs;
    TPicturePlan& p = plan.Picture;
    if (ntsc) {
        plan.SrcFrameRate = 30000.0 / 1001;
        plan.SourceAudioStreams = 0;
        p.SrcIsPAL = p.DestIsPAL = false;
        p.CropY = 480;
        TakeBudget(plan, budget); // again, at the film's own rate
    }
    p.Interlaced = c.Interlaced;
    p.BottomFirst = c.Source == TFilm::DvBottomFirst;
    p.ResizeX = c.Width - 2 * c.Left;
    p.ResizeY = c.Height - 2 * c.Top;
    p.DestY = c.Height;
    p.BorderLeft = p.BorderRight = c.Left;
    p.BorderTop = p.BorderBottom = c.Top;
    const std::string out = *Dir / c.Name;
    const TDiscJob job = BuildJob(plan, out + "/.work", out);
    TMakeOptions options;
    options.KeepWork = true;
    const TMakeResult result = MakeDiscs(job, options);
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;

    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(out))
        if (e.is_regular_file()) files.push_back(e.path().filename());
    std::istringstream names(c.Files);
    EXPECT_THAT(files, UnorderedElementsAreArray(std::vector<std::string>(
                           std::istream_iterator<std::string>(names), {})));
    const std::string image = result.Discs.at(0).Files.at(0);
    const std::string reader = c.Format == TDiscFormat::DVD
                                   ? "lsdvd '" + image + "' 2>&1"
                                   : "vcd-info -t -c '" + out + "/disc1.cue' 2>&1";
    EXPECT_EQ(testkit::Shell(reader + " | grep -qF '" + c.Detected + "'"), 0) << reader;
    // The maker read every image back: the reader opened it and the streams are the plan's.
    for (const TDiscResult& disc : result.Discs) {
        ASSERT_GE(disc.ReadBack.size(), 3u);
        EXPECT_EQ(disc.ReadBack[0].substr(0, 26), c.Format == TDiscFormat::DVD
                                                      ? "libdvdread opens the image"
                                                      : "the VCD reader took 1 trac");
        EXPECT_EQ(disc.ReadBack.back().substr(0, 16), "audio stream 1: ");
    }
    // DV keeps its fields bottom first: the stream says so, and every frame is coded so.
    if (p.BottomFirst) {
        EXPECT_EQ(testkit::Shell("test \"$(ffprobe -v error -select_streams v -show_entries "
                                 "frame=interlaced_frame,top_field_first -of csv=p=0 '" +
                                 result.WorkDir + "/disc1.mpg' | grep , | sort -u)\" = '1,0,'"),
                  0);
    }

    // The pack headers state the format's mux rate; the system headers the player's
    // video buffer with the multiplexer's 6 KB, within what the disc allows, and 4 KB
    // for sound.
    const bool dvd = c.Format == TDiscFormat::DVD;
    const TPackScan packs = ScanPacks(result.WorkDir + "/disc1.mpg", dvd ? 2048 : 2324);
    EXPECT_EQ(packs.MuxRate, dvd ? 10080000 : c.Format == TDiscFormat::SVCD ? 2822400 : 1411200);
    const TDiscStandard& standard = DiscStandard(dvd                             ? TDiscFamily::DVD
                                                 : c.Format == TDiscFormat::SVCD ? TDiscFamily::SVCD
                                                                                 : TDiscFamily::VCD,
                                                 true);
    EXPECT_EQ(packs.VideoBuffer, 6 * 1024 + standard.VbvBufferBits / 8);
    EXPECT_LE(packs.VideoBuffer, standard.VideoBufferBytes);
    EXPECT_EQ(packs.AudioBuffer, 4096);

    // The frame the script makes: its size, black borders and picture inside them.
    const std::string frame = Frame(result.WorkDir + "/disc1.mpg", std::string(c.Name) + ".gray");
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(c.Width * c.Height));
    if (c.Top > 0) {
        EXPECT_LT(Mean(frame, c.Width, c.Top - 1, -1), 24);
        EXPECT_GT(Mean(frame, c.Width, c.Top + 1, -1), 40);
        EXPECT_LT(Mean(frame, c.Width, c.Height - c.Top, -1), 24);
    }
    if (c.Left > 0) {
        EXPECT_LT(Mean(frame, c.Width, -1, c.Left - 2), 24);
        EXPECT_GT(Mean(frame, c.Width, -1, c.Left + 1), 40);
    }

    // The report holds what was made; the images fit their discs.
    ASSERT_EQ(result.Discs.size(), static_cast<std::size_t>(c.Discs));
    for (const TDiscResult& disc : result.Discs) {
        const TDiscCheck check = CheckDisc(budget, disc, c.Format);
        EXPECT_EQ(check.RealImageBlocks * (c.Format == TDiscFormat::DVD ? 2048 : 2352),
                  static_cast<std::int64_t>(fs::file_size(disc.Files[0])));
        // Seconds of film leave the encoder's rate control little room; the ten-minute
        // measurement judges it.
        EXPECT_NEAR(Deviation(check.PlannedVideoBytes, check.RealVideoBytes), 0, 8);
        EXPECT_NEAR(Deviation(check.PlannedAudioBytes, check.RealAudioBytes), 0, 1);
        const double layoutSlack =
            std::max(3.0, 0.002 * static_cast<double>(check.PredictedMuxBlocks));
        EXPECT_NEAR(static_cast<double>(check.RealMuxBlocks),
                    static_cast<double>(check.PredictedMuxBlocks), layoutSlack);
        EXPECT_NEAR(check.RealImageBlocks, check.PredictedImageBlocks, c.AuthoringSlack);
        EXPECT_TRUE(check.Fits);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DiscEndToEndTest,
    ::testing::Values(
        TCase{"vcd_two_discs_letterboxed", TDiscFormat::VCD, 6, 5, 1150000, 224000, false, 2, false,
              352, 288, 24, 0, "disc1.bin disc1.cue disc2.bin disc2.cue tarvex-disc.log",
              "VCD 2.0 detected", 3},
        // The row "SVCD vcdimager" counts 70 blocks fewer than vcdimager writes.
        TCase{"svcd_interlaced_letterboxed", TDiscFormat::SVCD, 7, 3, 2000000, 160000, false, 1,
              true, 480, 576, 72, 0, "disc1.bin disc1.cue tarvex-disc.log", "SVCD detected", 75},
        TCase{"dvd_pillarboxed_ac3", TDiscFormat::DVD, 8, 6, 3000000, 192000, true, 1, false, 720,
              576, 0, 8, "disc1.iso tarvex-disc.log", "Title: 01, Length: 00:00:12", 3},
        TCase{"ntsc_dvd_without_sound", TDiscFormat::DVD, 8, 6, 3000000, 192000, true, 1, false,
              720, 480, 0, 0, "disc1.iso tarvex-disc.log", "Title: 01, Length: 00:00:1", 3,
              TFilm::NtscSilent},
        TCase{"dv_bottom_first_dvd", TDiscFormat::DVD, 8, 6, 4000000, 192000, false, 1, true, 720,
              576, 0, 0, "disc1.iso tarvex-disc.log", "Title: 01, Length: 00:00:12", 3,
              TFilm::DvBottomFirst}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tarvex

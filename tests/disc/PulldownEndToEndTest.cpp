// NTSC film with 3:2 pulldown through the real tools: the step's command on an
// encoder's stream, and whole DVD and SVCD jobs read back the way players read them.
#include "disc/Pulldown.h"
#include "disc/Runner.h"
#include "tests/disc/DiscFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>

namespace tarvex {
namespace {

namespace fs = std::filesystem;

constexpr int FilmFrames = 144; ///< six seconds of film: 360 fields, 180 frames at 29.97
constexpr double FilmRate = 24000.0 / 1001;

/// What a command printed on its standard output.
std::string Output(const std::string& command) {
    std::string text;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 4096> buffer{};
    while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get())) text += buffer.data();
    return text;
}

/// The video of a file as players time it: the stream's stated rate, the repeat flags
/// of the pictures in display order, the playing time from their durations and the
/// most fields shown from one key frame to the next.
struct TTiming {
    std::string Rate;
    std::string Repeats; ///< one digit a picture
    double Seconds = 0;
    int MostGopFields = 0;
};

TTiming Timing(const std::string& file) {
    TTiming t;
    t.Rate = Output("ffprobe -v error -select_streams v -show_entries stream=avg_frame_rate "
                    "-of csv=p=0 '" +
                    file + "'");
    std::istringstream frames(Output("ffprobe -v error -select_streams v -show_entries "
                                     "frame=key_frame,repeat_pict,pkt_duration_time -of "
                                     "csv=p=0 '" +
                                     file + "'"));
    std::string line;
    int fields = 0;
    while (std::getline(frames, line)) {
        // key frame, duration, repeat; side data of a picture comes on lines of its own
        std::istringstream row(line);
        std::string key, seconds, repeat;
        if (!std::getline(row, key, ',') || !std::getline(row, seconds, ',') ||
            !std::getline(row, repeat, ',') || key.size() != 1 || repeat.size() != 1)
            continue;
        fields = key == "1" ? 0 : fields;
        fields += repeat == "1" ? 3 : 2;
        t.MostGopFields = std::max(t.MostGopFields, fields);
        t.Seconds += std::stod(seconds);
        t.Repeats += repeat;
    }
    return t;
}

/// Four film frames in display order: the first and third shown for three fields.
std::string Alternating(int frames) {
    std::string repeats;
    for (int i = 0; i < frames; ++i) repeats += i % 2 == 0 ? '1' : '0';
    return repeats;
}

class PulldownEndToEndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Dir = std::make_unique<TTempFolder>();
        fs::create_directories(TARVEX_DISC_FILMS);
        if (fs::exists(Film)) return;
        const std::string part = Film + ".part";
        testing::Shell("ffmpeg -nostdin -v error -y -f lavfi -i "
                       "'testsrc2=size=720x480:rate=24000/1001,noise=alls=12:allf=t' -f lavfi -i "
                       "'sine=frequency=440:sample_rate=48000' -frames:v " +
                       std::to_string(FilmFrames) +
                       " -t 6.006 -c:v mpeg4 -q:v 5 -c:a pcm_s16le -f avi '" + part + "'");
        fs::rename(part, Film);
    }
    static void TearDownTestSuite() { Dir.reset(); }

    /// NTSC film made into one disc of `format`, with its work files kept; `budget` is
    /// the disc's budget as the window counts it.
    static TMakeResult Make(TDiscFormat format, std::int8_t muxMode, std::int8_t authoring,
                            const std::string& name, TCDImage& budget) {
        budget =
            testing::Budget(format, {muxMode, authoring}, 6, 1, 192000, format == TDiscFormat::DVD);
        budget.SetFrameRate(23.976f);
        budget.SetFrames(FilmFrames);
        budget.SetPulldown(true);
        budget.SetGOPLength(18);
        budget.SetVideoRate(2500000);
        TDiscPlan plan = testing::Plan(format, Film, FilmFrames, budget);
        plan.SrcFrameRate = FilmRate;
        TPicturePlan& p = plan.Picture;
        p.SrcIsPAL = p.DestIsPAL = false;
        p.CropY = p.ResizeY = p.DestY = 480;
        const std::string out = *Dir / name;
        TMakeOptions options;
        options.KeepWork = true;
        return MakeDiscs(BuildJob(plan, out + "/.work", out), options);
    }

    static inline const std::string Film = TARVEX_DISC_FILMS "/ntsc-film-6s.avi";
    static inline std::unique_ptr<TTempFolder> Dir;
};

TEST_F(PulldownEndToEndTest, CommandFlagsAnEncodersStreamAndRefusesOthers) {
    const std::string film = *Dir / "film.m2v";
    const std::string flagged = *Dir / "flagged.m2v";
    ASSERT_EQ(testing::Shell("ffmpeg -nostdin -v error -y -i '" + Film +
                             "' -c:v mpeg2video -b:v 3M -g 12 -bf 2 -sc_threshold 1000000000 "
                             "-f mpeg2video '" +
                             film + "'"),
              0);
    const std::string run = "'" + PulldownProgram() + "' --pulldown ";
    EXPECT_EQ(Output(run + "'" + film + "' '" + flagged + "'"),
              "Wrote 144 film frames in 13 groups with 3:2 pulldown flags to " + flagged + ".\n");
    EXPECT_EQ(fs::file_size(flagged), fs::file_size(film));
    const TTiming t = Timing(flagged);
    EXPECT_EQ(t.Rate.substr(0, 11), "30000/1001,");
    EXPECT_EQ(t.Repeats, Alternating(FilmFrames));
    EXPECT_NEAR(t.Seconds, FilmFrames / FilmRate, 0.001);
    // Once flagged, the stream runs at 29.97 and is refused; the output is not left.
    const std::string again = *Dir / "again.m2v";
    EXPECT_EQ(Output(run + "'" + flagged + "' '" + again + "' 2>&1; echo $?"),
              "tarvex-cli: --pulldown: " + flagged +
                  ": The video runs at 29.97 frames a second, not at 23.976.\n1\n");
    EXPECT_FALSE(fs::exists(again));
}

TEST_F(PulldownEndToEndTest, DvdPlaysTheFilmFramesAt2997) {
    TCDImage budget;
    const TMakeResult result = Make(TDiscFormat::DVD, 8, 6, "dvd", budget);
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    EXPECT_EQ(result.Discs.at(0).VideoFrames, FilmFrames);
    const TTiming t = Timing(result.WorkDir + "/disc1.mpg");
    EXPECT_EQ(t.Rate.substr(0, 11), "30000/1001,");
    EXPECT_EQ(t.Repeats, Alternating(FilmFrames));
    EXPECT_NEAR(t.Seconds, FilmFrames / FilmRate, 0.001);
    // GOPs of 12 film frames show 30 fields, within the 18 frames a GOP may show. The
    // budget counts them; the encoder also makes the film's last frame a key frame.
    EXPECT_LE(t.MostGopFields, 36);
    EXPECT_EQ(budget.IFrames, 12u);
    EXPECT_EQ(Output("ffprobe -v error -select_streams v -show_entries frame=key_frame -of "
                     "csv=p=0 '" +
                     result.WorkDir + "/disc1.mpg' | grep -c '^1'"),
              "13\n");
    // 180 frames at 29.97 in the title's playing time.
    EXPECT_NE(
        Output("lsdvd '" + result.WorkDir + "/disc1_dvd' 2>/dev/null").find("Length: 00:00:06.000"),
        std::string::npos);
}

TEST_F(PulldownEndToEndTest, SvcdIsAuthoredFromTheFlaggedStream) {
    TCDImage budget;
    const TMakeResult result = Make(TDiscFormat::SVCD, 7, 3, "svcd", budget);
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    const TTiming t = Timing(result.WorkDir + "/disc1.mpg");
    EXPECT_EQ(t.Repeats, Alternating(FilmFrames));
    EXPECT_NEAR(t.Seconds, FilmFrames / FilmRate, 0.001);
    EXPECT_EQ(testing::Shell("vcd-info -t -c '" + result.Discs[0].Files[1] +
                             "' 2>&1 | grep -qF 'SVCD detected'"),
              0);
}

} // namespace
} // namespace tarvex

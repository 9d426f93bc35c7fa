// The source reader on real files made by ffmpeg, checked against what ffprobe reads.
#include "source/OpenSrc.h"

#include "common/Numeric.h"
#include "source/MediaProbe.h"
#include "source/QuickProbe.h"
#include "tests/source/SourceMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace tarvex {
namespace {

using testkit::AllMedia;
using testkit::TMedia;
using testkit::TMediaReader;

/// The first video stream's fields as ffprobe reports them, its frames counted.
std::map<std::string, std::string> Probe(const std::string& path) {
    const std::string out = testkit::Output(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,r_frame_rate,nb_read_frames,display_aspect_ratio,"
        "sample_aspect_ratio,codec_tag_string,field_order -of default=noprint_wrappers=1 '" +
        path + "'");
    std::map<std::string, std::string> fields;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

/// "30000/1001" or "16:9" as a fraction in lowest terms; "N/A" and "0:1" as unknown.
TRatio Ratio(const std::string& text) {
    const auto sep = text.find_first_of("/:");
    if (sep == std::string::npos || text == "N/A") return {};
    return TRatio{std::stoll(text.substr(0, sep)), std::stoll(text.substr(sep + 1))}.Reduced();
}

double RateOf(const std::string& text) {
    const TRatio r = Ratio(text);
    return static_cast<double>(static_cast<Real>(r.Num) / r.Den);
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

/// ffprobe writes a code's unprintable bytes as "[n]"; the AVI reader keeps the
/// code up to its first NUL byte, in upper case.
std::string AviCode(const std::string& tag) {
    std::string code;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        char c = tag[i];
        if (c == '[') {
            const auto close = tag.find(']', i);
            c = static_cast<char>(std::stoi(tag.substr(i + 1, close - i - 1)));
            i = close;
        }
        if (c == '\0') break;
        code += c;
    }
    return Upper(code);
}

/// The code the hint shows for a file that is not an AVI: the container's code
/// when it is printable, else the codec's short name.
std::string ProbedCode(const std::map<std::string, std::string>& p) {
    const std::string& tag = p.at("codec_tag_string");
    if (tag.find('[') == std::string::npos) return Upper(tag);
    const std::string& codec = p.at("codec_name");
    if (codec == "mpeg2video") return "MPG2";
    if (codec == "mpeg1video") return "MPG1";
    return Upper(codec);
}

TFieldOrder FieldOrderOf(const std::string& text) {
    if (text == "progressive") return TFieldOrder::Progressive;
    if (text == "tt" || text == "bt") return TFieldOrder::TopFirst;
    if (text == "bb" || text == "tb") return TFieldOrder::BottomFirst;
    return TFieldOrder::Unknown;
}

/// The MPEG aspect code that gives ffprobe's display or sample aspect.
int AspectCode(const std::map<std::string, std::string>& p) {
    if (p.at("sample_aspect_ratio") == "1:1") return 1;
    if (p.at("display_aspect_ratio") == "16:9") return 3;
    if (p.at("display_aspect_ratio") == "4:3") return 2;
    return 0;
}

class SourceMediaTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        HaveTools = testkit::HaveMediaTools();
        Files = std::make_unique<testkit::TMediaFolder>();
    }
    static void TearDownTestSuite() { Files.reset(); }

    void SetUp() override {
        if (!HaveTools) GTEST_FAIL() << testkit::MissingMediaTools;
        reader.ShowError = [this](const std::string& text) { shown.push_back(text); };
        // Facts of an earlier source: no reader may leave them standing.
        reader.Frame.FrameRate = 12.34;
        reader.Frame.FrameCount = 4321;
        reader.Frame.FourCC = "OLD1";
        reader.Frame.AspectCode = 9;
        reader.Frame.Vfapi = true;
    }

    /// The full name of a test file, made on first use in this run.
    static std::string Media(const std::string& name) { return (*Files)[name]; }

    static inline bool HaveTools = false;
    static inline std::unique_ptr<testkit::TMediaFolder> Files;

    TOpenSrcFile reader;
    std::vector<std::string> shown;
};

class ProbedMediaTest : public SourceMediaTest, public ::testing::WithParamInterface<TMedia> {};

TEST_P(ProbedMediaTest, ReaderAgreesWithFfprobe) {
    const TMedia& m = GetParam();
    const std::string path = Media(m.Name);
    const auto probe = Probe(path);
    ASSERT_TRUE(probe.count("width") && probe.count("nb_read_frames")) << "ffprobe read nothing";

    ASSERT_EQ(reader.OpenFiles({path}), 0);
    EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
    EXPECT_EQ(std::tuple(reader.Frame.Width, reader.Frame.Height, reader.Frame.FrameCount,
                         reader.Frame.Vfapi),
              std::tuple(std::stoi(probe.at("width")), std::stoi(probe.at("height")),
                         std::stoi(probe.at("nb_read_frames")), false));
    EXPECT_DOUBLE_EQ(reader.Frame.FrameRate, RateOf(probe.at("r_frame_rate")));
    if (m.Reader == TMediaReader::Avi) {
        EXPECT_EQ(reader.Frame.FourCC, AviCode(probe.at("codec_tag_string")));
        return;
    }
    EXPECT_EQ(reader.Frame.FourCC, ProbedCode(probe));
    const bool wide = probe.at("display_aspect_ratio") == "16:9";
    EXPECT_EQ(reader.Frame.Anamorphic, wide && probe.at("sample_aspect_ratio") != "1:1");
    if (m.Reader == TMediaReader::Mpeg) {
        EXPECT_EQ(reader.Frame.AspectCode, AspectCode(probe));
    }

    const TSourceFacts& f = reader.Facts;
    // MPEG-1 has no fields; ffprobe leaves its order open.
    const TFieldOrder order = probe.at("codec_name") == "mpeg1video"
                                  ? TFieldOrder::Progressive
                                  : FieldOrderOf(probe.at("field_order"));
    EXPECT_EQ(std::tuple(f.FrameRate, f.SampleAspect, f.DisplayAspect, f.FieldOrder, f.Codec),
              std::tuple(Ratio(probe.at("r_frame_rate")), Ratio(probe.at("sample_aspect_ratio")),
                         Ratio(probe.at("display_aspect_ratio")), order, probe.at("codec_name")));
}

class HandReaderTest : public SourceMediaTest, public ::testing::WithParamInterface<TMedia> {};

TEST_P(HandReaderTest, AgreesWithLibavformat) {
    const TMedia& m = GetParam();
    const std::string path = Media(m.Name);
    TMediaInfo quick, full;
    std::string reason;
    TProbeLimits throughLibav;
    throughLibav.ByHand = false;
    ASSERT_TRUE(ProbeMedia(path, full, reason, throughLibav)) << reason;
    // The common files are read by hand; the rest must be left to libavformat.
    ASSERT_EQ(QuickProbe(path, quick), m.Reader == TMediaReader::Quick);
    if (m.Reader == TMediaReader::Quick) {
        EXPECT_EQ(quick, full);
    }
}

std::string MediaName(const ::testing::TestParamInfo<TMedia>& info) {
    std::string name = info.param.Name;
    for (char& c : name)
        if (c == '.') c = '_';
    return name;
}

/// The files only the media probe reads.
std::vector<TMedia> ProbedMedia() {
    std::vector<TMedia> probed;
    for (const auto& m : AllMedia())
        if (m.Reader == TMediaReader::Quick || m.Reader == TMediaReader::Full) probed.push_back(m);
    return probed;
}

INSTANTIATE_TEST_SUITE_P(Files, ProbedMediaTest, ::testing::ValuesIn(AllMedia()), MediaName);
INSTANTIATE_TEST_SUITE_P(Files, HandReaderTest, ::testing::ValuesIn(ProbedMedia()), MediaName);

TEST_F(SourceMediaTest, KeyedProjectOverAnInterlacedVob) {
    const std::string vob = Media("pal_bff.vob");
    testkit::TKeyedProjectText p;
    p.Files = {vob};
    p.Set("Aspect_Ratio", "4:3").Set("Clipping", "0,0,8,8").Set("Picture_Size", "720x560");
    p.Data = {"900 5 0 0 0 0 0 92 a2 a2", "900 5 0 4096 0 0 0 92 a2 ff"};
    ASSERT_EQ(reader.OpenFiles({Files->Dir.Write("film.d2v", p.Text())}), 0);
    EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
    // The field order comes from the pictures of the MPEG file.
    EXPECT_EQ(std::tuple(reader.Frame.Width, reader.Frame.Height, reader.Frame.FrameRate,
                         reader.Frame.FrameCount, reader.Frame.AspectCode, reader.Frame.FourCC,
                         reader.Facts.FieldOrder),
              std::tuple(720, 560, 25.0, 5, 2, "MPG2", TFieldOrder::BottomFirst));
}

TEST_F(SourceMediaTest, FileOfAnotherKindThanItsNameIsProbed) {
    // A Matroska file named .avi and a transport stream named .vob.
    for (const auto& [made, renamed] :
         {std::pair{"pal_wide.mkv", "renamed.avi"}, std::pair{"ntsc_tff.ts", "renamed.vob"}}) {
        SCOPED_TRACE(renamed);
        const std::string path = (*Files).Dir / renamed;
        std::filesystem::copy_file(Media(made), path,
                                   std::filesystem::copy_options::overwrite_existing);
        const auto probe = Probe(path);
        ASSERT_EQ(reader.OpenFiles({path}), 0);
        EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
        EXPECT_EQ(std::tuple(reader.Frame.Height, reader.Frame.FrameCount, reader.Frame.FourCC),
                  std::tuple(std::stoi(probe.at("height")), std::stoi(probe.at("nb_read_frames")),
                             ProbedCode(probe)));
    }
}

TEST_F(SourceMediaTest, DamagedHeadersNeverReadOutside) {
    // Bytes changed and files cut short, in the files read by hand: each read
    // ends in a value or a refusal (the sanitizer build checks every access).
    std::mt19937 random(20240612);
    int read = 0;
    for (const char* name : {"pal_wide.mkv", "hd_film.mp4", "pal_wide.m2ts", "ntsc_tff.ts"}) {
        std::ifstream in(Media(name), std::ios::binary);
        const std::string whole((std::istreambuf_iterator<char>(in)), {});
        for (int round = 0; round < 150; ++round) {
            std::string bytes =
                whole.substr(0, round % 5 == 0 ? random() % whole.size() : whole.size());
            for (int n = 0; n < 1 + round % 8 && !bytes.empty(); ++n) {
                // Mostly in the headers, where the sizes and counts are.
                const std::size_t at = random() % std::min<std::size_t>(bytes.size(), 4096);
                bytes[at] = static_cast<char>(random());
            }
            const std::string path = Files->Dir.Write(std::string("damaged") + name, bytes);
            TMediaInfo info;
            if (QuickProbe(path, info)) {
                ++read;
                EXPECT_GT(info.Width, 0);
                EXPECT_GE(info.FrameCount, 0);
            }
        }
    }
    EXPECT_GT(read, 0); // some damage leaves the facts readable
}

TEST_F(SourceMediaTest, ProbeGivesUpAtItsTimeLimit) {
    TMediaInfo info;
    std::string reason;
    TProbeLimits limits;
    limits.ByHand = false;
    limits.TimeLimitUs = 0;
    EXPECT_FALSE(ProbeMedia(Media("ntsc.webm"), info, reason, limits));
    EXPECT_EQ(reason, "reading the file took too long");
}

TEST_F(SourceMediaTest, OpenDmlAviOverOneGigabyte) {
    // 45 frames of 3840 x 2160 uncompressed: past 1 GiB the file goes on in
    // "AVIX" lists, and only the stream header counts all frames.
    const std::string path = (*Files).Dir / "opendml.avi";
    ASSERT_EQ(testkit::Shell("timeout 300 ffmpeg -nostdin -v error -y -f lavfi -i "
                             "color=c=black:size=3840x2160:rate=25 -frames:v 45 "
                             "-c:v rawvideo -pix_fmt bgr24 '" +
                             path + "'"),
              0);
    ASSERT_GT(std::filesystem::file_size(path), std::uintmax_t{1} << 30);
    const int result = reader.OpenFiles({path});
    const auto probe = Probe(path);
    std::filesystem::remove(path);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(reader.Frame.Width, static_cast<std::int16_t>(3840));
    EXPECT_EQ(std::to_string(reader.Frame.FrameCount), probe.at("nb_read_frames"));
}

} // namespace
} // namespace tarvex

// The source reader on real files made by ffmpeg, checked against what ffprobe reads.
#include "source/OpenSrc.h"

#include "common/Numeric.h"
#include "tests/source/SourceMedia.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using testing::AllMedia;
using testing::TMedia;
using testing::TProject;

/// Runs a command and returns what it printed.
std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[512];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

/// The first video stream's fields as ffprobe reports them.
std::map<std::string, std::string> Probe(const std::string& path) {
    const std::string out =
        Capture("ffprobe -v error -select_streams v:0 -show_entries "
                "stream=width,height,r_frame_rate,nb_frames,display_aspect_ratio,"
                "sample_aspect_ratio,codec_tag_string -of default=noprint_wrappers=1 '" +
                path + "'");
    std::map<std::string, std::string> fields;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

/// "30000/1001" as a number.
double Fraction(const std::string& text) {
    const auto slash = text.find('/');
    const Real num = std::stold(text.substr(0, slash));
    const Real den = slash == std::string::npos ? 1 : std::stold(text.substr(slash + 1));
    return static_cast<double>(num / den);
}

/// ffprobe writes a code's unprintable bytes as "[n]"; the reader keeps the code up
/// to its first NUL byte, in upper case.
std::string FourCC(const std::string& tag) {
    std::string code;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        char c = tag[i];
        if (c == '[') {
            const auto close = tag.find(']', i);
            c = static_cast<char>(std::stoi(tag.substr(i + 1, close - i - 1)));
            i = close;
        }
        if (c == '\0') break;
        code += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return code;
}

/// The MPEG aspect code that gives ffprobe's display or sample aspect.
int AspectCode(const std::map<std::string, std::string>& p) {
    if (p.at("display_aspect_ratio") == "16:9") return 3;
    if (p.at("display_aspect_ratio") == "4:3") return 2;
    if (p.at("sample_aspect_ratio") == "1:1") return 1;
    return -1;
}

class SourceMediaTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        HaveTools = testing::HaveMediaTools();
        Files = std::make_unique<testing::TMediaFolder>();
    }
    static void TearDownTestSuite() { Files.reset(); }

    void SetUp() override {
        if (!HaveTools) GTEST_FAIL() << testing::MissingMediaTools;
        reader.ShowError = [this](const std::string& text) { shown.push_back(text); };
        model.SrcFrameRate = 12.34;
        model.SrcFrameCount = 4321;
        model.SrcFourCC = "OLD1";
    }

    /// The full name of a test file, made on first use in this run.
    static std::string Media(const std::string& name) { return (*Files)[name]; }

    static inline bool HaveTools = false;
    static inline std::unique_ptr<testing::TMediaFolder> Files;

    TResizeStruct model;
    TOpenSrcFile reader{model};
    std::vector<std::string> shown;
};

class ProbedMediaTest : public SourceMediaTest, public ::testing::WithParamInterface<TMedia> {};

TEST_P(ProbedMediaTest, ReaderAgreesWithFfprobe) {
    const TMedia& m = GetParam();
    const std::string path = Media(m.Name);
    const auto probe = Probe(path);
    ASSERT_TRUE(probe.count("width") && probe.count("height")) << "ffprobe read nothing";

    ASSERT_EQ(reader.OpenFiles({path}), 0);
    EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
    EXPECT_EQ(model.SrcResX, std::stoi(probe.at("width")));
    EXPECT_EQ(model.SrcResY, std::stoi(probe.at("height")));
    if (m.Mpeg) {
        EXPECT_EQ(model.SrcAspectCode, AspectCode(probe));
        EXPECT_EQ(model.SrcIsAnamorphic, AspectCode(probe) == 3);
        // An MPEG stream read directly gives neither frame rate nor count.
        EXPECT_EQ(model.SrcFrameRate, 12.34);
        EXPECT_EQ(model.SrcFrameCount, 4321);
        EXPECT_EQ(model.SrcFourCC, "OLD1");
    } else {
        EXPECT_DOUBLE_EQ(model.SrcFrameRate, Fraction(probe.at("r_frame_rate")));
        EXPECT_EQ(model.SrcFrameCount, std::stoi(probe.at("nb_frames")));
        EXPECT_EQ(model.SrcFourCC, FourCC(probe.at("codec_tag_string")));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ProbedMediaTest, ::testing::ValuesIn(AllMedia()),
                         [](const auto& info) {
                             std::string name = info.param.Name;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

TEST_F(SourceMediaTest, ProjectOverAnMpegFile) {
    const std::string mpeg = Media("ntsc_wide.m2v");
    const auto probe = Probe(mpeg);
    TProject p;
    p.Path = mpeg;
    p.Crop = "4,6,8,10,0";
    p.Rate = "29970";
    p.Frames = {"7 0 0 2 2 2", "7 0 1 2 2 9"};
    ASSERT_EQ(reader.OpenFiles({Files->Dir.Write("film.d2v", p.Text())}), 0);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(model.SrcResX, std::stoi(probe.at("width")) - 8 - 10);
    EXPECT_EQ(model.SrcResY, std::stoi(probe.at("height")) - 4 - 6);
    EXPECT_EQ(model.SrcFrameRate, 29.97);
    EXPECT_EQ(model.SrcFrameCount, 3);
    EXPECT_EQ(model.SrcAspectCode, 3);
    EXPECT_TRUE(model.SrcIsAnamorphic);
    EXPECT_EQ(model.SrcFourCC, "OLD1");
}

TEST_F(SourceMediaTest, ListOfAviFilesReadsTheFirst) {
    const std::string first = Media("mpeg4_film.avi");
    const std::string second = Media("dv_pal.avi");
    ASSERT_EQ(reader.OpenFiles({Files->Dir.Write("films.lst", first + "\r\n" + second + "\r\n")}),
              0);
    EXPECT_EQ(reader.FileNames, (std::vector<std::string>{first, second}));
    EXPECT_EQ(reader.FileType, ".avi");
    EXPECT_EQ(model.SrcResX, 720);
    EXPECT_EQ(model.SrcResY, 480);
    EXPECT_EQ(model.SrcFourCC, "FMP4");
}

TEST_F(SourceMediaTest, ListMixingAviAndMpegIsRefused) {
    const std::string avi = Media("dv_ntsc.avi");
    const std::string vob = Media("pal_wide.vob");
    EXPECT_EQ(reader.OpenFiles({avi, vob}), TOpenSrcFile::OpenMixedTypes);
    EXPECT_EQ(shown, std::vector<std::string>{"Some files are not the same type!"});
}

} // namespace
} // namespace tarvex

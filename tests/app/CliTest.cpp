// tarvex-cli run in-process: exit codes, stdout and stderr.
#include "app/cli/Cli.h"

#include "common/Numeric.h"

#include "tests/source/SourceMedia.h"
#include "tests/support/Films.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tarvex;

namespace {

/// A number as the window's captions show it: shortest form, no trailing zeros.
std::string Trimmed(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

class Cli : public ::testing::Test {
  protected:
    Cli() : Folder(Temp.Path), Ini(Temp / "Tarvex.ini") {}

    /// Runs the program with the test's settings file first.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", Ini});
        Out.str("");
        Err.str("");
        return RunCli(args, "tarvex-cli", Out, Err);
    }
    nlohmann::json Dump() { return nlohmann::json::parse(Out.str()); }
    /// Every JSON text the run printed, in order.
    std::vector<nlohmann::json> Outputs() {
        std::istringstream in(Out.str());
        std::vector<nlohmann::json> all;
        while ((in >> std::ws).peek() != EOF) in >> all.emplace_back();
        return all;
    }

    TTempFolder Temp;
    std::filesystem::path Folder;
    std::string Ini;
    std::ostringstream Out, Err;
};

TEST_F(Cli, HelpAndVersion) {
    EXPECT_EQ(RunCli({"--version"}, "tarvex-cli", Out, Err), 0);
    EXPECT_EQ(Out.str(), "tarvex-cli " TARVEX_VERSION "\n");
    Out.str("");
    EXPECT_EQ(RunCli({"--help"}, "tarvex-cli", Out, Err), 0);
    EXPECT_EQ(Out.str().rfind("Usage: tarvex-cli", 0), 0u);
    EXPECT_NE(Out.str().find("Example:"), std::string::npos);
    EXPECT_EQ(Err.str(), "");
}

// A disc that cannot be planned or that no player accepts: nothing is run, nothing is written.
TEST_F(Cli, MakeDiscSaysWhyItCannotStart) {
    EXPECT_EQ(Run({"--make-disc", (Folder / "discs").string()}), 1);
    EXPECT_EQ(Err.str(), "tarvex-cli: --make-disc: No source film is open.\n");
    EXPECT_EQ(Out.str(), "");
    // A DVD row with the SVCD picture and a GOP of 20 frames: refused, with the fixes.
    EXPECT_EQ(Run({"--select", "CDTypeBox=7", "--up", "GOPUpDown=5", "--make-disc",
                   (Folder / "discs").string()}),
              1);
    for (const char* said : {"tarvex-cli: --make-disc: refused: A DVD needs a DVD picture",
                             "tarvex-cli: --make-disc: fix: --select DestAspectBox=0\n",
                             "tarvex-cli: --make-disc: fix: --down GOPUpDown=5\n"})
        EXPECT_NE(Err.str().find(said), std::string::npos) << Err.str();
    EXPECT_FALSE(std::filesystem::exists(Folder / "discs"));
}

// The report says in plain names what the window's fields show.
TEST_F(Cli, ReportAgreesWithTheWindow) {
    // The last step makes the image larger than the disc: a warning.
    ASSERT_EQ(Run({"--check", "SrcAnamorphic=0", "--up", "CDNrUpDown", "--select", "Audio2kbps=3",
                   "--up", "VideoUpDown10", "--dump", "--report"}),
              0)
        << Err.str();
    const auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    const auto &dump = outputs[0], &report = outputs[1];
    const auto number = [&](const char* control) {
        return std::stod(dump[control]["Text"].get<std::string>());
    };
    const auto& geometry = report["geometry"];
    const auto& budget = report["budget"];
    const std::pair<nlohmann::json, const char*> shownIn[] = {
        {geometry["crop"]["width"], "CropXEdit"},
        {geometry["crop"]["height"], "CropYEdit"},
        {geometry["resize"]["width"], "ResizeXEdit"},
        {geometry["resize"]["height"], "ResizeYEdit"},
        {geometry["destination"]["size"]["height"], "DestYEdit"},
        {geometry["filmArea"]["top"], "BorderTopEdit"},
        {budget["videoKbps"], "Videokbps"},
        {budget["discs"], "EditCDNr"},
        {budget["imageBlocksPerDisc"], "EditImageBlocks"}};
    for (const auto& [value, control] : shownIn) EXPECT_EQ(value, number(control)) << control;
    EXPECT_EQ(geometry["destination"]["kind"], dump["DestAspectBox"]["Text"]);
    EXPECT_EQ(dump["ErrLabel"]["Caption"],
              "error: " + Trimmed(geometry["aspectErrorPercent"].get<double>()) + "%");
    const int top = geometry["borders"]["top"], bottom = geometry["borders"]["bottom"];
    EXPECT_EQ(top + bottom + geometry["resize"]["height"].get<int>(), number("DestYEdit"));

    EXPECT_EQ(budget["audioKbps"], nlohmann::json({160, 56}));
    EXPECT_EQ(budget["discs"], 2);
    EXPECT_LE(budget["videoKbpsLimits"]["min"], budget["videoKbpsLimits"]["max"]);
    EXPECT_EQ(report["script"], dump["AVSMemo"]["Lines"]);
    EXPECT_EQ(report["source"]["kind"], dump["SrcAspectBox"]["Text"]);
    ASSERT_FALSE(report["warnings"].empty());
    ASSERT_EQ(report["warnings"].size(), dump["Warnings"].size());
    for (std::size_t i = 0; i < dump["Warnings"].size(); ++i)
        EXPECT_EQ(report["warnings"][i], dump["Warnings"][i]["Text"]);
}

// Unknown options and controls stop the run before any action; a range or a state
// is judged when the action's turn comes, after the actions before it.
TEST_F(Cli, UsageErrorsStopTheRun) {
    const std::pair<std::vector<std::string>, const char*> rows[] = {
        {{"--click", "NoSuchButton"}, "there is no control named \"NoSuchButton\""},
        {{"--check", "EditMin=1"}, "EditMin is not a check box"},
        {{"--type", "SrcAspectBox=1"}, "SrcAspectBox is not an edit"},
        {{"--select", "DestAspectBox=x"}, "is not a whole number"},
        {{"--select", "DestAspectBox=9"}, "the index must lie in 0..7"},
        {{"--select", "MuxModeBox=9"}, "the index must lie in 0..8"},
        {{"--check", "SrcPALBox=2"}, "the state must be 0 or 1"},
        {{"--slide", "RoundXCrop=6"}, "the position must lie in 0..5"},
        {{"--up", "MinUpDown=0"}, "COUNT must be 1 or more"},
        {{"--type", "EditMin"}, "expected NAME=TEXT"},
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"--open"}, "--open needs a value"},
        {{"--type", "SrcRateEdit=5"}, "SrcRateEdit: the control is disabled or hidden"},
    };
    for (const auto& [args, message] : rows) {
        const bool atItsTurn = std::strstr(message, "must lie") || std::strstr(message, "hidden");
        std::filesystem::remove(Folder / "x.avs");
        std::vector<std::string> all = {"--save", (Folder / "x.avs").string(), "--dump"};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(Run(all), 2) << message;
        EXPECT_EQ(Out.str().empty(), !atItsTurn) << message;
        EXPECT_NE(Err.str().find(message), std::string::npos) << Err.str();
        const std::string err = Err.str();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(std::filesystem::exists(Folder / "x.avs"), atItsTurn) << message;
    }
}

// The dump carries every kind of property; the example's numbers are the form's to check.
TEST_F(Cli, DumpShowsTheSvcdExample) {
    ASSERT_EQ(Run({"--check", "SrcAnamorphic=0", "--dump"}), 0) << Err.str();
    const auto j = Dump();
    EXPECT_EQ(j["Caption"], "Tarvex v1.0.0");
    EXPECT_EQ(j["ResizeYEdit"]["Text"], "416");
    EXPECT_EQ(j["Label57"]["Caption"], "= block optimized");
    EXPECT_EQ(j["ErrLabel"]["FontColour"], "black");
    EXPECT_EQ(j["AVSMemo"]["Lines"][3], "BicubicResize(448,416,0,0.6,8,70,704,436)");
    EXPECT_EQ(j["SrcAnamorphic"]["Checked"], false);
    EXPECT_EQ(j["MuxModeBox"]["Items"].size(), 9u);
    EXPECT_EQ(j["SrcRateEdit"]["Visible"], false);
    EXPECT_EQ(j["Messages"], nlohmann::json::array());
}

// The script printed line by line is the one the dump shows; its lines are the form's to check.
TEST_F(Cli, ScriptPrintsTheScriptBox) {
    ASSERT_EQ(Run({"--check", "SrcAnamorphic=0", "--dump"}), 0) << Err.str();
    const auto dump = Dump();
    std::string expected;
    for (const auto& line : dump["AVSMemo"]["Lines"]) expected += line.get<std::string>() + "\n";
    ASSERT_EQ(Run({"--check", "SrcAnamorphic=0", "--script"}), 0) << Err.str();
    EXPECT_EQ(Out.str(), expected);
}

// Typed text goes key by key through each field's filter and length; an empty text clears it.
TEST_F(Cli, TypeGoesKeyByKey) {
    ASSERT_EQ(Run({"--dump"}), 0);
    auto expected = Dump();
    ASSERT_EQ(Run({"--type", "SrcPixelXEdit=", "--type", "SrcPixelYEdit=4-3.6abc12345", "--dump"}),
              0);
    // A non-number leaves the film width: the window is otherwise unchanged.
    expected["SrcPixelXEdit"]["Text"] = "";
    expected["SrcPixelYEdit"]["Text"] = "4361";
    EXPECT_EQ(Dump(), expected);
}

// The script is saved with the default extension; a message box means exit code 1.
TEST_F(Cli, SavesTheScriptOrSaysWhyNot) {
    ASSERT_EQ(Run({"--save", (Folder / "film").string()}), 0) << Err.str();
    EXPECT_TRUE(std::filesystem::exists(Folder / "film.avs"));
    EXPECT_EQ(Run({"--save", (Folder / "missing" / "x.avs").string(), "--dump"}), 1);
    EXPECT_NE(Err.str().find("Error: Cannot create file"), std::string::npos);
    ASSERT_EQ(Dump()["Messages"].size(), 1u);
}

// Read from the named file; never written, not even when it is missing, nor deleted.
TEST_F(Cli, ReadsTheNamedSettingsFileButNeverWritesIt) {
    ASSERT_EQ(Run({"--select", "DestAspectBox=0"}), 0);
    EXPECT_FALSE(std::filesystem::exists(Ini));
    const std::string settings =
        "[Global]\r\nVersion=0.9\r\n[Resolution]\nDestAspectBox=6\nDestIsPAL=0\n";
    std::ofstream(Ini) << settings;
    ASSERT_EQ(Run({"--dump"}), 0);
    const auto j = Dump();
    EXPECT_EQ(j["DestXEdit"]["Text"].get<std::string>() + "x" +
                  j["DestYEdit"]["Text"].get<std::string>(),
              "352x240");
    std::ifstream in(Ini);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), settings);
}

TEST_F(Cli, ActionsAndOutputsTakeTurns) {
    ASSERT_EQ(Run({"--dump", "--select", "DestAspectBox=0", "--dump"}), 0);
    const auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0]["DestXEdit"]["Text"], "480");
    EXPECT_EQ(outputs[1]["DestXEdit"]["Text"], "720");
    // A control disabled by an earlier action is refused when its turn comes.
    EXPECT_EQ(Run({"--select", "DestAspectBox=7", "--check", "DestAnamorphic=1"}), 2);
    EXPECT_EQ(Err.str(), "tarvex-cli: --check DestAnamorphic: the control is disabled or hidden\n");
    // ...and one shown by an earlier action is taken, with a fresh settings file.
    ASSERT_EQ(Run({"--select", "MuxModeBox=8", "--check", "AC3Box=1", "--dump"}), 0) << Err.str();
    EXPECT_EQ(Dump()["AC3Box"]["Checked"], true);
}

// --open with real source files.

namespace tt = tarvex::testkit;

class CliSource : public Cli {
  protected:
    static void SetUpTestSuite() { Media = std::make_unique<tt::TMediaFolder>(); }
    static void TearDownTestSuite() { Media.reset(); }
    void SetUp() override {
        if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (Folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static inline std::unique_ptr<tt::TMediaFolder> Media;
};

// What each file sets is the form's to check; here one file through --open, --dump and --report.
TEST_F(CliSource, OpenFillsTheDumpAndTheReport) {
    const std::string file = (*Media)["dv_pal.avi"];
    ASSERT_EQ(Run({"--open", file, "--dump"}), 0) << Err.str();
    EXPECT_EQ(Err.str(), "");
    EXPECT_EQ(Dump()["AVSMemo"]["Lines"][2], "AviSource(\"" + file + "\")");
    ASSERT_EQ(Run({"--open", file, "--report"}), 0);
    const auto source = nlohmann::json::parse(Out.str())["source"];
    EXPECT_EQ(source["file"], file);
    EXPECT_EQ(source["size"], nlohmann::json({{"width", 720}, {"height", 576}}));
    EXPECT_EQ(source["frameRate"], 25.0);
    EXPECT_EQ(source["frames"], 3);
}

// A broken file is reported (exit code 1, the message on stderr) and the actions
// after it still work. Which file gives which message is the reader's to check.
TEST_F(CliSource, BrokenFileIsReportedAndLaterActionsWork) {
    std::ifstream dv((*Media)["dv_pal.avi"], std::ios::binary);
    const std::string dvBytes(std::istreambuf_iterator<char>(dv), {});
    const std::string cutAvi = Write("cut.avi", dvBytes.substr(0, 100));
    const std::pair<std::string, std::string> rows[] = {
        {cutAvi, "Given avi-file is broken!\r\nCan't find a video-stream in file: " + cutAvi},
        {(Folder / "none.avi").string(), "Can't find file: " + (Folder / "none.avi").string()},
    };
    const std::string good = (*Media)["mpeg4_ntsc.avi"];
    for (const auto& [file, message] : rows) {
        EXPECT_EQ(Run({"--open", file, "--open", good, "--type", "SrcPixelYEdit=400", "--dump"}), 1)
            << file;
        std::string line = message;
        std::replace(line.begin(), line.end(), '\r', ' ');
        std::replace(line.begin(), line.end(), '\n', ' ');
        EXPECT_EQ(Err.str(), "Error: " + line + "\n");
        const auto j = Dump();
        EXPECT_EQ(j["Messages"], nlohmann::json::array({message}));
        EXPECT_EQ(j["SrcYEdit"]["Text"], "480") << file;
        EXPECT_EQ(j["SrcPixelYEdit"]["Text"], "400") << file;
        EXPECT_EQ(j["AVSMemo"]["Lines"][2], "AviSource(\"" + good + "\")");
    }
}

struct TMadeDiscCase {
    const char* Name;
    std::vector<std::string> Actions; ///< after the film is opened, before --make-disc
    int ExitCode;
    std::vector<std::string> Said; ///< on stdout or stderr
    std::string FirstLine;         ///< how the report begins
};

class CliMakeDisc : public CliSource, public ::testing::WithParamInterface<TMadeDiscCase> {};

// A 640x480 MPEG-2 film stating 4:3 (square pixels), with 5.1 sound, made into an NTSC
// DVD by the real tools: the disc shows it at 4:3 and its AC-3 keeps the six channels.
// With the disc's room taken by other data the image is made but does not fit: an error.
TEST_P(CliMakeDisc, MakesTheDiscOrSaysWhyItFailed) {
    const TMadeDiscCase& c = GetParam();
    const std::string film = (Folder / "film.mpg").string();
    ASSERT_EQ(tt::Shell("ffmpeg -nostdin -v error -y -f lavfi -i "
                        "testsrc2=s=640x480:r=30000/1001:d=3 -f lavfi -i sine=d=3 -c:v "
                        "mpeg2video -b:v 4M -aspect 4:3 -c:a ac3 -ac 6 '" +
                        film + "'"),
              0);
    std::vector<std::string> args = {
        "--open",       film,       "--select",       "CDTypeBox=5", "--select",
        "MuxModeBox=8", "--select", "AuthoringBox=6", "--select",    "DestAspectBox=0"};
    args.insert(args.end(), c.Actions.begin(), c.Actions.end());
    args.insert(args.end(), {"--make-disc", (Folder / "discs").string()});
    EXPECT_EQ(Run(args), c.ExitCode) << Err.str();
    EXPECT_EQ(Out.str().rfind(c.FirstLine, 0), 0u) << Out.str();
    for (const std::string& said : c.Said)
        EXPECT_NE((Out.str() + Err.str()).find(said), std::string::npos) << said << '\n'
                                                                         << Out.str() << Err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CliMakeDisc,
    ::testing::Values(
        TMadeDiscCase{"stated_aspect_kept",
                      {"--select", "RateModeBox=1"},
                      0,
                      {"read back: video: mpeg2video, 720x480, display aspect 4:3, field order "
                       "progressive, 90 pictures (planned 90)",
                       "audio stream 1: ac3, 48000 Hz, 6 channels"},
                      "Made 1 disc image"},
        TMadeDiscCase{"image_larger_than_the_disc",
                      {"--type", "EditExtraDataKB=2546000", "--type", "Videokbps=3000"},
                      1,
                      {"  does NOT fit the disc of 1273349 blocks",
                       "tarvex-cli: --make-disc: The image of disc 1 does not fit its disc"},
                      "The image of disc 1 does not fit its disc"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace

// --detect on films with known black borders.
class CliDetect : public Cli {
  protected:
    static std::string Film(const std::string& name) { return tt::Film(name); }
};

TEST_F(CliDetect, TypesTheFilmAreaAsTheUserWould) {
    tt::TProject project;
    project.Path = Film("letterbox.vob");
    project.Crop = "4,6,8,8,0"; // top, bottom, left, right
    const std::string d2v = Temp.Write("cropped.d2v", project.Text());
    // The film area's width, height, left and top, its aspect, the button's caption.
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {Film("asymmetric.mpg"), {"688", "420", "10", "100", "= 1.6381", "Detect"}},
        {Film("pillarbox.avi"), {"540", "480", "90", "0", "= 1.0253", "Detect"}},
        // MPEG films keep the square pixels of their aspect code 1 (ffmpeg's), so the
        // aspect is the area's own. The project's frames are cut first: the area lies
        // in the frame it shows.
        {d2v, {"704", "436", "0", "66", "= 1.6147", "Detect"}},
    };
    for (const auto& [file, expected] : rows) {
        ASSERT_EQ(Run({"--open", file, "--detect", "--dump"}), 0) << Err.str();
        // At most one line per ten per cent, rising, ending at 100 %. The worker's news
        // is taken when the loop gets to it, so a step may be passed over.
        std::istringstream lines(Err.str());
        std::vector<int> tens;
        for (std::string line; std::getline(lines, line);) {
            ASSERT_TRUE(line.starts_with("Detect: ") && line.ends_with("%")) << line;
            tens.push_back(std::stoi(line.substr(8)) / 10);
        }
        ASSERT_FALSE(tens.empty());
        EXPECT_TRUE(std::is_sorted(tens.begin(), tens.end()) &&
                    std::adjacent_find(tens.begin(), tens.end()) == tens.end())
            << Err.str();
        EXPECT_EQ(tens.back(), 10) << Err.str();
        const auto j = Dump();
        const std::vector<std::string> shown = {
            j["SrcPixelXEdit"]["Text"], j["SrcPixelYEdit"]["Text"], j["BorderLeftEdit"]["Text"],
            j["BorderTopEdit"]["Text"], j["Label13"]["Caption"],    j["DetectBtn"]["Caption"]};
        EXPECT_EQ(shown, expected) << file;
    }
}

// An area the film-pixel fields would refuse is said, not typed: the plan keeps its area.
TEST_F(CliDetect, AnAreaTooSmallToPlanIsSaid) {
    const std::string film = (Temp.Path / "strip.mpg").string();
    ASSERT_TRUE(tt::MakeFilm({"strip.mpg", 720, 576, {720, 96, 0, 240}}, film));
    EXPECT_EQ(Run({"--open", film, "--detect", "--dump"}), 1);
    EXPECT_EQ(Dump()["Messages"],
              nlohmann::json::array({"The film area found in " + film +
                                     " (720 x 96) is smaller than the 128 x "
                                     "128 pixels a film needs to be planned."}));
    EXPECT_EQ(Dump()["SrcPixelYEdit"]["Text"], "576");
}

TEST_F(CliDetect, WithoutASourceOrFramesTheUserIsTold) {
    EXPECT_EQ(Run({"--detect", "--dump"}), 1);
    EXPECT_EQ(Dump()["Messages"][0], "Open a source first: its frames show the film area.");
    // A project whose MPEG file is a sequence header of 720 x 576 and no picture.
    const std::string empty = Temp.Write(
        "empty.m2v", std::string("\x00\x00\x01\xB3\x2D\x02\x40\x23\xFF\xFF\xE0\x00", 12));
    tt::TProject project;
    project.Path = empty;
    const std::string d2v = Temp.Write("empty.d2v", project.Text());
    EXPECT_EQ(Run({"--open", d2v, "--detect", "--dump"}), 1);
    const auto j = Dump();
    ASSERT_EQ(j["Messages"].size(), 1u) << Err.str();
    EXPECT_NE(j["Messages"][0].get<std::string>().find(empty), std::string::npos);
    EXPECT_EQ(j["SrcPixelXEdit"]["Text"], "720");
    EXPECT_EQ(j["DetectBtn"]["Caption"], "Detect");
}

namespace {

// Which warnings arise is the form's to check, how the disc fills the model's; here both reach
// the dump.
TEST_F(Cli, WarningsAndDiscFillInTheDump) {
    ASSERT_EQ(Run({"--up", "VideoUpDown10", "--dump"}), 0) << Err.str();
    const auto j = Dump();
    ASSERT_EQ(j["Warnings"].size(), 1u);
    EXPECT_EQ(j["Warnings"][0]["Code"], "DiscOverfilled");
    EXPECT_EQ(j["Warnings"][0]["Concerns"], "EditImageBlocks");
    const auto& fill = j["DiscFill"];
    std::int64_t total = 0;
    for (const auto& part : fill["Parts"]) total += part["Blocks"].get<std::int64_t>();
    EXPECT_EQ(total, fill["ImageBlocks"].get<std::int64_t>()); // overfilled: the image is larger
    EXPECT_GT(fill["ImageBlocks"].get<std::int64_t>(), fill["BlocksUsable"].get<std::int64_t>());
}

TEST_F(Cli, CandidatesAgreeWithTheWindow) {
    ASSERT_EQ(Run({"--candidates", "--dump"}), 0) << Err.str();
    const auto outputs = Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    const auto &candidates = outputs[0], &dump = outputs[1];
    int current = 0;
    for (const auto& c : candidates["Candidates"]) {
        if (!c["Current"]) continue;
        ++current;
        EXPECT_EQ(std::to_string(c["Width"].get<int>()), dump["ResizeXEdit"]["Text"]);
        EXPECT_EQ(std::to_string(c["Height"].get<int>()), dump["ResizeYEdit"]["Text"]);
        EXPECT_EQ(dump["ErrLabel"]["Caption"],
                  "error: " + FloatToStr(c["AspectError"].get<double>(), '.') + "%");
        EXPECT_TRUE(c["Suggested"]);
    }
    EXPECT_EQ(current, 1);
}

} // namespace

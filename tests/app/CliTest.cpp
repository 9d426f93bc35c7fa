// tarvex-cli run in-process: exit codes, stdout and stderr.
#include "app/cli/Cli.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace tarvex;

namespace {

class Cli : public ::testing::Test {
  protected:
    Cli() {
        Folder = std::filesystem::temp_directory_path() /
                 ("tarvex-cli-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(Folder);
        Ini = (Folder / "Tarvex.ini").string();
    }
    ~Cli() override { std::filesystem::remove_all(Folder); }

    /// Runs the program with the test's settings file first.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", Ini});
        Out.str("");
        Err.str("");
        return RunCli(args, "tarvex-cli", Out, Err);
    }
    nlohmann::json Dump() { return nlohmann::json::parse(Out.str()); }

    std::filesystem::path Folder;
    std::string Ini;
    std::ostringstream Out, Err;
};

TEST_F(Cli, HelpExplainsWithAnExample) {
    EXPECT_EQ(RunCli({"--help"}, "tarvex-cli", Out, Err), 0);
    EXPECT_NE(Out.str().find("Usage: tarvex-cli"), std::string::npos);
    EXPECT_NE(Out.str().find("Example:"), std::string::npos);
    EXPECT_EQ(Err.str(), "");
}

TEST_F(Cli, UsageErrorsStopBeforeAnyAction) {
    const std::pair<std::vector<std::string>, const char*> rows[] = {
        {{"--click", "NoSuchButton"}, "there is no control named \"NoSuchButton\""},
        {{"--check", "EditMin=1"}, "EditMin is not a check box"},
        {{"--type", "SrcAspectBox=1"}, "SrcAspectBox is not an edit"},
        {{"--select", "DestAspectBox=x"}, "is not a whole number"},
        {{"--select", "DestAspectBox=9"}, "the index must lie in 0..7"},
        {{"--select", "MuxModeBox=5"}, "the index must lie in 0..4"},
        {{"--check", "SrcPALBox=2"}, "the state must be 0 or 1"},
        {{"--slide", "RoundXCrop=6"}, "the position must lie in 0..5"},
        {{"--up", "MinUpDown=0"}, "COUNT must be 1 or more"},
        {{"--type", "EditMin"}, "expected NAME=TEXT"},
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"--open"}, "--open needs a value"},
    };
    for (const auto& [args, message] : rows) {
        std::vector<std::string> all = {"--save", (Folder / "x.avs").string(), "--dump"};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(Run(all), 2) << message;
        EXPECT_EQ(Out.str(), "") << message;
        EXPECT_NE(Err.str().find(message), std::string::npos) << Err.str();
        const std::string err = Err.str();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(std::filesystem::exists(Folder / "x.avs")) << message;
    }
}

TEST_F(Cli, ReproducesTheSvcdExample) {
    ASSERT_EQ(Run({"--check", "SrcAnamorphic=0", "--dump"}), 0) << Err.str();
    const auto j = Dump();
    EXPECT_EQ(j["Caption"], "Tarvex v1.0.0");
    EXPECT_EQ(j["ResizeXEdit"]["Text"], "448");
    EXPECT_EQ(j["ResizeYEdit"]["Text"], "416");
    EXPECT_EQ(j["Label57"]["Caption"], "= block optimized");
    EXPECT_EQ(j["CropXEdit"]["Text"], "704");
    EXPECT_EQ(j["CropYEdit"]["Text"], "436");
    EXPECT_EQ(j["Label17"]["Caption"], "= 1.7665");
    EXPECT_EQ(j["ErrLabel"]["Caption"], "error: -0.04%");
    EXPECT_EQ(j["ErrLabel"]["FontColour"], "black");
    EXPECT_EQ(j["AVSMemo"]["Lines"][3], "BicubicResize(448,416,0,0.6,8,70,704,436)");
    EXPECT_EQ(j["AVSMemo"]["Lines"][4], "AddBorders(16,80,16,80)");
    EXPECT_EQ(j["SrcAnamorphic"]["Checked"], false);
    EXPECT_EQ(j["MuxModeBox"]["Items"].size(), 5u);
    EXPECT_EQ(j["SrcRateEdit"]["Visible"], false);
    EXPECT_EQ(j["Messages"], nlohmann::json::array());
}

TEST_F(Cli, ReproducesTheNtscExampleAndPrintsTheScript) {
    ASSERT_EQ(Run({"--check", "SrcPALBox=0", "--type", "SrcYEdit=480", "--type",
                   "SrcPixelYEdit=480", "--select", "DestAspectBox=0", "--check", "DestPALBox=0",
                   "--down", "TVBorderUpDown=2", "--slide", "OptPosSlider=2", "--script"}),
              0)
        << Err.str();
    std::vector<std::string> lines;
    std::istringstream in(Out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[3], "BicubicResize(720,368,0,0.6,8,0,704,480)");
    EXPECT_EQ(lines[4], "AddBorders(0,48,0,64)");
}

TEST_F(Cli, TypingAnEmptyTextClearsTheField) {
    ASSERT_EQ(Run({"--dump"}), 0);
    const auto before = Dump();
    ASSERT_EQ(Run({"--type", "SrcPixelXEdit=", "--dump"}), 0);
    const auto j = Dump();
    EXPECT_EQ(j["SrcPixelXEdit"]["Text"], "");
    // A non-number leaves the film width: the window is otherwise unchanged.
    auto expected = before;
    expected["SrcPixelXEdit"]["Text"] = "";
    EXPECT_EQ(j, expected);
}

TEST_F(Cli, DigitFilterAndMaxLengthApplyToTypedText) {
    ASSERT_EQ(Run({"--type", "SrcPixelYEdit=4-3.6abc12345", "--dump"}), 0);
    EXPECT_EQ(Dump()["SrcPixelYEdit"]["Text"], "4361");
}

TEST_F(Cli, AMessageBoxMeansExitOne) {
    const std::string file = (Folder / "missing" / "x.avs").string();
    EXPECT_EQ(Run({"--save", file, "--dump"}), 1);
    EXPECT_NE(Err.str().find("Error: Cannot create file"), std::string::npos);
    ASSERT_EQ(Dump()["Messages"].size(), 1u);
}

TEST_F(Cli, SavesTheScriptWithTheDefaultExtension) {
    ASSERT_EQ(Run({"--save", (Folder / "film").string()}), 0) << Err.str();
    EXPECT_TRUE(std::filesystem::exists(Folder / "film.avs"));
}

TEST_F(Cli, NeverWritesOrDeletesTheSettingsFile) {
    ASSERT_EQ(Run({"--select", "DestAspectBox=0"}), 0);
    EXPECT_FALSE(std::filesystem::exists(Ini));
    std::ofstream(Ini) << "[Global]\r\nVersion=0.9\r\n";
    ASSERT_EQ(Run({"--dump"}), 0);
    std::ifstream in(Ini);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[Global]\r\nVersion=0.9\r\n");
}

TEST_F(Cli, ReadsTheNamedSettingsFile) {
    std::ofstream(Ini) << "[Resolution]\nDestAspectBox=6\nDestIsPAL=0\n";
    ASSERT_EQ(Run({"--dump"}), 0);
    const auto j = Dump();
    EXPECT_EQ(j["DestXEdit"]["Text"], "352");
    EXPECT_EQ(j["DestYEdit"]["Text"], "240");
}

TEST_F(Cli, ARefusedActionOnADisabledControlIsAUsageError) {
    EXPECT_EQ(Run({"--select", "DestAspectBox=7", "--check", "DestAnamorphic=1"}), 2);
    EXPECT_NE(Err.str().find("disabled"), std::string::npos);
}

} // namespace

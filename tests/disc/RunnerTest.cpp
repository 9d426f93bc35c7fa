// The disc maker's failure paths, with the real tools: a missing tool, too little
// space, a step that fails, a full disk and a cancel; and its progress.
#include "disc/Runner.h"

#include "disc/Process.h"
#include "tests/support/DiscPlans.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <utility>

namespace tarvex {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;

/// A job of one disc whose steps are given; its image is `made.bin` when the steps
/// write it.
TDiscJob OneDisc(const TTempFolder& dir, std::vector<TStep> steps) {
    TDiscJob job;
    job.WorkDir = dir / "work";
    job.OutDir = dir / "out";
    TDiscPart part;
    part.VideoFile = "made.bin";
    part.MuxFile = "made.bin";
    part.Steps = std::move(steps);
    part.Images = {{"made.bin", job.OutDir + "/disc1.bin"}};
    job.Parts = {part};
    return job;
}

/// A step of the job that is shown as `title`.
TStep Step(const std::string& title, std::vector<std::string> args, std::int64_t frames = 0) {
    return {title, std::move(args), {}, frames, 1, {}};
}

/// A step of ffmpeg making `seconds` of a small test picture into `output`.
TStep Picture(double seconds, const std::string& output, std::int64_t frames = 0) {
    return Step("Disc 1: test picture",
                {"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                 "testsrc=size=160x120:rate=25:duration=" + std::to_string(seconds), "-f",
                 "rawvideo", output},
                frames);
}

/// What the output folder holds besides the log, and whether a work folder is left.
std::vector<std::string> Made(const TDiscJob& job) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::path(job.OutDir)))
        if (e.path().filename() != "tarvex-disc.log") names.push_back(e.path().filename());
    for (const auto& e : fs::directory_iterator(fs::path(job.WorkDir).parent_path()))
        if (e.path().filename().string().starts_with("work")) names.push_back("work folder left");
    return names;
}

const std::vector<std::string> Nothing;

std::string Log(const TMakeResult& result) {
    std::ifstream in(result.LogFile);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FindProgramTest, LooksThroughTheSearchPath) {
    const TTempFolder dir;
    const std::string tool = dir.Write("tool", "#!/bin/sh\n");
    EXPECT_EQ(FindProgram("tool", "/nonexistent:" + dir.Path.string()), "");
    fs::permissions(tool, fs::perms::owner_all);
    EXPECT_EQ(FindProgram("tool", "/nonexistent:" + dir.Path.string()), tool);
    EXPECT_EQ(FindProgram(tool, ""), tool);
    EXPECT_EQ(FindProgram("tool", "/nonexistent"), "");
    EXPECT_EQ(FindProgram("", dir.Path.string()), "");
}

TEST(MakeDiscsTest, MissingToolsAreNamedWithTheirPackages) {
    const TTempFolder dir;
    const TCDImage budget = testkit::Budget(TDiscFormat::DVD, {5, 4}, 600, 10, 192000);
    const TDiscJob job = BuildJob(testkit::Plan(TDiscFormat::DVD, "/films/film.avi", 15000, budget),
                                  dir / "work", dir / "out");
    TMakeOptions options;
    options.SearchPath = dir.Path.string(); // an empty folder: no tool at all
    const TMakeResult result = MakeDiscs(job, options);
    EXPECT_EQ(std::pair(result.Status, Made(job)), std::pair(TMakeStatus::Failed, Nothing));
    // The readers of the made image too; ffprobe comes with ffmpeg.
    EXPECT_EQ(result.Message,
              "These tools are missing: dvdauthor, ffmpeg, ffprobe, genisoimage, lsdvd. Install "
              "them (apt install dvdauthor ffmpeg genisoimage lsdvd) and try again.");
}

TEST(MakeDiscsTest, TooLittleSpaceStopsBeforeTheFirstStep) {
    const TTempFolder dir;
    TDiscJob job = OneDisc(dir, {Picture(0.2, "made.bin")});
    job.NeededBytes = std::uint64_t{1} << 62;
    const TMakeResult result = MakeDiscs(job, {});
    EXPECT_EQ(std::pair(result.Status, Made(job)), std::pair(TMakeStatus::Failed, Nothing));
    EXPECT_THAT(result.Message, StartsWith("Not enough free space in " + job.OutDir +
                                           ": the discs need about 4398046511104 MB, "));
}

TEST(MakeDiscsTest, AFailingStepIsNamedWithItsLastWords) {
    const TTempFolder dir;
    const TDiscJob job =
        OneDisc(dir, {Picture(0.2, "made.bin"),
                      Step("Disc 1: multiplexing",
                           {"ffmpeg", "-nostdin", "-v", "error", "-i", "missing.m2v", "out.mpg"})});
    const TMakeResult result = MakeDiscs(job, {});
    // The first step's output never became an image.
    EXPECT_EQ(std::pair(result.Status, Made(job)), std::pair(TMakeStatus::Failed, Nothing));
    EXPECT_EQ(result.Message, "\"Disc 1: multiplexing\" failed: ffmpeg ended with exit code 1 "
                              "(missing.m2v: No such file or directory). The log is " +
                                  result.LogFile + ".");
    EXPECT_THAT(Log(result), HasSubstr("$ ffmpeg -nostdin -v error -i missing.m2v out.mpg\n"
                                       "missing.m2v: No such file or directory\n# exit code 1\n"));
}

TEST(MakeDiscsTest, AFullDiskIsSaidSo) {
    const TTempFolder dir;
    const TDiscJob job = OneDisc(dir, {Picture(1, "/dev/full")});
    const TMakeResult result = MakeDiscs(job, {});
    EXPECT_EQ(std::pair(result.Status, Made(job)), std::pair(TMakeStatus::Failed, Nothing));
    EXPECT_EQ(result.Message, "The disk is full: \"Disc 1: test picture\" could not write its "
                              "output. Free some space and try again.");
}

TEST(MakeDiscsTest, ACancelStopsTheRunningToolAtOnce) {
    const TTempFolder dir;
    // An hour of pictures: only a cancel ends it within the test's time.
    const TDiscJob job = OneDisc(dir, {Picture(3600, "made.bin", 90000)});
    std::atomic<bool> cancel = false;
    TMakeOptions options;
    options.Cancel = &cancel;
    options.OnProgress = [&](const TProgress& p) {
        if (p.Fraction > 0) cancel = true;
    };
    const auto start = std::chrono::steady_clock::now();
    const TMakeResult result = MakeDiscs(job, options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(std::pair(result.Status, Made(job)), std::pair(TMakeStatus::Cancelled, Nothing));
    EXPECT_EQ(result.Message, "Cancelled: no image of the disc being made was written.");
}

TEST(MakeDiscsTest, ProgressRisesToTheEndAndTheImageGetsItsName) {
    const TTempFolder dir;
    TDiscJob job = OneDisc(dir, {Picture(2, "made.bin", 50), Picture(2, "other.bin", 50)});
    job.Parts[0].Steps[1].Title = "Disc 1: again";
    std::vector<TProgress> seen;
    TMakeOptions options;
    options.OnProgress = [&](const TProgress& p) { seen.push_back(p); };
    const TMakeResult result = MakeDiscs(job, options);
    ASSERT_EQ(result.Status, TMakeStatus::Done) << result.Message;
    EXPECT_EQ(result.Message, "Made 1 disc image in " + job.OutDir + ".");
    EXPECT_EQ(Made(job), std::vector<std::string>{"disc1.bin"});
    ASSERT_EQ(result.Discs.size(), 1u);
    EXPECT_EQ(std::tuple(result.Discs[0].ImageBytes, result.Discs[0].VideoFrames),
              std::tuple(160 * 120 * 3 * 50, 50)); // rgb24
    ASSERT_FALSE(seen.empty());
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i].Fraction, seen[i - 1].Fraction);
    EXPECT_EQ(
        std::tuple(seen.front().Step, seen.back().Step, seen.back().Fraction, seen.back().Discs),
        std::tuple("Disc 1: test picture", "Disc 1: again", 1.0, 1));
}

TEST(MakeDiscsTest, AnEstimatedLengthMayMissTheSourceByItsSlack) {
    // Two seconds make 50 frames; a source that ends earlier than its slack allows fails.
    const struct {
        std::int64_t planned, slack;
        TMakeStatus status;
    } rows[] = {{51, 2, TMakeStatus::Done},
                {48, 2, TMakeStatus::Done},
                {53, 2, TMakeStatus::Failed},
                {51, 0, TMakeStatus::Failed}};
    for (const auto& r : rows) {
        const TTempFolder dir;
        TDiscJob job = OneDisc(dir, {Picture(2, "made.bin", r.planned)});
        job.Parts[0].Expected.FramesSlack = r.slack;
        const TMakeResult result = MakeDiscs(job, {});
        EXPECT_EQ(result.Status, r.status) << r.planned << " " << result.Message;
    }
}

} // namespace
} // namespace tarvex

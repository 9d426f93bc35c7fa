// Making discs from the window: the plan of the inputs, the ffmpeg job in the script
// box, and a run on a worker thread with its progress, cancel and report.
#include "tests/app/FormFixture.h"
#include "tests/source/SourceFixtures.h"
#include "tests/source/SourceMedia.h"

#include <gmock/gmock.h>

#include <unistd.h>

namespace tt = tarvex::testkit;
namespace fs = std::filesystem;

namespace tarvex {
namespace {

/// The processes this program started that are still there, finished or not.
std::vector<std::string> Children() {
    std::vector<std::string> found;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "children");
        for (std::string pid; in >> pid;) found.push_back(pid);
    }
    return found;
}

class MakeDisc : public FormTest {
  protected:
    /// Six seconds of PAL noise, with a tone unless `silent`; made by ffmpeg.
    static std::string Film(bool silent) {
        const std::string sound = silent ? "" : " -f lavfi -i sine=f=440:d=6 -c:a mp2";
        const std::string path =
            tt::CachedFile(TARVEX_TEST_FILMS, silent ? "silent.mpg" : "film.mpg",
                           "-f lavfi -i testsrc2=s=720x576:r=25:d=6,noise=alls=12:allf=t" + sound +
                               " -c:v mpeg2video -b:v 4M");
        EXPECT_NE(path, "") << "ffmpeg could not make the film";
        return path;
    }
    /// Opens `film` and plans a VCD: its picture, sound and constant 1150 kbps (a
    /// six-second film alone would ask for more than any disc's video can have).
    TMainForm& Plan(const std::string& film) {
        TMainForm& f = Start();
        Platform.Files.push_back(film);
        EXPECT_TRUE(f.OpenVideoBtn.Click());
        // The VCD picture: MPEG-1 cannot state 4:3 for any other size.
        EXPECT_TRUE(f.DestAspectBox.Select(6));
        EXPECT_TRUE(f.MuxModeBox.Select(Index(TMuxRow::VcdFfmpeg)));
        EXPECT_TRUE(f.AuthoringBox.Select(Index(TAuthoringRow::VcdVcdimager)));
        EXPECT_TRUE(f.Audio1kbps.Select(10));
        while (f.VideoUpDown10.Position() > 1150) f.VideoUpDown10.Click(TUDButton::Down);
        while (f.VideoUpDown.Position() < 1150) f.VideoUpDown.Click(TUDButton::Up);
        EXPECT_TRUE(f.Refusals().empty());
        return f;
    }
    /// Clicks "Make disc", the folder dialog answers `dir`, and waits for the end;
    /// returns every status the window showed on the way.
    std::vector<std::string> MakeInto(TMainForm& f, const fs::path& dir) {
        Platform.Files.push_back(dir.string());
        f.MakeDiscBtnClick();
        std::vector<std::string> statuses = {f.Make.Status};
        while (f.Making()) {
            Platform.RunPosted(true);
            statuses.push_back(f.Make.Status);
        }
        return statuses;
    }
};

// Made once with sound and once without, then a run cancelled in the same window.
TEST_F(MakeDisc, MakesTheImageOffTheWindowThreadAndReportsItOrCancels) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    // A film without sound gets silent audio streams of the planned rates.
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "with sound");
        TMainForm& f = Plan(Film(silent));
        const fs::path dir = Temp.Path / (silent ? "silent-discs" : "discs");
        const std::vector<std::string> statuses = MakeInto(f, dir);
        EXPECT_EQ(Platform.LastDialog.Title, "Folder for the disc images");
        EXPECT_EQ(statuses.front(), "Starting...");
        EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [](const std::string& s) {
            return s.starts_with("Disc 1: ") && s.ends_with(" left");
        }));
        EXPECT_EQ(f.Make.Status, "Made 1 disc image in " + dir.string() + ".");
        EXPECT_EQ(f.Make.Fraction, 1);
        EXPECT_TRUE(fs::exists(dir / "disc1.bin"));
        ASSERT_EQ(Platform.Reports.size(), 1u);
        const std::vector<std::string>& report = Platform.Reports.back().second;
        ASSERT_EQ(report.size(), 15u);
        // The report is kept beside the image, without the line that says so.
        std::ifstream kept(dir / "tarvex-report.txt");
        std::vector<std::string> keptLines;
        for (std::string line; std::getline(kept, line);) keptLines.push_back(line);
        EXPECT_EQ(keptLines, std::vector<std::string>(report.begin(), report.end() - 1));
        EXPECT_EQ(report.back(),
                  "This report is kept in " + (dir / "tarvex-report.txt").string() + ".");
        // Each disc first in a plain sentence, then the details.
        EXPECT_TRUE(report[1].starts_with("Disc 1 fits: ") &&
                    report[1].find(" MB of 807 MB (") != std::string::npos)
            << report[1];
        EXPECT_EQ(report[2], "Disc 1: " + (dir / "disc1.bin").string());
        EXPECT_TRUE(report[4].starts_with("  audio streams (encoder): ")) << report[4];
        EXPECT_EQ(report[8], "  fits the disc of 359849 blocks");
        // What the VCD reader and ffprobe found in the image.
        EXPECT_EQ(report[9], "  read back: the VCD reader took 1 track out of the image");
        EXPECT_EQ(report[10], "  read back: system header: video buffer 46 KB (at most 46 KB)");
        EXPECT_TRUE(report[11].starts_with("  read back: video: mpeg1video, 352x288, display "
                                           "aspect 1958:1467, field order unknown, "))
            << report[11];
        EXPECT_EQ(report[12], "  read back: audio stream 1: mp2, 44100 Hz, 2 channels");
        EXPECT_EQ(report[13], "The budget keeps 150 blocks a disc for menu pictures, which the "
                              "job does not make.");
        // A VCD at its constant rate has nothing to warn of: made without a question.
        EXPECT_EQ(Platform.Messages, std::vector<std::string>{});
        Platform.Messages.clear();
        Platform.Reports.clear();
    }
    // The same window again, cancelled: no image and no report.
    const fs::path dir = Temp.Path / "cancelled";
    Platform.Files.push_back(dir.string());
    Form->MakeDiscBtnClick();
    EXPECT_TRUE(Form->Making());
    Form->MakeDiscBtnClick();
    EXPECT_EQ(Form->Make.Status, "Cancelling...");
    while (Form->Making()) Platform.RunPosted(true);
    EXPECT_TRUE(Form->Make.Status.starts_with("Cancelled")) << Form->Make.Status;
    EXPECT_EQ(Form->Make.Fraction, 0);
    EXPECT_TRUE(Platform.Reports.empty());
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename(), "tarvex-disc.log");
}

TEST_F(MakeDisc, NothingStartsWithoutAPlanOrAFolder) {
    TMainForm& f = Start();
    // No source: said before a folder is asked for.
    Platform.Files.push_back((Temp.Path / "unused").string());
    f.MakeDiscBtnClick();
    EXPECT_EQ(Platform.Messages, std::vector<std::string>{"Error: No source film is open."});
    EXPECT_EQ(Platform.Files.size(), 1u);
    // The folder dialog cancelled.
    Platform.Files = {std::nullopt};
    f.FileNameSrc = (Temp.Path / "film.mpg").string();
    f.MakeDiscBtnClick();
    EXPECT_TRUE(Platform.Files.empty());
    // A plan the window warns about, and the user says no when asked.
    Platform.Files = {(Temp.Path / "unused").string()};
    Platform.Messages.clear();
    Platform.Answer = false;
    f.VideoUpDown10.Click(TUDButton::Up);
    ASSERT_FALSE(f.Warnings().empty());
    f.MakeDiscBtnClick();
    EXPECT_EQ(Platform.Messages,
              std::vector<std::string>{"Make disc? The plan has warnings:\n- " +
                                       f.Warnings()[0].Text + "\nMake the discs anyway?"});
    EXPECT_EQ(Platform.Files.size(), 1u);
    EXPECT_FALSE(f.Making());
    EXPECT_EQ(f.Make.Status, "");
}

TEST_F(MakeDisc, AListOfMpegFilesIsOneFilmAndOtherListsAreRefused) {
    TMainForm& f = Start();
    const auto list = [&](const std::string& ext, const std::string& content) {
        std::vector<std::string> names;
        for (const char* name : {"a", "b"}) {
            names.push_back((Temp.Path / (name + ext)).string());
            std::ofstream(names.back(), std::ios::binary) << content;
        }
        std::ofstream(Temp.Path / "films.lst") << names[0] << "\n" << names[1] << "\n";
        Platform.Files.push_back((Temp.Path / "films.lst").string());
        EXPECT_TRUE(f.OpenVideoBtn.Click());
        return names;
    };
    const std::vector<std::string> vobs = list(".vob", tt::MpegWithHeaderAt(0, 256, 720, 576, 2));
    Type(f.EditMin, "90");
    const TDiscPlan plan = f.DiscPlan();
    EXPECT_EQ(InputOf(plan), "concat:file:" + vobs[0] + "|file:" + vobs[1]);
    EXPECT_EQ(plan.SrcFrames, 90 * 60 * 25);

    list(".avi", tt::MakeAvi(720, 576, {{"vids", 1, 25, 100, "dvsd"}}));
    EXPECT_THROW(f.DiscJob(Temp.Path.string()), TJobError);
}

TEST_F(MakeDisc, ClosingWhileDiscsAreMadeAsksThenStopsTheWorkFirst) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    TMainForm& f = Plan(Film(false));
    const fs::path dir = Temp.Path / "closed";
    Platform.Files.push_back(dir.string());
    f.MakeDiscBtnClick();
    ASSERT_TRUE(f.Making());
    // Closed while a tool runs.
    for (int wait = 0; wait < 200 && Children().empty(); ++wait) usleep(50000);
    ASSERT_FALSE(Children().empty());
    Platform.Messages.clear(); // the plan's warnings, asked before making
    const std::string question = "Make disc? Discs are being made. Stop making them and close?";
    Platform.Answer = false;
    EXPECT_FALSE(f.MayClose());
    EXPECT_TRUE(f.Making());
    Platform.Answer = true;
    EXPECT_TRUE(f.MayClose());
    EXPECT_EQ(Platform.Messages, std::vector<std::string>(2, question));
    // Closing stops the work and waits for it and its tools; what it posted finds no window.
    f.StopJobs();
    EXPECT_FALSE(f.Making());
    EXPECT_THAT(Children(), ::testing::IsEmpty());
    Form.reset();
    Platform.RunPosted(false);
    EXPECT_TRUE(Platform.Reports.empty());
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename(), "tarvex-disc.log");
}

TEST_F(MakeDisc, FilesOfAnEarlierRunAreReplacedOnlyWhenTheUserSaysSo) {
    TMainForm& f = Start();
    f.FileNameSrc = (Temp.Path / "film.mpg").string();
    ASSERT_TRUE(f.Warnings().empty());
    // Films side by side get folders of their own.
    Platform.Files = {std::nullopt};
    f.MakeDiscBtnClick();
    EXPECT_EQ(Platform.LastDialog.FileName, (Temp.Path / "film discs").string());
    const fs::path dir = Temp.Path / "discs";
    fs::create_directories(dir);
    std::ofstream(dir / "disc1.cue") << "earlier";
    std::ofstream(dir / "tarvex-report.txt") << "earlier";
    Platform.Answer = false;
    Platform.Files = {dir.string()};
    f.MakeDiscBtnClick();
    EXPECT_FALSE(f.Making());
    EXPECT_EQ(Platform.Messages,
              std::vector<std::string>{"Make disc? " + dir.string() +
                                       " holds files of an earlier run:\n- disc1.cue\n- "
                                       "tarvex-report.txt\nReplace them?"});
    std::ifstream in(dir / "disc1.cue");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
}

TEST_F(MakeDisc, AnImageThatDoesNotFitIsAnError) {
    TCDImage budget;
    budget.SetMuxMode(Index(TMuxRow::VcdFfmpeg));
    budget.BlocksUsable = 1000;
    TMakeResult result;
    result.Discs.resize(2);
    for (const int n : {1, 2}) // 999 and 1001 blocks
        result.Discs[n - 1].Number = n, result.Discs[n - 1].ImageBytes = 2352 * (997 + 2 * n);
    EXPECT_EQ(TMainForm::Unfit(result, budget),
              "The image of disc 2 does not fit its disc: burn it on a larger one, or lower the "
              "rates and make it again.");
    result.Discs.pop_back();
    EXPECT_EQ(TMainForm::Unfit(result, budget), "");
}

TEST_F(MakeDisc, TheSavedJobMakesWhatMakeDiscMakes) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    TMainForm& f = Plan(Film(true));
    ASSERT_TRUE(f.ScriptViewBox.Select(1));
    // The job names the folder of the last Make disc at once.
    const fs::path dir = Temp.Path / "chosen";
    Platform.Files.push_back(dir.string());
    f.MakeDiscBtnClick();
    EXPECT_NE(f.AVSMemo.Text().find("out=" + dir.string() + "\r\n"), std::string::npos);
    f.MakeDiscBtnClick();
    while (f.Making()) Platform.RunPosted(true);
    // Run twice: a film without sound gets silence, and the second run finds the
    // image in its way; neither leaves a work folder.
    const fs::path job = Temp.Path / "job.sh";
    Platform.Files.push_back(job.string());
    ASSERT_TRUE(f.SaveAVSBtn.Click());
    EXPECT_EQ(tt::Shell("sh '" + job.string() + "' >/dev/null 2>&1"), 0);
    EXPECT_TRUE(fs::exists(dir / "disc1.bin"));
    EXPECT_EQ(tt::Shell("sh '" + job.string() + "' >/dev/null 2>&1"), 1);
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".tarvex-work")) << entry.path();
}

TEST_F(MakeDisc, AProjectIsDecodedThroughItsFilmWithItsCropTakenOff) {
    TMainForm& f = Start();
    const fs::path m2v = Temp.Path / "film.m2v";
    std::ofstream(m2v, std::ios::binary) << tt::MpegWithHeaderAt(0, 256, 720, 576, 2);
    tt::TKeyedProjectText project;
    project.Files = {m2v.string()};
    project.Set("Clipping", "8,8,0,0").Set("Picture_Size", "704x576");
    const fs::path d2v = Temp.Path / "film.d2v";
    std::ofstream(d2v) << project.Text();
    Platform.Files.push_back(d2v.string());
    ASSERT_TRUE(f.OpenVideoBtn.Click());
    const TDiscPlan plan = f.DiscPlan();
    EXPECT_EQ(plan.Source, m2v.string());
    EXPECT_EQ(plan.Picture.CropLeft, f.ResizeModel.CropLeft + 8);
    EXPECT_EQ(plan.Picture.CropTop, f.ResizeModel.CropTop);
}

TEST_F(MakeDisc, TheScriptBoxShowsAndSavesTheJob) {
    TMainForm& f = Start();
    ASSERT_TRUE(f.ScriptViewBox.Select(1));
    EXPECT_EQ(f.AVSMemo.Lines(),
              std::vector<std::string>{"# No ffmpeg job: No source film is open."});
    // Without a job there is nothing to save.
    Platform.Files.push_back((Temp.Path / "none.sh").string());
    f.SaveAVSBtn.Click();
    EXPECT_EQ(Platform.Messages, std::vector<std::string>{"Error: There is no ffmpeg job to save: "
                                                          "No source film is open."});
    EXPECT_FALSE(fs::exists(Temp.Path / "none.sh"));
    Platform.Files.clear();
    f.FileNameSrc = (Temp.Path / "film.mpg").string();
    f.VideoUpDown.Click(TUDButton::Down); // the job follows the budget
    const std::string rate = "-b:v " + std::to_string(f.DiscImage.VideoRate) + " ";
    ASSERT_GT(f.AVSMemo.Lines().size(), 5u);
    EXPECT_EQ(f.AVSMemo.Lines()[0], "#!/bin/sh");
    EXPECT_NE(f.AVSMemo.Text().find(rate), std::string::npos);
    EXPECT_NE(f.AVSMemo.Text().find("out='" + Temp.Path.string() + "/film discs'\r\n"),
              std::string::npos);
    EXPECT_NE(f.AVSMemo.Text().find("work=$(mktemp -d \"$out\"/.tarvex-work-XXXXXX)\r\ntrap "),
              std::string::npos);

    const fs::path saved = Temp.Path / "job.sh";
    Platform.Files.push_back(saved.string());
    ASSERT_TRUE(f.SaveAVSBtn.Click());
    EXPECT_EQ(Platform.LastDialog.DefaultExt, "sh");
    std::ifstream in(saved, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(text.starts_with("#!/bin/sh\nset -e\n")) << text;
    EXPECT_NE(fs::status(saved).permissions() & fs::perms::owner_exec, fs::perms::none);

    ASSERT_TRUE(f.ScriptViewBox.Select(0));
    EXPECT_TRUE(f.AVSMemo.Lines()[0].starts_with("# -= AviSynth script")) << f.AVSMemo.Text();
}

} // namespace
} // namespace tarvex

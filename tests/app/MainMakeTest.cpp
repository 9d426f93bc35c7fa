// Making discs from the window: the plan of the inputs, the ffmpeg job in the script
// box, and a run on a worker thread with its progress, cancel and report.
#include "tests/app/FormFixture.h"
#include "tests/source/SourceFixtures.h"
#include "tests/source/SourceMedia.h"

namespace tt = tarvex::testing;
namespace fs = std::filesystem;

namespace tarvex {
namespace {

class MakeDisc : public FormTest {
  protected:
    /// Six seconds of PAL noise, with a tone unless `silent`; made by ffmpeg.
    std::string Film(bool silent) {
        const std::string path = (Temp.Path / (silent ? "silent.mpg" : "film.mpg")).string();
        const std::string sound = silent ? "" : " -f lavfi -i sine=f=440:d=6 -c:a mp2";
        EXPECT_EQ(tt::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i "
                                 "testsrc2=s=720x576:r=25:d=6,noise=alls=12:allf=t" +
                                 sound + " -c:v mpeg2video -b:v 4M '" + path + "'"),
                  0);
        return path;
    }
    /// Opens `film` and plans a VCD at 1300 kbps, within the player's rates (a
    /// six-second film alone would ask for more than any disc's video can have).
    TMainForm& Plan(const std::string& film) {
        TMainForm& f = Start();
        Platform.Files.push_back(film);
        EXPECT_TRUE(f.OpenVideoBtn.Click());
        EXPECT_TRUE(f.MuxModeBox.Select(Rows::VcdFfmpeg));
        EXPECT_TRUE(f.AuthoringBox.Select(Rows::VcdVcdimager));
        while (f.VideoUpDown10.Position() > 1300) f.VideoUpDown10.Click(TUDButton::Down);
        EXPECT_EQ(f.Warnings().size(), 0u);
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
        ASSERT_EQ(report.size(), 11u);
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
        EXPECT_EQ(report[9], "The budget keeps 150 blocks a disc for menu pictures, which the "
                             "job does not make.");
        EXPECT_EQ(Platform.Messages, std::vector<std::string>{});
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
    EXPECT_EQ(InputOf(plan), "concat:" + vobs[0] + "|" + vobs[1]);
    EXPECT_EQ(plan.SrcFrames, 90 * 60 * 25);

    list(".avi", tt::MakeAvi(720, 576, {{"vids", 1, 25, 100, "dvsd"}}));
    EXPECT_THROW(f.DiscJob(Temp.Path.string()), TJobError);
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
    f.FileNameSrc = (Temp.Path / "film.mpg").string();
    f.VideoUpDown.Click(TUDButton::Down); // the job follows the budget
    const std::string rate = "-b:v " + std::to_string(f.DiscImage.VideoRate) + " ";
    ASSERT_GT(f.AVSMemo.Lines().size(), 5u);
    EXPECT_EQ(f.AVSMemo.Lines()[0], "#!/bin/sh");
    EXPECT_NE(f.AVSMemo.Text().find(rate), std::string::npos);
    EXPECT_NE(f.AVSMemo.Text().find(Temp.Path.string() + "/.tarvex-work"), std::string::npos);

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

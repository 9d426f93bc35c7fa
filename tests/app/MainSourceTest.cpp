// Opening a source through the window's source button: what the window makes of
// the frame size, frame rate, frame count, FourCC and aspect code it was given.
#include "FormFixture.h"

#include "tests/source/SourceMedia.h"

#include <clocale>
#include <cstdlib>
#include <random>
#include <tuple>

namespace tarvex {
namespace {

namespace tt = tarvex::testkit;

class SourceForm : public FormTest {
  protected:
    static void SetUpTestSuite() { Media = std::make_unique<tt::TMediaFolder>(); }
    static void TearDownTestSuite() { Media.reset(); }

    /// An AVI head with one video stream of `rate` / `scale` frames per second.
    std::string Avi(const std::string& name, std::uint32_t width, std::uint32_t height,
                    std::int32_t rate, std::int32_t scale, std::uint32_t frames = 1000,
                    const std::string& fourCC = "dvsd") {
        return Temp.Write(name,
                          tt::MakeAvi(width, height, {{"vids", scale, rate, frames, fourCC}}));
    }
    /// A d2v project over an MPEG file whose sequence header has this size and aspect code.
    std::string Project(const std::string& name, int width, int height, int aspectCode,
                        const std::string& rate = "25000") {
        tt::TProject p;
        p.Path = Temp.Write(name + ".m2v", tt::MpegWithHeaderAt(0, 256, width, height, aspectCode));
        p.Rate = rate;
        return Temp.Write(name, p.Text());
    }
    /// Clicks the source button; the open dialog answers `file`.
    void Open(const std::optional<std::string>& file) {
        Platform.Files.push_back(file);
        ASSERT_TRUE(Form->OpenVideoBtn.Click());
    }
    /// Writes an AVI head under a new name and opens it.
    std::string OpenAvi(std::uint32_t width, std::uint32_t height, std::int32_t rate,
                        std::int32_t scale, std::uint32_t frames = 1000,
                        const std::string& fourCC = "dvsd") {
        const std::string avi = Avi("f" + std::to_string(++Written) + ".avi", width, height, rate,
                                    scale, frames, fourCC);
        Open(avi);
        return avi;
    }
    /// The source button's hint for `file`; `rest` holds its size, rate, FourCC and length.
    static std::string Hint(const std::string& file, const std::string& rest) {
        return "Open a source-file.\r\nActual file: " + file + "\r\n" + rest;
    }
    std::string SourceLine() const { return Form->AVSMemo.Lines().at(2); }

    int Written = 0;
    static inline std::unique_ptr<tt::TMediaFolder> Media;
};

constexpr int Square = 6; // "1:1 Monitor"

struct KindRow {
    std::uint32_t width, height;
    bool pal;       // 25 fps, else 29.97 fps
    int aspectCode; // of a project's MPEG file; -1: an AVI
    int kind;
};

// However a film comes (dialog, command line, drop, recent list), the one place
// that opens it keeps the recent films and the caption.
TEST_F(SourceForm, OpenedFilmsLeadTheRecentListAndNameTheCaption) {
    TMainForm& f = Start();
    f.Make.Status = "Made 1 disc image in /discs.";
    f.Make.Fraction = 1;
    std::vector<std::string> films;
    for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi", "e.avi", "f.avi"})
        films.push_back(Avi(name, 720, 576, 25, 1));
    for (const std::string& film : films) ASSERT_TRUE(f.OpenFilm(film));
    EXPECT_EQ(f.Caption, "f.avi - Tarvex v1.0.0");
    EXPECT_EQ(f.Make.Status, "");
    EXPECT_EQ(f.Make.Fraction, 0);
    // Opened again, a film moves to the front; the oldest of six has fallen off.
    ASSERT_TRUE(f.OpenFilm(films[2]));
    const std::array<std::string, 5> recent = {films[2], films[5], films[4], films[3], films[1]};
    EXPECT_EQ(f.RecentFilms, recent);
    // A film that cannot be read changes neither.
    EXPECT_FALSE(f.OpenFilm((Temp.Path / "missing.avi").string()));
    EXPECT_EQ(f.RecentFilms, recent);
    EXPECT_EQ(f.Caption, "c.avi - Tarvex v1.0.0");

    // Kept in the settings file; the button offers them and opens the one chosen.
    f.FormClose();
    TMainForm& g = Start();
    EXPECT_EQ(g.RecentFilms, recent);
    EXPECT_EQ(g.Caption, "c.avi - Tarvex v1.0.0");
    Platform.ItemChoice = 3;
    g.RecentBtn.Click();
    EXPECT_EQ(Platform.Offered, std::vector<std::string>(recent.begin(), recent.end()));
    EXPECT_EQ(g.FileNameSrc, films[3]);
    EXPECT_EQ(g.Caption, "d.avi - Tarvex v1.0.0");
}

// An AVI's kind follows from the frame's shape: full frames and frames cut to 3/4 and 9/16 of
// the height at the usual widths. A project's follows its width and MPEG aspect code, which
// also gives the anamorphic flag, unless the stated aspect makes the pixels square (the last
// three rows). The projects, the last rows, run at 25 fps.
TEST_F(SourceForm, KindFollowsFrameShapeOrProjectAspectCode) {
    const KindRow rows[] = {
        {720, 576, true, -1, 0},       {704, 576, true, -1, 1},      {480, 576, true, -1, 3},
        {352, 576, true, -1, 4},       {720, 432, true, -1, 0},      {704, 432, true, -1, 1},
        {480, 432, true, -1, 3},       {352, 432, true, -1, 4},      {720, 324, true, -1, 0},
        {704, 324, true, -1, 1},       {480, 324, true, -1, 3},      {352, 324, true, -1, 4},
        {352, 288, true, -1, 5},       {360, 288, true, -1, 5},      {720, 480, false, -1, 0},
        {704, 480, false, -1, 1},      {480, 480, false, -1, 3},     {352, 480, false, -1, 4},
        {720, 360, false, -1, 0},      {704, 360, false, -1, 1},     {480, 360, false, -1, Square},
        {352, 360, false, -1, 4},      {720, 270, false, -1, 0},     {704, 270, false, -1, 1},
        {480, 270, false, -1, Square}, {352, 270, false, -1, 4},     {352, 240, false, -1, 5},
        {720, 576, false, -1, Square}, {720, 480, true, -1, Square}, {640, 480, true, -1, Square},
        {640, 480, false, -1, Square}, {720, 576, true, 3, 0},       {720, 576, true, 1, Square},
        {720, 576, true, 2, 0},        {704, 576, true, 2, 1},       {544, 576, true, 2, 2},
        {480, 576, true, 3, 3},        {361, 288, true, 2, 3},       {352, 576, true, 2, 4},
        {352, 288, true, 2, 5},        {352, 288, true, 4, Square},  {352, 240, true, 3, 5},
        {352, 288, true, 1, Square},   {352, 288, true, 0, Square},  {640, 480, true, 2, Square},
        {480, 360, true, 2, Square},   {768, 576, true, 3, Square},
    };
    TMainForm& f = Start();
    for (const KindRow& r : rows) {
        const bool project = r.aspectCode >= 0;
        const std::string what = std::to_string(r.width) + "x" + std::to_string(r.height) +
                                 (r.pal ? " PAL" : " NTSC") + " code " +
                                 std::to_string(r.aspectCode);
        std::string file;
        if (project)
            Open(file = Project("p" + std::to_string(++Written) + ".d2v", r.width, r.height,
                                r.aspectCode));
        else
            file = OpenAvi(r.width, r.height, r.pal ? 25 : 30000, r.pal ? 1 : 1001);
        EXPECT_EQ(SourceLine(), (project ? "mpeg2source(\"" : "AviSource(\"") + file + "\")")
            << what;
        EXPECT_EQ(std::tuple(f.SrcAspectBox.ItemIndex(), f.ITUAspect.Checked(),
                             f.SrcAnamorphic.Checked()),
                  std::tuple(r.kind, r.kind != Square, r.aspectCode == 3 || r.aspectCode == 4))
            << what;
        EXPECT_TRUE(Shows(f, std::string("SrcPALBox=") + (r.pal ? "1" : "0") +
                                 "; SrcXEdit=" + std::to_string(r.width) +
                                 "; SrcPixelYEdit=" + std::to_string(r.height)))
            << what;
        if (r.width == 640) {
            EXPECT_EQ(f.FilmAspectLabel.Caption(), "= 1.3333") << what;
        }
    }
    EXPECT_TRUE(Platform.Messages.empty());
}

struct RateRow {
    std::int32_t rate, scale;
    int index; // -1: the list and the PAL flag keep their values
    bool pal;
    const char* shown; // in the source hint
};

// The hint has five lines; the first row's is that of a 25 fps DV AVI of 1000 frames.
TEST_F(SourceForm, FrameRatePicksListEntryAndPalAndShowsInTheHint) {
    const RateRow rows[] = {
        {25, 1, 1, true, "25.000"},        {24000, 1001, 0, false, "23.976"},
        {249, 10, 1, true, "24.900"},      {30000, 1001, 2, false, "29.970"},
        {24, 1, 0, false, "24.000"},       {30, 1, 2, false, "30.000"},
        {25, 2, 1, false, "12.500"},       {50, 1, -1, false, "50.000"},
        {15, 1, 2, false, "15.000"},       {60000, 1001, -1, false, "59.940"},
        {12000, 1001, 0, false, "11.988"}, {127, 5, 1, true, "25.400"},
    };
    const float listRates[] = {23.976f, 25.0f, 29.97f};
    TMainForm& f = Start();
    int index = f.FpsCombo.ItemIndex();
    bool pal = f.SrcPALBox.Checked();
    for (const RateRow& r : rows) {
        const std::string what = std::to_string(r.rate) + "/" + std::to_string(r.scale);
        const std::string avi = OpenAvi(720, 576, r.rate, r.scale);
        EXPECT_EQ(f.OpenVideoBtn.Hint(), Hint(avi, "720x576 @ " + std::string(r.shown) +
                                                       "fps\r\nFourCC: DVSD\r\n1000 frames"))
            << what;
        if (r.index >= 0) {
            index = r.index;
            pal = r.pal;
        }
        EXPECT_EQ(f.FpsCombo.ItemIndex(), index) << what;
        EXPECT_EQ(f.DiscImage.FrameRate, listRates[index]) << what;
        // The source's and the destination's PAL flags, as boxes and as model.
        EXPECT_EQ(std::tuple(f.SrcPALBox.Checked(), f.ResizeModel.SrcIsPAL, f.DestPALBox.Checked(),
                             f.ResizeModel.DestIsPAL),
                  std::tuple(pal, pal, pal, pal))
            << what;
    }
}

// A VFAPI AVI serving a project is judged as a project; the next plain AVI is not.
TEST_F(SourceForm, VfapiAviUsesProjectRuleOnlyForItself) {
    TMainForm& f = Start();
    const std::string project = Project("served.d2v", 720, 576, 3);
    Open(Temp.Write("served.avi",
                    tt::MakeVfapiAvi(project, static_cast<std::uint32_t>(project.size()))));
    EXPECT_EQ(f.SrcAspectBox.ItemIndex(), 0);
    EXPECT_TRUE(f.SrcAnamorphic.Checked());
    OpenAvi(720, 576, 25, 1);
    EXPECT_EQ(f.SrcAspectBox.ItemIndex(), 0);
    EXPECT_FALSE(f.SrcAnamorphic.Checked());
    EXPECT_TRUE(Platform.Messages.empty());
}

TEST_F(SourceForm, DvFourCCsTurnOnInterlacedResizing) {
    const std::pair<const char*, bool> rows[] = {
        {"dvsd", true}, {"XVID", false}, {"cdvc", true}, {"d2v", true}, {"DIVX", false}};
    TMainForm& f = Start();
    ASSERT_FALSE(f.InterlacedResBox.Checked());
    for (const auto& [code, on] : rows) {
        if (code == std::string("d2v"))
            Open(Project("film.d2v", 720, 576, 2)); // a project leaves the box as it was
        else
            OpenAvi(720, 576, 25, 1, 100, code);
        EXPECT_EQ(f.InterlacedResBox.Checked(), on) << code;
        EXPECT_EQ(f.ResizeModel.InterlacedResizing, on) << code;
    }
}

struct LengthRow {
    std::uint32_t frames;
    std::int32_t rate, scale;
    const char *minutes, *seconds;
};

TEST_F(SourceForm, FrameCountAndRateGiveFilmLength) {
    // Each row changes both fields, so a field left alone shows.
    const LengthRow rows[] = {
        {180000, 25, 1, "120", "0"},    {1487, 25, 1, "0", "59"}, // 59.48 s
        {1499, 25, 1, "1", "0"},                                  // 59.96 s rounds to a full minute
        {250, 25, 1, "0", "10"},        // under a minute: the minutes are cleared
        {2500, 23976, 1000, "1", "44"}, // 104.27 s
        {60, 24, 1, "0", "2"},          // 2.5 s: halves go to even
        {36, 24, 1, "0", "2"},          // 1.5 s
        {12, 24, 1, "0", "0"},          // 0.5 s
    };
    TMainForm& f = Start();
    for (const LengthRow& r : rows) {
        const std::string what = std::to_string(r.frames) + " frames";
        OpenAvi(720, 576, r.rate, r.scale, r.frames);
        EXPECT_TRUE(Shows(f, "EditMin=" + std::string(r.minutes) + "; EditSec=" + r.seconds))
            << what;
        EXPECT_EQ(f.FilmSeconds, std::stoul(r.minutes) * 60 + std::stoul(r.seconds)) << what;
        EXPECT_EQ(
            f.FilmLengthLabel.Caption().rfind("= " + std::to_string(f.FilmSeconds) + " seconds", 0),
            0u)
            << what;
    }
}

// No rate, or a header whose count or rate gives no sensible length (a count past 32
// bits is refused: RefusedOpenLeavesEverything).
TEST_F(SourceForm, UnknownLengthLeavesFilmLength) {
    const std::tuple<const char*, std::int32_t, std::int32_t, std::uint32_t> rows[] = {
        {"rate 0", 0, 1, 2500},
        {"negative rate", -25, 1, 2500},
        {"endless", 1, 1000, 0x7FFFFFFF},
    };
    for (const auto& [what, rate, scale, frames] : rows) {
        TMainForm& f = Start();
        OpenAvi(720, 576, 23976, 1000, 2500);
        ASSERT_EQ(f.EditSec.Text(), "44");
        OpenAvi(352, 288, rate, scale, frames);
        EXPECT_EQ(f.EditMin.Text(), "1") << what;
        EXPECT_EQ(f.EditSec.Text(), "44") << what;
        EXPECT_EQ(f.FilmSeconds, 104u) << what;
        EXPECT_EQ(f.SrcXEdit.Text(), "352") << what; // the rest of the source is taken
        EXPECT_TRUE(Platform.Messages.empty()) << what;
    }
}

// A toolkit may switch the process to the user's locale; the hint keeps its point.
TEST_F(SourceForm, HintRateIgnoresTheLocale) {
    // A German locale, made for this test: its decimal separator is a comma.
    const std::string folder = (Temp.Path / "locale").string();
    std::filesystem::create_directories(folder);
    // localedef may warn (exit code 1) and still write the locale.
    (void)std::system(("localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8").c_str());
    ASSERT_TRUE(std::filesystem::exists(folder + "/de_DE.UTF-8"))
        << "localedef and Debian's locales package are needed";
    ::setenv("LOCPATH", folder.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    TMainForm& f = Start();
    OpenAvi(720, 576, 25, 1);
    const std::string aspect = f.CropAspectLabel.Caption();
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    EXPECT_NE(f.OpenVideoBtn.Hint().find("720x576 @ 25.000fps"), std::string::npos);
    // Numbers in captions use the program's separator, not the C library's.
    EXPECT_NE(aspect.find('.'), std::string::npos) << aspect;
    EXPECT_EQ(aspect.find(','), std::string::npos) << aspect;
}

// The source names the script's source line and the save name; the chosen filter loads every
// source but a project, and is kept between runs.
TEST_F(SourceForm, SourceNamesScriptSaveNameAndFilter) {
    TMainForm& f = Start();
    const std::string avi = OpenAvi(720, 576, 25, 1);
    EXPECT_EQ(f.FileNameSrc, avi);
    EXPECT_EQ(SourceLine(), "AviSource(\"" + avi + "\")");
    EXPECT_EQ(f.FileNameAVS, avi + ".avs");
    Platform.Files.push_back(std::nullopt);
    f.SaveAVSBtn.Click();
    EXPECT_EQ(Platform.LastDialog.FileName, avi + ".avs");
    ASSERT_TRUE(f.SourceFilterBox.Select(1));
    EXPECT_EQ(SourceLine(), "FFVideoSource(\"" + avi + "\")");
    ASSERT_TRUE(f.SourceFilterBox.Select(3));
    EXPECT_EQ(SourceLine(), "DirectShowSource(\"" + avi + "\")");

    const std::string d2v = Project("film.d2v", 720, 576, 3);
    Open(d2v);
    EXPECT_EQ(SourceLine(), "mpeg2source(\"" + d2v + "\")");
    EXPECT_EQ(f.FileNameAVS, d2v + ".avs");
    f.FormClose();
    TMainForm& again = Start();
    EXPECT_EQ(again.SourceFilterBox.ItemIndex(), 3);
    EXPECT_EQ(again.SourceFilterBox.Text(), "DirectShowSource");
}

TEST_F(SourceForm, DialogStartsAtTheLastSource) {
    const std::string stored = Temp / "gone/old.d2v";
    WriteSettings("[AVSscript]\nFileNameSrc=" + stored + "\n");
    TMainForm& f = Start();
    Platform.Messages.clear(); // the stored source is missing
    Open(std::nullopt);
    EXPECT_EQ(Platform.LastDialog.FileName, stored);
    // Every kind the reader reads, the old filter, and all files.
    std::vector<std::string> filter;
    for (std::string rest = Platform.LastDialog.Filter + "|"; !rest.empty();) {
        filter.push_back(rest.substr(0, rest.find('|')));
        rest.erase(0, rest.find('|') + 1);
    }
    ASSERT_EQ(filter.size(), 6u);
    EXPECT_EQ(filter[0].rfind("Video files (", 0), 0u);
    for (const auto& m : tt::AllMedia()) {
        const std::string ext = m.Name.substr(m.Name.rfind('.'));
        EXPECT_NE((filter[1] + ";").find("*" + ext + ";"), std::string::npos) << ext;
    }
    EXPECT_EQ(filter[2] + "|" + filter[3], "All files (*.d2v *.avi)|*.d2v;*.D2V;*.avi;*.AVI");
    EXPECT_EQ(filter[4] + "|" + filter[5], "All files (*.*)|*.*");
    EXPECT_EQ(Platform.LastDialog.DefaultExt, "*.d2v;*.avi");
    EXPECT_TRUE(Platform.LastDialog.MustExist);
    const std::string chosen = OpenAvi(720, 576, 25, 1);
    Open(std::nullopt);
    EXPECT_EQ(Platform.LastDialog.FileName, chosen);
    EXPECT_EQ(f.FileNameSrc, chosen);
    // A refused file stays in the dialog, to be corrected.
    const std::string refused = Project("refused.d2v", 720, 576, 2, "");
    Open(refused);
    ASSERT_EQ(Platform.Messages.size(), 1u);
    Platform.Messages.clear();
    Open(std::nullopt);
    EXPECT_EQ(Platform.LastDialog.FileName, refused);
    EXPECT_EQ(f.FileNameSrc, chosen);
    EXPECT_TRUE(Platform.Messages.empty());
}

// At start-up the stored source fills only its own fields; the stored film
// length, frame rate and kind win over the file's.
TEST_F(SourceForm, StartUpReadsTheStoredSourceQuietly) {
    const std::string avi = Avi("last.avi", 720, 480, 30000, 1001, 3000);
    WriteSettings("[Global]\nVersion=1.0.0\n[Image]\nSeconds=600\nFpsBox=1\n"
                  "[Resolution]\nSrcIsPAL=1\nSrcAspectBox=3\n[AVSscript]\nFileNameSrc=" +
                  avi + "\n");
    TMainForm& f = Start();
    EXPECT_TRUE(Shows(f, "SrcXEdit=720; SrcYEdit=480; EditMin=10; EditSec=0; FpsCombo=25fps; "
                         "SrcPALBox=1; SrcAspectBox=" +
                             f.SrcAspectBox.Items().at(3)));
    EXPECT_EQ(f.OpenVideoBtn.Hint(),
              Hint(avi, "720x480 @ 29.970fps\r\nFourCC: DVSD\r\n3000 frames"));
    EXPECT_EQ(f.FileNameAVS, "");
    EXPECT_EQ(SourceLine(), "AviSource(\"" + avi + "\")");
    EXPECT_TRUE(Platform.Messages.empty());
}

/// Deterministic noise.
std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string Bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A refused, failed or broken open changes nothing: not the window, not the source name, not
// the script, not the film the disc job encodes. A message says why, and the window goes on
// working.
TEST_F(SourceForm, RefusedOpenLeavesEverything) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    const std::string dv = Bytes((*Media)["dv_pal.avi"]), vob = Bytes((*Media)["pal_wide.vob"]);
    ASSERT_GT(dv.size(), 1000u);
    ASSERT_GT(vob.size(), 1000u);
    tt::TProject project;
    project.Path = (*Media)["pal_wide.vob"];
    const std::string projectText = project.Text();
    TMainForm& f = Start();
    const std::string good = Avi("good.avi", 352, 288, 25, 1, 1000, "FMP4");
    const std::string badRate = Project("rate.d2v", 720, 576, 3, "25fps");
    const std::tuple<const char*, std::optional<std::string>, std::size_t> rows[] = {
        {"cancel", std::nullopt, 0},
        {"missing file", Temp / "none.avi", 1},
        {"rate not a number", badRate, 1},
        {"list with a missing file", Temp.Write("some.lst", good + "\n" + Temp / "none.avi" + "\n"),
         1},
        {"list of two types", Temp.Write("mixed.lst", good + "\n" + badRate + ".m2v\n"), 1},
        {"truncated film", Temp.Write("truncated.mp4", std::string("\0\0\0\030ftypisom", 12)), 1},
        {"AVI without a video stream", Temp.Write("riff.avi", "RIFF"), 1},
        {"frame of no height", Avi("flat.avi", 720, 0, 25, 1), 1},
        // Broken files of every kind.
        {"cut.avi", Temp.Write("cut.avi", dv.substr(0, 100)), 1},
        {"noise.avi", Temp.Write("noise.avi", Noise(5000, 1)), 1},
        {"empty.avi", Temp.Write("empty.avi", ""), 1},
        {"riff and noise", Temp.Write("riffnoise.avi", "RIFF" + Noise(3000, 2)), 1},
        {"cut.vob", Temp.Write("cut.vob", vob.substr(0, 20)), 1},
        {"noise.vob", Temp.Write("noise.vob", Noise(20000, 3)), 1},
        {"noise.m2v", Temp.Write("noise.m2v", Noise(300, 4)), 1},
        {"cut.d2v", Temp.Write("cut.d2v", projectText.substr(0, projectText.find("Clipping"))), 1},
        // A broken project names its embedded file, then says the rest could not be read.
        {"noise.d2v", Temp.Write("noise.d2v", Noise(2000, 5)), 2},
        {"empty.d2v", Temp.Write("empty.d2v", ""), 2},
        {"noise.lst", Temp.Write("noise.lst", Noise(500, 6)), 1},
    };
    for (const auto& [what, file, messages] : rows) {
        SCOPED_TRACE(what);
        Open(good);
        const TDiscPlan plan = f.DiscPlan();
        const auto before = Snapshot(f);
        const std::string saveName = f.FileNameAVS;
        Platform.Messages.clear();
        Open(file);
        EXPECT_EQ(Platform.Messages.size(), messages)
            << ::testing::PrintToString(Platform.Messages);
        for (const std::string& m : Platform.Messages) EXPECT_EQ(m.rfind("Error: ", 0), 0u) << m;
        EXPECT_EQ(Snapshot(f), before);
        EXPECT_EQ(f.FileNameSrc, good);
        EXPECT_EQ(f.FileNameAVS, saveName);
        EXPECT_EQ(f.DiscPlan().Source, plan.Source);
        EXPECT_EQ(f.SourceFile.FrameFile, good);
        // Still at work: a new source and a typed film area.
        Platform.Messages.clear();
        OpenAvi(720, 576, 25, 1);
        EXPECT_TRUE(Shows(f, "SrcAspectBox=DVD; SrcXEdit=720"));
        Type(f.SrcPixelYEdit, "436");
        EXPECT_EQ(f.ResizeModel.SrcPixelY, 436);
        EXPECT_TRUE(Platform.Messages.empty());
    }
}

// A 16:9 VOB after a DV AVI: everything the window shows is the VOB's own.
TEST_F(SourceForm, VobAfterDvAvi) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    TMainForm& f = Start();
    OpenAvi(720, 576, 25, 1, 100);
    ASSERT_EQ(f.EditSec.Text(), "4");
    ASSERT_TRUE(f.InterlacedResBox.Checked());
    const std::string vob = (*Media)["pal_wide.vob"];
    Open(vob);
    EXPECT_TRUE(Platform.Messages.empty());
    EXPECT_EQ(f.OpenVideoBtn.Hint(), Hint(vob, "720x576 @ 25.000fps\r\nFourCC: MPG2\r\n3 frames"));
    // A progressive stream; the film's aspect is 720 / 576 / (117 / 128 x 3 / 4).
    EXPECT_TRUE(Shows(f, "EditSec=0; SrcAnamorphic=1; InterlacedResBox=0; Label13== 1.8234"));
    EXPECT_EQ(SourceLine(), "LWLibavVideoSource(\"" + vob + "\")");
}

// A project of DGIndex 1.5 or later, with the window's view of it.
TEST_F(SourceForm, KeyedProjectOpens) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    TMainForm& f = Start();
    tt::TKeyedProjectText p;
    p.Files = {(*Media)["pal_bff.vob"]};
    p.Set("Aspect_Ratio", "4:3").Set("Clipping", "8,8,0,0").Set("Picture_Size", "704x576");
    std::string line = "900 5 0 0 0 0 0 92";
    for (int i = 0; i < 24; ++i) line += " a2";
    p.Data.assign(30, line); // 30 x 25 pictures and one more
    p.Data.push_back("900 5 0 0 0 0 0 92 ff");
    const std::string d2v = Temp.Write("keyed.d2v", p.Text());
    Open(d2v);
    EXPECT_TRUE(Platform.Messages.empty());
    // 751 frames at 25 fps: 30 seconds.
    EXPECT_TRUE(Shows(f, "SrcXEdit=704; SrcYEdit=576; FpsCombo=25fps; EditMin=0; EditSec=30; "
                         "SrcAspectBox=XVCD"));
    EXPECT_EQ(SourceLine(), "mpeg2source(\"" + d2v + "\")");
}

struct MediaRow {
    const char* file; // a project over the named MPEG file when it ends in .d2v
    int fps;
    bool pal;
    const char* kind;
    bool anamorphic, interlaced, bottomFirst;
    const char* filter; // of the script's source line
};

// Files as ffmpeg writes them.
TEST_F(SourceForm, RealFiles) {
    if (!tt::HaveMediaTools()) GTEST_FAIL() << tt::MissingMediaTools;
    const MediaRow rows[] = {
        {"dv_pal.avi", 1, true, "DVD", false, true, false, "AviSource"},
        {"raw_rgb.avi", 1, true, "VCD", false, false, false, "AviSource"},
        {"mpeg4_ntsc.avi", 2, false, "DVD", false, false, false, "AviSource"},
        {"dv_ntsc.avi", 2, false, "DVD", false, true, false, "AviSource"},
        {"mpeg4_ntsc_cut.avi", 2, false, "1:1 Monitor", false, false, false, "AviSource"},
        {"raw_half_rate.avi", 1, false, "1:1 Monitor", false, false, false, "AviSource"},
        {"mpeg4_film.avi", 0, false, "DVD", false, false, false, "AviSource"},
        {"pal_wide.vob.d2v", 1, true, "DVD", true, false, false, "mpeg2source"},
        {"ntsc_43.mpeg.d2v", 2, false, "DVD", false, false, false, "mpeg2source"},
        // MPEG read by hand: the aspect code gives the kind and the anamorphic flag.
        {"pal_wide.vob", 1, true, "DVD", true, false, false, "LWLibavVideoSource"},
        {"pal_bff.vob", 1, true, "DVD", false, true, true, "LWLibavVideoSource"},
        {"ntsc_tff.m2v", 2, false, "DVD", true, true, false, "LWLibavVideoSource"},
        {"svcd_wide.mpv", 1, true, "SVCD", true, false, false, "LWLibavVideoSource"},
        {"cif.mpg", 1, true, "1:1 Monitor", false, false, false, "LWLibavVideoSource"},
        // Every other container: a stated pixel shape as for MPEG, else the frame's shape.
        {"pal_wide.mkv", 1, true, "DVD", true, false, false, "LWLibavVideoSource"},
        {"ntsc_43.mkv", 2, false, "DVD", false, false, false, "LWLibavVideoSource"},
        {"pal_bff.mkv", 1, true, "DVD", false, true, true, "LWLibavVideoSource"},
        {"hd_film.mp4", 0, false, "1:1 Monitor", false, false, false, "LWLibavVideoSource"},
        {"pal_tff.mp4", 1, true, "DVD", false, true, false, "LWLibavVideoSource"},
        {"ntsc_wide.mov", 2, false, "DVD", true, false, false, "LWLibavVideoSource"},
        {"ntsc_tff.ts", 2, false, "DVD", false, true, false, "LWLibavVideoSource"},
        {"hd_ntsc.ts", 2, false, "1:1 Monitor", false, false, false, "LWLibavVideoSource"},
        {"pal_bff.ts", 1, true, "DVD", true, true, true, "LWLibavVideoSource"},
        {"cif.flv", 1, true, "VCD", false, false, false, "LWLibavVideoSource"},
        {"pal_43.ogv", 1, true, "DVD", false, false, false, "LWLibavVideoSource"},
        {"dv_pal.dv", 1, true, "DVD", false, true, false, "LWLibavVideoSource"},
    };
    for (const MediaRow& r : rows) {
        std::string file = r.file;
        const bool project = file.ends_with(".d2v");
        if (project) {
            tt::TProject p;
            p.Path = (*Media)[file.substr(0, file.size() - 4)];
            p.Rate = r.pal ? "25000" : "29970";
            file = Temp.Write(file, p.Text());
        } else {
            file = (*Media)[file];
        }
        TMainForm& f = Start();
        Open(file);
        EXPECT_TRUE(Platform.Messages.empty()) << r.file;
        const auto tick = [](bool on) { return on ? "1" : "0"; };
        // A few frames only: no minutes.
        EXPECT_TRUE(Shows(f, "FpsCombo=" + f.FpsCombo.Items().at(r.fps) +
                                 "; SrcPALBox=" + tick(r.pal) + "; SrcAspectBox=" + r.kind +
                                 "; SrcAnamorphic=" + tick(r.anamorphic) +
                                 "; InterlacedResBox=" + tick(r.interlaced) +
                                 "; BffToTffBox=" + tick(r.bottomFirst) + "; EditMin=0"))
            << r.file;
        EXPECT_EQ(SourceLine(), std::string(r.filter) + "(\"" + file + "\")");
    }
}

} // namespace
} // namespace tarvex

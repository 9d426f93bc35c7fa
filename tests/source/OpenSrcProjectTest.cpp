// Project files, by position and by key, and their broken fields.
#include "tests/source/OpenSrcFixture.h"

namespace tarvex {
namespace {

using namespace testkit;

// ---- Project reader -------------------------------------------------------------------

class SourceProjectTest : public SourceReaderTest {
  protected:
    /// A project naming a 720x576 16:9 elementary stream.
    TProject Project() {
        TProject p;
        p.Path = dir.Write("film.m2v", SeqHeader(720, 576, 3));
        return p;
    }
    int Open(const TProject& p) { return reader.OpenFiles({dir.Write("film.d2v", p.Text())}); }
};

struct TProjectCase {
    const char* Name;
    TProject Project; ///< its Path is filled in by the test
    TSourceFrame Expected;
};

class ProjectReadTest : public SourceProjectTest,
                        public ::testing::WithParamInterface<TProjectCase> {};

TEST_P(ProjectReadTest, ReadsSizeCropRateAndFrames) {
    TProject p = GetParam().Project;
    p.Path = Project().Path;
    ASSERT_EQ(Open(p), 0);
    EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
    EXPECT_EQ(reader.Frame, GetParam().Expected);
    EXPECT_EQ(reader.FileType, ".d2v");
}

/// A frame line of 3 MiB: three leading tokens and then pictures.
std::string EndlessLine() {
    std::string frames = "7 0 0";
    while (frames.size() < 3 * (1 << 20)) frames += " 2";
    return frames;
}

/// A project over film.m2v read as `count` frames of `resX` x `resY` at `rate`.
TProjectCase Read(const char* name, TProject p, std::int32_t count, std::int16_t resX = 720,
                  std::int16_t resY = 576, double rate = 25.0) {
    return {name, std::move(p), {resX, resY, rate, count, "MPG1", 3, true, false}};
}

// Each row names only the project lines it changes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
INSTANTIATE_TEST_SUITE_P(
    Projects, ProjectReadTest,
    ::testing::Values(
        // Four, three and two pictures, the end marker not counted, less two.
        Read("CropAndLines",
             {.Crop = "10,20,8,16,0,0",
              .Frames = {"7 0 0 2 2 2 2", "7 0 1A00 2 2 2", "7 0 2B00 2 2 9"}},
             7, 696, 546),
        Read("FurtherFileLinesSkipped",
             {.Line2 = "3",
              .OtherFiles = {"47 /second.m2v", "47 /third.m2v"},
              .Crop = "0,0,20,20,0"},
             10, 680),
        Read("EmptySecondLineSkipsNone", {.Line2 = "", .Crop = "0,0,20,20,0"}, 10, 680),
        Read("CarriageReturnLineEnds", {.Rate = "23976", .Eol = "\r\n"}, 10, 720, 576, 23.976),
        // The frame rate is given in thousandths.
        Read("Rate29970", {.Rate = "29970"}, 10, 720, 576, 29.97),
        Read("Rate12500", {.Rate = "12500"}, 10, 720, 576, 12.5),
        Read("RateZero", {.Rate = "0"}, 10, 720, 576, 0.0),
        Read("RateNegative", {.Rate = "-1000"}, 10, 720, 576, -1.0),
        // Counting the picture flags.
        Read("EndMarker", {.Frames = {"7 0 0 2 2 2 2 9"}}, 2),
        Read("EndMarkerAndBlank", {.Frames = {"7 0 0 2 2 2 2 9 "}}, 2),
        Read("NoEndMarker", {.Frames = {"7 0 0 2 2 2 2"}}, 2),
        Read("TrailingBlank", {.Frames = {"7 0 0 2 2 2 2 "}}, 2),
        Read("NineInsideCounts", {.Frames = {"7 0 0 9 2 9 2"}}, 2),
        Read("ManyLines", {.Frames = {"7 0 0 2 2 2 2 2 2", "7 0 1 2 2 2 2 2 2 9"}}, 10),
        Read("ShortLine", {.Frames = {"7 0"}}, -1), Read("OnlyTokens", {.Frames = {"7 0 0 9"}}, -2),
        Read("NoFrames", {.Frames = {}}, -2),
        // The first MiB holds (2^20 - 5) / 2 pictures after the three leading tokens.
        Read("EndlessLineIsCutToOneMebibyte", {.Frames = {EndlessLine()}}, ((1 << 20) - 5) / 2 - 2),
        Read("EndAtTheFirstEmptyLine", {.Frames = {"7 0 0 2 2 2 2", "", "7 0 0 2 2 2 2 2 2 2 2"}},
             2)),
    [](const auto& info) { return std::string(info.param.Name); });

#pragma GCC diagnostic pop

TEST_F(SourceProjectTest, MissingMpegFileIsReportedAndReadingGoesOn) {
    TProject p = Project();
    p.Path = dir / "gone.m2v";
    p.Crop = "6,10,8,8,0";
    reader.Frame.Width = 352;
    reader.Frame.Height = 288;
    ASSERT_EQ(Open(p), 0);
    EXPECT_EQ(shown, Shown(NoEmbedded + dir / "gone.m2v"));
    EXPECT_EQ(reader.Frame, (TSourceFrame{336, 272, 25.0, 10, "OLD1", 9, true, false}));
}

struct TBadField {
    const char* Name;
    std::string Crop, Rate, Message;
    double RateAfter; ///< the frame rate is taken before the crop
};

class ProjectFieldTest : public SourceProjectTest,
                         public ::testing::WithParamInterface<TBadField> {};

TEST_P(ProjectFieldTest, NonNumberEndsTheOpen) {
    const auto& c = GetParam();
    TProject p = Project();
    p.Crop = c.Crop;
    p.Rate = c.Rate;
    const TSourceFrame before = reader.Frame;
    EXPECT_EQ(Open(p), TOpenSrcFile::OpenConvertError);
    EXPECT_EQ(shown, Shown(c.Message));
    // Nothing of the failed open stays: not the list, not what was read before the field.
    EXPECT_TRUE(reader.FileNames.empty());
    EXPECT_TRUE(reader.FrameFile.empty());
    EXPECT_EQ(reader.Frame, before);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ProjectFieldTest,
    ::testing::Values(
        TBadField{"CropWord", "a,0,0,0,0", "25000", "'a' is not a valid integer value", 25.0},
        TBadField{"CropFourFields", "0,0,0,0", "25000", "'' is not a valid integer value", 25.0},
        TBadField{"RateWord", "0,0,0,0,0", "fast", "'fast' is not a valid integer value", 12.34},
        TBadField{"RateDecimal", "0,0,0,0,0", "29.97", "'29.97' is not a valid integer value",
                  12.34},
        TBadField{"CropPastTheFrame", "0,0,40000,0,0", "25000",
                  "The picture size -39280x576 is out of range.", 25.0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceProjectTest, EmptyProjectReportsTheMissingFileAndTheBadField) {
    EXPECT_EQ(reader.OpenFiles({dir.Write("film.d2v", "")}), TOpenSrcFile::OpenConvertError);
    EXPECT_EQ(shown, (std::vector<std::string>{NoEmbedded, "'' is not a valid integer value"}));
}

TEST_F(SourceProjectTest, EveryCutOfAProjectEndsInAMessageOrAValue) {
    TProject p = Project();
    const std::string whole = p.Text();
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        shown.clear();
        const int result = reader.OpenFiles({dir.Write("cut.d2v", whole.substr(0, cut))});
        EXPECT_TRUE(result == 0 || result == TOpenSrcFile::OpenConvertError);
        EXPECT_EQ(result == TOpenSrcFile::OpenConvertError,
                  !shown.empty() && shown.back().find("valid integer") != std::string::npos);
    }
}

// ---- Project files of DGIndex 1.5 and later ------------------------------------------

struct TKeyedCase {
    const char* Name;
    std::vector<std::pair<std::string, std::string>> Settings; ///< changed settings ("" removes)
    std::vector<std::string> Data;                             ///< data lines, when changed
    std::string File;      ///< the MPEG file as the project names it ({d} is the folder)
    TSourceFrame Expected; ///< starting from 720x576 film.m2v, aspect code 2
    TRatio Rate;           ///< the exact rate the reader keeps
    bool MissingFile = false;
};

class KeyedProjectTest : public SourceReaderTest,
                         public ::testing::WithParamInterface<TKeyedCase> {};

TEST_P(KeyedProjectTest, ReadsTheProjectByItsKeys) {
    const auto& c = GetParam();
    dir.Write("film.m2v", SeqHeader(720, 576, 2));
    testkit::TKeyedProjectText p;
    p.Files = {Expand(c.File, dir.Path.string())};
    for (const auto& [key, value] : c.Settings) p.Set(key, value);
    if (!c.Data.empty()) p.Data = c.Data;
    ASSERT_EQ(reader.OpenFiles({dir.Write("film.d2v", p.Text())}), 0);
    EXPECT_EQ(shown, c.MissingFile ? Shown(NoEmbedded + p.Files[0]) : std::vector<std::string>{});
    EXPECT_EQ(reader.Frame, c.Expected);
    EXPECT_EQ(reader.Facts.FrameRate, c.Rate);
}

using TSettings = std::vector<std::pair<std::string, std::string>>;

TKeyedCase Keyed(const char* name, TSettings settings, std::vector<std::string> data,
                 std::string file, TSourceFrame expected, TRatio rate, bool missingFile = false) {
    return {name, std::move(settings), std::move(data), std::move(file), std::move(expected),
            rate, missingFile};
}

/// What the reader takes from the 16:9 MPEG-1 header of film.m2v.
TSourceFrame FromFilm(std::int16_t resX, std::int16_t resY, double rate, std::int32_t count) {
    return {resX, resY, rate, count, "MPG1", 2, false, false};
}

const std::string Film = "{d}/film.m2v";
// Five pictures, three of them repeating a field: thirteen fields.
const std::string Pulldown = "900 5 0 0 0 0 0 d2 f1 e2 f1 e3 ff";
const TRatio Pal{25, 1};

INSTANTIATE_TEST_SUITE_P(
    Projects, KeyedProjectTest,
    ::testing::Values(
        // 12 pictures; the size after the crop, the aspect from the MPEG file.
        Keyed("Defaults", {}, {}, Film, FromFilm(720, 576, 25.0, 12), Pal),
        Keyed("SizeAfterCrop", {{"Clipping", "8,8,0,0"}, {"Picture_Size", "704x576"}}, {}, Film,
              FromFilm(704, 576, 25.0, 12), Pal),
        Keyed("CropWithoutSize", {{"Clipping", "8,10,2,4"}, {"Picture_Size", ""}}, {}, Film,
              FromFilm(702, 570, 25.0, 12), Pal),
        Keyed("SeveralLines", {},
              {"900 5 0 0 0 0 0 d2 e2 e2", "900 5 0 7f0 1 0 0 92 a2 b2 b2",
               "800 5 0 ff0 0 0 0 92 ff"},
              Film, FromFilm(720, 576, 25.0, 8), Pal),
        Keyed("PulldownHonoured", {{"Frame_Rate", "29970 (30000/1001)"}}, {Pulldown}, Film,
              FromFilm(720, 576, Ntsc, 6), {30000, 1001}),
        Keyed("ForcedFilm", {{"Frame_Rate", "23976 (24000/1001)"}, {"Field_Operation", "1"}},
              {Pulldown}, Film, FromFilm(720, 576, NtscFilm, 5), {24000, 1001}),
        Keyed("RateWithoutFraction", {{"Frame_Rate", "29970"}}, {}, Film,
              FromFilm(720, 576, 29.97, 12), {2997, 100}),
        Keyed("FileBesideTheProject", {}, {}, "film.m2v", FromFilm(720, 576, 25.0, 12), Pal),
        // Without the MPEG file the project's own size and aspect stand.
        Keyed("MissingMpegFile",
              {{"Picture_Size", "704x480"}, {"Frame_Rate", "29970 (30000/1001)"}}, {},
              "{d}/gone.vob", {704, 480, Ntsc, 12, "MPG2", 3, true, false}, {30000, 1001}, true)),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, KeyedProjectFieldThatIsNoNumber) {
    dir.Write("film.m2v", SeqHeader(720, 576, 2));
    for (const auto& [key, value, message] :
         {std::tuple{"Frame_Rate", "fast", "'fast' is not a valid integer value"},
          std::tuple{"Frame_Rate", "25000 (25/x)", "'x' is not a valid integer value"},
          std::tuple{"Picture_Size", "720", "'' is not a valid integer value"},
          std::tuple{"Picture_Size", "57599x576", "The picture size 57599x576 is out of range."},
          std::tuple{"Picture_Size", "-7937x576", "The picture size -7937x576 is out of range."}}) {
        SCOPED_TRACE(value);
        shown.clear();
        testkit::TKeyedProjectText p;
        p.Files = {dir / "film.m2v"};
        p.Set(key, value);
        EXPECT_EQ(reader.OpenFiles({dir.Write("film.d2v", p.Text())}),
                  TOpenSrcFile::OpenConvertError);
        EXPECT_EQ(shown, Shown(message));
    }
}

} // namespace
} // namespace tarvex

#include "source/OpenSrc.h"

#include "common/Numeric.h"
#include "tests/source/SourceFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tarvex {

// Found by GoogleTest through the type's namespace.
void PrintTo(const TSourceFrame& f, std::ostream* os) {
    *os << f.Width << "x" << f.Height << " @" << f.FrameRate << " n=" << f.FrameCount << " '"
        << f.FourCC << "' aspect " << int{f.AspectCode} << (f.Anamorphic ? " anamorphic" : "")
        << (f.Vfapi ? " vfapi" : "");
}

namespace {

using testkit::MakeAvi;
using testkit::MakeVfapiAvi;
using testkit::MpegWithHeaderAt;
using testkit::SeqHeader;
using testkit::TAviStream;
using testkit::TProject;

const std::string NoRiff = "Given avi-file is broken!\r\nCan't find the RIFF-header of file: ";
const std::string NoVideo = "Given avi-file is broken!\r\nCan't find a video-stream in file: ";
const std::string NoEmbedded =
    "Given d2v-project file is broken!\r\nCan't find the embedded file: ";
const std::string SearchFailed = "Exception @ SeqHeader-search! File-End reached?";
const std::string NoSeqHeader = "Can't find the sequence-header of: ";
const std::string BadSeqHeader = "Can't parse the sequence-header of: ";
const std::string CantOpen = "Can't open file: ";

/// Facts of an earlier source, so that a test sees what a reader leaves alone.
void SetEarlierFacts(TSourceFrame& f) {
    f.Width = 720;
    f.Height = 576;
    f.FrameRate = 12.34;
    f.FrameCount = 4321;
    f.FourCC = "OLD1";
    f.AspectCode = 9;
    f.Anamorphic = true;
}

class SourceReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reader.ShowError = [this](const std::string& text) { shown.push_back(text); };
        SetEarlierFacts(reader.Frame);
    }

    std::vector<std::string> Shown(const std::string& text) const { return {text}; }

    TTempFolder dir;
    TOpenSrcFile reader;
    std::vector<std::string> shown;
};

// ---- Accepting a file list ------------------------------------------------------------

struct TListCase {
    const char* Name;
    std::vector<std::string> Create; ///< files made in the temp folder (empty AVI headers)
    std::string List;                ///< contents of list.lst, "{d}" standing for the folder
    std::vector<std::string> Args;   ///< names given, relative to the folder ("" for none)
    int Result;
    std::string Message; ///< "{d}" stands for the folder
    std::string Type;
    std::vector<std::string> Names;
};

std::string Expand(std::string s, const std::string& dir) {
    for (std::size_t at = s.find("{d}"); at != std::string::npos; at = s.find("{d}", at))
        s.replace(at, 3, dir);
    return s;
}

class OpenFilesTest : public SourceReaderTest, public ::testing::WithParamInterface<TListCase> {};

TEST_P(OpenFilesTest, ChecksTheListAndKeepsTheOldOneOnFailure) {
    const auto& c = GetParam();
    const std::string d = dir.Path.string();
    // Only the first file is read: the others are of another size.
    for (const auto& f : c.Create) dir.Write(f, MakeAvi(f == c.Create[0] ? 640 : 320, 480, {{}}));
    if (!c.List.empty() || c.Create.empty()) dir.Write("list.lst", Expand(c.List, d));
    reader.FileNames = {"previous.avi"};
    reader.FileType = ".prev";

    std::vector<std::string> args;
    for (const auto& a : c.Args) args.push_back(dir / a);
    EXPECT_EQ(reader.OpenFiles(args), c.Result);

    if (c.Result == TOpenSrcFile::OpenOk) {
        EXPECT_TRUE(shown.empty());
        std::vector<std::string> names;
        for (const auto& n : c.Names) names.push_back(dir / n);
        EXPECT_EQ(reader.FileNames, names);
        EXPECT_EQ(reader.FileType, c.Type);
        EXPECT_EQ(reader.Frame.Width, 640);
    } else {
        EXPECT_EQ(shown, Shown(Expand(c.Message, d)));
        EXPECT_EQ(reader.FileNames, std::vector<std::string>{"previous.avi"});
        EXPECT_EQ(reader.FileType, ".prev");
    }
}

using Names = std::vector<std::string>;

TListCase Fails(const char* name, Names create, std::string list, Names args, int result,
                std::string message) {
    return {name, std::move(create), std::move(list), std::move(args), result, message, "", {}};
}

/// An accepted list; the names kept are those given unless `names` says otherwise.
TListCase Accepts(const char* name, Names create, std::string list, Names args, std::string type,
                  Names names = {}) {
    if (names.empty()) names = args;
    return {name, std::move(create), std::move(list), std::move(args), 0, "", type, names};
}

const std::string Mixed = "Some files are not the same type!";
const std::string NoFiles = "No valid new files given!";

INSTANTIATE_TEST_SUITE_P(
    Lists, OpenFilesTest,
    ::testing::Values(
        Fails("EmptySelection", {"a.avi"}, "", {}, -1, NoFiles),
        Fails("ListAmongSeveral", {"b.avi"}, "{d}/b.avi", {"list.lst", "b.avi"}, -2,
              "Multiple .lst files are not allowed!"),
        Fails("FirstMissing", {"a.avi"}, "", {"x.avi"}, -3, "Can't find file: {d}/x.avi"),
        Fails("FirstUntrimmedMissing", {"a.avi"}, "", {"a.avi "}, -3,
              "Can't find file: {d}/a.avi "),
        Fails("MixedTypes", {"a.avi", "b.d2v"}, "", {"a.avi", "b.d2v"}, -4, Mixed),
        Fails("MismatchBeforeMissing", {"a.avi"}, "", {"a.avi", "gone.avi", "c.vob"}, -4, Mixed),
        Fails("SomeMissing", {"a.avi"}, "", {"a.avi", "gone.avi"}, -5, "Can't find all files!"),
        Fails("ListAllMissing", {}, "{d}/x.avi\n{d}/y.avi\n", {"list.lst"}, -1, NoFiles),
        Fails("EmptyList", {}, "", {"list.lst"}, -1, NoFiles),
        Fails("EmptyLineInList", {"a.avi", "b.avi"}, "{d}/a.avi\n\n{d}/b.avi\n", {"list.lst"}, -4,
              Mixed),
        Fails("LongExtensionIsCut", {"a.mpeg2video", "b.mpeg2video"}, "",
              {"a.mpeg2video", "b.mpeg2video"}, -4, Mixed),
        Fails("BarInAJoinedName", {"a.avi", "b|c.avi"}, "{d}/a.avi\n{d}/b|c.avi\n", {"list.lst"},
              TOpenSrcFile::OpenUnjoinable,
              "The files of the list cannot be joined into one film: the name {d}/b|c.avi holds "
              "a \"|\". Rename the file."),
        Accepts("BarInASingleName", {"b|c.avi"}, "", {"b|c.avi"}, ".avi"),
        Accepts("SingleName", {"a.avi"}, "", {"a.avi"}, ".avi"),
        Accepts("UpperCaseExtension", {"A.AVI"}, "", {"A.AVI"}, ".avi"),
        Accepts("LongExtensionType", {"a.mpeg2video"}, "", {"a.mpeg2video"}, ".mpeg2vi"),
        Accepts("UntypedEntriesFirst", {"plain", "b.avi", "c.AVI"}, "", {"plain", "b.avi", "c.AVI"},
                ".avi"),
        Accepts("ListWithCrLf", {"a.avi", "b.avi"}, "{d}/a.avi\r\n{d}/b.avi\r\n", {"list.lst"},
                ".avi", {"a.avi", "b.avi"})),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, ListNameIsTrimmedBeforeItIsRead) {
    // The untrimmed name passes the existence test, the trimmed one is read.
    dir.Write("l.lst ", "");
    EXPECT_EQ(reader.OpenFiles({dir / "l.lst "}), TOpenSrcFile::OpenListUnreadable);
    EXPECT_EQ(shown, Shown(CantOpen + dir / "l.lst"));
    EXPECT_TRUE(reader.FileNames.empty());
    dir.Write("a.avi", MakeAvi(640, 480, {{}}));
    dir.Write("l.lst", dir / "a.avi");
    ASSERT_EQ(reader.OpenFiles({dir / "l.lst "}), 0);
    EXPECT_EQ(reader.FileNames, std::vector<std::string>{dir / "a.avi"});
    EXPECT_EQ(reader.Frame.Width, 640);
}

TEST_F(SourceReaderTest, FolderIsNotASourceFile) {
    std::filesystem::create_directory(dir / "film.avi");
    EXPECT_EQ(reader.OpenFiles({dir / "film.avi"}), TOpenSrcFile::OpenFirstMissing);
    EXPECT_EQ(TOpenSrcFile::FileFound(dir / "film.avi"), 0);
    EXPECT_EQ(TOpenSrcFile::FileFound(dir / "none.avi"), TOpenSrcFile::NotFound);
    EXPECT_EQ(TOpenSrcFile::FileFound(""), TOpenSrcFile::NotFound);
}

// ---- Choosing the reader --------------------------------------------------------------

enum class TReader { SequenceHeader, Nothing, MediaProbe };

struct TTypeCase {
    std::string File;
    TReader Reader;
};

class ReaderChoiceTest : public SourceReaderTest,
                         public ::testing::WithParamInterface<TTypeCase> {};

TEST_P(ReaderChoiceTest, ExtensionPicksTheReader) {
    const auto& c = GetParam();
    const TSourceFrame before = reader.Frame;
    reader.FileNames = {"previous.avi"};
    const std::string name = dir.Write(c.File, MpegWithHeaderAt(40, 400, 352, 240, 3));
    const int result = reader.OpenFiles({name});
    if (c.Reader == TReader::MediaProbe) {
        // Bytes of no known kind: the probe says why, and nothing changes.
        EXPECT_EQ(result, TOpenSrcFile::OpenUnreadable);
        EXPECT_TRUE(shown.size() == 1 &&
                    shown[0].rfind("Can't read the file: " + name + "\r\n", 0) == 0)
            << ::testing::PrintToString(shown);
        EXPECT_EQ(reader.FileNames, std::vector<std::string>{"previous.avi"});
        EXPECT_EQ(reader.Frame, before);
        return;
    }
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(shown.empty());
    // The header's own rate code (25 fps); no picture follows it, so no frames.
    const TSourceFrame header{352, 240, 25.0, 0, "MPG1", 3, true, false};
    EXPECT_EQ(reader.Frame, c.Reader == TReader::SequenceHeader ? header : before);
}

using enum TReader;

const TTypeCase Types[] = {{"f.vob", SequenceHeader},  {"f.mpg", SequenceHeader},
                           {"f.MPEG", SequenceHeader}, {"f.m2v", SequenceHeader},
                           {"f.m1v", SequenceHeader},  {"f.Mpv", SequenceHeader},
                           {"f.avs", Nothing},         {"f.asf", MediaProbe},
                           {"f.ts", MediaProbe},       {"film", MediaProbe}};

INSTANTIATE_TEST_SUITE_P(Types, ReaderChoiceTest, ::testing::ValuesIn(Types), [](const auto& info) {
    std::string name = info.param.File;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
});

// ---- AVI header reader ----------------------------------------------------------------

struct TAviCase {
    const char* Name;
    std::vector<TAviStream> Streams;
    double Rate; ///< of the video stream
    std::int32_t Count;
    std::string FourCC;
};

class AviReadTest : public SourceReaderTest, public ::testing::WithParamInterface<TAviCase> {};

TEST_P(AviReadTest, TakesTheFirstVideoStream) {
    const auto& c = GetParam();
    reader.ReadAviHeader(dir.Write("f.avi", MakeAvi(720, 576, c.Streams)));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(reader.Frame, (TSourceFrame{720, 576, c.Rate, c.Count, c.FourCC, 9, true, false}));
}

TAviCase Avi(const char* name, std::vector<TAviStream> streams, double rate, std::int32_t count,
             std::string fourCC) {
    return {name, std::move(streams), rate, count, std::move(fourCC)};
}

const TAviStream Audio{"auds", 1, 48000, 5000, ""};
const double Ntsc = static_cast<double>(Real(30000) / 1001);
const double NtscFilm = static_cast<double>(Real(24000) / 1001);

// One video stream first, audio first, a rate over a scale of two and a code of
// NUL bytes are read from the AVI files made by ffmpeg in MediaTest.
INSTANTIATE_TEST_SUITE_P(
    Streams, AviReadTest,
    ::testing::Values(
        Avi("InterleavedDv", {{"iavs", 1, 25, 1000, "dvsd"}}, 25.0, 1000, "DVSD"),
        Avi("TwoAudioFirst",
            {Audio, Audio, {"vids", 1001, 24000, 1000, "div3"}, {"vids", 1, 25, 7, "xxxx"}},
            NtscFilm, 1000, "DIV3"),
        Avi("NulPaddedCode", {{"vids", 1, 25, 1000, std::string("Y8\0\0", 4)}}, 25.0, 1000, "Y8"),
        // Without a time scale the earlier frame rate stays.
        Avi("NoTimeScale", {{"vids", 0, 25, 77, "cvid"}}, 12.34, 77, "CVID")),
    [](const auto& info) { return std::string(info.param.Name); });

struct TBrokenAvi {
    const char* Name;
    std::string Bytes;
    std::string Message;
};

/// An AVI of an audio and a video stream with four bytes at `offset` changed to `v`.
std::string Patched(std::size_t offset, std::uint32_t v) {
    testkit::TBytes b;
    b.Data = MakeAvi(720, 576, {Audio, {}});
    b.Put32(offset, v);
    return b.Data;
}

/// A video stream behind more stream lists than an AVI file can have.
std::string TooManyStreams() {
    std::vector<TAviStream> streams(150, Audio);
    streams.push_back({});
    return MakeAvi(720, 576, streams);
}

class BrokenAviTest : public SourceReaderTest, public ::testing::WithParamInterface<TBrokenAvi> {};

TEST_P(BrokenAviTest, ReportsAndChangesNothing) {
    const auto& c = GetParam();
    const std::string name = dir.Write("f.avi", c.Bytes);
    const TSourceFrame before = reader.Frame;
    reader.ReadAviHeader(name);
    EXPECT_EQ(shown, Shown(c.Message + name));
    EXPECT_EQ(reader.Frame, before);
}

// Files cut short are in EveryCutOfAnAviIsReportedOrRead.
INSTANTIATE_TEST_SUITE_P(
    Files, BrokenAviTest,
    ::testing::Values(
        TBrokenAvi{"BigEndianRiff", "RIFX" + MakeAvi(720, 576, {{}}).substr(4), NoRiff},
        TBrokenAvi{"LowerCaseRiff", "riff" + MakeAvi(720, 576, {{}}).substr(4), NoRiff},
        TBrokenAvi{"AudioOnly", MakeAvi(720, 576, {Audio, Audio}), NoVideo},
        TBrokenAvi{"VideoTypeInOtherCase", MakeAvi(720, 576, {{"VIDS", 1, 25, 1, "dvsd"}}),
                   NoVideo},
        // The size field of the first stream list.
        TBrokenAvi{"ListSizeBackwards", Patched(92, 0xFFFFFFF8u), NoVideo},
        TBrokenAvi{"ListSizePastTheEnd", Patched(92, 0x7FFFFFFFu), NoVideo},
        TBrokenAvi{"ListSizeZero", Patched(92, 0), NoVideo},
        TBrokenAvi{"TooManyStreams", TooManyStreams(), NoVideo},
        // The RIFF size ends the file before the second stream list.
        TBrokenAvi{"RiffSizeEndsTheWalk", Patched(4, 110), NoVideo},
        // Sizes past 16 bits and counts past 31 are refused, not wrapped.
        TBrokenAvi{"WidthOutOfRange", MakeAvi(0x10000 + 720, 576, {{}}),
                   "The frame size 66256 x 576 is out of range in file: "},
        TBrokenAvi{"CountOutOfRange", MakeAvi(720, 576, {{"vids", 1, 25, 0x80000000u, "dvsd"}}),
                   "The frame count 2147483648 is out of range in file: "}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, EveryCutOfAnAviIsReportedOrRead) {
    const std::string whole = MakeAvi(720, 576, {Audio, {"iavs", 1, 25, 1000, "cdvc"}});
    const TSourceFrame before = reader.Frame;
    const TSourceFrame read{720, 576, 25.0, 1000, "CDVC", 9, true, false};
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        reader.Frame = {};
        SetEarlierFacts(reader.Frame);
        shown.clear();
        const std::string name = dir.Write("cut.avi", whole.substr(0, cut));
        reader.ReadAviHeader(name);
        EXPECT_EQ(reader.Frame, shown.empty() ? read : before);
        const std::string message = (cut < 4 ? NoRiff : NoVideo) + name;
        EXPECT_TRUE(shown.empty() || shown == Shown(message)) << ::testing::PrintToString(shown);
    }
}

// ---- VFAPI AVI ------------------------------------------------------------------------

TEST_F(SourceReaderTest, VfapiAviReadsTheProjectItServesOrKeepsItsOwnValues) {
    TProject p;
    p.Path = dir.Write("film.m2v", SeqHeader(720, 576, 3));
    p.Crop = "2,4,8,16,0";
    p.Rate = "29970";
    const std::string project = dir.Write("film.D2V", p.Text());
    for (const auto& [served, expected] :
         {std::pair{std::string(255, 'a'), TSourceFrame{320, 240, 25.0, 10, "VIFP", 9, true, true}},
          std::pair{project, TSourceFrame{696, 570, 29.97, 10, "VIFP", 3, true, true}}}) {
        reader.ReadAviHeader(dir.Write("f.avi", MakeVfapiAvi(served, served.size())));
        EXPECT_EQ(reader.Frame, expected);
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(SourceReaderTest, VfapiNameTooLongOrCutIsRefused) {
    for (const auto& [avi, label] :
         {std::pair{MakeVfapiAvi(std::string(300, 'a') + ".d2v", 304), "too long"},
          std::pair{MakeVfapiAvi("x.d2v", 0xFFFF), "length 65535"},
          std::pair{MakeVfapiAvi("abc.d2v", 7).substr(0, testkit::ServedNameOffset + 5), "cut"},
          std::pair{MakeVfapiAvi("", 0).substr(0, testkit::ServedNameOffset + 1), "no length"}}) {
        SCOPED_TRACE(label);
        shown.clear();
        const std::string name = dir.Write("f.avi", avi);
        reader.ReadAviHeader(name);
        EXPECT_EQ(shown, Shown(NoVideo + name));
        EXPECT_EQ(reader.Frame.FourCC, "VIFP");
        EXPECT_TRUE(reader.Frame.Vfapi);
    }
}

TEST_F(SourceReaderTest, VfapiFlagIsClearedByTheNextSource) {
    const std::string vfapi = dir.Write("v.avi", MakeVfapiAvi("x.avs", 5));
    // Every file of MediaTest is read over a VFAPI flag as well; a file that cannot be
    // read is no next source (RefusedOpenLeavesEverything).
    ASSERT_EQ(reader.OpenFiles({vfapi}), 0);
    ASSERT_TRUE(reader.Frame.Vfapi);
    ASSERT_EQ(reader.OpenFiles({dir.Write("f.avs", "")}), 0);
    EXPECT_FALSE(reader.Frame.Vfapi);
}

// ---- Sequence-header reader -----------------------------------------------------------

struct TSearchCase {
    std::size_t Offset, Size;
    std::string Message; ///< empty when the header is read
};

class SeqSearchTest : public SourceReaderTest, public ::testing::WithParamInterface<TSearchCase> {};

TEST_P(SeqSearchTest, FindsTheStartCodeInTheHeadOfTheFile) {
    const auto& c = GetParam();
    const std::string name = dir.Write("f.vob", MpegWithHeaderAt(c.Offset, c.Size, 720, 480, 3));
    const TSourceFrame before = reader.Frame;
    reader.ReadSequenceHeader(name);
    if (c.Message.empty()) {
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(reader.Frame, (TSourceFrame{720, 480, 25.0, 0, "MPG1", 3, true, false}));
    } else {
        EXPECT_EQ(shown, Shown(c.Message == SearchFailed ? c.Message : c.Message + name));
        EXPECT_EQ(reader.Frame, before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, SeqSearchTest,
    ::testing::Values(TSearchCase{0, 13000, ""}, TSearchCase{252, 13000, ""},
                      TSearchCase{253, 13000, ""}, TSearchCase{254, 13000, ""},
                      TSearchCase{12649, 13000, ""}, TSearchCase{12650, 13000, NoSeqHeader},
                      TSearchCase{12000, 12653, ""}, TSearchCase{0, 8, ""},
                      TSearchCase{100, 108, ""}, TSearchCase{0, 7, BadSeqHeader},
                      TSearchCase{96, 100, BadSeqHeader}, TSearchCase{12649, 12653, BadSeqHeader},
                      TSearchCase{12650, 12653, NoSeqHeader}, TSearchCase{100, 101, SearchFailed},
                      TSearchCase{300, 303, SearchFailed}, TSearchCase{0, 0, SearchFailed}),
    [](const auto& info) {
        return "At" + std::to_string(info.param.Offset) + "Of" + std::to_string(info.param.Size);
    });

TEST_F(SourceReaderTest, AspectCodeSetsTheAnamorphicFlag) {
    for (int code = 0; code < 16; ++code) {
        SCOPED_TRACE(code);
        reader.Frame.Anamorphic = !(code == 3 || code == 4);
        reader.ReadSequenceHeader(dir.Write("f.m2v", SeqHeader(720, 576, code)));
        EXPECT_EQ(reader.Frame.AspectCode, code);
        EXPECT_EQ(reader.Frame.Anamorphic, code == 3 || code == 4);
    }
    EXPECT_TRUE(shown.empty());
}

// The sequence extension's two size bits stand above the header's twelve.
TEST_F(SourceReaderTest, SequenceExtensionWidensTheSize) {
    for (const auto& [w, h] : {std::pair{7680, 4320}, std::pair{16383, 12288}}) {
        const std::string ext = {'\x00',
                                 '\x00',
                                 '\x01',
                                 '\xB5',
                                 '\x14',
                                 static_cast<char>(0x8A | w >> 13),
                                 static_cast<char>((w >> 12 & 1) << 7 | (h >> 12) << 5),
                                 0,
                                 1,
                                 0};
        reader.ReadSequenceHeader(dir.Write("f.m2v", SeqHeader(w & 0xFFF, h & 0xFFF, 2) + ext));
        EXPECT_EQ((std::pair<int, int>(reader.Frame.Width, reader.Frame.Height)), std::pair(w, h));
    }
}

TEST_F(SourceReaderTest, SequenceHeaderSizeUsesTwelveBits) {
    const std::vector<std::pair<int, int>> sizes = {{720, 576}, {352, 240}, {4095, 4095}, {1, 0}};
    for (const auto& [w, h] : sizes) {
        reader.ReadSequenceHeader(dir.Write("f.m2v", SeqHeader(w, h, 2)));
        EXPECT_EQ((std::pair<int, int>(reader.Frame.Width, reader.Frame.Height)), std::pair(w, h));
    }
}

TEST_F(SourceReaderTest, FileThatCannotBeOpenedIsReported) {
    std::filesystem::create_directory(dir / "folder.vob");
    reader.ReadSequenceHeader(dir / "none.vob");
    reader.ReadSequenceHeader(dir / "folder.vob");
    reader.ReadAviHeader(dir / "none.avi");
    reader.ReadProjectFile("");
    reader.ReadProjectFile(dir / "none.d2v");
    EXPECT_EQ(shown, (std::vector<std::string>{
                         CantOpen + dir / "none.vob", CantOpen + dir / "folder.vob",
                         CantOpen + dir / "none.avi", CantOpen, CantOpen + dir / "none.d2v"}));
}

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

// ---- Hostile files --------------------------------------------------------------------

TEST_F(SourceReaderTest, RandomFilesEndInADescribedMessage) {
    const std::vector<std::string> known = {NoRiff,       NoVideo,     NoEmbedded,
                                            SearchFailed, NoSeqHeader, BadSeqHeader};
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        std::string bytes(random() % 20000, '\0');
        for (char& b : bytes) b = static_cast<char>(random() % 4 == 0 ? 0 : random());
        if (round % 3 == 0 && bytes.size() >= 4) bytes.replace(0, 4, "RIFF");
        for (const char* type : {".avi", ".vob", ".d2v"}) {
            shown.clear();
            const std::string name = dir.Write(std::string("r") + type, bytes);
            const int result = reader.OpenFiles({name});
            EXPECT_TRUE(result == 0 || result == TOpenSrcFile::OpenConvertError ||
                        result == TOpenSrcFile::OpenUnreadable ||
                        result == TOpenSrcFile::OpenTooSmall)
                << round;
            for (const auto& m : shown) {
                const bool described =
                    m.find("is not a valid integer value") != std::string::npos ||
                    m.find(" is out of range") != std::string::npos ||
                    m.find("pixels can be planned.") != std::string::npos ||
                    std::any_of(known.begin(), known.end(),
                                [&](const std::string& k) { return m.rfind(k, 0) == 0; });
                EXPECT_TRUE(described) << ::testing::PrintToString(m);
            }
        }
    }
}

} // namespace
} // namespace tarvex

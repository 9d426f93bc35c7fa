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
namespace {

using testing::MakeAvi;
using testing::MakeVfapiAvi;
using testing::MpegWithHeaderAt;
using testing::SeqHeader;
using testing::TAviStream;
using testing::TProject;

const std::string NoRiff = "Given avi-file is broken!\r\nCan't find the RIFF-header of file: ";
const std::string NoVideo = "Given avi-file is broken!\r\nCan't find a video-stream in file: ";
const std::string NoEmbedded =
    "Given d2v-project file is broken!\r\nCan't find the embedded file: ";
const std::string SearchFailed = "Exception @ SeqHeader-search! File-End reached?";
const std::string NoSeqHeader = "Can't find the sequence-header of: ";
const std::string BadSeqHeader = "Can't parse the sequence-header of: ";
const std::string CantOpen = "Can't open file: ";

/// Every source fact the reader may write, to compare a model before and after.
struct TFacts {
    std::int16_t ResX, ResY;
    double Rate;
    std::int32_t Count;
    std::string FourCC;
    std::uint8_t Aspect;
    bool Anamorphic, VFAPI;
    bool operator==(const TFacts&) const = default;
};

void PrintTo(const TFacts& f, std::ostream* os) {
    *os << f.ResX << "x" << f.ResY << " @" << f.Rate << " n=" << f.Count << " '" << f.FourCC
        << "' aspect " << int{f.Aspect} << (f.Anamorphic ? " anamorphic" : "")
        << (f.VFAPI ? " vfapi" : "");
}

TFacts Facts(const TResizeStruct& m) {
    return {m.SrcResX,   m.SrcResY,       m.SrcFrameRate,    m.SrcFrameCount,
            m.SrcFourCC, m.SrcAspectCode, m.SrcIsAnamorphic, m.SrcIsVFAPI};
}

/// Facts of an earlier source, so that a test sees what a reader leaves alone.
void SetEarlierFacts(TResizeStruct& m) {
    m.SrcFrameRate = 12.34;
    m.SrcFrameCount = 4321;
    m.SrcFourCC = "OLD1";
    m.SrcAspectCode = 9;
    m.SrcIsAnamorphic = true;
}

class SourceReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reader.ShowError = [this](const std::string& text) { shown.push_back(text); };
        SetEarlierFacts(model);
    }

    std::vector<std::string> Shown(const std::string& text) const { return {text}; }

    TTempFolder dir;
    TResizeStruct model;
    TOpenSrcFile reader{model};
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
    for (const auto& f : c.Create) dir.Write(f, MakeAvi(640, 480, {{}}));
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

TListCase Accepts(const char* name, Names create, std::string list, Names args, std::string type,
                  Names names) {
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
        Accepts("SingleName", {"a.avi"}, "", {"a.avi"}, ".avi", {"a.avi"}),
        Accepts("UpperCaseExtension", {"A.AVI"}, "", {"A.AVI"}, ".avi", {"A.AVI"}),
        Accepts("LongExtensionType", {"a.mpeg2video"}, "", {"a.mpeg2video"}, ".mpeg2vi",
                {"a.mpeg2video"}),
        Accepts("UntypedEntriesFirst", {"plain", "b.avi", "c.AVI"}, "", {"plain", "b.avi", "c.AVI"},
                ".avi", {"plain", "b.avi", "c.AVI"}),
        Accepts("ListWithCrLf", {"a.avi", "b.avi"}, "{d}/a.avi\r\n{d}/b.avi\r\n", {"list.lst"},
                ".avi", {"a.avi", "b.avi"})),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, ListNameIsTrimmedBeforeItIsRead) {
    // The untrimmed name passes the existence test, the trimmed one is read.
    dir.Write("a.avi", MakeAvi(640, 480, {{}}));
    dir.Write("l.lst", dir / "a.avi");
    dir.Write("l.lst ", "");
    ASSERT_EQ(reader.OpenFiles({dir / "l.lst "}), 0);
    EXPECT_EQ(reader.FileNames, std::vector<std::string>{dir / "a.avi"});
    EXPECT_EQ(model.SrcResX, 640);
}

TEST_F(SourceReaderTest, UnreadableListIsReported) {
    dir.Write("l.lst ", dir / "a.avi");
    EXPECT_EQ(reader.OpenFiles({dir / "l.lst "}), TOpenSrcFile::OpenListUnreadable);
    EXPECT_EQ(shown, Shown(CantOpen + dir / "l.lst"));
    EXPECT_TRUE(reader.FileNames.empty());
}

TEST_F(SourceReaderTest, FolderIsNotASourceFile) {
    std::filesystem::create_directory(dir / "film.avi");
    EXPECT_EQ(reader.OpenFiles({dir / "film.avi"}), TOpenSrcFile::OpenFirstMissing);
    EXPECT_EQ(TOpenSrcFile::FileFound(dir / "film.avi"), 0);
    EXPECT_EQ(TOpenSrcFile::FileFound(dir / "none.avi"), TOpenSrcFile::NotFound);
    EXPECT_EQ(TOpenSrcFile::FileFound(""), TOpenSrcFile::NotFound);
}

TEST_F(SourceReaderTest, OnlyTheFirstFileIsRead) {
    dir.Write("a.avi", MakeAvi(640, 480, {{}}));
    dir.Write("b.avi", MakeAvi(320, 240, {{}}));
    ASSERT_EQ(reader.OpenFiles({dir / "a.avi", dir / "b.avi"}), 0);
    EXPECT_EQ(reader.FileNames.size(), 2u);
    EXPECT_EQ(model.SrcResX, 640);
}

// ---- Choosing the reader --------------------------------------------------------------

enum class TReader { SequenceHeader, Nothing, MediaProbe };

struct TTypeCase {
    const char* Name;
    std::string File;
    TReader Reader;
};

class ReaderChoiceTest : public SourceReaderTest,
                         public ::testing::WithParamInterface<TTypeCase> {};

TEST_P(ReaderChoiceTest, ExtensionPicksTheReader) {
    const auto& c = GetParam();
    const TFacts before = Facts(model);
    reader.FileNames = {"previous.avi"};
    const std::string name = dir.Write(c.File, MpegWithHeaderAt(40, 400, 352, 240, 3));
    const int result = reader.OpenFiles({name});
    if (c.Reader == TReader::MediaProbe) {
        // Bytes of no known kind: the probe says why, and nothing changes.
        EXPECT_EQ(result, TOpenSrcFile::OpenUnreadable);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].rfind("Can't read the file: " + name + "\r\n", 0), 0u) << shown[0];
        EXPECT_EQ(reader.FileNames, std::vector<std::string>{"previous.avi"});
        EXPECT_EQ(Facts(model), before);
        return;
    }
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(shown.empty());
    // The header's own rate code (25 fps); no picture follows it, so no frames.
    const TFacts header{352, 240, 25.0, 0, "MPG1", 3, true, false};
    EXPECT_EQ(Facts(model), c.Reader == TReader::SequenceHeader ? header : before);
}

INSTANTIATE_TEST_SUITE_P(Types, ReaderChoiceTest,
                         ::testing::Values(TTypeCase{"Vob", "f.vob", TReader::SequenceHeader},
                                           TTypeCase{"Mpg", "f.mpg", TReader::SequenceHeader},
                                           TTypeCase{"MpegUpper", "f.MPEG",
                                                     TReader::SequenceHeader},
                                           TTypeCase{"M2v", "f.m2v", TReader::SequenceHeader},
                                           TTypeCase{"M1v", "f.m1v", TReader::SequenceHeader},
                                           TTypeCase{"Mpv", "f.Mpv", TReader::SequenceHeader},
                                           TTypeCase{"Avs", "f.avs", TReader::Nothing},
                                           TTypeCase{"Asf", "f.asf", TReader::MediaProbe},
                                           TTypeCase{"Other", "f.ts", TReader::MediaProbe},
                                           TTypeCase{"None", "film", TReader::MediaProbe}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- AVI header reader ----------------------------------------------------------------

struct TAviCase {
    const char* Name;
    std::vector<TAviStream> Streams;
    std::int32_t Scale, Rate; ///< of the video stream
    std::string FourCC;
};

class AviReadTest : public SourceReaderTest, public ::testing::WithParamInterface<TAviCase> {};

TEST_P(AviReadTest, TakesTheFirstVideoStream) {
    const auto& c = GetParam();
    const std::string name = dir.Write("f.avi", MakeAvi(720, 576, c.Streams));
    reader.ReadAviHeader(name);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Facts(model), (TFacts{720, 576, static_cast<double>(Real(c.Rate) / c.Scale), 1000,
                                    c.FourCC, 9, true, false}));
}

const TAviStream Audio{"auds", 1, 48000, 5000, ""};

INSTANTIATE_TEST_SUITE_P(
    Streams, AviReadTest,
    ::testing::Values(
        TAviCase{"VideoFirst", {{"vids", 1, 25, 1000, "dvsd"}}, 1, 25, "DVSD"},
        TAviCase{"InterleavedDv", {{"iavs", 1, 25, 1000, "dvsd"}}, 1, 25, "DVSD"},
        TAviCase{"AudioFirst", {Audio, {"vids", 1001, 30000, 1000, "XviD"}}, 1001, 30000, "XVID"},
        TAviCase{"TwoAudioFirst",
                 {Audio, Audio, {"vids", 1001, 24000, 1000, "div3"}, {"vids", 1, 25, 7, "xxxx"}},
                 1001,
                 24000,
                 "DIV3"},
        TAviCase{"HalfRate", {{"vids", 2, 25, 1000, "MJPG"}}, 2, 25, "MJPG"},
        TAviCase{"NulPaddedCode", {{"vids", 1, 25, 1000, std::string("Y8\0\0", 4)}}, 1, 25, "Y8"},
        TAviCase{"Uncompressed", {{"vids", 1, 25, 1000, std::string(4, '\0')}}, 1, 25, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, AviSizeKeepsTheLow16Bits) {
    reader.ReadAviHeader(dir.Write("f.avi", MakeAvi(0x10000 + 720, 0xFFFFFFFF, {{}})));
    EXPECT_EQ(model.SrcResX, 720);
    EXPECT_EQ(model.SrcResY, -1);
}

TEST_F(SourceReaderTest, AviWithoutTimeScaleKeepsTheFrameRate) {
    reader.ReadAviHeader(dir.Write("f.avi", MakeAvi(352, 288, {{"vids", 0, 25, 77, "cvid"}})));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Facts(model), (TFacts{352, 288, 12.34, 77, "CVID", 9, true, false}));
}

struct TBrokenAvi {
    const char* Name;
    std::string (*Make)();
    std::string Message;
};

std::string AudioOnly() {
    return MakeAvi(720, 576, {Audio, Audio});
}

/// An AVI whose first stream list has the given size field.
std::string ListSize(std::uint32_t size) {
    std::string avi = MakeAvi(720, 576, {Audio, {}});
    testing::TBytes b;
    b.Data = avi;
    b.Put32(92, size);
    return b.Data;
}

/// A video stream behind more stream lists than an AVI file can have.
std::string TooManyStreams() {
    std::vector<TAviStream> streams(150, Audio);
    streams.push_back({});
    return MakeAvi(720, 576, streams);
}

/// The RIFF size says the file ends before the second stream list.
std::string ShortRiff() {
    testing::TBytes b;
    b.Data = MakeAvi(720, 576, {Audio, {}});
    b.Put32(4, 110);
    return b.Data;
}

class BrokenAviTest : public SourceReaderTest, public ::testing::WithParamInterface<TBrokenAvi> {};

TEST_P(BrokenAviTest, ReportsAndChangesNothing) {
    const auto& c = GetParam();
    const std::string name = dir.Write("f.avi", c.Make());
    const TFacts before = Facts(model);
    reader.ReadAviHeader(name);
    EXPECT_EQ(shown, Shown(c.Message + name));
    EXPECT_EQ(Facts(model), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenAviTest,
    ::testing::Values(
        TBrokenAvi{"Empty", [] { return std::string(); }, NoRiff},
        TBrokenAvi{"ThreeBytes", [] { return std::string("RIF"); }, NoRiff},
        TBrokenAvi{"BigEndianRiff", [] { return "RIFX" + MakeAvi(720, 576, {{}}).substr(4); },
                   NoRiff},
        TBrokenAvi{"LowerCaseRiff", [] { return "riff" + MakeAvi(720, 576, {{}}).substr(4); },
                   NoRiff},
        TBrokenAvi{"HeaderOnly", [] { return std::string("RIFF\x10\0\0\0AVI ", 12); }, NoVideo},
        TBrokenAvi{"AudioOnly", AudioOnly, NoVideo},
        TBrokenAvi{"VideoTypeInOtherCase",
                   [] {
                       return MakeAvi(720, 576, {{"VIDS", 1, 25, 1, "dvsd"}});
                   },
                   NoVideo},
        TBrokenAvi{"ListSizeBackwards", [] { return ListSize(0xFFFFFFF8u); }, NoVideo},
        TBrokenAvi{"ListSizePastTheEnd", [] { return ListSize(0x7FFFFFFFu); }, NoVideo},
        TBrokenAvi{"ListSizeZero", [] { return ListSize(0); }, NoVideo},
        TBrokenAvi{"TooManyStreams", TooManyStreams, NoVideo},
        TBrokenAvi{"RiffSizeEndsTheWalk", ShortRiff, NoVideo},
        TBrokenAvi{"CutInsideTheVideoHeader",
                   [] { return MakeAvi(720, 576, {{}}).substr(0, 108 + 83); }, NoVideo}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, EveryCutOfAnAviIsReportedOrRead) {
    const std::string whole = MakeAvi(720, 576, {Audio, {"iavs", 1, 25, 1000, "cdvc"}});
    const TFacts before = Facts(model);
    const TFacts read{720, 576, 25.0, 1000, "CDVC", 9, true, false};
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        TResizeStruct fresh;
        TOpenSrcFile r(fresh);
        std::vector<std::string> messages;
        r.ShowError = [&](const std::string& t) { messages.push_back(t); };
        SetEarlierFacts(fresh);
        const std::string name = dir.Write("cut.avi", whole.substr(0, cut));
        r.ReadAviHeader(name);
        if (messages.empty()) {
            EXPECT_EQ(Facts(fresh), read);
        } else {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0], (cut < 4 ? NoRiff : NoVideo) + name);
            EXPECT_EQ(Facts(fresh), before);
        }
    }
}

// ---- VFAPI AVI ------------------------------------------------------------------------

TEST_F(SourceReaderTest, VfapiAviReadsTheProjectItServes) {
    const std::string mpeg = dir.Write("film.m2v", SeqHeader(720, 576, 3));
    TProject p;
    p.Path = mpeg;
    p.Crop = "2,4,8,16,0";
    p.Rate = "29970";
    const std::string project = dir.Write("film.D2V", p.Text());
    reader.ReadAviHeader(dir.Write("f.avi", MakeVfapiAvi(project, project.size())));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Facts(model), (TFacts{696, 570, 29.97, 10, "VIFP", 3, true, true}));
}

TEST_F(SourceReaderTest, VfapiAviServingAnotherKindKeepsTheAviValues) {
    const std::string served(255, 'a');
    reader.ReadAviHeader(dir.Write("f.avi", MakeVfapiAvi(served, 255)));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Facts(model), (TFacts{320, 240, 25.0, 10, "VIFP", 9, true, true}));
}

TEST_F(SourceReaderTest, VfapiNameTooLongOrCutIsRefused) {
    for (const auto& [avi, label] :
         {std::pair{MakeVfapiAvi(std::string(300, 'a') + ".d2v", 304), "too long"},
          std::pair{MakeVfapiAvi("x.d2v", 0xFFFF), "length 65535"},
          std::pair{MakeVfapiAvi("abc.d2v", 7).substr(0, testing::ServedNameOffset + 5), "cut"},
          std::pair{MakeVfapiAvi("", 0).substr(0, testing::ServedNameOffset + 1), "no length"}}) {
        SCOPED_TRACE(label);
        shown.clear();
        const std::string name = dir.Write("f.avi", avi);
        reader.ReadAviHeader(name);
        EXPECT_EQ(shown, Shown(NoVideo + name));
        EXPECT_EQ(model.SrcFourCC, "VIFP");
        EXPECT_TRUE(model.SrcIsVFAPI);
    }
}

TEST_F(SourceReaderTest, VfapiFlagIsClearedByTheNextSource) {
    const std::string vfapi = dir.Write("v.avi", MakeVfapiAvi("x.avs", 5));
    const std::vector<std::string> others = {
        dir.Write("plain.avi", MakeAvi(720, 576, {{}})), dir.Write("f.vob", SeqHeader(720, 576, 2)),
        dir.Write("f.avs", ""), dir.Write("broken.avi", "RIFF")};
    for (const auto& other : others) {
        SCOPED_TRACE(other);
        ASSERT_EQ(reader.OpenFiles({vfapi}), 0);
        ASSERT_TRUE(model.SrcIsVFAPI);
        ASSERT_EQ(reader.OpenFiles({other}), 0);
        EXPECT_FALSE(model.SrcIsVFAPI);
    }
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
    const TFacts before = Facts(model);
    reader.ReadSequenceHeader(name);
    if (c.Message.empty()) {
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(Facts(model), (TFacts{720, 480, 25.0, 0, "MPG1", 3, true, false}));
    } else {
        EXPECT_EQ(shown, Shown(c.Message == SearchFailed ? c.Message : c.Message + name));
        EXPECT_EQ(Facts(model), before);
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
        model.SrcIsAnamorphic = !(code == 3 || code == 4);
        reader.ReadSequenceHeader(dir.Write("f.m2v", SeqHeader(720, 576, code)));
        EXPECT_EQ(model.SrcAspectCode, code);
        EXPECT_EQ(model.SrcIsAnamorphic, code == 3 || code == 4);
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(SourceReaderTest, SequenceHeaderSizeUsesTwelveBits) {
    const std::vector<std::pair<int, int>> sizes = {{720, 576}, {352, 240}, {4095, 4095}, {1, 0}};
    for (const auto& [w, h] : sizes) {
        reader.ReadSequenceHeader(dir.Write("f.m2v", SeqHeader(w, h, 2)));
        EXPECT_EQ(model.SrcResX, w);
        EXPECT_EQ(model.SrcResY, h);
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

TEST_F(SourceProjectTest, ReadsSizeCropRateAndFrames) {
    TProject p = Project();
    p.Crop = "10,20,8,16,0,0";
    p.Frames = {"7 0 0 2 2 2 2", "7 0 1A00 2 2 2", "7 0 2B00 2 2 9"};
    ASSERT_EQ(Open(p), 0);
    EXPECT_TRUE(shown.empty());
    // Four, three and two pictures, the end marker not counted, less two.
    EXPECT_EQ(Facts(model), (TFacts{696, 546, 25.0, 7, "MPG1", 3, true, false}));
    EXPECT_EQ(reader.FileType, ".d2v");
}

TEST_F(SourceProjectTest, AnEndlessLineIsCutToOneMebibyte) {
    TProject p = Project();
    std::string frames = "7 0 0";
    while (frames.size() < 3 * (1 << 20)) frames += " 2";
    p.Frames = {frames};
    ASSERT_EQ(Open(p), 0);
    // The first MiB holds (2^20 - 5) / 2 pictures after the three leading tokens.
    EXPECT_EQ(model.SrcFrameCount, ((1 << 20) - 5) / 2 - 2);
}

TEST_F(SourceProjectTest, FrameRateInThousandths) {
    const std::vector<std::pair<std::string, double>> rates = {{"29970", 29.97}, {"23976", 23.976},
                                                               {"25000", 25.0},  {"12500", 12.5},
                                                               {"0", 0.0},       {"-1000", -1.0}};
    for (const auto& [text, rate] : rates) {
        TProject p = Project();
        p.Rate = text;
        ASSERT_EQ(Open(p), 0);
        EXPECT_EQ(model.SrcFrameRate, rate) << text;
    }
}

struct TFramesCase {
    const char* Name;
    std::vector<std::string> Lines;
    std::int32_t Count;
};

class ProjectFramesTest : public SourceProjectTest,
                          public ::testing::WithParamInterface<TFramesCase> {};

TEST_P(ProjectFramesTest, CountsPictureFlags) {
    TProject p = Project();
    p.Frames = GetParam().Lines;
    ASSERT_EQ(Open(p), 0);
    EXPECT_EQ(model.SrcFrameCount, GetParam().Count);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProjectFramesTest,
    ::testing::Values(
        TFramesCase{"EndMarker", {"7 0 0 2 2 2 2 9"}, 2},
        TFramesCase{"EndMarkerAndBlank", {"7 0 0 2 2 2 2 9 "}, 2},
        TFramesCase{"NoEndMarker", {"7 0 0 2 2 2 2"}, 2},
        TFramesCase{"TrailingBlank", {"7 0 0 2 2 2 2 "}, 2},
        TFramesCase{"NineInsideCounts", {"7 0 0 9 2 9 2"}, 2},
        TFramesCase{"ManyLines", {"7 0 0 2 2 2 2 2 2", "7 0 1 2 2 2 2 2 2 9"}, 10},
        TFramesCase{"ShortLine", {"7 0"}, -1}, TFramesCase{"OnlyTokens", {"7 0 0 9"}, -2},
        TFramesCase{"NoFrames", {}, -2},
        TFramesCase{"EndAtTheFirstEmptyLine", {"7 0 0 2 2 2 2", "", "7 0 0 2 2 2 2 2 2 2 2"}, 2}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceProjectTest, FurtherFileLinesAreSkipped) {
    TProject p = Project();
    p.Line2 = "3";
    p.OtherFiles = {"47 /second.m2v", "47 /third.m2v"};
    p.Crop = "0,0,20,20,0";
    ASSERT_EQ(Open(p), 0);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(model.SrcResX, 680);
}

TEST_F(SourceProjectTest, EmptySecondLineSkipsNoFileLines) {
    TProject p = Project();
    p.Line2 = "";
    p.Crop = "0,0,20,20,0";
    ASSERT_EQ(Open(p), 0);
    EXPECT_EQ(model.SrcResX, 680);
    EXPECT_EQ(model.SrcFrameCount, 10);
}

TEST_F(SourceProjectTest, CarriageReturnLineEnds) {
    TProject p = Project();
    p.Eol = "\r\n";
    p.Rate = "23976";
    ASSERT_EQ(Open(p), 0);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Facts(model), (TFacts{720, 576, 23.976, 10, "MPG1", 3, true, false}));
}

TEST_F(SourceProjectTest, MissingMpegFileIsReportedAndReadingGoesOn) {
    TProject p = Project();
    p.Path = dir / "gone.m2v";
    p.Crop = "6,10,8,8,0";
    model.SetSrcResX(352);
    model.SetSrcResY(288);
    ASSERT_EQ(Open(p), 0);
    EXPECT_EQ(shown, Shown(NoEmbedded + dir / "gone.m2v"));
    EXPECT_EQ(Facts(model), (TFacts{336, 272, 25.0, 10, "OLD1", 9, true, false}));
}

TEST_F(SourceProjectTest, CropWrapsIn16Bits) {
    TProject p = Project();
    p.Crop = "0,0,40000,0,0";
    ASSERT_EQ(Open(p), 0);
    EXPECT_EQ(model.SrcResX, static_cast<std::int16_t>(720 - 40000));
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
    EXPECT_EQ(Open(p), TOpenSrcFile::OpenConvertError);
    EXPECT_EQ(shown, Shown(c.Message));
    // The list stays accepted and what was read before stays.
    EXPECT_EQ(reader.FileNames, std::vector<std::string>{dir / "film.d2v"});
    EXPECT_EQ(Facts(model), (TFacts{720, 576, c.RateAfter, 4321, "OLD1", 3, true, false}));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ProjectFieldTest,
    ::testing::Values(
        TBadField{"CropWord", "a,0,0,0,0", "25000", "'a' is not a valid integer value", 25.0},
        TBadField{"CropFourFields", "0,0,0,0", "25000", "'' is not a valid integer value", 25.0},
        TBadField{"RateWord", "0,0,0,0,0", "fast", "'fast' is not a valid integer value", 12.34},
        TBadField{"RateDecimal", "0,0,0,0,0", "29.97", "'29.97' is not a valid integer value",
                  12.34}),
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
    std::string File; ///< the MPEG file as the project names it ({d} is the folder)
    TFacts Expected;  ///< starting from 720x576 film.m2v, aspect code 2
    TRatio Rate;      ///< the exact rate the reader keeps
    bool MissingFile = false;
};

class KeyedProjectTest : public SourceReaderTest,
                         public ::testing::WithParamInterface<TKeyedCase> {};

TEST_P(KeyedProjectTest, ReadsTheProjectByItsKeys) {
    const auto& c = GetParam();
    dir.Write("film.m2v", SeqHeader(720, 576, 2));
    testing::TKeyedProjectText p;
    p.Files = {Expand(c.File, dir.Path.string())};
    for (const auto& [key, value] : c.Settings) p.Set(key, value);
    if (!c.Data.empty()) p.Data = c.Data;
    ASSERT_EQ(reader.OpenFiles({dir.Write("film.d2v", p.Text())}), 0);
    EXPECT_EQ(shown, c.MissingFile ? Shown(NoEmbedded + p.Files[0]) : std::vector<std::string>{});
    EXPECT_EQ(Facts(model), c.Expected);
    EXPECT_EQ(reader.Facts.FrameRate, c.Rate);
}

const std::string Film = "{d}/film.m2v";
// Five pictures, three of them repeating a field: thirteen fields.
const std::string Pulldown = "900 5 0 0 0 0 0 d2 f1 e2 f1 e3 ff";
const double Ntsc = static_cast<double>(Real(30000) / 1001);
const double NtscFilm = static_cast<double>(Real(24000) / 1001);

INSTANTIATE_TEST_SUITE_P(
    Projects, KeyedProjectTest,
    ::testing::Values(
        // 12 pictures; the size after the crop, the aspect from the MPEG file.
        TKeyedCase{
            "Defaults", {}, {}, Film, {720, 576, 25.0, 12, "MPG1", 2, false, false}, {25, 1}},
        TKeyedCase{"SizeAfterCrop",
                   {{"Clipping", "8,8,0,0"}, {"Picture_Size", "704x576"}},
                   {},
                   Film,
                   {704, 576, 25.0, 12, "MPG1", 2, false, false},
                   {25, 1}},
        TKeyedCase{"CropWithoutSize",
                   {{"Clipping", "8,10,2,4"}, {"Picture_Size", ""}},
                   {},
                   Film,
                   {702, 570, 25.0, 12, "MPG1", 2, false, false},
                   {25, 1}},
        TKeyedCase{"SeveralLines",
                   {},
                   {"900 5 0 0 0 0 0 d2 e2 e2", "900 5 0 7f0 1 0 0 92 a2 b2 b2",
                    "800 5 0 ff0 0 0 0 92 ff"},
                   Film,
                   {720, 576, 25.0, 8, "MPG1", 2, false, false},
                   {25, 1}},
        TKeyedCase{"PulldownHonoured",
                   {{"Frame_Rate", "29970 (30000/1001)"}},
                   {Pulldown},
                   Film,
                   {720, 576, Ntsc, 6, "MPG1", 2, false, false},
                   {30000, 1001}},
        TKeyedCase{"ForcedFilm",
                   {{"Frame_Rate", "23976 (24000/1001)"}, {"Field_Operation", "1"}},
                   {Pulldown},
                   Film,
                   {720, 576, NtscFilm, 5, "MPG1", 2, false, false},
                   {24000, 1001}},
        TKeyedCase{"RateWithoutFraction",
                   {{"Frame_Rate", "29970"}},
                   {},
                   Film,
                   {720, 576, 29.97, 12, "MPG1", 2, false, false},
                   {2997, 100}},
        TKeyedCase{"FileBesideTheProject",
                   {},
                   {},
                   "film.m2v",
                   {720, 576, 25.0, 12, "MPG1", 2, false, false},
                   {25, 1}},
        // Without the MPEG file the project's own size and aspect stand.
        TKeyedCase{"MissingMpegFile",
                   {{"Picture_Size", "704x480"}, {"Frame_Rate", "29970 (30000/1001)"}},
                   {},
                   "{d}/gone.vob",
                   {704, 480, Ntsc, 12, "MPG2", 3, true, false},
                   {30000, 1001},
                   true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SourceReaderTest, KeyedProjectFieldThatIsNoNumber) {
    dir.Write("film.m2v", SeqHeader(720, 576, 2));
    for (const auto& [key, value, message] :
         {std::tuple{"Frame_Rate", "fast", "'fast' is not a valid integer value"},
          std::tuple{"Frame_Rate", "25000 (25/x)", "'x' is not a valid integer value"},
          std::tuple{"Picture_Size", "720", "'' is not a valid integer value"}}) {
        SCOPED_TRACE(value);
        shown.clear();
        testing::TKeyedProjectText p;
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
            EXPECT_TRUE(result == 0 || result == TOpenSrcFile::OpenConvertError) << round;
            for (const auto& m : shown) {
                const bool described =
                    m.find("is not a valid integer value") != std::string::npos ||
                    std::any_of(known.begin(), known.end(),
                                [&](const std::string& k) { return m.rfind(k, 0) == 0; });
                EXPECT_TRUE(described) << ::testing::PrintToString(m);
            }
        }
    }
}

} // namespace
} // namespace tarvex

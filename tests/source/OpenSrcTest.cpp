// Opening a list of source files: which reader each file gets, the sequence-header
// reader, and random files that must end in a described message.
#include "tests/source/OpenSrcFixture.h"

namespace tarvex {
namespace {

using namespace testkit;

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

// Twelve bits of size in the header; the sequence extension's two bits stand above them.
TEST_F(SourceReaderTest, SequenceHeaderAndExtensionGiveTheSize) {
    const std::pair<int, int> sizes[] = {{720, 576}, {352, 240},   {4095, 4095},
                                         {1, 0},     {7680, 4320}, {16383, 12288}};
    for (const auto& [w, h] : sizes) {
        std::string ext; // its size bits, marker bit and the rest of the extension
        if (w > 4095 || h > 4095)
            ext = std::string("\0\0\1\xB5\x14", 5) + static_cast<char>(0x8A | w >> 13) +
                  static_cast<char>((w >> 12 & 1) << 7 | (h >> 12) << 5) + std::string("\0\1\0", 3);
        reader.ReadSequenceHeader(dir.Write("f.m2v", SeqHeader(w & 0xFFF, h & 0xFFF, 2) + ext));
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

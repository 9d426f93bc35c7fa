#include "settings/IniFile.h"
#include "common/AtomicFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvex {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class IniFileTest : public ::testing::Test {
  protected:
    void TearDown() override { SetWriteHook(nullptr); }
    // Every file in the folder, to see that no temporary file is left behind.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    TTempFolder temp_;
    fs::path dir_ = temp_.Path;
    fs::path file_ = dir_ / "Tarvex.ini";
};

// --- Reading -------------------------------------------------------------------

TEST_F(IniFileTest, NamesMatchWithoutRegardToCase) {
    WriteBytes(file_, "[Global]\r\nVersion=1.0.0\r\n[IMAGE]\nseconds=120\n");
    TIniFile ini(file_);
    EXPECT_EQ(ini.LoadError(), "");
    EXPECT_EQ(ini.ReadString("global", "VERSION", "ERROR"), "1.0.0");
    EXPECT_EQ(ini.ReadString(" Global ", "Version", "ERROR"), "1.0.0");
    EXPECT_EQ(ini.ReadInteger("Image", "Seconds", 3000), 120);
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    {
        TIniFile none(file_);
        EXPECT_EQ(none.LoadError(), "");
        EXPECT_EQ(none.ReadString("Global", "Version", "ERROR"), "ERROR");
        EXPECT_EQ(none.ReadInteger("Image", "Seconds", 3000), 3000);
        none.Flush(); // nothing written: no file appears
        EXPECT_FALSE(fs::exists(file_));
    }
    WriteBytes(file_, "Seconds=5\n[Image]\nAudio1=3\nEmpty=\n[Other]\nSeconds=7\n");
    TIniFile ini(file_);
    EXPECT_EQ(ini.ReadInteger("Image", "Seconds", 3000), 3000) << "keys of other sections";
    EXPECT_EQ(ini.ReadInteger("Global", "Audio1", 8), 8);
    EXPECT_EQ(ini.ReadString("Image", "Empty", "x"), "") << "a present empty key is not missing";
    EXPECT_EQ(ini.ReadInteger("Image", "Empty", 9), 9);
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyCount) {
    WriteBytes(file_, "\xEF\xBB\xBF[A]\nk=1\nK=2\n[a]\nk=3\nz=4\n");
    TIniFile ini(file_);
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
    EXPECT_EQ(ini.ReadInteger("A", "z", 0), 0);
}

struct ValueCase {
    const char* name;
    std::string line; // text after "Key=" in the file
    std::string read;
};

class IniValueTest : public IniFileTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(IniValueTest, ReadsTheValueAsTheProfileRulesSay) {
    WriteBytes(file_, "[S]\r\nKey=" + GetParam().line + "\r\n");
    EXPECT_EQ(TIniFile(file_).ReadString("S", "Key", "default"), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniValueTest,
    ::testing::Values(
        ValueCase{"Plain", "abc", "abc"}, ValueCase{"Blanks", " \t abc def \t", "abc def"},
        ValueCase{"DoubleQuotes", "\"abc\"", "abc"}, ValueCase{"SingleQuotes", "'abc'", "abc"},
        ValueCase{"QuotesKeepBlanks", "  \" a b \"  ", " a b "},
        ValueCase{"MixedQuotesStay", "\"abc'", "\"abc'"}, ValueCase{"OneQuoteStays", "\"", "\""},
        ValueCase{"EmptyQuotes", "\"\"", ""}, ValueCase{"OnlyOuterPair", "\"\"x\"\"", "\"x\""},
        ValueCase{"EqualsInValue", "a=b", "a=b"},
        ValueCase{"Path", "C:\\Films\\a b.d2v", "C:\\Films\\a b.d2v"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileTest, LongValuesAreCutTo2047Characters) {
    std::string longValue;
    for (int i = 0; i < 3000; ++i) longValue += static_cast<char>('a' + i % 26);
    TIniFile ini(file_);
    ASSERT_TRUE(ini.WriteString("S", "Long", longValue));
    ASSERT_TRUE(ini.WriteString("S", "Exact", longValue.substr(0, 2047)));
    ASSERT_TRUE(ini.WriteString("S", "Quoted", " " + longValue.substr(0, 2047)));
    EXPECT_EQ(ini.ReadString("S", "Long", ""), longValue.substr(0, 2047));
    EXPECT_EQ(ini.ReadString("S", "Exact", ""), longValue.substr(0, 2047));
    // The quotes go first, then the cut: the blank is kept and the last letter lost.
    EXPECT_EQ(ini.ReadString("S", "Quoted", ""), " " + longValue.substr(0, 2046));
    ini.Flush();
    EXPECT_EQ(TIniFile(file_).ReadString("S", "Long", ""), longValue.substr(0, 2047));
}

// --- Integers and booleans ------------------------------------------------------

struct IntCase {
    std::string text;
    bool ok;
    std::int32_t value;
};

class ProfileIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntTest, Parses) {
    std::int32_t v = 77;
    EXPECT_EQ(ParseProfileInt(GetParam().text, v), GetParam().ok) << GetParam().text;
    EXPECT_EQ(v, GetParam().ok ? GetParam().value : 77) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProfileIntTest,
    ::testing::Values(IntCase{"5", true, 5}, IntCase{"0", true, 0}, IntCase{"007", true, 7},
                      IntCase{"-12", true, -12}, IntCase{"+7", true, 7}, IntCase{"0x10", true, 16},
                      IntCase{"0X1f", true, 31}, IntCase{"0x7FFFFFFF", true, 2147483647},
                      IntCase{"0xFFFFFFFF", true, -1}, IntCase{"0x000000010", true, 16},
                      IntCase{"2147483647", true, 2147483647},
                      IntCase{"-2147483648", true, -2147483647 - 1},
                      IntCase{"2147483648", false, 0}, IntCase{"-2147483649", false, 0},
                      IntCase{"0x100000000", false, 0}, IntCase{"99999999999999999999", false, 0},
                      IntCase{"abc", false, 0}, IntCase{"", false, 0}, IntCase{"-", false, 0},
                      IntCase{"0x", false, 0}, IntCase{"0x1g", false, 0},
                      IntCase{"-0x10", false, 0}, IntCase{"$10", false, 0},
                      IntCase{"12abc", false, 0}, IntCase{"1 2", false, 0},
                      IntCase{"1.5", false, 0}, IntCase{" 5", false, 0}));

TEST_F(IniFileTest, IntegersFromTheFile) {
    WriteBytes(file_, "[S]\nGarbage=abc\nPadded=  42  \nQuoted=\"42\"\nNegative=-3\n");
    TIniFile ini(file_);
    EXPECT_EQ(ini.ReadInteger("S", "Garbage", 1395), 1395);
    EXPECT_EQ(ini.ReadInteger("S", "Padded", 0), 42);
    EXPECT_EQ(ini.ReadInteger("S", "Quoted", 0), 42);
    EXPECT_EQ(ini.ReadInteger("S", "Negative", 0), -3);
}

// --- Writing --------------------------------------------------------------------

struct EditCase {
    const char* name;
    std::string before;
    std::function<void(TIniFile&)> edit;
    std::string after; // every line ends in CR LF once saved
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class IniEditTest : public IniFileTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(IniEditTest, ChangesOnlyTheLinesOfTheValuesWritten) {
    WriteBytes(file_, GetParam().before);
    TIniFile ini(file_);
    GetParam().edit(ini);
    EXPECT_TRUE(ini.Modified());
    ini.Flush();
    EXPECT_EQ(ReadBytes(file_), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniEditTest,
    ::testing::Values(
        EditCase{"ReplacesAValueInPlace",
                 "; settings\r\n[Global]\r\nVersion=1.0\r\n\r\n[Image]\r\n"
                 "Audio1=8\r\n  Seconds = 100\r\nUnknown=x\r\n",
                 [](TIniFile& ini) { EXPECT_TRUE(ini.WriteInteger("IMAGE", "seconds", 3000)); },
                 "; settings\r\n[Global]\r\nVersion=1.0\r\n\r\n[Image]\r\n"
                 "Audio1=8\r\n  Seconds = 3000\r\nUnknown=x\r\n"},
        EditCase{"AddsAKeyAfterTheLastKeyOfItsSection",
                 "[Image]\nAudio1=8\nGarbage line\n\n; Resolution follows\n"
                 "[Resolution]\nSrcResX=720\n",
                 [](TIniFile& ini) {
                     EXPECT_TRUE(ini.WriteInteger("Image", "Audio2", 0));
                     EXPECT_TRUE(ini.WriteInteger("Resolution", "SrcResY", 576));
                 },
                 "[Image]\r\nAudio1=8\r\nGarbage line\r\nAudio2=0\r\n\r\n"
                 "; Resolution follows\r\n[Resolution]\r\nSrcResX=720\r\nSrcResY=576\r\n"},
        EditCase{"AddsAKeyRightAfterTheHeaderOfAnEmptySection", "[Image]\r\n\r\n[Other]\r\nX=1\r\n",
                 [](TIniFile& ini) { EXPECT_TRUE(ini.WriteInteger("Image", "CDs", 2)); },
                 "[Image]\r\nCDs=2\r\n\r\n[Other]\r\nX=1\r\n"},
        EditCase{"AddsMissingSectionsAtTheEndInTheOrderWritten",
                 "[Mine]\nkeep=me", // no line end on the last line
                 [](TIniFile& ini) {
                     EXPECT_TRUE(ini.WriteString("Global", "Version", "1.0.0"));
                     EXPECT_TRUE(ini.WriteInteger("Image", "Seconds", 3000));
                     EXPECT_TRUE(ini.WriteInteger("Global", "WindowPosX", -20));
                     EXPECT_TRUE(ini.WriteInteger("Image", "SceneDetect", 1));
                 },
                 "[Mine]\r\nkeep=me\r\n\r\n[Global]\r\nVersion=1.0.0\r\n"
                 "WindowPosX=-20\r\n\r\n[Image]\r\nSeconds=3000\r\nSceneDetect=1\r\n"},
        EditCase{"UnknownLinesSurvive",
                 "; written by hand\n\n[Global]\nVersion=0.9\nComment without equals\n"
                 "  ; indented comment\nFutureKey = some value \n\n[Plugins]\nPath=/opt/x\n\n"
                 "[AVSscript]\nResizeMode=1\n=no key\n",
                 [](TIniFile& ini) {
                     EXPECT_TRUE(ini.WriteString("Global", "Version", "1.0.0"));
                     EXPECT_TRUE(ini.WriteInteger("AVSscript", "ResizeMode", 2));
                     EXPECT_TRUE(ini.WriteString("AVSscript", "FileNameSrc", "/films/a.d2v"));
                 },
                 "; written by hand\r\n\r\n[Global]\r\nVersion=1.0.0\r\nComment without equals\r\n"
                 "  ; indented comment\r\nFutureKey = some value \r\n\r\n[Plugins]\r\n"
                 "Path=/opt/x\r\n\r\n[AVSscript]\r\nResizeMode=2\r\n=no key\r\n"
                 "FileNameSrc=/films/a.d2v\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileTest, RewritingTheSameValueLeavesTheLineAsItWas) {
    WriteBytes(file_, "[S]\r\nA = \"abc\"\r\nB=  7\r\n");
    TIniFile ini(file_);
    ASSERT_TRUE(ini.WriteString("S", "A", "abc"));
    ASSERT_TRUE(ini.WriteInteger("S", "B", 7));
    EXPECT_FALSE(ini.Modified());
}

TEST_F(IniFileTest, WriteReadWriteIsByteIdentical) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Plain", "abc"},
        {"Empty", ""},
        {"LeadingBlank", " x"},
        {"TrailingTab", "x\t"},
        {"Quoted", "\"q\""},
        {"SingleQuoted", "'q'"},
        {"LoneQuote", "\""},
        {"Equals", "a=b;c"},
        {"Path", "C:\\a b\\c.vob"},
        {"Negative", "-2147483648"},
        {"Brackets", "[not a section]"}};
    TIniFile first(file_);
    for (const auto& [key, value] : values) ASSERT_TRUE(first.WriteString("S", key, value));
    ASSERT_TRUE(first.WriteInteger("T", "B", 0));
    first.Flush();
    const std::string bytes = ReadBytes(file_);

    TIniFile second(file_);
    EXPECT_EQ(second.Text(), bytes);
    for (const auto& [key, value] : values) {
        EXPECT_EQ(second.ReadString("S", key, "missing"), value) << key;
        ASSERT_TRUE(second.WriteString("S", key, value));
    }
    ASSERT_TRUE(second.WriteInteger("T", "B", 0));
    EXPECT_FALSE(second.Modified());
    EXPECT_EQ(second.Text(), bytes);
    second.Flush();
    EXPECT_EQ(ReadBytes(file_), bytes);
}

TEST_F(IniFileTest, RefusesNamesAndValuesThatWouldBreakTheFile) {
    WriteBytes(file_, "[S]\r\nA=1\r\n");
    TIniFile ini(file_);
    EXPECT_FALSE(ini.WriteString("S", "A", "two\r\nlines"));
    EXPECT_FALSE(ini.WriteString("S", "B", "x\ny"));
    EXPECT_FALSE(ini.WriteString("S", "K=V", "1"));
    EXPECT_FALSE(ini.WriteString("S", "", "1"));
    EXPECT_FALSE(ini.WriteString("S", " A", "1"));
    EXPECT_FALSE(ini.WriteString("S", ";A", "1"));
    EXPECT_FALSE(ini.WriteString("S", "[A", "1"));
    EXPECT_FALSE(ini.WriteString("S]", "A", "1"));
    EXPECT_FALSE(ini.WriteString("", "A", "1"));
    EXPECT_FALSE(ini.WriteString("S\n", "A", "1"));
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ(ini.Text(), "[S]\r\nA=1\r\n");
}

TEST_F(IniFileTest, KeepsThePermissionsOfTheOldFile) {
    WriteBytes(file_, "[S]\r\nA=1\r\n");
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    TIniFile ini(file_);
    ASSERT_TRUE(ini.WriteInteger("S", "A", 2));
    ini.Flush();
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A settings file kept elsewhere through a link stays linked: its target gets the text.
TEST_F(IniFileTest, WritesThroughASymbolicLink) {
    fs::create_directory(dir_ / "kept");
    WriteBytes(dir_ / "kept" / "a.ini", "[S]\r\nA=1\r\n");
    for (const char* target : {"kept/a.ini", "kept/new.ini"}) { // the second one dangles
        fs::remove(file_);
        fs::create_symlink(target, file_);
        TIniFile ini(file_.string());
        ASSERT_TRUE(ini.WriteInteger("S", "A", 2));
        ini.Flush();
        EXPECT_TRUE(fs::is_symlink(file_));
        EXPECT_EQ(ReadBytes(dir_ / target), "[S]\r\nA=2\r\n") << target;
    }
}

// --- Failures -------------------------------------------------------------------

const std::string OldText = "; keep me\r\n[Global]\r\nVersion=0.9\r\nWindowPosX=5\r\n";

TWriteStep failingStep;
int FailAt(TWriteStep step) {
    return step == failingStep ? EIO : 0;
}

class IniFaultTest : public IniFileTest, public ::testing::WithParamInterface<TWriteStep> {};

TEST_P(IniFaultTest, AFailedStepLeavesTheOldFileWholeAndIsReported) {
    WriteBytes(file_, OldText);
    TIniFile ini(file_);
    ASSERT_TRUE(ini.WriteString("Global", "Version", "1.0.0"));
    ASSERT_TRUE(ini.WriteString("Image", "Big", std::string(200000, 'x'))); // several chunks
    failingStep = GetParam();
    SetWriteHook(FailAt);
    try {
        ini.Flush();
        ADD_FAILURE() << "Flush reported success";
    } catch (const TIniError& e) {
        EXPECT_NE(std::string(e.what()).find(file_.string()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(std::strerror(EIO)), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadBytes(file_), OldText);
    EXPECT_EQ(Files(), std::vector<std::string>{"Tarvex.ini"}) << "no temporary file left";
    EXPECT_TRUE(ini.Modified());

    // Once the fault is gone, the same object can still save.
    SetWriteHook(nullptr);
    ini.Flush();
    EXPECT_EQ(TIniFile(file_).ReadString("Global", "Version", ""), "1.0.0");
    EXPECT_EQ(Files(), std::vector<std::string>{"Tarvex.ini"});
}

std::string StepName(const ::testing::TestParamInfo<TWriteStep>& info) {
    const char* const names[] = {"OpenTemp", "Write", "Sync", "Rename"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Steps, IniFaultTest,
                         ::testing::Values(TWriteStep::OpenTemp, TWriteStep::Write,
                                           TWriteStep::Sync, TWriteStep::Rename),
                         StepName);

TEST_F(IniFileTest, AMissingFolderIsReported) {
    TIniFile ini(dir_ / "missing" / "Tarvex.ini");
    ASSERT_TRUE(ini.WriteInteger("S", "A", 1));
    EXPECT_THROW(ini.Flush(), TIniError);
}

TEST_F(IniFileTest, ARenameOntoAFolderFailsAndCleansUp) {
    fs::create_directory(file_);
    WriteBytes(file_ / "inside", "x");
    TIniFile ini(file_);
    EXPECT_NE(ini.LoadError(), "");
    EXPECT_EQ(ini.ReadInteger("S", "A", 4), 4);
    ASSERT_TRUE(ini.WriteInteger("S", "A", 1));
    EXPECT_THROW(ini.Flush(), TIniError);
    EXPECT_TRUE(fs::is_directory(file_));
    EXPECT_EQ(Files(), std::vector<std::string>{"Tarvex.ini"});
}

TEST_F(IniFileTest, AFileTooLargeToLoadIsNotOverwritten) {
    {
        std::ofstream out(file_, std::ios::binary);
        out << "[S]\r\nA=1\r\n";
        out.seekp(static_cast<std::streamoff>(TIniFile::MaxFileSize));
        out << "end";
    }
    const auto size = fs::file_size(file_);
    TIniFile ini(file_);
    EXPECT_NE(ini.LoadError(), "");
    EXPECT_EQ(ini.ReadInteger("S", "A", 9), 9);
    ASSERT_TRUE(ini.WriteInteger("S", "A", 2));
    EXPECT_THROW(ini.Flush(), TIniError);
    EXPECT_EQ(fs::file_size(file_), size);
}

// A real write error from the system: the child may not write files larger than 4 KiB.
TEST_F(IniFileTest, ADiscFullStyleWriteErrorLeavesTheOldFileWhole) {
    WriteBytes(file_, OldText);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TIniFile ini(file_);
        ini.WriteString("Image", "Big", std::string(100000, 'y'));
        try {
            ini.Flush();
        } catch (const TIniError& e) {
            ::_exit(std::string(e.what()).find(std::strerror(EFBIG)) != std::string::npos ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: success reported, 2: another error";
    EXPECT_EQ(ReadBytes(file_), OldText);
    EXPECT_EQ(Files(), std::vector<std::string>{"Tarvex.ini"});
}

// --- A writer killed midway -------------------------------------------------------

int WriterStarted = -1; // a pipe the writer tells once its first chunk is due

// Slows a writer down to about 1 ms per 64 KiB chunk, so that kills land mid-write.
int SlowWrites(TWriteStep step) {
    if (step != TWriteStep::Write) return 0;
    if (WriterStarted >= 0 && ::write(WriterStarted, "w", 1) == 1) WriterStarted = -1;
    ::usleep(1000);
    return 0;
}

TEST_F(IniFileTest, WritersKilledAtAnyMomentLeaveTheOldOrTheNewFile) {
    WriteBytes(file_, OldText);
    const std::string big(4000000, 'n'); // 62 chunks
    TIniFile model(file_);
    ASSERT_TRUE(model.WriteString("Image", "Big", big));
    const std::string newText = model.Text();
    int midway = 0; // kills that left the writer's temporary file behind
    for (int round = 0; round < 12; ++round) {
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(started[0]);
            WriterStarted = started[1];
            SetWriteHook(SlowWrites);
            TIniFile ini(file_);
            ini.WriteString("Image", "Big", big);
            ini.Flush();
            ::_exit(0);
        }
        ::close(started[1]);
        // Every other round waits for the writer to be at work, however busy the machine.
        char signal = 0;
        const bool atWork = round % 2 == 0 || ::read(started[0], &signal, 1) == 1;
        EXPECT_TRUE(atWork) << "round " << round << ": the writer ended before its first chunk";
        ::close(started[0]);
        ::usleep(static_cast<useconds_t>(round * 8000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        const std::string now = ReadBytes(file_);
        ASSERT_TRUE(now == OldText || now == newText)
            << "round " << round << ": a file of " << now.size() << " bytes";
        midway += fs::remove(file_.string() + ".tmp" + std::to_string(pid)) ? 1 : 0;
        WriteBytes(file_, OldText);
    }
    EXPECT_GT(midway, 0) << "no kill landed while a writer was at work";
}

} // namespace
} // namespace tarvex

// Start-up from the settings file and shut-down into it.
#include "FormFixture.h"

#include "common/AtomicFile.h"
#include "settings/IniFile.h"

#include <cerrno>
#include <sys/stat.h>

using namespace tarvex;

namespace {

class Lifecycle : public FormTest {
  protected:
    std::string IniName() const { return (Temp.Path / "Tarvex.ini").string(); }
    std::string ReadIniText() const {
        std::ifstream in(IniName(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    /// Closes the window and gives what it left in the settings file.
    std::string CloseAndRead() {
        Form->FormClose();
        return ReadIniText();
    }
    /// Closes the window and starts a new one on the same settings folder.
    TMainForm& Restart() {
        Form->FormClose();
        return Start();
    }
};

TEST_F(Lifecycle, NoFileGivesTheDefaults) {
    TMainForm& f = Start();
    EXPECT_EQ(f.Caption, "Tarvex v1.0.0");
    // The anamorphic film of 720 x 436 with pixel form 0.685546875 has the aspect (Label13) 2.4088;
    // 448 x 320 is 32-aligned.
    EXPECT_TRUE(Shows(f,
                      "EditMin=50; EditSec=0; Audio1kbps=160; Audio2kbps=0; FpsCombo=25fps; "
                      "CDTypeBox=80min CD; EditCDNr=1; SrcXEdit=720; SrcYEdit=576; "
                      "SrcPixelXEdit=720; SrcPixelYEdit=436; BorderLeftEdit=0; BorderTopEdit=70; "
                      "SrcPALBox=1; SrcAnamorphic=1; ITUAspect=1; SrcAspectBox=DVD; "
                      "DestAspectBox=SVCD; DestPALBox=1; DestAnamorphic=0; CropModeBox=accurate; "
                      "ResizeBox=Bicubic precise; OptPosLabel=block aligned; TVBorderEdit=2; "
                      "LabelRoundYResize=16; RoundYResize=4; LabelRoundXResize=32; "
                      "Label13== 2.4088"));
    EXPECT_EQ(f.FilmSeconds, 3000u);
    EXPECT_EQ(std::tuple(f.CDTypeBox.Count(), f.MuxModeBox.Count(), f.AuthoringBox.Count()),
              std::tuple(9, 9, 7));
    EXPECT_FALSE(f.SrcRateEdit.Visible());
    EXPECT_FALSE(f.Updating);
    EXPECT_EQ(f.AVSMemo.Lines().at(0), "# -= AviSynth script by Tarvex v1.0.0 =-");
    EXPECT_EQ(f.AVSMemo.Lines().at(2), "AviSource(\"\")");
    EXPECT_TRUE(Platform.Messages.empty());
}

TEST_F(Lifecycle, TheWindowAfterStartUpIsWhatTheChainsComputeFromItsInputs) {
    TMainForm& f = Start();
    const auto started = Snapshot(f);
    // Running the geometry chain and the disc chain again changes nothing.
    f.SrcChange();
    f.ChangeAVSOptions();
    f.CDTimeChange();
    EXPECT_EQ(Snapshot(f), started);
}

TEST_F(Lifecycle, WriteReadWriteIsByteIdentical) {
    TMainForm& f = Start();
    f.DestAspectBox.Select(0);
    Check(f.SrcAnamorphic, false);
    TMainForm& g = Restart();
    const std::string first = ReadIniText();
    EXPECT_EQ(g.DestAspectBox.Text(), "DVD");
    EXPECT_FALSE(g.SrcAnamorphic.Checked());
    Restart();
    EXPECT_EQ(ReadIniText(), first);
}

TEST_F(Lifecycle, AFirstRunWritesEveryKeyInItsPlace) {
    Start();
    EXPECT_EQ(CloseAndRead(),
              "[Global]\r\nVersion=1.0.0\r\nWindowPosX=0\r\nWindowPosY=0\r\n"
              "PlayerRateSVCDMin=1395\r\nPlayerRateSVCDMax=2788\r\n\r\n"
              "[Image]\r\nSeconds=3000\r\nAudio1=8\r\nAudio2=0\r\nFpsBox=1\r\nCDs=1\r\n"
              "CDType=2\r\nBlocksUsable=359849\r\nSafety=150\r\nExtraBlocks=0\r\n"
              "ExtraBlocksMode2324=0\r\nSubtitlePics=0\r\nBMPSubSize=0\r\nSceneDetect=1\r\n"
              "ScanOffsets=0\r\nSeqAligning=0\r\nGOPLength=15\r\nAddMatrices=0\r\nMuxMode=1\r\n"
              "AuthoringMode=3\r\nMenuPics=1\r\nRateMode=0\r\nVideoKbps=2000\r\nAC3Audio=0\r\n"
              "ChapterMinutes=5\r\n\r\n"
              "[Resolution]\r\nSrcIsPAL=1\r\nDestIsPAL=1\r\nSrcResX=720\r\nSrcResY=576\r\n"
              "SrcPixelX=720\r\nSrcPixelY=436\r\nBorderLeft=0\r\nBorderTop=70\r\n"
              "SrcAspectBox=0\r\nOptPositioning=1\r\nSrcIsAnamorphic=1\r\nITUAspect=1\r\n"
              "CropMode=1\r\nCropRoundX=2\r\nCropRoundY=2\r\nDestPixelRoundY=16\r\n"
              "DestPixelSuggestionX=448\r\nDestPixelSuggestionY=320\r\nDestAspectBox=4\r\n"
              "DestIsAnamorphic=0\r\nTVBorderBlocks=2\r\n\r\n"
              "[AVSscript]\r\nConvertToRGB=0\r\nResampleAudio=0\r\nBffToTff=0\r\n"
              "InterlacedResizing=0\r\nResizeMode=2\r\nFileNameSrc=\r\nSourceFilter=0\r\n"
              "DiscFolder=\r\nRecentFilm1=\r\nRecentFilm2=\r\nRecentFilm3=\r\nRecentFilm4=\r\n"
              "RecentFilm5=\r\n");
}

// A file without the key (an older one) leaves AC-3 off; a multiplexer without it clears it.
TEST_F(Lifecycle, TheAc3ChoiceIsKept) {
    for (const auto& [text, checked] : {std::pair{"[Image]\nMuxMode=8\n", false},
                                        std::pair{"[Image]\nMuxMode=1\nAC3Audio=1\n", false}}) {
        WriteSettings(text);
        EXPECT_EQ(Start().AC3Box.Checked(), checked) << text;
    }
    Form->MuxModeBox.Select(Index(TMuxRow::DvdFfmpeg));
    Check(Form->AC3Box, true);
    EXPECT_TRUE(Restart().AC3Box.Checked());
}

TEST_F(Lifecycle, UnknownKeysAndSectionsSurviveAWrite) {
    WriteSettings("; mine\r\n[Global]\r\nVersion=1.0.0\r\nColour=blue\r\n[Mine]\r\nA=1\r\n");
    Start();
    const std::string text = CloseAndRead();
    for (const char* kept : {"; mine\r\n", "Colour=blue\r\n", "[Mine]\r\nA=1\r\n"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
}

TEST_F(Lifecycle, VersionCheck) {
    const struct {
        const char* text;
        bool kept;
    } rows[] = {
        {"[Global]\nVersion=1.0.0\n[Image]\nSeconds=90\n", true},
        {"[Global]\nVersion=0.9.1\n[Image]\nSeconds=90\n", false},
        {"[Image]\nSeconds=90\n", true},
        {"[Global]\nVersion=1.0.0 \n[Image]\nSeconds=90\n", true}, // blanks are trimmed
        {"[Global]\nVersion=1.0.0.0\n[Image]\nSeconds=90\n", false},
    };
    for (const auto& r : rows) {
        std::filesystem::remove(IniName() + ".bak");
        WriteSettings(r.text);
        TMainForm& f = Start();
        EXPECT_EQ(f.FilmSeconds, 90u) << r.text; // applied in every case
        EXPECT_EQ(f.EditMin.Text(), "1");
        EXPECT_EQ(f.EditSec.Text(), "30");
        EXPECT_EQ(std::filesystem::exists(IniName()), r.kept) << r.text;
        // Another version's file waits beside, whole, until the window closes.
        std::ifstream backup(IniName() + ".bak", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(backup), {}), r.kept ? "" : r.text);
    }
}

TEST_F(Lifecycle, ASettingsFileThatIsNoFileIsSaidAndLeftAlone) {
    ASSERT_EQ(::mkfifo(IniName().c_str(), 0600), 0);
    TMainForm& f = Start(); // a FIFO would make this wait for a writer
    EXPECT_EQ(f.FilmSeconds, 3000u);
    EXPECT_EQ(Platform.Messages,
              std::vector<std::string>{"Error: The settings file " + IniName() +
                                       " cannot be read (not a regular file): Tarvex starts from "
                                       "its defaults and leaves the file as it is."});
    f.FormClose();
    EXPECT_TRUE(std::filesystem::is_fifo(IniName()));
    EXPECT_EQ(Platform.Messages.size(), 1u);
}

TEST_F(Lifecycle, ValuesAreReadLikeTheProfileApiReadsThem) {
    WriteSettings("[image]\ngopLENGTH=0x10\nCDs=257\n"
                  "[Resolution]\nDestAspectBox=99\nSrcPixelX=100\n");
    TMainForm& f = Start();
    EXPECT_EQ(f.EditGOP.Text(), "16");
    EXPECT_EQ(f.DiscCount, 1);
    EXPECT_EQ(f.EditCDNr.Text(), "1");
    EXPECT_EQ(f.DestAspectBox.ItemIndex(), -1);
    EXPECT_EQ(f.ResizeModel.SrcPixelX, 0); // a film width under 128 is refused
}

TEST_F(Lifecycle, NoStoredValueEndsStartUp) {
    for (const char* stored : {"BMPSubSize=-1", "BMPSubSize=6000000", "SubtitlePics=-1",
                               "Seconds=-1", "BlocksUsable=0", "CDs=0", "GOPLength=0"}) {
        WriteSettings(std::string("[Image]\n") + stored + "\n");
        TMainForm& f = Start();
        EXPECT_FALSE(f.Updating) << stored;
        EXPECT_EQ(f.AVSMemo.Lines().at(0), "# -= AviSynth script by Tarvex v1.0.0 =-") << stored;
    }
}

TEST_F(Lifecycle, ASourceNameTheFileCannotHoldIsNotKept) {
    WriteSettings("[AVSscript]\nFileNameSrc=old.avi\nDiscFolder=/discs/old\n");
    TMainForm& f = Start();
    EXPECT_EQ(f.DiscFolder, "/discs/old");
    f.FileNameSrc = "two\nlines.avi";
    f.DiscFolder = "/discs/film one";
    const std::string kept = CloseAndRead();
    EXPECT_NE(kept.find("FileNameSrc=\r\n"), std::string::npos);
    EXPECT_NE(kept.find("DiscFolder=/discs/film one\r\n"), std::string::npos);
}

TEST_F(Lifecycle, AFailedWriteIsReportedOnceAndTheOldFileStays) {
    WriteSettings("[Global]\nVersion=1.0.0\n");
    Start();
    SetWriteHook([](TWriteStep step) { return step == TWriteStep::Rename ? EACCES : 0; });
    Form->FormClose();
    SetWriteHook(nullptr);
    ASSERT_EQ(Platform.Messages.size(), 1u);
    EXPECT_EQ(Platform.Messages[0].rfind("Error: The settings could not be saved.", 0), 0u);
    EXPECT_NE(Platform.Messages[0].find("Permission denied"), std::string::npos);
    EXPECT_EQ(ReadIniText(), "[Global]\nVersion=1.0.0\n");
}

TEST_F(Lifecycle, AnUnreadableFileIsNeverOverwritten) {
    std::filesystem::create_directory(IniName()); // a folder where the file should be
    Start();
    Form->FormClose();
    EXPECT_TRUE(std::filesystem::is_directory(IniName()));
    EXPECT_EQ(Platform.Messages.size(), 1u);
}

TEST_F(Lifecycle, TheStoredWindowPositionIsRestoredWhereItIsOnScreen) {
    const struct {
        const char* stored;
        TPoint position;
    } rows[] = {
        {"", {0, 0}}, // first run: 0, 0 pass
        {"WindowPosX=300\nWindowPosY=200\n", {300, 200}},
        {"WindowPosX=924\nWindowPosY=200\n", {40, 200}},  // x >= 1024 - 100: ignored
        {"WindowPosX=923\nWindowPosY=668\n", {923, 30}},  // y >= 768 - 100: ignored
        {"WindowPosX=-486\nWindowPosY=-447\n", {40, 30}}, // too far left and up
    };
    for (const auto& r : rows) {
        WriteSettings(std::string("[Global]\n") + r.stored);
        Platform.Position = {40, 30};
        Start();
        EXPECT_EQ(Platform.Position, r.position) << r.stored;
    }
}

TEST_F(Lifecycle, ClosingStoresTheWindowPosition) {
    Start();
    Platform.Position = {123, 45};
    EXPECT_NE(CloseAndRead().find("WindowPosX=123\r\nWindowPosY=45\r\n"), std::string::npos);
}

TEST_F(Lifecycle, TheWorkAreaLeavesRoomForAHiddenTaskbar) {
    Platform.ScreenInfo.Taskbar = {{-2, 740, 1026, 770}, true};
    TMainForm& f = Start();
    EXPECT_EQ(f.WorkArea, (TRect{0, 0, 1024, 766}));
    Platform.ScreenInfo.Taskbar = {{-2, -2, 1026, 28}, true};
    f.DisplayChanged();
    EXPECT_EQ(f.WorkArea, (TRect{0, 3, 1024, 768}));
}

} // namespace

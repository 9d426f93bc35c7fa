// The geometry chain through the window's controls.
#include "FormFixture.h"

#include <functional>
#include <new>

using namespace tarvex;

namespace {

class GeometryForm : public FormTest {
  protected:
    /// Start-up defaults with a non-anamorphic source: a PAL "DVD" film of
    /// 720 x 436 at top border 70 for PAL "SVCD" with two overscan blocks.
    TMainForm& StartPalSvcd() {
        TMainForm& f = Start();
        Check(f.SrcAnamorphic, false);
        return f;
    }
};

TEST_F(GeometryForm, PalDvdFilmToSvcd) {
    TMainForm& f = StartPalSvcd();
    // Label57 tells the alignment, Label17 the crop's aspect, Label13 the film's.
    EXPECT_TRUE(Shows(f, "ResizeXEdit=448; ResizeYEdit=416; LabelRoundXResize=32; "
                         "Label57== block optimized; CropXEdit=704; CropYEdit=436; "
                         "Label17== 1.7665; ErrLabel=error: -0.04%; Label13== 1.8066; "
                         "DestXEdit=480; DestYEdit=576"));
    EXPECT_EQ(f.ErrLabel.FontColour(), TColour::Black);

    // The script in both resize modes: crop 8, 70 and borders 16, 80 reach it.
    f.ResizeModel.SrcFrameCount = 900;
    f.FileNameSrc = "C:\\film.d2v";
    f.SourceFile.FileType = ".d2v";
    f.ChangeAVSOptions();
    const std::vector<std::string> head = {"# -= AviSynth script by Tarvex v1.0.0 =-",
                                           "#LoadPlugin(\"D:\\PathOf\\AnyPlugin.dll\")",
                                           "mpeg2source(\"C:\\film.d2v\")"};
    auto expected = head;
    expected.insert(expected.end(), {"BicubicResize(448,416,0,0.6,8,70,704,436)",
                                     "AddBorders(16,80,16,80)", "#Trim(0,899).FadeOut(150)"});
    EXPECT_EQ(f.AVSMemo.Lines(), expected);
    f.InterlacedResBox.Click();
    expected = head;
    expected.insert(expected.end(),
                    {"SeparateFields()", "BicubicResize(448,208,0,0.6,8,35,704,218).Weave()",
                     "AddBorders(16,80,16,80)", "#Trim(0,899).FadeOut(150)"});
    EXPECT_EQ(f.AVSMemo.Lines(), expected);

    f.RoundYResize.Slide(5); // multiples of 32: the width is macroblock aligned
    EXPECT_TRUE(Shows(f, "ResizeYEdit=416; Label57== macroblock optimized; LabelRoundYResize=32"));
}

TEST_F(GeometryForm, NtscAnamorphicDvd) {
    TMainForm& f = Start();
    Check(f.SrcPALBox, false);
    Type(f.SrcYEdit, "480");
    Type(f.SrcPixelYEdit, "480");
    f.DestAspectBox.Select(0);
    Check(f.DestPALBox, false);
    f.TVBorderUpDown.ClickDown();
    f.TVBorderUpDown.ClickDown();
    EXPECT_EQ(f.SrcAspectBox.Hint(), "Source aspect:\r\nPixelform: 0.8229167");
    EXPECT_TRUE(Shows(f, "BorderTopEdit=0; ResizeXEdit=720; ResizeYEdit=368; CropXEdit=704; "
                         "CropYEdit=480"));
    EXPECT_EQ(f.ResizeModel.ResizeXAlignment, 16);
    const char* borders[] = {"AddBorders(0,56,0,56)", "AddBorders(0,56,0,56)",
                             "AddBorders(0,48,0,64)"};
    for (int position = 0; position <= 2; ++position) {
        f.OptPosSlider.Slide(position);
        EXPECT_EQ(f.AVSMemo.Lines().at(3), "BicubicResize(720,368,0,0.6,8,0,704,480)");
        EXPECT_EQ(f.AVSMemo.Lines().at(4), borders[position]) << position;
    }
}

TEST_F(GeometryForm, SourcePixelForms) {
    const struct {
        int kind;
        bool pal, itu, anamorphic;
        const char* form;
    } rows[] = {
        {0, true, true, false, "0.9140625"}, {0, true, true, true, "0.6855469"},
        {3, false, false, true, "0.5625"},   {6, true, false, false, "1"},
        {6, true, true, false, "0.975"},     {6, false, true, false, "0.9753086"},
        {4, true, true, false, "0.4570312"}, {2, false, true, false, "0.8229167"},
        {3, true, false, false, "0.625"},    {0, false, false, false, "1.125"},
    };
    TMainForm& f = Start();
    for (const auto& r : rows) {
        f.SrcAspectBox.Select(r.kind);
        Check(f.SrcPALBox, r.pal);
        Check(f.ITUAspect, r.itu);
        Check(f.SrcAnamorphic, r.anamorphic);
        EXPECT_EQ(f.SrcAspectBox.Hint(), std::string("Source aspect:\r\nPixelform: ") + r.form)
            << r.kind << r.pal << r.itu << r.anamorphic;
    }
}

TEST_F(GeometryForm, DestinationFramesAndForms) {
    const struct {
        int kind;
        bool pal;
        const char *width, *height, *form;
    } rows[] = {
        {0, true, "720", "576", "0.9140625"},  {1, false, "704", "480", "1.0972222"},
        {2, true, "544", "576", "0.6855469"},  {3, false, "528", "480", "0.8229167"},
        {4, false, "480", "480", "0.7314815"}, {5, true, "352", "576", "0.4570312"},
        {6, false, "352", "240", "1.0972222"}, {6, true, "352", "288", "0.9140625"},
        {7, true, "768", "576", "1"},
    };
    TMainForm& f = Start();
    for (const auto& r : rows) {
        f.DestAspectBox.Select(r.kind);
        Check(f.DestPALBox, r.pal);
        EXPECT_EQ(f.DestXEdit.Text(), r.width) << r.kind;
        EXPECT_EQ(f.DestYEdit.Text(), r.height) << r.kind;
        EXPECT_EQ(f.DestAspectBox.Hint(),
                  std::string("Destination aspect:\r\nPixelform: ") + r.form)
            << r.kind;
    }
}

TEST_F(GeometryForm, OverscanBlocksShrinkTheUsableArea) {
    TMainForm& f = Start();
    f.DestAspectBox.Select(6);
    Check(f.DestPALBox, false);
    ASSERT_EQ(f.TVBorderUpDown.Position(), 2);
    f.ResetResizeToDest();
    EXPECT_EQ(f.ResizeModel.ResizeX, 320);
    EXPECT_EQ(f.ResizeModel.ResizeY, 208);
}

TEST_F(GeometryForm, SquareDestinationEndsAsOneRunWithoutAnamorphicAndBorders) {
    TMainForm& f = Start();
    Check(f.DestAnamorphic, true);
    ASSERT_EQ(f.TVBorderUpDown.Position(), 2);
    f.DestAspectBox.Select(7);
    EXPECT_TRUE(Shows(f, "DestAnamorphic=0; TVBorderEdit=0; DestXEdit=768; DestYEdit=576"));
    EXPECT_FALSE(f.DestAnamorphic.Enabled());
    EXPECT_EQ(f.ResizeModel.DestPixelForm, 1.0);
    EXPECT_LE(f.ResizeModel.ResizeX, 768);

    // The same window reached the plain way.
    const std::vector<std::string> square = Snapshot(f);
    TMainForm& g = Start();
    g.TVBorderUpDown.ClickDown();
    g.TVBorderUpDown.ClickDown();
    g.DestAspectBox.Select(7);
    EXPECT_EQ(Snapshot(g), square);
}

TEST_F(GeometryForm, UpdatingStopsEveryChain) {
    TMainForm& f = Start();
    const auto before = Snapshot(f);
    const TResizeStruct model = f.ResizeModel;
    const TCDImage disc = f.DiscImage;
    f.Updating = true;
    f.DestAspectBox.Select(0);
    f.SrcAspectBox.Select(5);
    f.SrcPALBox.Click();
    f.DestPALBox.Click();
    f.RoundXCrop.Slide(4);
    f.RoundYResize.Slide(0);
    f.OptPosSlider.Slide(2);
    f.InterlacedResBox.Click();
    f.FpsCombo.Select(2);
    f.Audio1kbps.Select(0);
    f.SubKBytes.SetText("100");
    f.CDNrUpDown.ClickUp();
    f.MakeScript();
    const auto after = Snapshot(f);
    for (const std::string output :
         {"CropXEdit", "CropYEdit", "ResizeXEdit", "ResizeYEdit", "DestXEdit", "Label13", "Label17",
          "ErrLabel", "Label36", "Label57", "AVSMemo", "LabelRoundXCrop", "OptPosLabel", "Label10",
          "EditImageBlocks"}) {
        const auto same = [&](const std::string& line) { return line.rfind(output + "|", 0) == 0; };
        const auto was = std::find_if(before.begin(), before.end(), same);
        ASSERT_NE(was, before.end()) << output;
        EXPECT_EQ(*was, *std::find_if(after.begin(), after.end(), same));
    }
    EXPECT_EQ(f.ResizeModel.CropX, model.CropX);
    EXPECT_EQ(f.ResizeModel.ResizeY, model.ResizeY);
    EXPECT_EQ(f.ResizeModel.DestX, model.DestX);
    EXPECT_EQ(f.ResizeModel.CropRoundX, model.CropRoundX);
    EXPECT_EQ(f.ResizeModel.OptPositioning, model.OptPositioning);
    EXPECT_EQ(f.ResizeModel.SrcPixelForm, model.SrcPixelForm);
    EXPECT_EQ(f.DiscImage.Frames, disc.Frames);
    EXPECT_EQ(f.DiscImage.BMPSubSize, disc.BMPSubSize);
    EXPECT_EQ(f.DiscCount, 1);
}

TEST_F(GeometryForm, TypingTowardsAFilmWidthRecentresFromTheStoredOne) {
    TMainForm& f = StartPalSvcd();
    Type(f.SrcPixelXEdit, "704");
    EXPECT_TRUE(Shows(f, "BorderLeftEdit=8"));
    Type(f.BorderLeftEdit, "4");
    EXPECT_EQ(f.ResizeModel.BorderLeft, 4);
    f.SrcPixelXEdit.SelectAll();
    f.SrcPixelXEdit.TypeKeys("12");
    EXPECT_EQ(f.ResizeModel.SrcPixelX, 704);
    EXPECT_EQ(f.ResizeModel.BorderLeft, 8);
    EXPECT_TRUE(Shows(f, "BorderLeftEdit=8"));
    f.SrcPixelXEdit.TypeKeys("00");
    EXPECT_EQ(f.ResizeModel.SrcPixelX, 1200);
}

TEST_F(GeometryForm, BordersRefusedByTheModelShowTheStoredValue) {
    TMainForm& f = StartPalSvcd();
    // Each key is applied: 1, 14, then 141 is refused (at most 576 - 436 = 140).
    Type(f.BorderTopEdit, "141");
    EXPECT_EQ(f.BorderTopEdit.Text(), "14");
    Type(f.BorderTopEdit, "140");
    EXPECT_EQ(f.AVSMemo.Lines().at(3), "BicubicResize(448,416,0,0.6,8,140,704,436)");
}

TEST_F(GeometryForm, TypedResizeHeight) {
    TMainForm& f = StartPalSvcd();
    f.ResizeYEdit.Focus();
    f.ResizeYEdit.SelectAll();
    f.ResizeYEdit.TypeKeys("40"); // two characters do nothing
    EXPECT_EQ(f.ResizeModel.ResizeY, 416);
    f.ResizeYEdit.TypeKey('0');
    EXPECT_EQ(f.ResizeModel.ResizeX, 448);
    EXPECT_EQ(f.ResizeModel.ResizeY, 400);
    EXPECT_TRUE(Shows(f, "ResizeXEdit=448; ResizeYEdit=400"));
    EXPECT_FALSE(f.AutoResizeY);
}

TEST_F(GeometryForm, SteppingTheResizeHeight) {
    const struct {
        std::int32_t from;
        bool up;
        const char* to;
    } rows[] = {{416, true, "432"}, {416, false, "400"}, {410, true, "416"}, {410, false, "400"}};
    for (const auto& r : rows) {
        TMainForm& f = StartPalSvcd();
        f.ResizeModel.DestPixelSuggestionY = r.from;
        if (r.up)
            f.ResizeYUpDown.ClickUp();
        else
            f.ResizeYUpDown.ClickDown();
        EXPECT_EQ(f.ResizeYEdit.Text(), r.to) << r.from << r.up;
        EXPECT_EQ(std::to_string(f.ResizeModel.ResizeY), r.to);
        EXPECT_TRUE(f.AutoResizeY);
    }
}

TEST_F(GeometryForm, TypedSourceFrameSizeLimits) {
    TMainForm& f = StartPalSvcd();
    const struct {
        const char* text;
        std::int16_t width;
    } rows[] = {{"63", 720}, {"2049", 720}, {"abc", 720}, {"2048", 2048}, {"64", 64}};
    for (const auto& r : rows) {
        f.SrcXEdit.SetText(r.text);
        f.SrcXEdit.OnKeyUp(f.SrcXEdit, '0');
        EXPECT_EQ(f.ResizeModel.SrcResX, r.width) << r.text;
    }
    // Accepted values run the source chain: the film area is re-centred.
    EXPECT_EQ(f.ResizeModel.BorderLeft, 0);
    EXPECT_EQ(f.BorderLeftEdit.Text(), "0");
}

TEST_F(GeometryForm, CropRoundingAndModeControls) {
    TMainForm& f = StartPalSvcd();
    f.DecimalSeparator = ','; // captions take the system's separator, the script never does
    f.CropModeBox.Select(2);
    EXPECT_TRUE(Shows(f, "Label17== 1,7815; ErrLabel=error: 0,81%"));
    EXPECT_EQ(f.ErrLabel.FontColour(), TColour::Yellow);
    EXPECT_EQ(f.AVSMemo.Lines().at(3), "BicubicResize(448,416,0,0.6,5,70,710,436)");
    f.SrcRateEdit.SetText("4432,5");
    EXPECT_EQ(f.ResizeModel.SrcBitRate, 4432500.0);

    f.RoundXCrop.Slide(3);
    f.RoundYCrop.Slide(4);
    EXPECT_EQ(f.ResizeModel.CropRoundX, 8);
    EXPECT_EQ(f.ResizeModel.CropRoundY, 16);
    EXPECT_TRUE(Shows(f, "LabelRoundXCrop=8; LabelRoundYCrop=16"));
    EXPECT_EQ(f.ResizeModel.CropX % 8, 0);
    EXPECT_EQ(f.ResizeModel.CropY % 16, 0);
}

TEST_F(GeometryForm, CopyButtonTakesTheWholeFrame) {
    TMainForm& f = StartPalSvcd();
    f.CopyBtn.Click();
    EXPECT_TRUE(Shows(f, "SrcPixelYEdit=576; BorderTopEdit=0"));
    EXPECT_EQ(f.ResizeModel.SrcPixelY, 576);
    EXPECT_EQ(f.ResizeModel.BorderTop, 0);
}

TEST_F(GeometryForm, PixelFormChangeAloneRecomputesTheCrop) {
    // A whole-frame PAL film for "DVD" without overscan blocks: the resize size
    // stays 720 x 576 through start-up, so only the pixel form setters can
    // bring the crop up to date (a stale crop would read 658 x 576, = 1.2498).
    WriteSettings("[Resolution]\nDestAspectBox=0\nTVBorderBlocks=0\nSrcPixelY=576\n"
                  "BorderTop=0\nSrcIsAnamorphic=0\n");
    TMainForm& f = Start();
    EXPECT_TRUE(Shows(f, "ResizeXEdit=720; ResizeYEdit=576; CropXEdit=720; CropYEdit=576; "
                         "Label17== 1.3675; ErrLabel=error: 0%"));

    // Toggling ITU changes only the source form: the error follows it.
    f.ITUAspect.Click();
    TResizeStruct fresh;
    fresh.SetSrcPixelForm(f.ResizeModel.SrcPixelForm);
    fresh.SetDestPixelForm(f.ResizeModel.DestPixelForm);
    fresh.SetCropMode(f.ResizeModel.CropMode);
    fresh.SetSrcPixelX(f.ResizeModel.SrcPixelX);
    fresh.SetSrcPixelY(f.ResizeModel.SrcPixelY);
    fresh.SetResizeX(f.ResizeModel.ResizeX);
    fresh.SetResizeY(f.ResizeModel.ResizeY);
    EXPECT_TRUE(Shows(f, "CropXEdit=" + std::to_string(fresh.CropX) +
                             "; CropYEdit=" + std::to_string(fresh.CropY)));
    EXPECT_NE(f.ErrLabel.Caption(), "error: 0%");
}

TEST_F(GeometryForm, ScriptOptions) {
    TMainForm& f = StartPalSvcd();
    const char* captions[] = {"centered", "block aligned", "macroblock aligned"};
    for (int position : {0, 1, 2, 0}) {
        f.OptPosSlider.Slide(position);
        EXPECT_EQ(f.OptPosLabel.Caption(), captions[position]);
        EXPECT_EQ(f.ResizeModel.OptPositioning, position);
    }
    f.ResizeBox.Select(1);
    EXPECT_EQ(f.ResizeMode, 1);
    EXPECT_EQ(f.AVSMemo.Lines().at(3), "BicubicResize(448,416,1.0/3,1.0/3,8,70,704,436)");
    f.RGBoutputBox.Click();
    f.ResampleAudioBox.Click();
    f.BffToTffBox.Click();
    EXPECT_TRUE(f.ConvertToRGB && f.ResampleAudio && f.BffToTff);
    EXPECT_EQ(f.AVSMemo.Lines().back(),
              "ResampleAudio(44100) # also a CCE 2.5 'crashfix' for Athlons");
}

class SaveScript : public FormTest {};

TEST_F(SaveScript, OverwritesWithTheBoxInCrLfAndRemembersTheName) {
    TMainForm& f = Start();
    const std::string file = (Temp.Path / "film.avs").string();
    std::ofstream(file) << std::string(10000, 'x'); // a longer old script goes whole
    f.AVSMemo.SetLines({"first", "edited by hand"});
    Platform.Files = {file};
    f.SaveAVSBtn.Click();
    EXPECT_EQ(Platform.LastDialog.FileName, "");
    EXPECT_EQ(Platform.LastDialog.DefaultExt, "avs");
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "first\r\nedited by hand\r\n");
    EXPECT_EQ(f.FileNameAVS, file);

    Platform.Files = {std::nullopt}; // cancelled: nothing changes
    f.SaveAVSBtn.Click();
    EXPECT_EQ(Platform.LastDialog.FileName, file);
    EXPECT_EQ(f.FileNameAVS, file);
    EXPECT_TRUE(Platform.Messages.empty());
}

TEST_F(SaveScript, AnUnwritablePathIsReportedAndNothingElseChanges) {
    TMainForm& f = Start();
    const std::string file = (Temp.Path / "missing" / "film.avs").string();
    Platform.Files = {file};
    f.SaveAVSBtn.Click();
    ASSERT_EQ(Platform.Messages.size(), 1u);
    EXPECT_EQ(Platform.Messages[0].rfind("Error: Cannot create file \"" + file + "\". ", 0), 0u);
    EXPECT_EQ(f.FileNameAVS, file);
    EXPECT_FALSE(std::filesystem::exists(file));
}

// An out-of-memory inside a chain is no numeric fault: no handler or model swallows it.
struct FaultRow {
    const char* name;
    std::function<void(TMainForm&)> inject, act;
};

class InjectedFault : public FormTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(InjectedFault, OutOfMemoryReachesTheCaller) {
    TMainForm& f = Start();
    GetParam().inject(f);
    EXPECT_THROW(GetParam().act(f), std::bad_alloc);
}

void OutOfMemory(TControl&) {
    throw std::bad_alloc();
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, InjectedFault,
    ::testing::Values(FaultRow{"CropModel",
                               [](TMainForm& f) {
                                   f.ResizeModel.OnCropResult = [](const TCropResult&) {
                                       throw std::bad_alloc();
                                   };
                               },
                               [](TMainForm& f) { f.CropModeBox.Select(2); }},
                      FaultRow{"DiscBudget",
                               [](TMainForm& f) { f.Videokbps.OnChange = OutOfMemory; },
                               [](TMainForm& f) { f.Audio1kbps.Select(5); }},
                      FaultRow{"DiscLayout",
                               [](TMainForm& f) { f.ScanOffsets.OnClick = OutOfMemory; },
                               [](TMainForm& f) { f.MuxModeBox.Select(2); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

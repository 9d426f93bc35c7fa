#include "script/Scripting.h"

#include <gtest/gtest.h>

using namespace tarvex;
using Lines = std::vector<std::string>;

namespace {

// The geometry of the worked example: a PAL film 704 x 436 cropped at (8, 70),
// resized to 448 x 416 inside a 480 x 576 frame, block aligned.
TResizeStruct ExampleModel() {
    TResizeStruct m;
    m.ResizeX = 448;
    m.ResizeY = 416;
    m.DestX = 480;
    m.DestY = 576;
    m.CropX = 704;
    m.CropY = 436;
    m.CropLeft = 8;
    m.CropTop = 70;
    m.SrcIsPAL = true;
    m.DestIsPAL = true;
    m.OptPositioning = 1;
    m.SrcFrameCount = 900;
    return m;
}

TScriptOptions ExampleOptions() {
    return {.AppName = "Tarvex",
            .Version = "1.0.0",
            .FileNameSrc = "C:\\film.d2v",
            .FileType = ".d2v",
            .ResizeMode = 2};
}

Lines Script(const TResizeStruct& m, TScriptOptions g, const std::string& type = ".d2v") {
    Lines lines{"old"};
    g.FileType = type;
    TScriptWriter().MakeScript(m, g, lines);
    return lines;
}

const std::string Header = "# -= AviSynth script by Tarvex v1.0.0 =-";
const std::string Plugin = "#LoadPlugin(\"D:\\PathOf\\AnyPlugin.dll\")";
const std::string Source = "mpeg2source(\"C:\\film.d2v\")";

} // namespace

TEST(MakeScript, WorkedExample) {
    const struct {
        bool interlaced;
        Lines lines;
    } rows[] = {{false,
                 {Header, Plugin, Source, "BicubicResize(448,416,0,0.6,8,70,704,436)",
                  "AddBorders(16,80,16,80)", "#Trim(0,899).FadeOut(150)"}},
                {true,
                 {Header, Plugin, Source, "SeparateFields()",
                  "BicubicResize(448,208,0,0.6,8,35,704,218).Weave()", "AddBorders(16,80,16,80)",
                  "#Trim(0,899).FadeOut(150)"}}};
    for (const auto& r : rows) {
        TResizeStruct m = ExampleModel();
        m.InterlacedResizing = r.interlaced;
        EXPECT_EQ(Script(m, ExampleOptions()), r.lines) << r.interlaced;
    }
}

TEST(MakeScript, FilterPerResizeMode) {
    const struct {
        std::int8_t mode;
        const char* line;
    } rows[] = {
        {0, "BilinearResize(448,416,8,70,704,436)"},
        {1, "BicubicResize(448,416,1.0/3,1.0/3,8,70,704,436)"}, // not integer 1/3 = 0
        {2, "BicubicResize(448,416,0,0.6,8,70,704,436)"},
        {3, "LanczosResize(448,416,8,70,704,436)"},
        {-1, "BicubicResize(448,416,0,0.6,8,70,704,436)"},
        {9, "BicubicResize(448,416,0,0.6,8,70,704,436)"},
    };
    for (const auto& r : rows) {
        TScriptOptions g = ExampleOptions();
        g.ResizeMode = r.mode;
        EXPECT_EQ(Script(ExampleModel(), g).at(3), r.line) << int{r.mode};
    }
}

TEST(MakeScript, OptionsAddTheirLinesInOrder) {
    TResizeStruct m = ExampleModel();
    m.SrcIsPAL = false; // NTSC source to a PAL destination
    TScriptOptions g = ExampleOptions();
    g.BffToTff = true;
    g.ConvertToRGB = true;
    g.ResampleAudio = true;
    g.FileNameSrc = "";
    EXPECT_EQ(Script(m, g, ".avi"),
              (Lines{Header, Plugin, "AviSource(\"\")", "DoubleWeave().SelectOdd()",
                     "BicubicResize(448,416,0,0.6,8,70,704,436)", "AddBorders(16,80,16,80)",
                     "AssumeFPS(25.000, true)", "#Trim(0,899).FadeOut(150)",
                     "ConvertToRGB24() # For TMPGEnc or VFAPI",
                     "ResampleAudio(44100) # also a CCE 2.5 'crashfix' for Athlons"}));
    m.InterlacedResizing = true;
    EXPECT_EQ(Script(m, g, ".avi").at(3), "DoubleWeave().SelectOdd().SeparateFields()");
}

TEST(MakeScript, PalToNtscAndNoBorders) {
    TResizeStruct m = ExampleModel();
    m.DestIsPAL = false;
    m.DestX = 448;
    m.DestY = 416;
    m.SrcFrameCount = 0;
    const Lines lines = Script(m, ExampleOptions());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], "AssumeFPS(23.976, true)");
    EXPECT_EQ(lines[5], "#Trim(0,-1).FadeOut(150)");
}

TEST(MakeScript, SourceLineByKindAndChosenFilter) {
    // The chosen filter, for each kind of source: automatic, then FFVideoSource,
    // LWLibavVideoSource, DirectShowSource, AviSource; out of range is automatic.
    const struct {
        std::vector<std::string> types;
        std::vector<std::string> byChoice; // indexes 0 to 5
    } rows[] = {
        {{".d2v"},
         {"mpeg2source", "mpeg2source", "mpeg2source", "mpeg2source", "mpeg2source",
          "mpeg2source"}},
        {{".avi", ".avs"},
         {"AviSource", "FFVideoSource", "LWLibavVideoSource", "DirectShowSource", "AviSource",
          "AviSource"}},
        {{".vob", ".mkv", ".D2V", ""},
         {"LWLibavVideoSource", "FFVideoSource", "LWLibavVideoSource", "DirectShowSource",
          "AviSource", "LWLibavVideoSource"}},
    };
    for (const auto& r : rows) {
        for (const std::string& type : r.types) {
            for (std::size_t choice = 0; choice < r.byChoice.size(); ++choice) {
                TScriptOptions options = ExampleOptions();
                options.SourceFilter = static_cast<std::int8_t>(choice);
                EXPECT_EQ(Script(ExampleModel(), options, type).at(2),
                          r.byChoice[choice] + "(\"C:\\film.d2v\")")
                    << type << " " << choice;
            }
        }
    }
}

TEST(MakeScript, InterlacedBordersFillTheFrame) {
    // DestY 576 with ResizeY 430 (top 72, bottom 74) and with ResizeY 417,
    // whose woven picture is 2 x 208 lines: the frame must still be 576 high.
    const struct {
        std::int16_t resizeY, top, bottom;
    } rows[] = {{430, 72, 74}, {417, 78, 82}, {416, 80, 80}, {600, -12, -12}};
    for (const auto& r : rows) {
        TResizeStruct m = ExampleModel();
        m.InterlacedResizing = true;
        m.ResizeY = r.resizeY;
        const std::string expected =
            "AddBorders(16," + std::to_string(r.top) + ",16," + std::to_string(r.bottom) + ")";
        EXPECT_EQ(Script(m, ExampleOptions()).at(5), expected) << r.resizeY;
    }
}

TEST(MakeScript, InterlacedHalvesTruncate) {
    TResizeStruct m = ExampleModel();
    m.InterlacedResizing = true;
    m.CropTop = 71;
    m.CropY = 435;
    m.ResizeY = 415;
    EXPECT_EQ(Script(m, ExampleOptions()).at(4),
              "BicubicResize(448,207,0,0.6,8,35,704,217).Weave()");
}

TEST(MakeScript, NegativeBordersKeepTheirSign) {
    TResizeStruct m = ExampleModel();
    m.ResizeX = 500;
    m.ResizeY = 600;
    m.OptPositioning = 0;
    EXPECT_EQ(Script(m, ExampleOptions()).at(4), "AddBorders(-10,-12,-10,-12)");
}

// A name is data in the script, never code: quotes stay inside the string, and a
// name no AviSynth string can hold gives a script that says why.
TEST(MakeScript, SourceNameIsAlwaysOneString) {
    const std::string no = "# No script: the name of the source file cannot be written into it, ";
    const std::pair<std::string, std::string> rows[] = {
        {"C:\\a b.mpg", "LWLibavVideoSource(\"C:\\a b.mpg\")"},
        {"a\" + Import(\"e.avs\") + \".mpg",
         "LWLibavVideoSource(\"\"\"a\" + Import(\"e.avs\") + \".mpg\"\"\")"},
        {"a\n+ Import(\"e.avs\").mpg", no + "it holds a line break. Rename the file."},
        {"a\t.mpg", no + "it holds a control character. Rename the file."},
        {"a\"\"\".mpg", no + "it holds three double quotes in a row. Rename the file."},
        {"a.mpg\"", no + "it ends in a double quote. Rename the file."}};
    for (const auto& [name, line] : rows) {
        TScriptOptions options = ExampleOptions();
        options.FileNameSrc = name;
        const Lines lines = Script(ExampleModel(), options, ".mpg");
        EXPECT_EQ(lines.at(2), line);
        EXPECT_EQ(lines.size() == 3, line[0] == '#') << line;
    }
}

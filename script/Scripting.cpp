#include "Scripting.h"

#include "common/Numeric.h"

#include <iterator>

namespace tarvex {

namespace {

struct TFilter {
    const char* Name;
    const char* Separator; // between the target size and the crop window
};

TFilter FilterFor(std::int8_t resizeMode) {
    switch (resizeMode) {
    case 0:
        return {"BilinearResize(", ","};
    // AviSynth divides integers as integers: 1/3 would be 0.
    case 1:
        return {"BicubicResize(", ",1.0/3,1.0/3,"};
    case 3:
        return {"LanczosResize(", ","};
    default:
        return {"BicubicResize(", ",0,0.6,"};
    }
}

std::string Join4(const char* name, std::int64_t a, std::int64_t b, std::int64_t c,
                  std::int64_t d) {
    return name + IntToStr(a) + "," + IntToStr(b) + "," + IntToStr(c) + "," + IntToStr(d) + ")";
}

/// The call that loads the source: a d2v project only through its own filter;
/// automatically AVI files through AviSource (and scripts, which it opens too,
/// and no file at all), every other film through LWLibavVideoSource, which reads
/// any container.
std::string SourceFunction(const TScriptOptions& options) {
    if (options.FileType == ".d2v") return "mpeg2source";
    const auto chosen = static_cast<std::size_t>(options.SourceFilter);
    if (options.SourceFilter != AutomaticSource && chosen < std::size(SourceFilters))
        return SourceFilters[chosen];
    const bool avi = options.FileType == ".avi" || options.FileType == ".avs";
    return avi || options.FileNameSrc.empty() ? "AviSource" : "LWLibavVideoSource";
}

/// The name as an AviSynth string: plain quotes take any text without a double
/// quote (AviSynth knows no escapes in them), triple quotes one with double quotes.
std::string Quoted(const std::string& name) {
    if (name.find('"') == std::string::npos) return '"' + name + '"';
    return "\"\"\"" + name + "\"\"\"";
}

} // namespace

std::optional<std::string> ScriptNameProblem(const std::string& name) {
    if (name.find_first_of("\r\n") != std::string::npos) return "it holds a line break";
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "it holds a control character";
    if (name.find("\"\"\"") != std::string::npos) return "it holds three double quotes in a row";
    // A final quote would run into the closing triple quote and end the string early.
    if (!name.empty() && name.back() == '"') return "it ends in a double quote";
    return std::nullopt;
}

void TClassAVS::MakeScript(const TResizeStruct& model, const TScriptOptions& options,
                           std::vector<std::string>& lines) const {
    lines.clear();
    lines.push_back("# -= AviSynth script by " + options.AppName + " v" + options.Version + " =-");
    lines.push_back("#LoadPlugin(\"D:\\PathOf\\AnyPlugin.dll\")");
    if (const auto problem = ScriptNameProblem(options.FileNameSrc)) {
        lines.push_back("# No script: the name of the source file cannot be written into it, " +
                        *problem + ". Rename the file.");
        return;
    }
    lines.push_back(SourceFunction(options) + "(" + Quoted(options.FileNameSrc) + ")");

    const TFilter filter = FilterFor(options.ResizeMode);
    if (!model.InterlacedResizing) {
        if (options.BffToTff) lines.push_back("DoubleWeave().SelectOdd()");
        lines.push_back(filter.Name + IntToStr(model.ResizeX) + "," + IntToStr(model.ResizeY) +
                        filter.Separator + IntToStr(model.CropLeft) + "," +
                        IntToStr(model.CropTop) + "," + IntToStr(model.CropX) + "," +
                        IntToStr(model.CropY) + ")");
    } else {
        lines.push_back(options.BffToTff ? "DoubleWeave().SelectOdd().SeparateFields()"
                                         : "SeparateFields()");
        lines.push_back(filter.Name + IntToStr(model.ResizeX) + "," +
                        IntToStr(Half(model.ResizeY)) + filter.Separator +
                        IntToStr(model.CropLeft) + "," + IntToStr(Half(model.CropTop)) + "," +
                        IntToStr(model.CropX) + "," + IntToStr(Half(model.CropY)) + ").Weave()");
    }
    const TBorderRect borders = model.GetScriptBorders();
    const std::string addBorders =
        Join4("AddBorders(", borders.Left, borders.Top, borders.Right, borders.Bottom);
    if (addBorders != "AddBorders(0,0,0,0)") lines.push_back(addBorders);

    if (model.SrcIsPAL != model.DestIsPAL)
        lines.push_back(model.SrcIsPAL ? "AssumeFPS(23.976, true)" : "AssumeFPS(25.000, true)");
    lines.push_back("#Trim(0," +
                    IntToStr(Store<std::int32_t>(std::int64_t{model.SrcFrameCount} - 1)) +
                    ").FadeOut(150)");
    if (options.ConvertToRGB) lines.push_back("ConvertToRGB24() # For TMPGEnc or VFAPI");
    if (options.ResampleAudio)
        lines.push_back("ResampleAudio(44100) # also a CCE 2.5 'crashfix' for Athlons");
}

} // namespace tarvex

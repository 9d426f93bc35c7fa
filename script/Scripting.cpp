#include "Scripting.h"

#include "common/Numeric.h"
#include "geometry/PictureSteps.h"

#include <iterator>

namespace tarvex {

namespace {

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

void TScriptWriter::MakeScript(const TResizeStruct& model, const TScriptOptions& options,
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

    const std::vector<std::string> steps =
        AvisynthLines(PictureSteps(PicturePlanOf(model, options.ResizeMode, options.BffToTff)));
    lines.insert(lines.end(), steps.begin(), steps.end());
    lines.push_back("#Trim(0," +
                    IntToStr(Store<std::int32_t>(std::int64_t{model.SrcFrameCount} - 1)) +
                    ").FadeOut(150)");
    if (options.ConvertToRGB) lines.push_back("ConvertToRGB24() # For TMPGEnc or VFAPI");
    if (options.ResampleAudio)
        lines.push_back("ResampleAudio(44100) # also a CCE 2.5 'crashfix' for Athlons");
}

} // namespace tarvex

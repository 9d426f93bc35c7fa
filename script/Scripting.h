// Writes the AviSynth script for the current geometry, source and options.
#pragma once

#include "geometry/ResUnit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

/// What the script says besides the geometry.
struct TScriptOptions {
    std::string AppName; ///< named in the header line, with Version
    std::string Version;
    std::string FileNameSrc;    ///< the source file the script opens
    std::string FileType;       ///< kind of the opened source files, for example ".d2v"
    std::int8_t ResizeMode = 0; ///< ResizeBox index, -1 with no selection
    /// The filter that loads the source: `AutomaticSource` picks one by the
    /// kind, any other value is an index into `SourceFilters`.
    std::int8_t SourceFilter = 0;
    bool BffToTff = false, ResampleAudio = false, ConvertToRGB = false;
};

/// The choices of the "Source filter" list: automatic, then the filters by name.
inline constexpr const char* SourceFilters[] = {"automatic", "FFVideoSource", "LWLibavVideoSource",
                                                "DirectShowSource", "AviSource"};
inline constexpr std::int8_t AutomaticSource = 0;

/// Why `name` cannot be written into a script as an AviSynth string (a line break,
/// another control character, three double quotes in a row or a double quote at
/// its end), as the end of a sentence; nothing when it can.
std::optional<std::string> ScriptNameProblem(const std::string& name);

class TScriptWriter {
  public:
    /// Replaces `lines` with the script for `model` and `options`. A source name
    /// that `ScriptNameProblem` refuses gives a script that only says why.
    void MakeScript(const TResizeStruct& model, const TScriptOptions& options,
                    std::vector<std::string>& lines) const;
};

} // namespace tarvex

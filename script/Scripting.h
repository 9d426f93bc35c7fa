// Writes the AviSynth script for the current geometry, source and options.
#pragma once

#include "geometry/ResUnit.h"

#include <cstdint>
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
    bool BffToTff = false, ResampleAudio = false, ConvertToRGB = false;
};

class TClassAVS {
  public:
    /// Replaces `lines` with the script for `model` and `options`.
    void MakeScript(const TResizeStruct& model, const TScriptOptions& options,
                    std::vector<std::string>& lines) const;
};

} // namespace tarvex

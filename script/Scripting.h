// Writes the AviSynth script for the current geometry, source and options.
#pragma once

#include "common/Global.h"
#include "geometry/ResUnit.h"

#include <string>
#include <vector>

namespace tarvex {

class TClassAVS {
  public:
    /// Replaces `lines` with the script for `model`, the settings copy and the
    /// kind of the opened source files (`fileType`, for example ".d2v").
    /// Leaves `lines` alone while `settings.Updating` is set.
    void MakeScript(const TResizeStruct& model, TGlobal settings, const std::string& fileType,
                    std::vector<std::string>& lines) const;
};

} // namespace tarvex

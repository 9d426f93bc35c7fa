// The program-wide settings record.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex {

/// Settings that every subsystem reads; one instance, `Settings`, lives for the whole run.
struct TGlobal {
    std::string AppName;        ///< "Tarvex"
    std::string Version;        ///< version text of the program
    bool Updating = false;      ///< handlers that start a recomputation return at once
    bool AutoResizeY = false;   ///< the resize height follows the suggestion
    std::string FileNameSrc;    ///< full path of the opened source file
    std::string FileNameAVS;    ///< script file name proposed for saving
    std::int8_t ResizeMode = 0; ///< ResizeBox index, -1 with no selection
    bool BffToTff = false;      ///< script options
    bool ResampleAudio = false;
    bool ConvertToRGB = false;
    std::int32_t WindowPosX = 0; ///< window position at the last close
    std::int32_t WindowPosY = 0;
};

/// Font colours the program asks for.
enum class TColour { Default, Black, Yellow, Red, Green, Navy };

} // namespace tarvex

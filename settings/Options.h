// The settings file: every input of the main window kept between runs.
#pragma once

#include "budget/Imaging.h"
#include "geometry/ResUnit.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarvex {

/// Where a stored number lives: a model field or a value the window keeps (an item
/// index, a position or a check state of 0 or 1).
struct TIniValue {
    std::function<std::int64_t()> Get;
    std::function<void(std::int64_t)> Set;
};

/// Everything the settings file reads into and writes from.
struct TIniTargets {
    TResizeStruct& ResizeModel;
    TCDImage& DiscImage;
    std::uint32_t& FilmSeconds;
    std::uint8_t& DiscCount;
    std::int32_t &WindowPosX, &WindowPosY;
    std::int8_t& ResizeMode;
    bool &BffToTff, &ResampleAudio, &ConvertToRGB;
    std::string& FileNameSrc;
    std::string& DiscFolder;                 ///< where the discs were last made
    std::uint32_t& TypedKbps;                ///< the video rate the user chose
    std::array<std::string, 5>& RecentFilms; ///< the films opened last, the latest first
    const std::string& Version; ///< the program's: written, and compared with the file's
    /// The value the window keeps under a key's name.
    std::function<TIniValue(const char* key)> Window;
};

class TSettingsFile {
  public:
    TSettingsFile(std::string fileName, TIniTargets targets)
        : FileName(std::move(fileName)), Targets(std::move(targets)) {}

    /// Reads every key (a missing file or key gives the default) and applies it at
    /// once. A file written by another version is moved aside as a backup
    /// (`FileName`.bak) when `mayDelete` is set, so that the next write starts
    /// afresh; a failing move is ignored. Returns why an existing file could not
    /// be read (then every key has its default), or nothing.
    std::optional<std::string> ReadIni(bool mayDelete = true);
    /// Writes every key, replacing the file once the new content is complete.
    /// Throws TIniError when it cannot be written; the old file then stays whole.
    void WriteIni();

  private:
    std::string FileName;
    TIniTargets Targets;
};

} // namespace tarvex

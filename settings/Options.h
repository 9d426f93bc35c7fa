// The settings file: every input of the main window kept between runs.
#pragma once

#include "budget/Imaging.h"
#include "common/Global.h"
#include "geometry/ResUnit.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tarvex {

/// A value the main window holds in a control: an item index, a position or a
/// check state (0 or 1).
struct TIniControl {
    std::function<std::int32_t()> Get;
    std::function<void(std::int32_t)> Set;
};

/// The controls whose values the settings file keeps, named by their keys.
struct TIniControls {
    TIniControl Audio1, Audio2, FpsBox, GOPLength, AddMatrices, SceneDetect, ScanOffsets,
        SeqAligning, MenuPics, SrcAspectBox, ITUAspect, DestAspectBox, DestIsAnamorphic,
        TVBorderBlocks;
};

/// Everything the settings file reads into and writes from.
struct TIniTargets {
    TGlobal& Settings;
    TResizeStruct& ResizeModel;
    TCDImage& DiscImage;
    std::uint32_t& FilmSeconds;
    std::uint8_t& DiscCount;
    TIniControls& Controls;
};

class TClassIni {
  public:
    TClassIni(std::string fileName, TIniTargets targets)
        : FileName(std::move(fileName)), Targets(targets) {}

    /// Reads every key (a missing file or key gives the default) and applies it at
    /// once. A file written by another version is deleted afterwards when
    /// `mayDelete` is set; a failing deletion is ignored.
    void ReadIni(bool mayDelete = true);
    /// Writes every key, replacing the file once the new content is complete.
    /// Throws TIniError when it cannot be written; the old file then stays whole.
    void WriteIni();

  private:
    std::string FileName;
    TIniTargets Targets;
};

} // namespace tarvex

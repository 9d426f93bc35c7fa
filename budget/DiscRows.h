// The items of the multiplexing and authoring lists: which disc each one makes,
// how its multiplexer lays out packs, which stream options it leaves to the user
// and what its authoring spends on the disc. An item's place in its list is the
// index the settings file and the command line name it by: the order is fixed.
#pragma once

#include "budget/DiscStandard.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

/// The multiplexing list, in its order.
enum class TMuxRow : std::int8_t {
    SvcdIAuthor,
    SvcdBbmpeg,
    SvcdTmpgenc,
    VcdBbmpeg,
    VcdTmpgenc,
    DvdVobs,
    VcdFfmpeg, ///< the rows measured for the multiplexer the disc maker runs
    SvcdFfmpeg,
    DvdFfmpeg,
};

/// The authoring list, in its order.
enum class TAuthoringRow : std::int8_t {
    SvcdIAuthor,
    SuperVcdIAuthor,
    SvcdNero,
    SvcdVcdimager,
    Dvd,
    VcdVcdimager,
    DvdDvdauthor,
};

constexpr int Index(TMuxRow row) {
    return static_cast<int>(row);
}
constexpr int Index(TAuthoringRow row) {
    return static_cast<int>(row);
}

/// What a multiplexer does with a stream option the window offers as a check box.
enum class TOption : std::uint8_t { Off, On, Choice };

/// A multiplexer's packs: block size, the header bytes of each kind of pack, and
/// the whole blocks it adds besides audio and video packs.
struct TMuxLayout {
    std::uint16_t SectorSize;
    std::uint16_t FirstVideoHeader, GopVideoHeader, VideoHeader;
    std::uint16_t FirstAudioHeader, AudioHeader;
    std::uint16_t Ac3HeaderExtra; ///< bytes an AC-3 audio pack's header holds more
    std::uint32_t ExtraSectors;
    std::uint32_t SecondAudioSectors; ///< blocks more with a second audio stream
    bool SectorPerGop;                ///< a navigation block per GOP besides ExtraSectors
    /// Time stamp bytes per picture beyond what the headers above hold: the rows
    /// measured for ffmpeg count the packs' own headers alone, so that they hold at
    /// any rate.
    std::uint8_t PictureStamps;
};

struct TMuxTraits {
    const char* Name; ///< the list's item
    TDiscFamily Family;
    bool Tools; ///< the multiplexer the disc maker runs
    TOption ScanOffsets, SeqAligning, Ac3;
    bool ScanNeedsAligning; ///< scan offsets only with aligned sequence headers
    TMuxLayout Layout;
};

/// What an authoring's own blocks depend on.
struct TAuthoringInput {
    std::int64_t MenuBlocks;
    long double Seconds;
    std::uint32_t Gops;
};

struct TAuthoringTraits {
    const char* Name; ///< the list's item
    TDiscFamily Family;
    bool Tools;                 ///< the authoring tool the disc maker runs
    std::optional<TMuxRow> Mux; ///< the one multiplexer whose streams it takes
    std::uint32_t Reserve;      ///< blocks the budget keeps free besides the overhead
    std::uint32_t HintReserve;  ///< blocks the window's overhead hint adds
    std::int64_t (*Overhead)(const TAuthoringInput&); ///< file system, tables and menus
};

/// The item at `index` of the multiplexing list; nothing outside the list.
const TMuxTraits* FindMux(int index);
/// The row the budget and the disc maker use: outside the list, DVD VOBs.
const TMuxTraits& MuxTraits(int index);
/// The row of an authoring list index. Outside the list (no item chosen) an SVCD
/// authoring without reserve and with the generic overhead.
const TAuthoringTraits& AuthoringTraits(int index);

/// The rows of the disc maker's tools for a family.
TMuxRow ToolMux(TDiscFamily family);
TAuthoringRow ToolAuthoring(TDiscFamily family);

/// The items of the lists, in order.
std::vector<std::string> MuxNames();
std::vector<std::string> AuthoringNames();

} // namespace tarvex

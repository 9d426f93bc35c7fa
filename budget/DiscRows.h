// The items of the multiplexing and authoring lists: which disc each one makes,
// how its multiplexer lays out packs, which stream options it leaves to the user
// and what its authoring spends on the disc. An item's place in its list is the
// index the settings file and the command line name it by: the order is fixed.
#pragma once

#include "budget/DiscStandard.h"

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace tarvex {

// clang-format off
enum class TMuxRow : std::int8_t { SvcdIAuthor, SvcdBbmpeg, SvcdTmpgenc, VcdBbmpeg, VcdTmpgenc,
                                   DvdVobs, VcdFfmpeg, SvcdFfmpeg, DvdFfmpeg };
enum class TAuthoringRow : std::int8_t { SvcdIAuthor, SuperVcdIAuthor, SvcdNero, SvcdVcdimager,
                                         Dvd, VcdVcdimager, DvdDvdauthor };
// clang-format on

/// An item's place in its list.
template <typename TEnum>
requires std::is_enum_v<TEnum>
constexpr int Index(TEnum row) {
    return static_cast<int>(row);
}

/// What a multiplexer does with a stream option the window offers as a check box.
enum class TOption : std::uint8_t { Off, On, Choice };

/// A multiplexer's packs: block size, the header bytes of each kind of pack, and
/// the whole blocks it adds besides audio and video packs.
struct TMuxLayout {
    std::uint16_t SectorSize, FirstVideoHeader, GopVideoHeader, VideoHeader;
    std::uint16_t FirstAudioHeader, AudioHeader, Ac3HeaderExtra;
    std::uint32_t ExtraSectors, SecondAudioSectors; ///< the latter with a second audio stream
    bool SectorPerGop;                              ///< a navigation block per GOP
    /// Time stamp bytes per picture beyond the headers above: the rows measured for
    /// ffmpeg count the packs' own headers alone, so that they hold at any rate.
    std::uint8_t PictureStamps;
};

struct TMuxTraits {
    const char* Name;
    TDiscFamily Family;
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
    const char* Name;
    TDiscFamily Family;
    std::optional<TMuxRow> Mux; ///< the one multiplexer whose streams it takes
    std::uint32_t Reserve;      ///< blocks the budget keeps free besides the overhead
    std::uint32_t HintReserve;  ///< blocks the window's overhead hint adds
    std::int64_t (*Overhead)(const TAuthoringInput&); ///< file system, tables and menus
};

/// Whether the multiplexing item at `index` makes discs of `family` (none outside the list).
bool MuxMakes(int index, TDiscFamily family);
/// The row the budget and the disc maker use: outside the list, DVD VOBs.
const TMuxTraits& MuxTraits(int index);
/// Outside the list (nothing chosen): an SVCD authoring, no reserve, the generic overhead.
const TAuthoringTraits& AuthoringTraits(int index);

/// The rows of the tools the disc maker runs for a family.
TMuxRow ToolMux(TDiscFamily family);
TAuthoringRow ToolAuthoring(TDiscFamily family);

std::vector<std::string> MuxNames();
std::vector<std::string> AuthoringNames();

} // namespace tarvex

#include "budget/DiscRows.h"

#include "common/Numeric.h"

#include <algorithm>
#include <array>

namespace tarvex {

namespace {

constexpr TOption Off = TOption::Off, On = TOption::On, Choice = TOption::Choice;
constexpr TDiscFamily VCD = TDiscFamily::VCD, SVCD = TDiscFamily::SVCD, DVD = TDiscFamily::DVD;

// Layout columns: sector size; first, GOP-starting and other video pack headers;
// first and other audio pack headers, and what AC-3 adds to them; extra blocks,
// more with a second audio stream, one per GOP; picture stamps.
constexpr std::array<TMuxTraits, 9> MuxRows = {{
    // I-Author writes none of the three options; a second audio stream costs a block.
    {"SVCD MPEG-2 I-Author",
     SVCD,
     false,
     Off,
     Off,
     Off,
     false,
     {2324, 33, 33, 33, 33, 33, 0, 2, 1, false, 0}},
    // bbMPEG's scan offsets need aligned sequence headers.
    {"SVCD MPEG-2 bbMPEG",
     SVCD,
     false,
     Choice,
     Choice,
     Off,
     true,
     {2324, 36, 36, 36, 31, 31, 0, 2, 0, false, 0}},
    // TMPGEnc and ffmpeg always write scan offsets on an SVCD.
    {"SVCD MPEG-2 TMPGEnc",
     SVCD,
     false,
     On,
     Off,
     Off,
     false,
     {2324, 36, 36, 36, 31, 31, 0, 2, 0, false, 0}},
    {"VCD MPEG-1 bbMPEG",
     VCD,
     false,
     Choice,
     Choice,
     Off,
     true,
     {2324, 30, 30, 30, 45, 45, 0, 3, 0, false, 0}},
    {"VCD MPEG-1 TMPGEnc",
     VCD,
     false,
     Off,
     Off,
     Off,
     false,
     {2324, 30, 30, 30, 45, 45, 0, 2, 0, false, 0}},
    // VOBs align every sequence header and spend a navigation block per GOP.
    {"DVD VOBs", DVD, false, Off, On, Choice, false, {2048, 36, 33, 23, 31, 28, 4, 0, 0, true, 0}},
    // 20 zero bytes follow every audio packet.
    {"VCD MPEG-1 ffmpeg",
     VCD,
     true,
     Off,
     Off,
     Off,
     false,
     {2324, 22, 22, 22, 44, 44, 0, 2, 0, false, 0}},
    {"SVCD MPEG-2 ffmpeg",
     SVCD,
     true,
     On,
     Off,
     Off,
     false,
     {2324, 25, 25, 25, 30, 30, 0, 1, 0, false, 6}},
    // A navigation pack per GOP and one more; the pack before each is padded out.
    {"DVD VOBs ffmpeg",
     DVD,
     true,
     Off,
     On,
     Choice,
     false,
     {2048, 25, 25, 25, 29, 29, 4, 1, 0, true, 6}},
}};

/// A simple menu structure: 300 blocks plus the menus, at least 301.
std::int64_t MenuBase(const TAuthoringInput& a) {
    return a.MenuBlocks == 0 ? 301 : 300 + a.MenuBlocks;
}

std::int64_t Generic(const TAuthoringInput& a) {
    return 450 + a.MenuBlocks / 2;
}

constexpr std::array<TAuthoringTraits, 7> AuthoringRows = {{
    {"SVCD I-Author", SVCD, false, TMuxRow::SvcdIAuthor, 238, 163, MenuBase},
    {"SuperVCD I-Author", SVCD, false, TMuxRow::SvcdIAuthor, 238, 163,
     [](const TAuthoringInput& a) -> std::int64_t {
         return MenuBase(a) + Ceil((a.Seconds * 3 * 2 + 24 + 60) / 2048);
     }},
    {"SVCD Nero 5.5", SVCD, false, std::nullopt, 225, 150,
     [](const TAuthoringInput& a) -> std::int64_t {
         const std::int64_t blocks =
             225 + a.MenuBlocks + 25 + (Ceil((a.Seconds * 3 * 2 + 14) / 2048 + 2) + 1) + 153;
         return blocks < 600 ? 600 : blocks;
     }},
    {"SVCD vcdimager", SVCD, true, std::nullopt, 150, 150,
     [](const TAuthoringInput& a) -> std::int64_t {
         return 225 + a.MenuBlocks + Ceil((a.Seconds * 3 * 2 + 24) / 2048) + 3 + 150;
     }},
    {"DVD", DVD, false, TMuxRow::DvdVobs, 0, 0, Generic},
    // vcdimager's VCD 2.0: a fixed file system and track gaps.
    {"VCD vcdimager", VCD, true, std::nullopt, 150, 150,
     [](const TAuthoringInput& a) -> std::int64_t { return 525 + a.MenuBlocks; }},
    // dvdauthor and genisoimage: a fixed UDF and ISO 9660 file system and menu IFO;
    // the title set's IFO and its backup hold a VOBU map (4 bytes a GOP) and a time
    // map (4 bytes a second, at most 2048 entries), each table in whole sectors.
    {"DVD dvdauthor", DVD, true, TMuxRow::DvdFfmpeg, 0, 0,
     [](const TAuthoringInput& a) -> std::int64_t {
         const std::int64_t vobus = Ceil((static_cast<Real>(a.Gops) * 4 + 4) / 2048);
         const std::int64_t times = Ceil((a.Seconds < 2048 ? a.Seconds : 2048) * 4 / 2048);
         return 468 + 2 * (vobus + times) + a.MenuBlocks / 2;
     }},
}};

constexpr TAuthoringTraits NoAuthoring = {"", SVCD, false, std::nullopt, 0, 150, Generic};

template <typename Rows>
int ToolRow(const Rows& rows, TDiscFamily family) {
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const auto& r) { return r.Tools && r.Family == family; });
    return static_cast<int>(row - rows.begin());
}

template <typename Rows>
std::vector<std::string> Names(const Rows& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows) names.emplace_back(row.Name);
    return names;
}

} // namespace

const TMuxTraits* FindMux(int index) {
    return index >= 0 && index < static_cast<int>(MuxRows.size())
               ? &MuxRows[static_cast<std::size_t>(index)]
               : nullptr;
}

const TMuxTraits& MuxTraits(int index) {
    const TMuxTraits* row = FindMux(index);
    return row ? *row : MuxRows[Index(TMuxRow::DvdVobs)];
}

const TAuthoringTraits& AuthoringTraits(int index) {
    return index >= 0 && index < static_cast<int>(AuthoringRows.size())
               ? AuthoringRows[static_cast<std::size_t>(index)]
               : NoAuthoring;
}

TMuxRow ToolMux(TDiscFamily family) {
    return static_cast<TMuxRow>(ToolRow(MuxRows, family));
}

TAuthoringRow ToolAuthoring(TDiscFamily family) {
    return static_cast<TAuthoringRow>(ToolRow(AuthoringRows, family));
}

std::vector<std::string> MuxNames() {
    return Names(MuxRows);
}

std::vector<std::string> AuthoringNames() {
    return Names(AuthoringRows);
}

} // namespace tarvex

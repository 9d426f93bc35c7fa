#include "budget/DiscRows.h"

#include "common/Numeric.h"

#include <algorithm>
#include <array>

namespace tarvex {

namespace {

constexpr TOption Off = TOption::Off, On = TOption::On, Choice = TOption::Choice;
constexpr TDiscFamily VCD = TDiscFamily::VCD, SVCD = TDiscFamily::SVCD, DVD = TDiscFamily::DVD;

// clang-format off
constexpr std::array<TMuxTraits, 9> MuxRows = {{
    // The columns of TMuxTraits and, below each row, of its TMuxLayout.
    // I-Author: a second audio stream costs one more block.
    {"SVCD MPEG-2 I-Author", SVCD, Off,    Off,    Off,    false,
     {2324, 33, 33, 33, 33, 33, 0, 2, 1, false, 0}},
    {"SVCD MPEG-2 bbMPEG",   SVCD, Choice, Choice, Off,    true,
     {2324, 36, 36, 36, 31, 31, 0, 2, 0, false, 0}},
    {"SVCD MPEG-2 TMPGEnc",  SVCD, On,     Off,    Off,    false,
     {2324, 36, 36, 36, 31, 31, 0, 2, 0, false, 0}},
    {"VCD MPEG-1 bbMPEG",    VCD,  Choice, Choice, Off,    true,
     {2324, 30, 30, 30, 45, 45, 0, 3, 0, false, 0}},
    {"VCD MPEG-1 TMPGEnc",   VCD,  Off,    Off,    Off,    false,
     {2324, 30, 30, 30, 45, 45, 0, 2, 0, false, 0}},
    // VOBs: a navigation block per GOP.
    {"DVD VOBs",             DVD,  Off,    On,     Choice, false,
     {2048, 36, 33, 23, 31, 28, 4, 0, 0, true,  0}},
    // ffmpeg's VCD: 20 zero bytes follow every audio packet. The multiplexer keeps the
    // CD's constant rate with padding packs, about 1.9 bytes for each video pack at the
    // VCD's one video rate: counted in the video header (21.3 bytes measured).
    {"VCD MPEG-1 ffmpeg",    VCD,  Off,    Off,    Off,    false,
     {2324, 24, 24, 24, 44, 44, 0, 2, 0, false, 0}},
    {"SVCD MPEG-2 ffmpeg",   SVCD, On,     Off,    Off,    false,
     {2324, 25, 25, 25, 30, 30, 0, 1, 0, false, 6}},
    // ffmpeg's DVD: a navigation pack per GOP and one more; the pack before each is padded out.
    // Every picture's first packet has a presentation stamp (5 bytes), a reference
    // picture's a decoding stamp too (5 more): 6.67 bytes a picture with two B-frames.
    {"DVD VOBs ffmpeg",      DVD,  Off,    On,     Choice, false,
     {2048, 25, 25, 25, 29, 29, 4, 1, 0, true,  7}},
}};
// clang-format on

// The authorings' own blocks. A simple menu structure: 300 plus the menus, at least 301.
std::int64_t MenuBase(const TAuthoringInput& a) {
    return a.MenuBlocks == 0 ? 301 : 300 + a.MenuBlocks;
}
std::int64_t SuperVcd(const TAuthoringInput& a) {
    return MenuBase(a) + Ceil((a.Seconds * 3 * 2 + 24 + 60) / 2048);
}
std::int64_t Nero(const TAuthoringInput& a) {
    return std::max<std::int64_t>(600, 225 + a.MenuBlocks + 25 +
                                           (Ceil((a.Seconds * 3 * 2 + 14) / 2048 + 2) + 1) + 153);
}
/// vcdimager's SVCD: a fixed file system and track gaps, whatever the length.
std::int64_t SvcdImager(const TAuthoringInput& a) {
    return 450 + a.MenuBlocks;
}
std::int64_t Generic(const TAuthoringInput& a) {
    return 450 + a.MenuBlocks / 2;
}
/// vcdimager's VCD 2.0: a fixed file system and track gaps.
std::int64_t VcdImager(const TAuthoringInput& a) {
    return 525 + a.MenuBlocks;
}
/// dvdauthor and genisoimage: a fixed UDF and ISO 9660 file system and menu IFO;
/// the title set's IFO and its backup hold a VOBU map (4 bytes a GOP) and a time
/// map (4 bytes a second, at most 2048 entries), each table in whole sectors. The
/// title menu's VOB takes the menu blocks in full.
std::int64_t DvdAuthor(const TAuthoringInput& a) {
    const std::int64_t vobus = Ceil((static_cast<Real>(a.Gops) * 4 + 4) / 2048);
    const std::int64_t times = Ceil((a.Seconds < 2048 ? a.Seconds : 2048) * 4 / 2048);
    return 468 + 2 * (vobus + times) + a.MenuBlocks;
}

// clang-format off
constexpr std::array<TAuthoringTraits, 7> AuthoringRows = {{
    // Name, disc, the one multiplexer ({}: any of its disc), reserve, hint reserve, overhead.
    {"SVCD I-Author",     SVCD, TMuxRow::SvcdIAuthor, 238, 163, MenuBase},
    {"SuperVCD I-Author", SVCD, TMuxRow::SvcdIAuthor, 238, 163, SuperVcd},
    {"SVCD Nero 5.5",     SVCD, {},                   225, 150, Nero},
    {"SVCD vcdimager",    SVCD, {},                   150, 150, SvcdImager},
    {"DVD",               DVD,  TMuxRow::DvdVobs,     0,   0,   Generic},
    {"VCD vcdimager",     VCD,  {},                   150, 150, VcdImager},
    {"DVD dvdauthor",     DVD,  TMuxRow::DvdFfmpeg,   0,   0,   DvdAuthor},
}};
// clang-format on

constexpr TAuthoringTraits NoAuthoring = {"", SVCD, {}, 0, 150, Generic};

template <typename Rows>
std::vector<std::string> Names(const Rows& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows) names.emplace_back(row.Name);
    return names;
}

} // namespace

bool MuxMakes(int index, TDiscFamily family) {
    const bool listed = index >= 0 && index < static_cast<int>(MuxRows.size());
    return listed && MuxRows[index].Family == family;
}

const TMuxTraits& MuxTraits(int index) {
    const bool listed = index >= 0 && index < static_cast<int>(MuxRows.size());
    return MuxRows[listed ? index : Index(TMuxRow::DvdVobs)];
}

const TAuthoringTraits& AuthoringTraits(int index) {
    const bool listed = index >= 0 && index < static_cast<int>(AuthoringRows.size());
    return listed ? AuthoringRows[index] : NoAuthoring;
}

TMuxRow ToolMux(TDiscFamily family) {
    constexpr TMuxRow rows[] = {TMuxRow::VcdFfmpeg, TMuxRow::SvcdFfmpeg, TMuxRow::DvdFfmpeg};
    return rows[static_cast<int>(family)];
}

TAuthoringRow ToolAuthoring(TDiscFamily family) {
    constexpr TAuthoringRow rows[] = {TAuthoringRow::VcdVcdimager, TAuthoringRow::SvcdVcdimager,
                                      TAuthoringRow::DvdDvdauthor};
    return rows[static_cast<int>(family)];
}

std::vector<std::string> MuxNames() {
    return Names(MuxRows);
}

std::vector<std::string> AuthoringNames() {
    return Names(AuthoringRows);
}

} // namespace tarvex

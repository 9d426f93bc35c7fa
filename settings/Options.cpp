#include "Options.h"

#include "common/Numeric.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tarvex {

namespace {

enum TSection { Global, Image, Resolution, AVSscript };
constexpr const char* SectionNames[] = {"Global", "Image", "Resolution", "AVSscript"};

/// The version text of a file that has none.
constexpr const char* NoVersion = "ERROR";
constexpr const char* VersionKey = "Version";

/// How a number read from the file is stored: wrapped to the width of its field,
/// or as a check (any value other than 0 is 1).
using TWidth = std::int64_t (*)(std::int32_t);
template <class T>
std::int64_t Wrap(std::int32_t v) {
    return Store<T>(v);
}
constexpr TWidth I8 = Wrap<std::int8_t>, I16 = Wrap<std::int16_t>, I32 = Wrap<std::int32_t>,
                 U8 = Wrap<std::uint8_t>, U16 = Wrap<std::uint16_t>, U32 = Wrap<std::uint32_t>,
                 Bool = Wrap<bool>, Text = nullptr;

/// One key of the file. The orders count within the section: reading applies the
/// values in read order (a value set earlier can limit a later one), writing adds
/// missing keys in write order.
struct TRow {
    TSection Section;
    const char* Key;
    std::int32_t Default; ///< 0 or 1 for a check; a text defaults to empty
    TWidth Width;
    int ReadOrder, WriteOrder;
    TIniValue Value;             ///< a number's place
    std::string* Text = nullptr; ///< a text's place
};

/// The place of a number the window keeps under the key's name.
const TIniValue Window{};

template <class T>
TIniValue Field(T& field) {
    return {[&field] { return static_cast<std::int64_t>(field); },
            [&field](std::int64_t v) { field = static_cast<T>(v); }};
}

/// A model field that is read directly and set through its setter.
template <class M, class T, class A>
TIniValue Setter(const T& field, M& model, void (M::*set)(A)) {
    return {[&field] { return static_cast<std::int64_t>(field); },
            [&model, set](std::int64_t v) { (model.*set)(static_cast<A>(v)); }};
}

std::vector<TRow> Rows(const TIniTargets& t) {
    TResizeStruct& r = t.ResizeModel;
    TCDImage& d = t.DiscImage;
    // clang-format off
    // section, key, default, width, read order, write order, where the value lives
    std::vector<TRow> rows = {
        {Global,     "WindowPosX",           0,      I32,   3,  1, Field(t.WindowPosX)},
        {Global,     "WindowPosY",           0,      I32,   4,  2, Field(t.WindowPosY)},
        {Global,     "PlayerRateSVCDMin",    1395,   I32,   1,  3, Field(d.PlayerRateSVCDMin)},
        {Global,     "PlayerRateSVCDMax",    2788,   I32,   2,  4, Field(d.PlayerRateSVCDMax)},

        {Image,      "Seconds",              3000,   U32,   1,  1, Field(t.FilmSeconds)},
        {Image,      "Audio1",               8,      I32,   2,  2, Window},
        {Image,      "Audio2",               0,      I32,   3,  3, Window},
        {Image,      "FpsBox",               1,      I32,   4,  4, Window},
        {Image,      "CDs",                  1,      U8,   19,  5, Field(t.DiscCount)},
        {Image,      "CDType",               2,      I8,    5,  6, Field(d.CDType)},
        {Image,      "BlocksUsable",         359849, U32,   6,  7, Field(d.BlocksUsable)},
        {Image,      "Safety",               150,    I32,   7,  8, Field(d.Safety)},
        {Image,      "ExtraBlocks",          0,      U32,   9,  9, Field(d.ExtraBlocks)},
        {Image,      "ExtraBlocksMode2324",  0,      Bool,  8, 10, Field(d.ExtraBlocksMode2324)},
        {Image,      "SubtitlePics",         0,      U16,  10, 11, Setter(d.SubtitlePics, d, &TCDImage::SetSubtitlePics)},
        {Image,      "BMPSubSize",           0,      U32,  11, 12, Setter(d.BMPSubSize, d, &TCDImage::SetBMPSubSize)},
        {Image,      "SceneDetect",          1,      Bool, 14, 13, Window},
        {Image,      "ScanOffsets",          0,      Bool, 15, 14, Window},
        {Image,      "SeqAligning",          0,      Bool, 16, 15, Window},
        {Image,      "GOPLength",            15,     I16,  12, 16, Window},
        {Image,      "AddMatrices",          0,      I16,  13, 17, Window},
        {Image,      "MuxMode",              1,      I8,   17, 18, Setter(d.MuxMode, d, &TCDImage::SetMuxMode)},
        {Image,      "AuthoringMode",        3,      I8,   18, 19, Setter(d.AuthoringMode, d, &TCDImage::SetAuthoringMode)},
        {Image,      "MenuPics",             1,      I16,  20, 20, Window},
        {Image,      "RateMode",             0,      I32,  21, 21, Window},
        {Image,      "VideoKbps",            2000,   U32,  22, 22, Field(t.TypedKbps)},
        // After the multiplexing mode, which hides and clears the choice where it has none.
        {Image,      "AC3Audio",             0,      Bool, 23, 23, Setter(d.AC3Audio, d, &TCDImage::SetAC3Audio)},
        {Image,      "ChapterMinutes",       5,      I16,  24, 24, Window},

        {Resolution, "SrcIsPAL",             1,      Bool,  1,  1, Field(r.SrcIsPAL)},
        {Resolution, "DestIsPAL",            1,      Bool,  2,  2, Field(r.DestIsPAL)},
        {Resolution, "SrcResX",              720,    I16,   3,  3, Field(r.SrcResX)},
        {Resolution, "SrcResY",              576,    I16,   4,  4, Field(r.SrcResY)},
        {Resolution, "SrcPixelX",            720,    I16,   5,  5, Setter(r.SrcPixelX, r, &TResizeStruct::SetSrcPixelX)},
        {Resolution, "SrcPixelY",            436,    I16,   6,  6, Setter(r.SrcPixelY, r, &TResizeStruct::SetSrcPixelY)},
        {Resolution, "BorderLeft",           0,      I16,   7,  7, Setter(r.BorderLeft, r, &TResizeStruct::SetBorderLeft)},
        {Resolution, "BorderTop",            70,     I16,   8,  8, Setter(r.BorderTop, r, &TResizeStruct::SetBorderTop)},
        {Resolution, "SrcAspectBox",         0,      I32,   9,  9, Window},
        {Resolution, "OptPositioning",       1,      I16,  10, 10, Field(r.OptPositioning)},
        {Resolution, "SrcIsAnamorphic",      1,      Bool, 11, 11, Field(r.SrcIsAnamorphic)},
        {Resolution, "ITUAspect",            1,      Bool, 12, 12, Window},
        {Resolution, "CropMode",             1,      U8,   13, 13, Setter(r.CropMode, r, &TResizeStruct::SetCropMode)},
        {Resolution, "CropRoundX",           2,      I8,   14, 14, Setter(r.CropRoundX, r, &TResizeStruct::SetCropRoundX)},
        {Resolution, "CropRoundY",           2,      I8,   15, 15, Setter(r.CropRoundY, r, &TResizeStruct::SetCropRoundY)},
        {Resolution, "DestPixelRoundY",      16,     U8,   16, 16, Field(r.DestPixelRoundY)},
        {Resolution, "DestPixelSuggestionX", 0,      I32,  17, 17, Field(r.DestPixelSuggestionX)},
        {Resolution, "DestPixelSuggestionY", 0,      I32,  18, 18, Field(r.DestPixelSuggestionY)},
        {Resolution, "DestAspectBox",        4,      I32,  19, 19, Window},
        {Resolution, "DestIsAnamorphic",     0,      Bool, 20, 20, Window},
        {Resolution, "TVBorderBlocks",       2,      I16,  21, 21, Window},

        {AVSscript,  "ConvertToRGB",         0,      Bool,  1,  1, Field(t.ConvertToRGB)},
        {AVSscript,  "ResampleAudio",        0,      Bool,  2,  2, Field(t.ResampleAudio)},
        {AVSscript,  "BffToTff",             0,      Bool,  3,  3, Field(t.BffToTff)},
        {AVSscript,  "InterlacedResizing",   0,      Bool,  4,  4, Setter(r.InterlacedResizing, r, &TResizeStruct::SetInterlacedResizing)},
        {AVSscript,  "ResizeMode",           2,      I8,    5,  5, Field(t.ResizeMode)},
        {AVSscript,  "FileNameSrc",          0,      Text,  6,  6, {}, &t.FileNameSrc},
        {AVSscript,  "SourceFilter",         0,      I8,    7,  7, Window},
        {AVSscript,  "DiscFolder",           0,      Text,  8,  8, {}, &t.DiscFolder},
        {AVSscript,  "RecentFilm1",          0,      Text,  9,  9, {}, &t.RecentFilms[0]},
        {AVSscript,  "RecentFilm2",          0,      Text, 10, 10, {}, &t.RecentFilms[1]},
        {AVSscript,  "RecentFilm3",          0,      Text, 11, 11, {}, &t.RecentFilms[2]},
        {AVSscript,  "RecentFilm4",          0,      Text, 12, 12, {}, &t.RecentFilms[3]},
        {AVSscript,  "RecentFilm5",          0,      Text, 13, 13, {}, &t.RecentFilms[4]},
    };
    // clang-format on
    for (TRow& row : rows)
        if (!row.Value.Get && !row.Text) row.Value = t.Window(row.Key);
    return rows;
}

/// The rows by section, then by `order` within it.
std::vector<TRow> InOrder(std::vector<TRow> rows, int TRow::*order) {
    std::sort(rows.begin(), rows.end(), [order](const TRow& a, const TRow& b) {
        return std::pair(a.Section, a.*order) < std::pair(b.Section, b.*order);
    });
    return rows;
}

} // namespace

std::optional<std::string> TSettingsFile::ReadIni(bool mayDelete) {
    const TIniFile ini(FileName);
    const std::string version = ini.ReadString(SectionNames[Global], VersionKey, NoVersion);
    for (const TRow& row : InOrder(Rows(Targets), &TRow::ReadOrder)) {
        const char* section = SectionNames[row.Section];
        if (row.Text)
            *row.Text = ini.ReadString(section, row.Key, "");
        else
            row.Value.Set(row.Width(ini.ReadInteger(section, row.Key, row.Default)));
    }
    Targets.ResizeModel.DestPixelRoundX = 16; // the resize width is always a multiple of 16

    // A file of another version is not written on: the next write starts afresh, and
    // the old file stays beside it until then, should the program end before.
    if (mayDelete && version != Targets.Version && version != NoVersion) BackUpIniFile(FileName);
    if (ini.LoadError().empty()) return std::nullopt;
    return ini.LoadError();
}

void TSettingsFile::WriteIni() {
    TIniFile ini(FileName);
    ini.WriteString(SectionNames[Global], VersionKey, Targets.Version);
    for (const TRow& row : InOrder(Rows(Targets), &TRow::WriteOrder)) {
        const char* section = SectionNames[row.Section];
        if (!row.Text) ini.WriteInteger(section, row.Key, Store<std::int32_t>(row.Value.Get()));
        // A name with a line break cannot be kept; an empty one is better than the last.
        else if (!ini.WriteString(section, row.Key, *row.Text))
            ini.WriteString(section, row.Key, "");
    }
    ini.Flush();
}

} // namespace tarvex

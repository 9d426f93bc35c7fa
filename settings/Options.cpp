#include "Options.h"

#include "common/Numeric.h"
#include "settings/IniFile.h"

namespace tarvex {

namespace {

constexpr const char* Global = "Global";
constexpr const char* Image = "Image";
constexpr const char* Resolution = "Resolution";
constexpr const char* AVSscript = "AVSscript";

/// The version text of a file that has none.
constexpr const char* NoVersion = "ERROR";

} // namespace

void TClassIni::ReadIni(bool mayDelete) {
    const TIniFile ini(FileName);
    TGlobal& g = Targets.Settings;
    TResizeStruct& r = Targets.ResizeModel;
    TCDImage& d = Targets.DiscImage;
    TIniControls& c = Targets.Controls;
    const auto integer = [&](const char* section, const char* key, std::int32_t def) {
        return ini.ReadInteger(section, key, def);
    };
    const auto boolean = [&](const char* section, const char* key, bool def) {
        return ini.ReadBool(section, key, def);
    };
    const auto i8 = [&](const char* section, const char* key, std::int32_t def) {
        return Store<std::int8_t>(integer(section, key, def));
    };
    const auto i16 = [&](const char* section, const char* key, std::int32_t def) {
        return Store<std::int16_t>(integer(section, key, def));
    };

    const std::string version = ini.ReadString(Global, "Version", NoVersion);
    d.PlayerRateSVCDMin = integer(Global, "PlayerRateSVCDMin", 1395);
    d.PlayerRateSVCDMax = integer(Global, "PlayerRateSVCDMax", 2788);
    g.WindowPosX = integer(Global, "WindowPosX", 0);
    g.WindowPosY = integer(Global, "WindowPosY", 0);

    Targets.FilmSeconds = Store<std::uint32_t>(integer(Image, "Seconds", 3000));
    c.Audio1.Set(integer(Image, "Audio1", 8));
    c.Audio2.Set(integer(Image, "Audio2", 0));
    c.FpsBox.Set(integer(Image, "FpsBox", 1));
    d.CDType = i8(Image, "CDType", 2);
    d.SetBlocksUsable(Store<std::uint32_t>(integer(Image, "BlocksUsable", 359849)));
    d.SetSafety(integer(Image, "Safety", 150));
    d.SetExtraBlocksMode2324(boolean(Image, "ExtraBlocksMode2324", false));
    d.SetExtraBlocks(Store<std::uint32_t>(integer(Image, "ExtraBlocks", 0)));
    d.SetSubtitlePics(Store<std::uint16_t>(integer(Image, "SubtitlePics", 0)));
    d.SetBMPSubSize(Store<std::uint32_t>(integer(Image, "BMPSubSize", 0)));
    c.GOPLength.Set(i16(Image, "GOPLength", 15));
    c.AddMatrices.Set(i16(Image, "AddMatrices", 0));
    c.SceneDetect.Set(boolean(Image, "SceneDetect", true));
    c.ScanOffsets.Set(boolean(Image, "ScanOffsets", false));
    c.SeqAligning.Set(boolean(Image, "SeqAligning", false));
    d.SetMuxMode(i8(Image, "MuxMode", 1));
    d.SetAuthoringMode(i8(Image, "AuthoringMode", 3));
    Targets.DiscCount = Store<std::uint8_t>(integer(Image, "CDs", 1));
    c.MenuPics.Set(i16(Image, "MenuPics", 1));

    r.SrcIsPAL = boolean(Resolution, "SrcIsPAL", true);
    r.DestIsPAL = boolean(Resolution, "DestIsPAL", true);
    r.SetSrcResX(i16(Resolution, "SrcResX", 720));
    r.SetSrcResY(i16(Resolution, "SrcResY", 576));
    r.SetSrcPixelX(i16(Resolution, "SrcPixelX", 720));
    r.SetSrcPixelY(i16(Resolution, "SrcPixelY", 436));
    r.SetBorderLeft(i16(Resolution, "BorderLeft", 0));
    r.SetBorderTop(i16(Resolution, "BorderTop", 70));
    c.SrcAspectBox.Set(integer(Resolution, "SrcAspectBox", 0));
    r.OptPositioning = i16(Resolution, "OptPositioning", 1);
    r.SrcIsAnamorphic = boolean(Resolution, "SrcIsAnamorphic", true);
    c.ITUAspect.Set(boolean(Resolution, "ITUAspect", true));
    r.SetCropMode(Store<std::uint8_t>(integer(Resolution, "CropMode", 1)));
    r.SetCropRoundX(i8(Resolution, "CropRoundX", 2));
    r.SetCropRoundY(i8(Resolution, "CropRoundY", 2));
    r.DestPixelRoundX = 16; // the resize width is always a multiple of 16
    r.DestPixelRoundY = Store<std::uint8_t>(integer(Resolution, "DestPixelRoundY", 16));
    r.DestPixelSuggestionX = integer(Resolution, "DestPixelSuggestionX", 0);
    r.DestPixelSuggestionY = integer(Resolution, "DestPixelSuggestionY", 0);
    c.DestAspectBox.Set(integer(Resolution, "DestAspectBox", 4));
    c.DestIsAnamorphic.Set(boolean(Resolution, "DestIsAnamorphic", false));
    c.TVBorderBlocks.Set(i16(Resolution, "TVBorderBlocks", 2));

    g.ConvertToRGB = boolean(AVSscript, "ConvertToRGB", false);
    g.ResampleAudio = boolean(AVSscript, "ResampleAudio", false);
    g.BffToTff = boolean(AVSscript, "BffToTff", false);
    r.SetInterlacedResizing(boolean(AVSscript, "InterlacedResizing", false));
    g.ResizeMode = i8(AVSscript, "ResizeMode", 2);
    g.FileNameSrc = ini.ReadString(AVSscript, "FileNameSrc", "");

    // A file of another version is not kept: the next write starts afresh.
    if (mayDelete && version != g.Version && version != NoVersion) DeleteIniFile(FileName);
}

void TClassIni::WriteIni() {
    TIniFile ini(FileName);
    const TGlobal& g = Targets.Settings;
    const TResizeStruct& r = Targets.ResizeModel;
    const TCDImage& d = Targets.DiscImage;
    TIniControls& c = Targets.Controls;
    const auto integer = [&](const char* section, const char* key, std::int64_t value) {
        ini.WriteInteger(section, key, Store<std::int32_t>(value));
    };
    const auto boolean = [&](const char* section, const char* key, bool value) {
        ini.WriteBool(section, key, value);
    };

    ini.WriteString(Global, "Version", g.Version);
    integer(Global, "WindowPosX", g.WindowPosX);
    integer(Global, "WindowPosY", g.WindowPosY);
    integer(Global, "PlayerRateSVCDMin", d.PlayerRateSVCDMin);
    integer(Global, "PlayerRateSVCDMax", d.PlayerRateSVCDMax);

    integer(Image, "Seconds", Targets.FilmSeconds);
    integer(Image, "Audio1", c.Audio1.Get());
    integer(Image, "Audio2", c.Audio2.Get());
    integer(Image, "FpsBox", c.FpsBox.Get());
    integer(Image, "CDs", Targets.DiscCount);
    integer(Image, "CDType", d.CDType);
    integer(Image, "BlocksUsable", d.BlocksUsable);
    integer(Image, "Safety", d.Safety);
    integer(Image, "ExtraBlocks", d.ExtraBlocks);
    boolean(Image, "ExtraBlocksMode2324", d.ExtraBlocksMode2324);
    integer(Image, "SubtitlePics", d.SubtitlePics);
    integer(Image, "BMPSubSize", d.BMPSubSize);
    boolean(Image, "SceneDetect", c.SceneDetect.Get() != 0);
    boolean(Image, "ScanOffsets", c.ScanOffsets.Get() != 0);
    boolean(Image, "SeqAligning", c.SeqAligning.Get() != 0);
    integer(Image, "GOPLength", c.GOPLength.Get());
    integer(Image, "AddMatrices", c.AddMatrices.Get());
    integer(Image, "MuxMode", d.MuxMode);
    integer(Image, "AuthoringMode", d.AuthoringMode);
    integer(Image, "MenuPics", c.MenuPics.Get());

    boolean(Resolution, "SrcIsPAL", r.SrcIsPAL);
    boolean(Resolution, "DestIsPAL", r.DestIsPAL);
    integer(Resolution, "SrcResX", r.SrcResX);
    integer(Resolution, "SrcResY", r.SrcResY);
    integer(Resolution, "SrcPixelX", r.SrcPixelX);
    integer(Resolution, "SrcPixelY", r.SrcPixelY);
    integer(Resolution, "BorderLeft", r.BorderLeft);
    integer(Resolution, "BorderTop", r.BorderTop);
    integer(Resolution, "SrcAspectBox", c.SrcAspectBox.Get());
    integer(Resolution, "OptPositioning", r.OptPositioning);
    boolean(Resolution, "SrcIsAnamorphic", r.SrcIsAnamorphic);
    boolean(Resolution, "ITUAspect", c.ITUAspect.Get() != 0);
    integer(Resolution, "CropMode", r.CropMode);
    integer(Resolution, "CropRoundX", r.CropRoundX);
    integer(Resolution, "CropRoundY", r.CropRoundY);
    integer(Resolution, "DestPixelRoundY", r.DestPixelRoundY);
    integer(Resolution, "DestPixelSuggestionX", r.DestPixelSuggestionX);
    integer(Resolution, "DestPixelSuggestionY", r.DestPixelSuggestionY);
    integer(Resolution, "DestAspectBox", c.DestAspectBox.Get());
    boolean(Resolution, "DestIsAnamorphic", c.DestIsAnamorphic.Get() != 0);
    integer(Resolution, "TVBorderBlocks", c.TVBorderBlocks.Get());

    boolean(AVSscript, "ConvertToRGB", g.ConvertToRGB);
    boolean(AVSscript, "ResampleAudio", g.ResampleAudio);
    boolean(AVSscript, "BffToTff", g.BffToTff);
    boolean(AVSscript, "InterlacedResizing", r.InterlacedResizing);
    integer(AVSscript, "ResizeMode", g.ResizeMode);
    // A name with a line break cannot be kept; an empty one is better than the last.
    if (!ini.WriteString(AVSscript, "FileNameSrc", g.FileNameSrc))
        ini.WriteString(AVSscript, "FileNameSrc", "");
    ini.Flush();
}

} // namespace tarvex

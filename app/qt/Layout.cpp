#include "app/qt/Layout.h"

namespace tarvex::qt {

std::vector<TPlace> ControlPlaces(const TMainForm& f) {
    return {
        // Panel "Stream & Authoring".
        {&f.StreamTitle, 0, 0, 130, 18},
        // On the title line, as the buttons of the panel "MPEG Resizing": the row of
        // the subtitle fields holds the chapters and the sound tracks.
        {&f.RateModeBox, 466, 0, 110, 20},
        {&f.EditMin, 8, 22, 29, 19},
        {&f.MinUpDown, 37, 22, 15, 19},
        {&f.EditSec, 76, 22, 36, 19},
        {&f.SecUpDown, 112, 22, 15, 19},
        {&f.FpsCombo, 168, 20, 81, 22},
        {&f.FilmLengthLabel, 254, 24},
        {&f.Videokbps, 8, 50, 47, 19},
        {&f.VideoUpDown10, 55, 48, 12, 21},
        {&f.VideoUpDown, 67, 48, 12, 21},
        {&f.Label43, 83, 52},
        {&f.MaxRateLabel, 176, 43},
        {&f.MinRateLabel, 176, 57},
        {&f.EditGOP, 236, 50, 19, 19},
        {&f.GOPUpDown, 255, 50, 15, 19},
        {&f.SceneDetect, 372, 51, 125, 15},
        {&f.Audio1kbps, 24, 72, 57, 22},
        {&f.Audio1Label, 86, 76},
        {&f.Audio2kbps, 168, 72, 57, 22},
        {&f.Audio2Label, 230, 76},
        {&f.AC3Box, 308, 75, 117, 15},
        {&f.BurnSubsBox, 432, 75, 130, 15},
        {&f.EditSubPics, 24, 98, 57, 19},
        {&f.SubKBytes, 168, 98, 57, 19},
        {&f.EditChapterMin, 254, 98, 19, 19},
        {&f.ChapterUpDown, 273, 98, 15, 19},
        {&f.ChaptersLabel, 292, 100},
        {&f.Sound1Box, 408, 96, 78, 22},
        {&f.Sound2Box, 490, 96, 78, 22},
        {&f.MuxModeBox, 72, 124, 153, 22},
        {&f.AddMatricesEdit, 236, 126, 19, 19},
        {&f.AddMatricesUpDown, 255, 126, 15, 19},
        {&f.LabelAddMatrices, 274, 128},
        {&f.SeqAligning, 372, 121, 121, 15},
        {&f.ScanOffsets, 372, 137, 117, 15},
        {&f.AuthoringBox, 72, 156, 153, 22},
        {&f.EditMenuPics, 236, 158, 19, 19},
        {&f.MenuUpDown, 255, 158, 15, 19},
        {&f.EditExtraDataKB, 412, 158, 49, 19},
        {&f.ExtraDataModeBox, 488, 156, 77, 22},
        {&f.EditCDNr, 24, 186, 16, 19},
        {&f.CDNrUpDown, 40, 186, 15, 19},
        {&f.CDTypeBox, 68, 184, 105, 22},
        {&f.EditCDmin, 184, 186, 25, 19},
        {&f.CDMinUpDown, 209, 186, 15, 19},
        {&f.EditCDsec, 236, 186, 19, 19},
        {&f.CDSecUpDown, 255, 186, 15, 19},
        {&f.CapacityLabel, 296, 188},
        {&f.EditImageBlocks, 412, 186, 49, 19},

        // Panel "MPEG Resizing".
        {&f.ResizingTitle, 0, 214, 130, 18},
        {&f.OpenVideoBtn, 6, 236, 71, 19},
        {&f.PreviewBtn, 136, 213, 56, 19},
        {&f.RecentBtn, 196, 213, 76, 19},
        {&f.SrcXEdit, 84, 236, 33, 19},
        {&f.SrcYEdit, 132, 236, 33, 19},
        {&f.CopyBtn, 166, 244, 13, 28},
        {&f.SrcAspectBox, 184, 234, 90, 22},
        {&f.SrcPALBox, 280, 237, 41, 15},
        {&f.SrcAnamorphic, 330, 237, 79, 15},
        {&f.ITUAspect, 414, 237, 96, 15},
        {&f.Label14, 31, 262},
        {&f.SrcPixelXEdit, 84, 260, 33, 19},
        {&f.SrcPixelYEdit, 132, 260, 33, 19},
        {&f.BorderLeftEdit, 184, 260, 25, 19},
        {&f.BorderTopEdit, 280, 260, 25, 19},
        {&f.DetectBtn, 362, 259, 46, 21},
        {&f.DetectLabel, 452, 262},
        {&f.SrcRateEdit, 414, 260, 33, 19},
        {&f.FilmAspectLabel, 521, 262},
        {&f.CropXEdit, 84, 284, 33, 19},
        {&f.CropYEdit, 132, 284, 33, 19},
        {&f.CropModeBox, 184, 282, 90, 22},
        {&f.CropAspectLabel, 521, 286},
        {&f.ErrLabel, 504, 306},
        {&f.RoundXCrop, 86, 304, 40, 15},
        {&f.LabelRoundXCrop, 127, 304},
        {&f.RoundYCrop, 141, 304, 40, 15},
        {&f.LabelRoundYCrop, 182, 304},
        {&f.ResizeXEdit, 84, 324, 33, 19},
        {&f.ResizeYEdit, 132, 324, 33, 19},
        {&f.ResizeYUpDown, 165, 324, 15, 19},
        {&f.RatePerBlockLabel, 188, 326},
        {&f.ResizeAspectLabel, 521, 326},
        {&f.LabelRoundXResize, 88, 344},
        {&f.RoundYResize, 127, 344, 42, 15},
        {&f.LabelRoundYResize, 169, 344},
        {&f.ResizeAlignLabel, 188, 344},
        {&f.DestXEdit, 84, 364, 33, 19},
        {&f.DestYEdit, 132, 364, 33, 19},
        {&f.DestAspectBox, 184, 362, 90, 22},
        {&f.DestPALBox, 280, 365, 41, 15},
        {&f.DestAnamorphic, 330, 365, 79, 15},
        {&f.TVBorderEdit, 419, 364, 18, 19},
        {&f.TVBorderUpDown, 437, 364, 15, 19},
        {&f.Label55, 457, 366},

        // Panel "AviSynth Script".
        {&f.ScriptTitle, 0, 392, 130, 18},
        {&f.ScriptViewBox, 136, 392, 110, 19},
        {&f.AVSMemo, 6, 412, 323, 101},
        {&f.ResizeBox, 336, 412, 104, 22},
        {&f.InterlacedResBox, 450, 413, 110, 15},
        {&f.OptPosSlider, 444, 431, 33, 15},
        {&f.OptPosLabel, 479, 430},
        {&f.BffToTffBox, 336, 437, 65, 15},
        {&f.RGBoutputBox, 336, 469, 81, 15},
        {&f.ResampleAudioBox, 336, 485, 101, 15},
        {&f.SourceFilterLabel, 450, 453},
        {&f.SourceFilterBox, 450, 467, 125, 22},
        {&f.SaveAVSBtn, 486, 494, 89, 19},
    };
}

const TPlace* FindPlace(const std::vector<TPlace>& places, const TControl& control) {
    for (const TPlace& place : places)
        if (place.Control == &control) return &place;
    return nullptr;
}

const std::vector<TStaticCaption>& StaticCaptions() {
    static const std::vector<TStaticCaption> captions = {
        {"min", 55, 24},
        {"sec  @ ", 128, 24},
        {"Video rate:", 408, 3},
        {"max:", 148, 43},
        {"min:", 148, 57},
        {"frames per GOP", 274, 52},
        {"Subtitle BMPs =", 86, 100},
        {"KB", 230, 100},
        {"Multiplexing:", 8, 128},
        {"Authoring:", 8, 160},
        {"Menupictures", 274, 160},
        {"Extra Data:", 354, 160},
        {"KB", 466, 160},
        {"x", 59, 188},
        {":", 229, 188},
        {"sec", 274, 188},
        {"Final image:", 349, 188},
        {"blocks", 466, 188},

        {"X", 121, 238},
        {"X", 121, 262},
        {"X", 121, 286},
        {"X", 121, 326},
        {"X", 121, 366},
        {"left border", 213, 262},
        {"top border", 309, 262},
        {"Real aspect:", 516, 248},
        {"Crop:", 40, 286},
        {"round to:", 40, 304},
        {"round to:", 40, 344},
        {"Resize:", 40, 326},
        {"Destination:", 24, 366},
    };
    return captions;
}

std::vector<TPanelFrame> PanelFrames(int outerWidth, int outerHeight, int title2Top, int title3Top,
                                     int title4Top) {
    const int right = outerWidth - 7;
    return {
        {2, title2Top + 8, right, 210},
        {2, title3Top + 8, right, title3Top + 174},
        {2, title4Top + 8, right, outerHeight - 27},
        // Around the buttons: their right and bottom edges lie one pixel inside.
        {486, title4Top + 102, 575 - 1, title4Top + 121 - 1},
        {6, title3Top + 22, 77 - 1, title3Top + 41 - 1},
        {166, title3Top + 30, 179 - 1, title3Top + 58 - 1},
    };
}

} // namespace tarvex::qt

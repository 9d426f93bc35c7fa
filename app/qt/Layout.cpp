#include "app/qt/Layout.h"

namespace tarvex::qt {

const std::vector<TPlace>& ControlPlaces() {
    static const std::vector<TPlace> places = {
        // Panel "Stream & Authoring".
        {"StaticText2", 0, 0, 130, 18},
        {"EditMin", 8, 22, 25, 19},
        {"MinUpDown", 33, 22, 15, 19},
        {"EditSec", 76, 22, 30, 19},
        {"SecUpDown", 106, 22, 15, 19},
        {"FpsCombo", 168, 20, 81, 22},
        {"Label10", 254, 24},
        {"Videokbps", 24, 50, 33, 19},
        {"VideoUpDown10", 57, 48, 12, 21},
        {"VideoUpDown", 69, 48, 12, 21},
        {"Label43", 86, 52},
        {"Label62", 176, 44},
        {"Label63", 176, 56},
        {"EditGOP", 236, 50, 19, 19},
        {"GOPUpDown", 255, 50, 15, 19},
        {"SceneDetect", 372, 51, 125, 15},
        {"Audio1kbps", 24, 72, 57, 22},
        {"Audio1Label", 86, 76},
        {"Audio2kbps", 168, 72, 57, 22},
        {"Audio2Label", 230, 76},
        {"AC3Box", 308, 75, 117, 15},
        {"EditSubPics", 24, 98, 57, 19},
        {"SubKBytes", 168, 98, 57, 19},
        {"MuxModeBox", 68, 124, 157, 22},
        {"Edit1", 236, 126, 19, 19},
        {"AddMatricesUpDown", 255, 126, 15, 19},
        {"LabelAddMatrices", 274, 128},
        {"SeqAligning", 372, 121, 121, 15},
        {"ScanOffsets", 372, 137, 117, 15},
        {"AuthoringBox", 68, 156, 157, 22},
        {"EditMenuPics", 236, 158, 19, 19},
        {"MenuUpDown", 255, 158, 15, 19},
        {"EditExtraDataKB", 412, 158, 49, 19},
        {"ExtraDataModeBox", 488, 156, 77, 22},
        {"EditCDNr", 24, 186, 16, 19},
        {"CDNrUpDown", 40, 186, 15, 19},
        {"CDTypeBox", 68, 184, 105, 22},
        {"EditCDmin", 184, 186, 25, 19},
        {"CDMinUpDown", 209, 186, 15, 19},
        {"EditCDsec", 236, 186, 19, 19},
        {"CDSecUpDown", 255, 186, 15, 19},
        {"EditImageBlocks", 412, 186, 49, 19},

        // Panel "MPEG Resizing".
        {"StaticText3", 0, 214, 130, 18},
        {"OpenVideoBtn", 6, 236, 71, 19},
        {"SrcXEdit", 84, 236, 33, 19},
        {"SrcYEdit", 132, 236, 33, 19},
        {"CopyBtn", 166, 244, 13, 28},
        {"SrcAspectBox", 184, 234, 90, 22},
        {"SrcPALBox", 280, 237, 41, 15},
        {"SrcAnamorphic", 330, 237, 79, 15},
        {"ITUAspect", 414, 237, 96, 15},
        {"Label14", 36, 262},
        {"SrcPixelXEdit", 84, 260, 33, 19},
        {"SrcPixelYEdit", 132, 260, 33, 19},
        {"BorderLeftEdit", 184, 260, 25, 19},
        {"BorderTopEdit", 280, 260, 25, 19},
        {"SrcRateEdit", 414, 260, 33, 19},
        {"Label13", 521, 262},
        {"CropXEdit", 84, 284, 33, 19},
        {"CropYEdit", 132, 284, 33, 19},
        {"CropModeBox", 184, 282, 90, 22},
        {"Label17", 521, 286},
        {"ErrLabel", 504, 306},
        {"RoundXCrop", 79, 304, 33, 15},
        {"LabelRoundXCrop", 112, 304},
        {"RoundYCrop", 127, 304, 33, 15},
        {"LabelRoundYCrop", 160, 304},
        {"ResizeXEdit", 84, 324, 33, 19},
        {"ResizeYEdit", 132, 324, 33, 19},
        {"ResizeYUpDown", 165, 324, 15, 19},
        {"Label56", 188, 326},
        {"Label36", 521, 326},
        {"LabelRoundXResize", 88, 344},
        {"RoundYResize", 127, 344, 42, 15},
        {"LabelRoundYResize", 169, 344},
        {"Label57", 188, 344},
        {"DestXEdit", 84, 364, 33, 19},
        {"DestYEdit", 132, 364, 33, 19},
        {"DestAspectBox", 184, 362, 90, 22},
        {"DestPALBox", 280, 365, 41, 15},
        {"DestAnamorphic", 330, 365, 79, 15},
        {"TVBorderEdit", 419, 364, 18, 19},
        {"TVBorderUpDown", 437, 364, 15, 19},
        {"Label55", 457, 366},

        // Panel "AviSynth Script".
        {"StaticText4", 0, 392, 130, 18},
        {"AVSMemo", 6, 412, 323, 101},
        {"ResizeBox", 336, 412, 104, 22},
        {"InterlacedResBox", 450, 413, 110, 15},
        {"OptPosSlider", 444, 431, 33, 15},
        {"OptPosLabel", 479, 430},
        {"BffToTffBox", 336, 437, 65, 15},
        {"RGBoutputBox", 336, 469, 81, 15},
        {"ResampleAudioBox", 336, 485, 101, 15},
        {"SaveAVSBtn", 486, 494, 89, 19},
    };
    return places;
}

const TPlace* FindPlace(std::string_view name) {
    for (const TPlace& place : ControlPlaces())
        if (place.Name == name) return &place;
    return nullptr;
}

const std::vector<TStaticCaption>& StaticCaptions() {
    static const std::vector<TStaticCaption> captions = {
        {"min", 53, 24},
        {"sec  @ ", 127, 24},
        {"max:", 148, 44},
        {"min:", 148, 56},
        {"frames per GOP", 274, 52},
        {"Subtitle BMPs =", 86, 100},
        {"KB", 230, 100},
        {"Multiplexing:", 8, 128},
        {"Authoring:", 8, 160},
        {"Menupictures", 274, 160},
        {"Extra Data:", 356, 160},
        {"KB", 466, 160},
        {"x", 59, 188},
        {":", 229, 188},
        {"sec", 274, 188},
        {"Final image:", 353, 188},
        {"blocks", 466, 188},

        {"X", 121, 238},
        {"X", 121, 262},
        {"X", 121, 286},
        {"X", 121, 326},
        {"X", 121, 366},
        {"left border", 213, 262},
        {"top border", 309, 262},
        {"Real aspect:", 512, 246},
        {"Crop:", 40, 286},
        {"round to:", 40, 304},
        {"round to:", 40, 344},
        {"Resize:", 40, 326},
        {"Destination:", 24, 366},
    };
    return captions;
}

std::vector<TFrame> PanelFrames(int outerWidth, int outerHeight, int title2Top, int title3Top,
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

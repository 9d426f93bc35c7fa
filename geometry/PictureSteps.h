// The picture steps from a source frame to a disc frame (field order, crop and
// resize on frames or fields, borders, rate change, drawn-in subtitles), computed
// once from the geometry and written as AviSynth lines or as an ffmpeg filter graph.
#pragma once

#include "geometry/ResUnit.h"

#include <string>
#include <vector>

namespace tarvex {

/// The numbers the picture steps are computed from: the geometry model's and the options'.
struct TPicturePlan {
    int CropLeft = 0;
    int CropTop = 0;
    int CropX = 0;
    int CropY = 0;
    int ResizeX = 0;
    int ResizeY = 0;
    int DestY = 0; ///< frame height; the interlaced borders are computed from it
    int BorderLeft = 0;
    int BorderTop = 0;
    int BorderRight = 0;
    int BorderBottom = 0;
    bool Interlaced = false; ///< field by field resize
    int ResizeMode = 2;      ///< 0 bilinear, 1 bicubic 1/3, 3 Lanczos, any other bicubic 0/0.6
    bool BffToTff = false;
    bool BottomFirst = false; ///< the source's frames show their bottom field first
    bool ConvertToRGB = false;
    bool SrcIsPAL = true;
    bool DestIsPAL = true;
    bool Widescreen = false; ///< 16:9 display instead of 4:3
};

/// The geometry model's crop, resize, frame height, borders, field mode and norms,
/// with the resize list's choice and the field order fix.
TPicturePlan PicturePlanOf(const TResizeStruct& model, int resizeMode = 2, bool bffToTff = false);

/// Subtitles drawn into the finished frame: text at its full size, so it stays sharp,
/// pictures brought there as the film's picture is.
struct TBurnIn {
    std::string TextFile;   ///< an ASS file the subtitles filter draws; empty: none
    int PictureStream = -1; ///< subtitle stream of the first input laid over; -1: none
};

/// How the frames are shown after the resize.
enum class TRateChange { None, ToFilm, ToPal };

struct TPictureSteps {
    bool FieldFix = false;    ///< bottom first frames rewoven top first
    bool Fields = false;      ///< crop and resize each field alone
    bool BottomFirst = false; ///< the fields' order while they are apart
    int Kernel = 2;           ///< as TPicturePlan::ResizeMode
    /// The crop window and the resize size, of a frame or of a field.
    int CropLeft = 0, CropTop = 0, CropX = 0, CropY = 0, ResizeX = 0, ResizeY = 0;
    TBorderRect Borders;            ///< with fields the top one is an even number of lines
    int Width = 0, Height = 0;      ///< the frame with its borders
    double DisplayAspect = 4.0 / 3; ///< the frame's shape on the screen
    TRateChange Rate = TRateChange::None;
    bool ToRgb = false;
    TBurnIn Burn;
};

TPictureSteps PictureSteps(const TPicturePlan& plan);

/// The steps as AviSynth lines, from the field fix to the rate change.
std::vector<std::string> AvisynthLines(const TPictureSteps& steps);

/// The filters that bring a picture drawn on the film's canvas (a subtitle) onto the
/// disc's frame as the film's picture is brought: cropped, resized and bordered with
/// transparency. A picture resized by fields is taken in its frame's lines.
std::string CanvasToFrame(const TPictureSteps& steps);

/// The steps as an ffmpeg filter graph. `cut` (a trim filter and its comma, or
/// nothing) follows the field fix; `timing` (filters, each after a comma) follows
/// the rate change. Subtitle pictures make it a complex graph from the first
/// input's streams to the label [v].
std::string FfmpegGraph(const TPictureSteps& steps, const std::string& cut,
                        const std::string& timing);

} // namespace tarvex

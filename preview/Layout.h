// What the preview window draws, as rectangles in its two views: the source
// frame with the film area and the crop, and the destination frame as the script
// makes it. A front end only paints these.
#pragma once

#include "preview/Borders.h"

#include <optional>
#include <vector>

namespace tarvex {

/// The geometry the preview shows, as the resize model holds it.
struct TPreviewGeometry {
    int SrcResX = 0; ///< source frame
    int SrcResY = 0;
    int SrcPixelX = 0; ///< film area
    int SrcPixelY = 0;
    int BorderLeft = 0;
    int BorderTop = 0;
    int CropX = 0; ///< crop rectangle, in source-frame pixels
    int CropY = 0;
    int CropLeft = 0;
    int CropTop = 0;
    int ResizeX = 0; ///< resized picture
    int ResizeY = 0;
    int DestX = 0; ///< destination frame
    int DestY = 0;
    /// Black borders around the resized picture (left, top, right, bottom).
    TBorders DestBorders;
    /// TV overscan blocks of 8 x 8 pixels on every side of the destination frame.
    int OverscanBlocks = 0;
    double SrcPixelForm = 1; ///< height / width of a source pixel
    double DestPixelForm = 1;
    /// Aspect error of the resized picture in per cent (positive: the crop is wider).
    double AspectError = 0;
    /// Its colour band as the error label shows it: 0 black, 1 yellow, 2 red.
    int ErrorBand = 0;
    /// Draw the 16 x 16 macroblock grid over the destination frame.
    bool Grid = false;
};

struct TRectF {
    double X = 0;
    double Y = 0;
    double W = 0;
    double H = 0;
    bool operator==(const TRectF&) const = default;
};

enum class TShape {
    SourceImage,    ///< the decoded frame, `From` its pixels
    SourceDiagram,  ///< without a source: the frame as a plain area
    FilmArea,       ///< outline of the film area
    FrameBorders,   ///< outline of the picture area the shown frame itself has
    CropRect,       ///< outline of the crop rectangle
    DestFrame,      ///< the destination frame, black
    Picture,        ///< the resized picture: the crop of the frame, `From` its pixels
    PictureDiagram, ///< without a source: the resized picture as a plain area
    Overscan,       ///< a strip hidden by the TV's overscan, shaded
    GridLine,       ///< a line of the 16 x 16 grid (zero width or height)
    AspectBand,     ///< how far the picture's width is off its real aspect, in `Band`'s colour
};

struct TShapeItem {
    TShape Shape;
    /// Where it goes in the view, in view pixels.
    TRectF Rect;
    /// For images: the part of the source frame drawn there, in frame pixels.
    TRectF From;
    /// For `AspectBand`: the error label's colour band.
    int Band = 0;
};

/// One view: where its frame lies and what is drawn, back to front.
struct TPreviewView {
    TRectF Frame;
    /// Horizontal and vertical view pixels per frame pixel.
    double ScaleX = 0;
    double ScaleY = 0;
    std::vector<TShapeItem> Items;
};

struct TPreviewScene {
    TPreviewView Source;
    TPreviewView Dest;
};

/// A view's size in pixels.
struct TViewSize {
    int Width = 0;
    int Height = 0;
};

/// The shapes of both views. Each frame is fitted into its view at its real
/// aspect (pixel forms applied) and centred. With `haveImage` the frames are
/// drawn from the decoded picture, else as a diagram. `frameBorders` are the
/// borders measured on the shown frame, drawn when given.
TPreviewScene LayoutPreview(const TPreviewGeometry& g, TViewSize sourceView, TViewSize destView,
                            bool haveImage, const std::optional<TBorders>& frameBorders = {});

} // namespace tarvex

#include "geometry/ScriptCheck.h"

#include "geometry/PictureSteps.h"

namespace tarvex {

namespace {

bool Odd(std::int64_t v) {
    return v % 2 != 0;
}

/// A rectangle at (left, top) that does not lie inside a width x height frame.
bool Outside(std::int64_t left, std::int64_t top, std::int64_t w, std::int64_t h,
             std::int64_t width, std::int64_t height) {
    return left < 0 || top < 0 || left + w > width || top + h > height;
}

} // namespace

std::vector<TScriptFinding> CheckScript(const TResizeStruct& m) {
    std::vector<TScriptFinding> found;
    const auto add = [&](TScriptIssue issue, std::int32_t a, std::int32_t b = 0, std::int32_t c = 0,
                         std::int32_t d = 0) {
        found.push_back({issue, a, b, c, d});
    };
    const auto empty = [&](TScriptIssue issue, std::int32_t w, std::int32_t h) {
        if (w <= 0 || h <= 0) add(issue, w, h);
    };
    empty(TScriptIssue::ResizeEmpty, m.ResizeX, m.ResizeY);
    empty(TScriptIssue::CropEmpty, m.CropX, m.CropY);
    empty(TScriptIssue::FilmAreaEmpty, m.SrcPixelX, m.SrcPixelY);
    empty(TScriptIssue::DestEmpty, m.DestX, m.DestY);

    if (Odd(m.ResizeX)) add(TScriptIssue::ResizeWidthOdd, m.ResizeX);
    if (!m.InterlacedResizing && Odd(m.ResizeY)) add(TScriptIssue::ResizeHeightOdd, m.ResizeY);
    if (m.InterlacedResizing && m.ResizeY % 4 != 0) add(TScriptIssue::FieldHeightOdd, m.ResizeY);

    const TBorderRect b = PictureSteps(PicturePlanOf(m)).Borders;
    if (Odd(b.Left) || Odd(b.Top) || Odd(b.Right) || Odd(b.Bottom))
        add(TScriptIssue::BorderOdd, b.Left, b.Top, b.Right, b.Bottom);
    if (b.Left < 0 || b.Top < 0 || b.Right < 0 || b.Bottom < 0)
        add(TScriptIssue::BorderNegative, m.ResizeX, m.ResizeY, m.DestX, m.DestY);

    if (Outside(m.BorderLeft, m.BorderTop, m.SrcPixelX, m.SrcPixelY, m.SrcResX, m.SrcResY))
        add(TScriptIssue::FilmAreaOutside, m.SrcPixelX, m.SrcPixelY, m.BorderLeft, m.BorderTop);
    if (Outside(m.CropLeft, m.CropTop, m.CropX, m.CropY, m.SrcResX, m.SrcResY))
        add(TScriptIssue::CropOutside, m.CropX, m.CropY, m.CropLeft, m.CropTop);
    return found;
}

} // namespace tarvex

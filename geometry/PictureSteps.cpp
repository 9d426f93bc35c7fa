#include "geometry/PictureSteps.h"

#include <cmath>

namespace tarvex {

namespace {

struct TKernel {
    const char* Avisynth;
    const char* Separator; // between the target size and the crop window
    const char* Ffmpeg;
};

// By the index of the resize list; AviSynth divides integers as integers: 1/3 would be 0.
const TKernel Kernels[] = {
    {"BilinearResize(", ",", "flags=bilinear"},
    {"BicubicResize(", ",1.0/3,1.0/3,", "flags=bicubic:param0=1/3:param1=1/3"},
    {"BicubicResize(", ",0,0.6,", "flags=bicubic:param0=0:param1=0.6"},
    {"LanczosResize(", ",", "flags=lanczos:param0=3"}};

/// No choice or an unknown one resizes the precise bicubic way.
TKernel KernelFor(int resizeMode) {
    return resizeMode >= 0 && resizeMode < 4 ? Kernels[resizeMode] : Kernels[2];
}

} // namespace

TPicturePlan PicturePlanOf(const TResizeStruct& m, int resizeMode, bool bffToTff) {
    const TBorderRect b = m.GetBorders();
    return {.CropLeft = m.CropLeft,
            .CropTop = m.CropTop,
            .CropX = m.CropX,
            .CropY = m.CropY,
            .ResizeX = m.ResizeX,
            .ResizeY = m.ResizeY,
            .DestY = m.DestY,
            .BorderLeft = b.Left,
            .BorderTop = b.Top,
            .BorderRight = b.Right,
            .BorderBottom = b.Bottom,
            .Interlaced = m.InterlacedResizing,
            .ResizeMode = resizeMode,
            .BffToTff = bffToTff,
            .SrcIsPAL = m.SrcIsPAL,
            .DestIsPAL = m.DestIsPAL};
}

TPictureSteps PictureSteps(const TPicturePlan& p) {
    TPictureSteps s;
    s.FieldFix = p.BffToTff;
    s.Fields = p.Interlaced;
    s.BottomFirst = p.BottomFirst && !p.BffToTff;
    s.Kernel = p.ResizeMode;
    const int div = p.Interlaced ? 2 : 1; // halves toward zero, as AviSynth does
    s.CropLeft = p.CropLeft;
    s.CropTop = p.CropTop / div;
    s.CropX = p.CropX;
    s.CropY = p.CropY / div;
    s.ResizeX = p.ResizeX;
    s.ResizeY = p.ResizeY / div;
    s.Borders = {p.BorderLeft, p.BorderTop, p.BorderRight, p.BorderBottom};
    if (p.Interlaced) {
        // The top border keeps the fields in their places: an even number of lines.
        s.Borders.Top = 2 * ((p.DestY - p.ResizeY) / 4);
        s.Borders.Bottom = p.DestY - s.Borders.Top - 2 * s.ResizeY;
    }
    s.Width = s.Borders.Left + s.ResizeX + s.Borders.Right;
    s.Height = s.Borders.Top + s.ResizeY * div + s.Borders.Bottom;
    s.DisplayAspect = p.Widescreen ? 16.0 / 9 : 4.0 / 3;
    // Every frame stays and is shown at the other norm's rate.
    if (p.SrcIsPAL != p.DestIsPAL) s.Rate = p.SrcIsPAL ? TRateChange::ToFilm : TRateChange::ToPal;
    s.ToRgb = p.ConvertToRGB;
    return s;
}

std::vector<std::string> AvisynthLines(const TPictureSteps& s) {
    std::vector<std::string> lines;
    const std::string fix = s.FieldFix ? "DoubleWeave().SelectOdd()" : "";
    const std::string split = s.FieldFix ? ".SeparateFields()" : "SeparateFields()";
    if (s.Fields || s.FieldFix) lines.push_back(fix + (s.Fields ? split : ""));
    const TKernel k = KernelFor(s.Kernel);
    lines.push_back(k.Avisynth + IntToStr(s.ResizeX) + "," + IntToStr(s.ResizeY) + k.Separator +
                    IntToStr(s.CropLeft) + "," + IntToStr(s.CropTop) + "," + IntToStr(s.CropX) +
                    "," + IntToStr(s.CropY) + (s.Fields ? ").Weave()" : ")"));
    const auto [left, top, right, bottom] = s.Borders;
    if (!(s.Borders == TBorderRect{}))
        lines.push_back("AddBorders(" + IntToStr(left) + "," + IntToStr(top) + "," +
                        IntToStr(right) + "," + IntToStr(bottom) + ")");
    if (s.Rate != TRateChange::None)
        lines.push_back(s.Rate == TRateChange::ToFilm ? "AssumeFPS(23.976, true)"
                                                      : "AssumeFPS(25.000, true)");
    return lines;
}

std::string CanvasToFrame(const TPictureSteps& s) {
    const int lines = s.Fields ? 2 : 1;
    return "crop=w=" + IntToStr(s.CropX) + ":h=" + IntToStr(s.CropY * lines) +
           ":x=" + IntToStr(s.CropLeft) + ":y=" + IntToStr(s.CropTop * lines) +
           ":exact=1,scale=w=" + IntToStr(s.ResizeX) + ":h=" + IntToStr(s.ResizeY * lines) +
           ",pad=w=" + IntToStr(s.Width) + ":h=" + IntToStr(s.Height) +
           ":x=" + IntToStr(s.Borders.Left) + ":y=" + IntToStr(s.Borders.Top) + ":color=black@0";
}

std::string FfmpegGraph(const TPictureSteps& s, const std::string& cut, const std::string& timing) {
    const bool overlay = s.Burn.PictureStream >= 0;
    std::string graph = overlay ? "[0:v:0]" : "";
    // DoubleWeave().SelectOdd(): the top field of frame k and the bottom field of
    // frame k + 1 make a frame, top first, so the fields keep their order in time;
    // the clip keeps its length, its last field shown twice.
    if (s.FieldFix)
        graph += "setfield=bff,separatefields,trim=start_frame=1,tpad=stop=1:stop_mode=clone,"
                 "weave=first_field=top,";
    graph += cut;
    const std::string crop = "crop=w=" + IntToStr(s.CropX) + ":h=" + IntToStr(s.CropY) +
                             ":x=" + IntToStr(s.CropLeft) + ":y=" + IntToStr(s.CropTop) +
                             ":exact=1";
    const std::string scale = "scale=w=" + IntToStr(s.ResizeX) + ":h=" + IntToStr(s.ResizeY) + ":" +
                              KernelFor(s.Kernel).Ffmpeg;
    if (!s.Fields)
        graph += crop + "," + scale;
    else // the fields' order in time is kept
        graph += std::string(s.BottomFirst ? "setfield=bff" : "setfield=tff") + ",separatefields," +
                 crop + "," + scale + ",weave=first_field=" + (s.BottomFirst ? "bottom" : "top");
    const auto [left, top, right, bottom] = s.Borders;
    if (!(s.Borders == TBorderRect{}))
        graph += ",pad=w=" + IntToStr(s.Width) + ":h=" + IntToStr(s.Height) +
                 ":x=" + IntToStr(left) + ":y=" + IntToStr(top) + ":color=black";
    // Drawn while the frames keep the film's times, which the subtitles follow.
    if (!s.Burn.TextFile.empty()) { // shaped for the frame's pixels, narrow or wide
        const auto square = std::lround(s.Height * s.DisplayAspect);
        graph += ",subtitles=filename=" + s.Burn.TextFile + ":original_size=" + IntToStr(square) +
                 "x" + IntToStr(s.Height) + ":force_style=FontName=DejaVu Sans";
    }
    if (overlay)
        graph += "[pic];[0:s:" + IntToStr(s.Burn.PictureStream) + "]" + CanvasToFrame(s) +
                 "[subs];[pic][subs]overlay=eof_action=pass";
    if (s.Rate == TRateChange::None)
        graph += ",setpts=PTS-STARTPTS";
    else
        graph += s.Rate == TRateChange::ToFilm ? ",setpts=N*1001/24000/TB" : ",setpts=N*1/25/TB";
    graph += timing;
    if (s.ToRgb) graph += ",format=rgb24";
    return graph + ",format=yuv420p" + (overlay ? "[v]" : "");
}

} // namespace tarvex

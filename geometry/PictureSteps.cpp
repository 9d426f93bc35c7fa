#include "geometry/PictureSteps.h"

#include "geometry/ResUnit.h"

namespace tarvex {

namespace {

struct TKernel {
    const char* Avisynth;
    const char* Separator; // between the target size and the crop window
    const char* Ffmpeg;
};

TKernel KernelFor(int resizeMode) {
    switch (resizeMode) {
    case 0:
        return {"BilinearResize(", ",", "flags=bilinear"};
    // AviSynth divides integers as integers: 1/3 would be 0.
    case 1:
        return {"BicubicResize(", ",1.0/3,1.0/3,", "flags=bicubic:param0=1/3:param1=1/3"};
    case 3:
        return {"LanczosResize(", ",", "flags=lanczos:param0=3"};
    default:
        return {"BicubicResize(", ",0,0.6,", "flags=bicubic:param0=0:param1=0.6"};
    }
}

std::string Int(int v) {
    return std::to_string(v);
}

bool HasBorders(const TPictureSteps& s) {
    return s.Borders != std::array<int, 4>{};
}

} // namespace

TPicturePlan PicturePlanOf(const TResizeStruct& m) {
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
        s.Borders[1] = 2 * ((p.DestY - p.ResizeY) / 4);
        s.Borders[3] = p.DestY - s.Borders[1] - 2 * s.ResizeY;
    }
    s.Width = s.Borders[0] + s.ResizeX + s.Borders[2];
    s.Height = s.Borders[1] + s.ResizeY * div + s.Borders[3];
    // Every frame stays and is shown at the other norm's rate.
    if (p.SrcIsPAL != p.DestIsPAL) s.Rate = p.SrcIsPAL ? TRateChange::ToFilm : TRateChange::ToPal;
    s.ToRgb = p.ConvertToRGB;
    return s;
}

std::vector<std::string> AvisynthLines(const TPictureSteps& s) {
    std::vector<std::string> lines;
    const std::string fix = s.FieldFix ? "DoubleWeave().SelectOdd()" : "";
    if (s.Fields)
        lines.push_back(fix.empty() ? "SeparateFields()" : fix + ".SeparateFields()");
    else if (!fix.empty())
        lines.push_back(fix);
    const TKernel k = KernelFor(s.Kernel);
    lines.push_back(k.Avisynth + Int(s.ResizeX) + "," + Int(s.ResizeY) + k.Separator +
                    Int(s.CropLeft) + "," + Int(s.CropTop) + "," + Int(s.CropX) + "," +
                    Int(s.CropY) + (s.Fields ? ").Weave()" : ")"));
    const auto [left, top, right, bottom] = s.Borders;
    if (HasBorders(s))
        lines.push_back("AddBorders(" + Int(left) + "," + Int(top) + "," + Int(right) + "," +
                        Int(bottom) + ")");
    if (s.Rate != TRateChange::None)
        lines.push_back(s.Rate == TRateChange::ToFilm ? "AssumeFPS(23.976, true)"
                                                      : "AssumeFPS(25.000, true)");
    return lines;
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
    const std::string crop = "crop=w=" + Int(s.CropX) + ":h=" + Int(s.CropY) +
                             ":x=" + Int(s.CropLeft) + ":y=" + Int(s.CropTop) + ":exact=1";
    const std::string scale =
        "scale=w=" + Int(s.ResizeX) + ":h=" + Int(s.ResizeY) + ":" + KernelFor(s.Kernel).Ffmpeg;
    if (!s.Fields)
        graph += crop + "," + scale;
    else // the fields' order in time is kept
        graph += std::string(s.BottomFirst ? "setfield=bff" : "setfield=tff") + ",separatefields," +
                 crop + "," + scale + ",weave=first_field=" + (s.BottomFirst ? "bottom" : "top");
    const auto [left, top, right, bottom] = s.Borders;
    if (HasBorders(s))
        graph += ",pad=w=" + Int(s.Width) + ":h=" + Int(s.Height) + ":x=" + Int(left) +
                 ":y=" + Int(top) + ":color=black";
    // Drawn while the frames keep the film's times, which the subtitles follow.
    if (!s.Burn.TextFile.empty())
        graph += ",subtitles=filename=" + s.Burn.TextFile + ":force_style=FontName=DejaVu Sans";
    if (overlay)
        graph += "[pic];[0:s:" + Int(s.Burn.PictureStream) + "]scale=w=" + Int(s.Width) +
                 ":h=" + Int(s.Height) + "[subs];[pic][subs]overlay=eof_action=pass";
    if (s.Rate == TRateChange::None)
        graph += ",setpts=PTS-STARTPTS";
    else
        graph += s.Rate == TRateChange::ToFilm ? ",setpts=N*1001/24000/TB" : ",setpts=N*1/25/TB";
    graph += timing;
    if (s.ToRgb) graph += ",format=rgb24";
    return graph + ",format=yuv420p" + (overlay ? "[v]" : "");
}

} // namespace tarvex

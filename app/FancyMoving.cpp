#include "app/FancyMoving.h"

#include <algorithm>
#include <limits>

namespace tarvex {

namespace {

// Coordinates are worked out in 64 bits, so that a stored position or a cursor far
// outside the screen cannot overflow, and brought back into 32 bits at the end.
std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool Near(std::int64_t a, std::int64_t b) {
    return a - b >= -SnapDistance && a - b <= SnapDistance;
}

} // namespace

TRect GetWorkArea(std::int32_t screenWidth, std::int32_t screenHeight, const TRect& systemWorkArea,
                  const TTaskbarState& taskbar) {
    TRect area = systemWorkArea;
    if (!taskbar.AutoHide) return area;
    const TRect& bar = taskbar.Rect;
    // A hidden taskbar reaches 2 pixels beyond both ends of the edge it sits on.
    if (std::int64_t{bar.Right} - bar.Left == std::int64_t{screenWidth} + 4) {
        if (bar.Top == -2)
            area.Top = 3;
        else
            area.Bottom = Clamp32(std::int64_t{screenHeight} - 2);
    } else {
        if (bar.Left == -2)
            area.Left = 3;
        else
            area.Right = Clamp32(std::int64_t{screenWidth} - 2);
    }
    return area;
}

TPoint SetLastWindowPositions(TPoint systemPosition, TSize windowSize, const TRect& workArea,
                              std::int32_t windowPosX, std::int32_t windowPosY) {
    TPoint p = systemPosition;
    if (100 - std::int64_t{windowSize.Width} < std::int64_t{workArea.Left} + windowPosX &&
        windowPosX < std::int64_t{workArea.Right} - 100)
        p.X = windowPosX;
    if (100 - std::int64_t{windowSize.Height} < std::int64_t{workArea.Top} + windowPosY &&
        windowPosY < std::int64_t{workArea.Bottom} - 100)
        p.Y = windowPosY;
    return p;
}

TPoint CalcDragPosition(bool dragging, TPoint windowPosition, TSize windowSize,
                        const TRect& workArea, TPoint mouse, TPoint grabOffset, TDragKeys keys) {
    if (!dragging || keys.Ctrl) return windowPosition;
    std::int64_t x = std::int64_t{windowPosition.X} + mouse.X - grabOffset.X;
    std::int64_t y = std::int64_t{windowPosition.Y} + mouse.Y - grabOffset.Y;
    if (!keys.Shift) {
        if (Near(x, workArea.Left))
            x = workArea.Left;
        else if (Near(x + windowSize.Width, workArea.Right))
            x = std::int64_t{workArea.Right} - windowSize.Width;
        if (Near(y, workArea.Top))
            y = workArea.Top;
        else if (Near(y + windowSize.Height, workArea.Bottom))
            y = std::int64_t{workArea.Bottom} - windowSize.Height;
    }
    return {Clamp32(x), Clamp32(y)};
}

} // namespace tarvex

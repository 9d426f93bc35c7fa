// Window placement maths: the work area the window keeps to, restoring the stored
// window position, and dragging the window by its background with its
// edges snapping to the work area's edges. Pure functions over plain values; the
// front end asks the system for the inputs and moves the real window.
#pragma once

#include <cstdint>

namespace tarvex {

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

/// Left and top inside, right and bottom just outside, as the desktop reports them.
struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

/// What the shell says about its taskbar.
struct TTaskbarState {
    TRect Rect;
    bool AutoHide = false;
};

/// Modifier keys held while the mouse moves.
struct TDragKeys {
    bool Shift = false; ///< move freely, no snapping
    bool Ctrl = false;  ///< hold the window still
};

/// Edges closer than this to a work-area edge snap to it.
constexpr std::int32_t SnapDistance = 10;

/// The desktop work area (the screen less docked taskbars), corrected for a taskbar
/// that hides itself: such a taskbar lies 2 pixels beyond the screen on three sides
/// and keeps a 2-pixel strip visible, which the work area leaves free (top or left
/// work area edge 3, bottom or right edge 2 pixels inside the screen).
TRect GetWorkArea(std::int32_t screenWidth, std::int32_t screenHeight, const TRect& systemWorkArea,
                  const TTaskbarState& taskbar);

/// Where the new window goes: each stored coordinate is taken when roughly 100 pixels
/// of the window stay on the work area along that axis (for x: 100 - width < left of
/// work area + x and x < right of work area - 100, both strict; likewise for y);
/// otherwise that coordinate keeps the position the system chose.
TPoint SetLastWindowPositions(TPoint systemPosition, TSize windowSize, const TRect& workArea,
                              std::int32_t windowPosX, std::int32_t windowPosY);

/// The window position for a mouse move: unchanged when not dragging or with Ctrl
/// held; otherwise the window follows the mouse (cursor in client coordinates minus
/// the grab offset), and without Shift each edge within SnapDistance of a work-area
/// edge snaps to it, the left edge before the right and the top before the bottom.
TPoint CalcDragPosition(bool dragging, TPoint windowPosition, TSize windowSize,
                        const TRect& workArea, TPoint mouse, TPoint grabOffset, TDragKeys keys);

} // namespace tarvex

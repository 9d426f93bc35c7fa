// Where the main window's widgets sit: one place per control of the form and the
// static captions that belong to no control. Plain data, so that the window and its
// tests read the same table.
#pragma once

#include "app/Main.h"

#include <string_view>
#include <vector>

namespace tarvex::qt {

/// A control's place in client coordinates. A width or height of 0 means the
/// widget takes the size its text needs (labels).
struct TPlace {
    const TControl* Control = nullptr;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

/// A text of the window that no handler ever changes.
struct TStaticCaption {
    std::string_view Text;
    int Left = 0;
    int Top = 0;
};

/// A raised frame painted on the background (left and top white, right and
/// bottom in the button-shadow colour).
struct TPanelFrame {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

constexpr int ClientWidth = 580;
constexpr int ClientHeight = 518;

/// The place of each of the form's controls.
std::vector<TPlace> ControlPlaces(const TMainForm& form);
/// The control's place among places, or nullptr.
const TPlace* FindPlace(const std::vector<TPlace>& places, const TControl& control);
const std::vector<TStaticCaption>& StaticCaptions();

/// The six frames for a window of the given outer size and the tops of the three
/// panel titles; the right and bottom of the frames around buttons are already
/// moved one pixel inwards.
std::vector<TPanelFrame> PanelFrames(int outerWidth, int outerHeight, int title2Top, int title3Top,
                                     int title4Top);

} // namespace tarvex::qt

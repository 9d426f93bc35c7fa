// The dvdauthor project of one DVD: its title with chapters, the languages of its
// sound and subpicture streams, and its title menu when it has one.
#pragma once

#include "disc/DiscJob.h"

#include <string>
#include <vector>

namespace tarvex {

/// Chapter buttons on the title menu; later chapters are reached by skipping.
inline constexpr std::size_t MaxMenuChapters = 10;

/// One button of a menu page: its place on the frame and what it does.
struct TMenuButton {
    std::string Name;   ///< spumux's and dvdauthor's name of the button
    std::string Label;  ///< the text drawn on it
    std::string Action; ///< dvdauthor commands
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
};

/// The menu of a disc: a still with buttons, in the frame of the disc.
struct TMenuPage {
    std::string VobFile; ///< the menu's program stream, buttons included
    std::vector<TMenuButton> Buttons;
};

/// Escapes text for an XML attribute or element.
std::string XmlText(const std::string& text);

/// The dvdauthor project of a disc whose film is `vobFile`, with `chapters`
/// (seconds, the first at 0) and the menu when `menu` has buttons.
std::string DvdAuthorXml(const TDiscPlan& plan, const std::string& vobFile,
                         const std::vector<double>& chapters, const TMenuPage& menu);

} // namespace tarvex

// The steps that put subtitles and a title menu on a DVD: ffmpeg for the film's
// subtitle pictures, spumux for text and for the menu's buttons.
#pragma once

#include "disc/DiscJob.h"
#include "disc/DvdAuthor.h"

#include <string>
#include <vector>

namespace tarvex {

/// The font spumux draws text with: a Debian font found through fontconfig.
inline constexpr const char* SubtitleFont = "DejaVuSans.ttf";

/// Adds the steps that put the plan's subtitles into `part`'s multiplexed file, in
/// the order of plan.Extras.Subtitles (pictures before text); returns the file
/// that then holds the film with them.
std::string AddSubtitleSteps(const TDiscPlan& plan, TDiscPart& part, double weight);

/// The subtitles drawn into a VCD's or SVCD's picture: the first subtitle stream
/// when the plan asks for it; nothing on a DVD, which shows them as subpictures.
TBurnIn BurnIn(const TDiscPlan& plan);
/// The step that writes the text BurnIn draws into the work folder; none for pictures.
std::vector<TStep> BurnSteps(const TDiscPlan& plan, const std::string& title, double weight);

/// Pictures of the title menu's video, 0 without a menu: the image holds them
/// besides the film's.
std::int64_t MenuFrames(const TDiscPlan& plan);

/// Adds the steps that make the title menu of `part` when the plan has menu
/// pictures; returns its page, without buttons when there is none.
TMenuPage AddMenuSteps(const TDiscPlan& plan, TDiscPart& part, const std::vector<double>& chapters,
                       double weight);

} // namespace tarvex

// A film's subtitle pictures (PGS, DVB, DVD bitmaps) as DVD subpictures at the
// disc's frame size: ffmpeg draws each picture on the film's canvas, crops and
// resizes it as the film's picture is, and cuts it to four colours; spumux then
// multiplexes one image for each time a subtitle shows. Text subtitles of one disc
// of a split film are taken from the film's and shifted to the disc's start.
#pragma once

#include "disc/DiscJob.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {

/// Subtitle pictures that cannot become subpictures; the text says why, for the user.
class TSubpictureError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The most subtitle pictures one stream of a disc may bring.
inline constexpr std::size_t MaxSubpictures = 20000;

/// How the film's subtitles are read for one disc: from a bounded time before its
/// share, so that a subtitle already shown where the share starts is read whole.
struct TSubtitleCut {
    std::vector<std::string> Args; ///< the input options; none for a film on one disc
    std::int64_t LeadMs = 0;       ///< how long before the share they start reading
    std::int64_t FirstMs = 0;      ///< the share's start and end in the film
    std::int64_t EndMs = 0;
};

/// The subtitles of the disc's share start this long before it at most.
inline constexpr std::int64_t MaxSubtitleLeadMs = 60000;

/// The steps that write the images of the film's picture subtitle stream `index`
/// into the work folder `dir` and the spumux project `project` that shows them.
std::vector<TStep> SubpictureSteps(const TDiscPlan& plan, const TDiscPart& part, int index,
                                   const TSubtitleCut& cut, const std::string& dir,
                                   const std::string& project, double weight);

/// One picture on screen, in milliseconds of the film.
struct TSubpictureShow {
    std::int64_t Frame = 0; ///< the time of the image that shows
    std::int64_t Start = 0;
    std::int64_t End = 0;
    bool operator==(const TSubpictureShow&) const = default;
};

/// When the drawn frames show: `frames` are the times of every frame ffmpeg drew,
/// `shown` those with something visible; a frame shows until the next one, the last
/// until `end`, and none beyond it. A frame the same as the one before (`same`) lengthens its show.
/// Throws TSubpictureError for more than MaxSubpictures frames.
std::vector<TSubpictureShow>
SubpictureShows(std::vector<std::int64_t> frames, std::vector<std::int64_t> shown, std::int64_t end,
                const std::function<bool(std::int64_t, std::int64_t)>& same);

/// Reads what the first step wrote into `dir` and writes the spumux project `out`;
/// the images were drawn from `leadMs` before the disc's share, which a show still
/// on screen at its start is clamped to; times are then multiplied by `timeScale`
/// (the film played faster or slower) and the last show ends at `endSeconds`.
/// Returns the number of shows.
std::size_t WriteSubpictureProject(const std::string& dir, const std::string& out, bool pal,
                                   double timeScale, double endSeconds, std::int64_t leadMs = 0);

/// Writes the text subtitles `in` (SubRip, in the film's times) as those of the
/// share [firstMs, endMs) to `out`: shifted to its start, each clamped to it, those
/// outside left out. Returns the number kept. Throws TSubpictureError when `in`
/// cannot be read or is too long, or `out` cannot be written.
std::size_t WriteTextShare(const std::string& in, const std::string& out, std::int64_t firstMs,
                           std::int64_t endMs);

} // namespace tarvex

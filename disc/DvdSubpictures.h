// A film's subtitle pictures (PGS, DVB, DVD bitmaps) as DVD subpictures at the
// disc's frame size: ffmpeg draws each picture on the film's canvas, crops and
// resizes it as the film's picture is, and cuts it to four colours; spumux then
// multiplexes one image for each time a subtitle shows.
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

/// The steps that write the images of the film's picture subtitle stream `index`
/// into the work folder `dir` and the spumux project `project` that shows them.
/// `cut` are the input options that take the disc's share of the film.
std::vector<TStep> SubpictureSteps(const TDiscPlan& plan, const TDiscPart& part, int index,
                                   const std::vector<std::string>& cut, const std::string& dir,
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
/// times are multiplied by `timeScale` (the film played faster or slower) and the
/// last show ends at `endSeconds`. Returns the number of shows.
std::size_t WriteSubpictureProject(const std::string& dir, const std::string& out, bool pal,
                                   double timeScale, double endSeconds);

} // namespace tarvex

// Where the disc's chapters start: the film's own chapter marks, or one every
// few minutes, placed on the frames of the disc so that a GOP starts at each.
#pragma once

#include "disc/DiscJob.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

/// The most chapters a DVD title has.
inline constexpr std::size_t MaxChapters = 99;

/// Chapter starts of a film of `filmSeconds`, in seconds: its own `marks` when it
/// has any after its start, else one every `minutes` (none when `minutes` < 1).
/// The first is at 0; none lies in the film's last second or beyond it.
std::vector<double> FilmChapters(const std::vector<double>& marks, double filmSeconds, int minutes);

/// The chapter starts of the plan's source frames [first, end), in seconds of
/// the disc from that part's start, each on a frame of the disc. Starts with 0.
std::vector<double> PartChapters(const TDiscPlan& plan, std::int64_t first, std::int64_t end);

/// "h:mm:ss.fff" as dvdauthor and vcdimager read times.
std::string ChapterTime(double seconds);

/// The times of the key frames the encoder must be made to start, in seconds of
/// the disc: each chapter after the first, and where the GOP before a chapter
/// would be too short for the multiplexer to start a navigation unit at the
/// chapter (0.4 s), a key frame that many frames before it.
std::vector<double> ChapterKeyFrameTimes(const TDiscPlan& plan,
                                         const std::vector<double>& chapters);

/// The encoder arguments that start those GOPs.
std::vector<std::string> ChapterKeyFrames(const TDiscPlan& plan,
                                          const std::vector<double>& chapters);

} // namespace tarvex

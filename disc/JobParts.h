// The parts of a disc job that its files share: numbers as the tools read them,
// the standard a plan's disc follows, the picture's borders and field order, and
// the steps that make one disc.
#pragma once

#include "budget/DiscStandard.h"
#include "common/Numeric.h"
#include "disc/DiscJob.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::job {

inline const TRate Film{24000, 1001};
inline const TRate Pal{25, 1};
inline const TRate Ntsc{30000, 1001};

/// A real number in its shortest exact form, whatever the locale; whole numbers
/// are written with IntToStr.
std::string Num(double v);
/// A whole non-negative number that is all of `text`, or -1.
std::int64_t Whole(std::string_view text);
/// Milliseconds as seconds with three decimals and a point, whatever the locale.
std::string MillisText(std::int64_t ms);
/// "25" or "30000/1001".
std::string RateText(TRate r);
double Value(TRate r);

bool Mpeg1(const TDiscPlan& plan);
const TDiscStandard& StandardOf(const TDiscPlan& plan);

/// Whether the disc's stream is coded as interlaced frames.
bool IsInterlaced(const TDiscPlan& plan);

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b);
/// How every ffmpeg step starts: no questions, only warnings, outputs replaced.
inline const std::vector<std::string> FfmpegStart = {"ffmpeg", "-nostdin", "-hide_banner",
                                                     "-v",     "warning",  "-y"};

/// A step that makes `outputs` in the work folder, checked after it ran; `frames`
/// when it reports ffmpeg progress.
TStep Step(std::string title, std::vector<std::string> args, double weight,
           std::vector<std::string> outputs, std::int64_t frames = 0,
           std::vector<std::string> env = {});

/// The planned audio streams' rates, in stream order.
std::vector<std::uint32_t> AudioRates(const TDiscPlan& plan);

/// Disc `number` of the job: source frames [first, end) and the steps that make its
/// image in the work folder, to be renamed into outDir.
TDiscPart MakePart(const TDiscPlan& plan, int number, std::int64_t first, std::int64_t end,
                   const std::string& outDir);

} // namespace tarvex::job

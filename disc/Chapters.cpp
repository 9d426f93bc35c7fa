#include "disc/Chapters.h"

#include "disc/JobParts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace tarvex {

namespace {

/// A chapter shorter than this is no use to skip to.
constexpr double MinChapterSeconds = 1;

} // namespace

std::vector<double> FilmChapters(const std::vector<double>& marks, double filmSeconds,
                                 int minutes) {
    std::vector<double> chapters = {0};
    if (!(filmSeconds > 0) || !std::isfinite(filmSeconds)) return chapters;
    const double last = filmSeconds - MinChapterSeconds;
    std::vector<double> own;
    for (const double mark : marks)
        if (std::isfinite(mark) && mark >= MinChapterSeconds && mark < last) own.push_back(mark);
    std::sort(own.begin(), own.end());
    if (own.empty() && minutes >= 1)
        for (double t = 60.0 * minutes; t < last && own.size() < MaxChapters; t += 60.0 * minutes)
            own.push_back(t);
    for (const double t : own)
        if (t - chapters.back() >= MinChapterSeconds && chapters.size() < MaxChapters)
            chapters.push_back(t);
    return chapters;
}

std::vector<double> PartChapters(const TDiscPlan& plan, std::int64_t first, std::int64_t end) {
    std::vector<double> chapters = {0};
    if (!(plan.SrcFrameRate > 0)) return chapters;
    const TRate script = ScriptRate(plan);
    // A chapter starts at a coded frame: with pulldown a film frame.
    const TRate disc = EncodeRate(plan);
    for (const double start : plan.Extras.Chapters) {
        const double frame = std::floor(start * plan.SrcFrameRate + 0.5);
        if (frame <= static_cast<double>(first) || frame >= static_cast<double>(end)) continue;
        // Every source frame stays a frame of the script: only the rate may change.
        const double seconds = (frame - static_cast<double>(first)) * script.Den / script.Num;
        const double onDisc = std::floor(seconds * disc.Num / disc.Den + 0.5) * disc.Den / disc.Num;
        if (onDisc - chapters.back() >= MinChapterSeconds && chapters.size() < MaxChapters)
            chapters.push_back(onDisc);
    }
    return chapters;
}

std::string ChapterTime(double seconds) {
    const auto ms = static_cast<long long>(std::llround(std::max(seconds, 0.0) * 1000));
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%lld:%02lld:%02lld.%03lld", ms / 3600000,
                  ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return text.data();
}

std::vector<double> ChapterKeyFrameTimes(const TDiscPlan& plan,
                                         const std::vector<double>& chapters) {
    // The encoder counts coded frames: film frames when the player adds the pulldown.
    const TRate disc = EncodeRate(plan);
    const double fps = static_cast<double>(disc.Num) / disc.Den;
    const auto frameOf = [fps](double t) {
        return static_cast<std::int64_t>(std::llround(t * fps));
    };
    const std::int64_t gop = std::max(EncodeGopLength(plan), 1);
    const auto shortest = static_cast<std::int64_t>(std::ceil(0.4 * fps - 1e-9));
    std::vector<double> times;
    for (std::size_t i = 1; i < chapters.size(); ++i) {
        // After a key frame the encoder starts the next GOP `gop` frames later.
        const std::int64_t stretch = frameOf(chapters[i]) - frameOf(chapters[i - 1]);
        const std::int64_t tail = stretch % gop;
        if (tail > 0 && tail < shortest && stretch > shortest)
            times.push_back(static_cast<double>(frameOf(chapters[i]) - shortest) / fps);
        times.push_back(chapters[i]);
    }
    return times;
}

std::vector<std::string> ChapterKeyFrames(const TDiscPlan& plan,
                                          const std::vector<double>& chapters) {
    std::string times;
    for (const double t : ChapterKeyFrameTimes(plan, chapters)) {
        // Whole milliseconds at or before the frame, so that the frame itself is the key
        // frame; written without the locale's decimal separator.
        times += (times.empty() ? "" : ",") +
                 job::MillisText(static_cast<std::int64_t>(std::floor(t * 1000)));
    }
    if (times.empty()) return {};
    return {"-force_key_frames", times};
}

} // namespace tarvex

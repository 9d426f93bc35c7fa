// Reads the first video stream of any file libavformat opens (MKV, MP4, MOV,
// TS, WebM, FLV, OGG, ...). libavformat lives in a library of its own that is
// loaded on the first probe, so nothing pays for it before a file needs it.
#pragma once

#include "source/SourceFacts.h"

#include <cstdint>
#include <string>

namespace tarvex {

/// How far a probe may read, and for how long.
struct TProbeLimits {
    /// Read the common MKV, MP4 and TS files by hand first, without libavformat.
    bool ByHand = true;
    std::int64_t ProbeSize = 5'000'000;         ///< bytes
    std::int64_t AnalyzeDurationUs = 5'000'000; ///< stream time, microseconds
    std::int64_t TimeLimitUs = 5'000'000;       ///< wall-clock time, microseconds
};

/// The first video stream of a file.
struct TMediaInfo {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::string FourCC;           ///< the container's code, or a short codec name
    std::int64_t FrameCount = -1; ///< -1 when neither recorded nor computable
    TSourceFacts Facts;
    bool operator==(const TMediaInfo&) const = default;
};

/// Fills `info` from the first video stream of `path`: by hand where the file's
/// headers allow it, else through libavformat. False, with a short reason in
/// `reason`, when the file cannot be read as video.
bool ProbeMedia(const std::string& path, TMediaInfo& info, std::string& reason,
                const TProbeLimits& limits = {});

} // namespace tarvex

// Reads Matroska/WebM, MP4/MOV and MPEG transport stream files by hand when
// their headers say all the source reader needs: the common H.264, HEVC and
// MPEG-2 films then open without loading libavformat. Anything else (other
// codecs, fragmented or variable-rate files, pictures that may be fields) is
// left to the full probe.
#pragma once

#include "source/MediaProbe.h"

#include <string>

namespace tarvex {

/// Fills `info` from the headers of `path`; false when the file is none of the
/// kinds above or its headers leave something open.
bool QuickProbe(const std::string& path, TMediaInfo& info);

/// A frame rate within 0.01 % of a usual one (whole numbers up to 120, and the
/// NTSC rates n x 1000 / 1001) snapped to it; other rates unchanged.
TRatio UsualFrameRate(TRatio rate);

} // namespace tarvex

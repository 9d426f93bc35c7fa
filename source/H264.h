// The H.264 sequence parameter set: frame size, pixel shape, frame rate and
// whether frames may be coded as fields.
#pragma once

#include "source/SourceFacts.h"

#include <span>

namespace tarvex::h264 {

using TBytes = std::span<const unsigned char>;

struct TSps {
    int Width = 0; ///< after the cropping the set asks for
    int Height = 0;
    bool FrameMbsOnly = true; ///< every picture is a progressive frame
    TRatio SampleAspect;      ///< unknown when the set gives none
    TRatio FrameRate;         ///< from the timing information; unknown when absent
};

/// Parses a sequence parameter set NAL unit (its header byte first, emulation
/// prevention bytes still in). False when it is not one or is cut short.
bool ParseSps(TBytes nal, TSps& sps);

/// The first sequence parameter set of an AVCDecoderConfigurationRecord
/// ("avcC"); empty when it holds none.
TBytes SpsOfConfig(TBytes avcC);

/// The first sequence parameter set of an Annex B byte stream (NAL units after
/// 00 00 01 start codes); empty when it holds none.
TBytes SpsOfByteStream(TBytes stream);

} // namespace tarvex::h264

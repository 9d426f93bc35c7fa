// The sequence parameter sets of H.264 and H.265 (HEVC): frame size, pixel
// shape, frame rate and whether every picture is a whole progressive frame.
#pragma once

#include "source/SourceFacts.h"

#include <span>

namespace tarvex {

using TByteSpan = std::span<const unsigned char>;

struct TSps {
    int Width = 0; ///< after the cropping the set asks for
    int Height = 0;
    /// Every picture is a progressive frame; otherwise fields may be coded or
    /// shown, and their order is for a decoder to tell.
    bool FramesOnly = true;
    TRatio SampleAspect; ///< unknown when the set gives none
    TRatio FrameRate;    ///< from the timing information; unknown when absent
};

namespace h264 {

/// Parses a sequence parameter set NAL unit (its header byte first, emulation
/// prevention bytes still in). False when it is not one or is cut short.
bool ParseSps(TByteSpan nal, TSps& sps);

/// The first sequence parameter set of an AVCDecoderConfigurationRecord
/// ("avcC"); empty when it holds none.
TByteSpan SpsOfConfig(TByteSpan avcC);

/// The first sequence parameter set of an Annex B byte stream (NAL units after
/// 00 00 01 start codes); empty when it holds none.
TByteSpan SpsOfByteStream(TByteSpan stream);

} // namespace h264

namespace hevc {

/// Parses a sequence parameter set NAL unit (its two header bytes first).
bool ParseSps(TByteSpan nal, TSps& sps);

/// The first sequence parameter set of an HEVCDecoderConfigurationRecord ("hvcC").
TByteSpan SpsOfConfig(TByteSpan hvcC);

/// The first sequence parameter set of an Annex B byte stream.
TByteSpan SpsOfByteStream(TByteSpan stream);

} // namespace hevc

} // namespace tarvex

// The boundary between the frame reader and the frame decoding module, the one
// part of the preview that links libavformat, libavcodec and libswscale. The
// module is loaded when the first film is opened for its frames, so that the
// programs start without those libraries.
#pragma once

#include "preview/Frames.h"

#include <atomic>

namespace tarvex {

/// One film opened by the module; `TFrameReader` forwards to it.
class IFrameSource {
  public:
    virtual ~IFrameSource() = default;
    /// Once `*cancel` is set, a read under way ends at once; null cancels nothing.
    virtual void SetCancel(const std::atomic<bool>* cancel) = 0;
    virtual TFrameError Open(const std::string& name, const TFrameCrop& crop) = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual double Duration() const = 0;
    virtual std::optional<TFrame> DecodeAt(double fraction, bool withRgb) = 0;
};

} // namespace tarvex

extern "C" {
/// Makes a new, closed source; the caller owns it.
using TFrameSourceFactory = tarvex::IFrameSource* (*)();

/// The name the module exports its factory under; a new interface gets a new name.
inline constexpr const char* FrameSourceSymbol = "tarvex_framereader_v2";
}

// Frame access for the preview and the border detection: opens a film through
// libavformat, seeks to the keyframe at a position and decodes that one picture.
// The decoding lives in libtarvex_framereader.so, loaded when the first film is
// opened.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

/// Widths at the four edges of a picture in pixels, in the order the resize
/// model's borders use: left, top, right, bottom.
struct TBorders {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TBorders&) const = default;
};

/// Lines and columns cut from each edge of the decoded picture before anyone sees
/// it (a d2v project's crop), so that frames have the size the source fields show.
using TFrameCrop = TBorders;

/// One decoded picture: its 8-bit luma plane and, on request, its colours.
struct TFrame {
    int Width = 0;
    int Height = 0;
    /// Where it lies in the film, 0 at the start, 1 at the end: by its time stamp,
    /// or by its place in the file where the film has no usable time stamps.
    double Position = 0;
    /// Seconds from the film's start; 0 when the film's length is unknown.
    double Seconds = 0;
    /// Where its packet lies in the file; with `Position` it tells one frame from another.
    std::int64_t FilePos = -1;
    /// Row after row, `Width` bytes each.
    std::vector<std::uint8_t> Luma;
    /// Row after row, one 0xAARRGGBB value per pixel; empty unless asked for.
    std::vector<std::uint32_t> Rgb;
};

/// Why a film cannot be read; the window turns it into its message.
enum class TFrameError {
    None,
    CannotOpen,   ///< missing, unreadable or not a container libavformat knows
    NoVideo,      ///< no video stream
    NoDecoder,    ///< a video stream libavcodec cannot decode
    BadFrameSize, ///< a frame size outside what Tarvex handles, or a crop larger than the frame
    NoLibrary,    ///< the frame decoding module cannot be loaded (see `FrameLibraryFailure`)
};

/// Why the frame decoding module cannot be loaded; empty when it loads.
std::string FrameLibraryFailure();

class IFrameSource;

/// Reads pictures of one film. Not shared between threads: each thread that
/// decodes opens its own reader.
class TFrameReader {
  public:
    /// The largest frame side accepted from a file.
    static constexpr int MaxSide = 4096;
    /// The fewest lines and columns left after the crop.
    static constexpr int MinSide = 16;

    TFrameReader();
    ~TFrameReader();
    TFrameReader(const TFrameReader&) = delete;
    TFrameReader& operator=(const TFrameReader&) = delete;

    /// Opens `name` and its first video stream; `crop` applies to every frame.
    /// Closes any film opened before.
    TFrameError Open(const std::string& name, const TFrameCrop& crop = {});

    /// Once `*cancel` is set (it must outlive the reader), an open or a decode under
    /// way ends at once with nothing; set it before `Open`.
    void SetCancel(const std::atomic<bool>* cancel) { Cancel = cancel; }

    /// Frame size after the crop; 0 while nothing is open.
    int Width() const;
    int Height() const;
    /// Film length in seconds; 0 when the container does not say.
    double Duration() const;

    /// Decodes the keyframe at `fraction` (0 = start, 1 = end) of the film: the
    /// one at or before that time where the container has an index or reliable
    /// time stamps, else the first one after that share of the file's bytes.
    /// Only that keyframe is decoded. Nothing when no picture could be decoded there,
    /// also when none was found within a few seconds of reading or a few seconds' worth
    /// of the film's bytes after the seek (a file with a hole of zeros, say).
    std::optional<TFrame> DecodeAt(double fraction, bool withRgb);

  private:
    std::unique_ptr<IFrameSource> Source;
    const std::atomic<bool>* Cancel = nullptr;
};

} // namespace tarvex

// MPEG-1 and MPEG-2 video read by its start codes: the sequence header and its
// extension, the field order of the first picture, and the length of a program
// or elementary stream from a window at its head and one at its tail.
#pragma once

#include "source/SourceFacts.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tarvex::mpeg {

using TBytes = std::span<const unsigned char>;

/// What a sequence header and the sequence extension after it say.
struct TSequence {
    int Width = 0; ///< with the sequence extension's size bits: at most 16383
    int Height = 0;
    std::uint8_t AspectCode = 0; ///< aspect_ratio_information
    bool Mpeg2 = false;          ///< a sequence extension follows the header
    bool ProgressiveSequence = false;
    TRatio FrameRate;    ///< unknown for a reserved rate code
    TRatio SampleAspect; ///< pixel width / height; unknown for a reserved aspect code
};

/// The last byte of the start code 00 00 01 B3 that begins a sequence header.
constexpr unsigned char SequenceHeaderCode = 0xB3;

/// The position of the first start code 00 00 01 `code` in `d` at or after
/// `from`, or the size of `d` when there is none.
std::size_t FindStartCode(TBytes d, std::size_t from, unsigned char code);

/// Reads the sequence header at the start of `data` (the bytes 00 00 01 B3 and
/// on) and a sequence extension that follows it inside `data`. False when `data`
/// is too short for the header's first eight bytes.
bool ReadSequence(TBytes data, TSequence& seq);

/// The field order of the first picture in `data` (the bytes from the sequence
/// header on); unknown when no picture coding extension is found.
TFieldOrder FirstFieldOrder(TBytes data, const TSequence& seq);

/// Whether `head` starts like an MPEG program stream (a pack header).
bool IsProgramStream(TBytes head);
/// Whether `head` starts like an MPEG transport stream (sync bytes 188 apart).
bool IsTransportStream(TBytes head);

/// The lowest and highest presentation time of the video packets seen.
struct TPtsRange {
    std::optional<std::int64_t> Low;
    std::optional<std::int64_t> High;

    void Add(std::int64_t pts) {
        if (!Low || pts < *Low) Low = pts;
        if (!High || pts > *High) High = pts;
    }
};

/// The presentation time in the header of one packet (an MPEG-2 PES packet or an
/// MPEG-1 packet, from its start code on).
std::optional<std::int64_t> PacketPts(TBytes packet);

/// Adds the presentation times of the video packets of a program-stream window
/// to `range`. The window may start and end anywhere: the walk starts at the
/// first pack header and stops at the first packet that does not fit. A packet
/// states the time of the first picture that starts in it only; with a known
/// `rate`, the pictures of the window's last group shown after its last stated
/// time are added too.
void ScanProgramStream(TBytes window, TPtsRange& range, TRatio rate = {});

/// Frames shown from the lowest to the highest presentation time, both included.
std::optional<std::int64_t> FramesOfPtsRange(const TPtsRange& range, TRatio rate);

/// Frames of an elementary stream. With an empty `tail`, `head` is the whole
/// stream and its pictures are counted; otherwise the time codes of the first
/// group of pictures in `head` and of the last one in `tail`, plus the pictures
/// after the last, give the length.
std::optional<std::int64_t> FramesOfElementaryStream(TBytes head, TBytes tail, TRatio rate);

} // namespace tarvex::mpeg

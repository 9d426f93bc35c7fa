// The source reader's MPEG streams: the sequence header near the head of the
// file, and the length from the stream's head and tail.
#include "source/OpenSrc.h"

#include "source/BinaryFile.h"
#include "source/MediaProbe.h"
#include "source/MpegStream.h"
#include "source/SourceReading.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarvex {

namespace {

using namespace reading;

const char* const MsgSearchFailed = "Exception @ SeqHeader-search! File-End reached?";
const char* const MsgNoSeqHeader = "Can't find the sequence-header of: ";
const char* const MsgBadSeqHeader = "Can't parse the sequence-header of: ";

// Sequence-header search: 50 blocks of 256 bytes, 253 bytes apart.
constexpr int SeqBlocks = 50;
constexpr std::size_t SeqBlockSize = 256;
constexpr std::size_t SeqBlockStep = 253;
constexpr std::size_t SeqHeaderBytes = 8;
// The bytes read after the sequence header's start code for the header and its extension.
constexpr std::size_t SeqHeaderWindow = 256;
// The length of an MPEG stream is read from this much of its head and as much of
// its tail; a file up to twice as long is read whole.
constexpr std::size_t StreamWindow = 256 * 1024;

/// Frames of an MPEG program or elementary stream, from its head and tail.
std::optional<std::int64_t> StreamFrames(TBinaryFile& file, const std::vector<unsigned char>& head,
                                         TRatio rate) {
    std::vector<unsigned char> tail;
    if (file.FileSize() > head.size())
        tail = ReadWindow(file, file.FileSize() - StreamWindow, StreamWindow);
    if (mpeg::IsProgramStream(head)) {
        mpeg::TPtsRange range;
        mpeg::ScanProgramStream(head, range, rate);
        mpeg::ScanProgramStream(tail, range, rate);
        return mpeg::FramesOfPtsRange(range, rate);
    }
    if (mpeg::IsTransportStream(head)) return std::nullopt;
    return mpeg::FramesOfElementaryStream(head, tail, rate);
}
} // namespace

void TOpenSrcFile::ReadSequenceHeader(const std::string& name) {
    if (const auto failure = SequenceHeader(name, true)) Error(failure->Message);
}

TOpenSrcFile::TResult TOpenSrcFile::SequenceHeader(const std::string& name, bool wholeStream) {
    TBinaryFile file;
    if (!file.Open(name)) return TFailure{MsgCantOpen + name};

    std::optional<std::uint64_t> start;
    std::array<unsigned char, SeqBlockSize> block{};
    for (int k = 0; k < SeqBlocks && !start; ++k) {
        const std::uint64_t offset = std::uint64_t{SeqBlockStep} * k;
        const std::size_t got = file.ReadUpTo(offset, block.data(), block.size());
        const std::size_t i =
            mpeg::FindStartCode(std::span(block.data(), got), 0, mpeg::SequenceHeaderCode);
        if (i < got) start = offset + i;
        // A start code in a short last block still counts; past it the file has ended.
        if (!start && got < block.size()) return TFailure{MsgSearchFailed, true};
    }
    if (!start) return TFailure{MsgNoSeqHeader + name, true};

    const auto header = ReadWindow(file, *start, SeqHeaderWindow);
    mpeg::TSequence seq;
    if (header.size() < SeqHeaderBytes || !mpeg::ReadSequence(header, seq))
        return TFailure{MsgBadSeqHeader + name};
    // A transport stream carries the header too, but its length and field order
    // are the media probe's to read.
    const auto head =
        ReadWindow(file, 0, file.FileSize() > 2 * StreamWindow ? StreamWindow : 2 * StreamWindow);
    if (wholeStream && mpeg::IsTransportStream(head) && Probe(name, false)) return std::nullopt;

    Frame.Width = static_cast<std::int16_t>(seq.Width);
    Frame.Height = static_cast<std::int16_t>(seq.Height);
    Frame.SetAspectCode(seq.AspectCode);
    Facts.Codec = seq.Mpeg2 ? MpegCodec2 : MpegCodec1;
    Facts.SampleAspect = seq.SampleAspect;
    Facts.DisplayAspect = DisplayAspectOf(seq.Width, seq.Height, seq.SampleAspect);
    Facts.FieldOrder = mpeg::FirstFieldOrder(
        std::span(head).subspan(std::min<std::size_t>(*start, head.size())), seq);
    // A project's own lines give its rate and length.
    if (!wholeStream) return std::nullopt;

    Frame.FourCC = FourCCOfCodec(Facts.Codec);
    Facts.FrameRate = seq.FrameRate;
    // A reserved rate code gives no rate: then neither rate nor length is known.
    Frame.FrameRate = seq.FrameRate.Known() ? RateOf(seq.FrameRate) : 0.0;

    auto frames = StreamFrames(file, head, seq.FrameRate);
    if (!frames) {
        // A stream whose length the head and tail do not tell: the media probe
        // estimates it from the duration.
        TMediaInfo info;
        std::string reason;
        if (ProbeMedia(name, info, reason) && info.FrameCount >= 0) {
            frames = info.FrameCount;
            Facts.FrameCountEstimated = true;
        }
    }
    Frame.FrameCount = Store<std::int32_t>(frames.value_or(0));
    return std::nullopt;
}

} // namespace tarvex

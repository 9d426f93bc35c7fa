#include "source/MpegStream.h"

#include "common/Numeric.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tarvex::mpeg {

namespace {

constexpr unsigned char ExtensionCode = 0xB5;
constexpr unsigned char GroupCode = 0xB8;
constexpr unsigned char PictureCode = 0x00;
constexpr unsigned char PackCode = 0xBA;
constexpr unsigned char ProgramEndCode = 0xB9;
constexpr unsigned char SequenceExtensionId = 1;
constexpr unsigned char PictureCodingExtensionId = 8;

constexpr std::size_t TransportPacket = 188;
constexpr std::int64_t PtsClock = 90000;
constexpr std::int64_t PtsWrap = std::int64_t{1} << 33;

bool StartCodeAt(TBytes d, std::size_t i) {
    return i + 3 < d.size() && d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1;
}

/// MPEG-1 pel shapes (height / width) in ten-thousandths, by aspect code.
constexpr int Mpeg1PelShape[15] = {0,    10000, 6735,  7031,  7615,  8055,  8437, 8935,
                                   9157, 9815,  10255, 10695, 10950, 11575, 12015};

TRatio SampleAspectOf(const TSequence& s) {
    const int code = s.AspectCode;
    if (code == 1) return {1, 1};
    if (!s.Mpeg2)
        return code < 15 && code > 0 ? TRatio{10000, Mpeg1PelShape[code]}.Reduced() : TRatio{};
    // MPEG-2 codes give the picture's shape; the pixel's follows from the frame size.
    const TRatio picture = code == 2   ? TRatio{4, 3}
                           : code == 3 ? TRatio{16, 9}
                           : code == 4 ? TRatio{221, 100}
                                       : TRatio{};
    if (!picture.Known() || s.Width <= 0 || s.Height <= 0) return {};
    return TRatio{picture.Num * s.Height, picture.Den * s.Width}.Reduced();
}

/// A 33-bit presentation time stored in five bytes with marker bits.
std::optional<std::int64_t> Timestamp(TBytes b) {
    if (b.size() < 5 || !(b[0] & 1) || !(b[2] & 1) || !(b[4] & 1)) return std::nullopt;
    return std::int64_t{b[0] >> 1 & 7} << 30 | std::int64_t{b[1]} << 22 |
           std::int64_t{b[2] >> 1} << 15 | std::int64_t{b[3]} << 7 | std::int64_t{b[4] >> 1};
}

/// The length of the pack or packet at `p`; 0 when it is none or does not fit.
std::size_t ItemLength(TBytes d, std::size_t p) {
    const unsigned char id = d[p + 3];
    if (id == PackCode) {
        if (p + 14 > d.size()) return 0;
        if ((d[p + 4] & 0xC0) == 0x40) return 14 + (d[p + 13] & 7); // MPEG-2 pack
        if ((d[p + 4] & 0xF0) == 0x20) return 12;                   // MPEG-1 pack
        return 0;
    }
    if (id == ProgramEndCode) return 4;
    if (id < 0xBB || p + 6 > d.size()) return 0;
    return 6 + (std::size_t{d[p + 4]} << 8 | d[p + 5]);
}

/// The frame number a group-of-pictures time code stands for, at about `rate`.
std::optional<std::int64_t> GroupFrameIndex(TBytes d, std::size_t at, TRatio rate) {
    if (at + 8 > d.size() || !rate.Known()) return std::nullopt;
    const bool drop = d[at + 4] >> 7;
    const int hours = d[at + 4] >> 2 & 0x1F;
    const int minutes = (d[at + 4] & 3) << 4 | d[at + 5] >> 4;
    const int seconds = (d[at + 5] & 7) << 3 | d[at + 6] >> 5;
    const int pictures = (d[at + 6] & 0x1F) << 1 | d[at + 7] >> 7;
    const std::int64_t nominal = Round(static_cast<Real>(rate.Num) / rate.Den);
    if (nominal <= 0 || minutes > 59 || seconds > 59 || pictures >= nominal) return std::nullopt;
    const std::int64_t totalMinutes = std::int64_t{hours} * 60 + minutes;
    std::int64_t index = (totalMinutes * 60 + seconds) * nominal + pictures;
    // Drop-frame time codes skip two (four at 60) numbers each minute but every tenth.
    if (drop && nominal % 30 == 0) index -= nominal / 15 * (totalMinutes - totalMinutes / 10);
    return index;
}

std::int64_t CountPictures(TBytes d) {
    std::int64_t count = 0;
    for (std::size_t i = FindStartCode(d, 0, PictureCode); i < d.size();
         i = FindStartCode(d, i + 4, PictureCode))
        ++count;
    return count;
}

/// Where a packet's elementary stream bytes start; none in a packet whose header
/// does not fit.
std::optional<std::size_t> PayloadStart(TBytes p) {
    if (p.size() < 9) return std::nullopt;
    std::size_t i;
    if ((p[6] & 0xC0) == 0x80) { // MPEG-2: the header's length says
        i = 9 + std::size_t{p[8]};
    } else { // MPEG-1: stuffing, a buffer size, then no, one or two times
        i = 6;
        while (i < p.size() && i < 6 + 16 && p[i] == 0xFF) ++i;
        if (i < p.size() && (p[i] & 0xC0) == 0x40) i += 2;
        if (i >= p.size()) return std::nullopt;
        if ((p[i] & 0xF0) == 0x20)
            i += 5;
        else if ((p[i] & 0xF0) == 0x30)
            i += 10;
        else if (p[i] == 0x0F)
            i += 1;
        else
            return std::nullopt;
    }
    if (i > p.size()) return std::nullopt;
    return i;
}

/// A presentation time and where its packet's payload starts in the joined payloads.
struct TStamp {
    std::size_t At;
    std::int64_t Pts;
};

/// The time of the last picture shown of the last group of pictures in `video`:
/// the time of its last picture with a stated time, plus the pictures its group
/// shows after that one (temporal references number them in display order).
std::optional<std::int64_t> LastGroupEnd(TBytes video, const std::vector<TStamp>& stamps,
                                         TRatio rate) {
    if (!rate.Known()) return std::nullopt;
    std::size_t group = video.size();
    for (std::size_t i = FindStartCode(video, 0, GroupCode); i < video.size();
         i = FindStartCode(video, i + 4, GroupCode))
        group = i;
    if (group == video.size()) return std::nullopt;
    // A time belongs to the first picture that starts at or after its payload.
    std::size_t stamp = 0;
    int lastReference = -1;
    std::optional<TStamp> stated; // At holds the temporal reference
    for (std::size_t i = FindStartCode(video, 0, PictureCode); i + 5 < video.size();
         i = FindStartCode(video, i + 4, PictureCode)) {
        std::optional<std::int64_t> pts;
        for (; stamp < stamps.size() && stamps[stamp].At <= i; ++stamp) pts = stamps[stamp].Pts;
        if (i < group) continue;
        const int reference = video[i + 4] << 2 | video[i + 5] >> 6;
        lastReference = std::max(lastReference, reference);
        if (pts) stated = TStamp{static_cast<std::size_t>(reference), *pts};
    }
    if (!stated || lastReference <= static_cast<int>(stated->At)) return std::nullopt;
    const Real ticks = static_cast<Real>(PtsClock) * rate.Den / rate.Num;
    return stated->Pts + Round(ticks * (lastReference - static_cast<int>(stated->At)));
}

} // namespace

std::size_t FindStartCode(TBytes d, std::size_t from, unsigned char code) {
    for (std::size_t i = from; i + 3 < d.size(); ++i)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1 && d[i + 3] == code) return i;
    return d.size();
}

std::optional<std::int64_t> PacketPts(TBytes p) {
    if (p.size() < 9) return std::nullopt;
    if ((p[6] & 0xC0) == 0x80) { // MPEG-2: flags, header length, then the time
        if (!(p[7] & 0x80)) return std::nullopt;
        return Timestamp(p.subspan(9));
    }
    std::size_t i = 6; // MPEG-1: up to 16 stuffing bytes, a buffer size, then the time
    while (i < p.size() && i < 6 + 16 && p[i] == 0xFF) ++i;
    if (i < p.size() && (p[i] & 0xC0) == 0x40) i += 2;
    if (i < p.size() && (p[i] & 0xE0) == 0x20) return Timestamp(p.subspan(i));
    return std::nullopt;
}

bool ReadSequence(TBytes d, TSequence& s) {
    if (d.size() < 8) return false;
    s = {};
    s.Width = d[4] * 16 + (d[5] >> 4);
    s.Height = (d[5] & 0x0F) * 256 + d[6];
    s.AspectCode = static_cast<std::uint8_t>(d[7] >> 4);
    // The frame rate codes 1 to 8; the others are reserved and give no rate.
    static constexpr TRatio rates[] = {{},      {24000, 1001}, {24, 1},
                                       {25, 1}, {30000, 1001}, {30, 1},
                                       {50, 1}, {60000, 1001}, {60, 1}};
    const int rateCode = d[7] & 0x0F;
    s.FrameRate = rateCode < 9 ? rates[rateCode] : TRatio{};

    // The header is 12 bytes, and 64 more for each quantiser matrix it loads.
    if (d.size() >= 12) {
        const bool intra = d[11] & 2;
        std::size_t end = intra ? 12 + 64 : 12;
        const bool nonIntra = end <= d.size() && (d[end - 1] & 1);
        if (nonIntra) end += 64;
        // The extension's start code follows at once, after zero stuffing at most.
        std::size_t i = end;
        while (i < d.size() && d[i] == 0) ++i;
        const std::size_t ext = i - 2;
        if (i >= end + 2 && StartCodeAt(d, ext) && d[ext + 3] == ExtensionCode &&
            ext + 10 <= d.size() && d[ext + 4] >> 4 == SequenceExtensionId) {
            s.Mpeg2 = true;
            s.ProgressiveSequence = d[ext + 5] >> 3 & 1;
            // The size extensions are the two bits above the header's twelve.
            const int widthExtension = (d[ext + 5] & 1) << 1 | d[ext + 6] >> 7;
            const int heightExtension = d[ext + 6] >> 5 & 3;
            s.Width |= widthExtension << 12;
            s.Height |= heightExtension << 12;
            const int n = d[ext + 9] >> 5 & 3;
            const int m = d[ext + 9] & 0x1F;
            if (s.FrameRate.Known())
                s.FrameRate =
                    TRatio{s.FrameRate.Num * (n + 1), s.FrameRate.Den * (m + 1)}.Reduced();
        }
    }
    s.SampleAspect = SampleAspectOf(s);
    return true;
}

TFieldOrder FirstFieldOrder(TBytes d, const TSequence& seq) {
    if (!seq.Mpeg2 || seq.ProgressiveSequence) return TFieldOrder::Progressive;
    for (std::size_t i = FindStartCode(d, 0, ExtensionCode); i < d.size();
         i = FindStartCode(d, i + 4, ExtensionCode)) {
        if (i + 9 > d.size()) break;
        if (d[i + 4] >> 4 != PictureCodingExtensionId) continue;
        const int structure = d[i + 6] & 3;
        const bool topFirst = d[i + 7] >> 7;
        const bool progressiveFrame = d[i + 8] >> 7;
        if (structure == 1) return TFieldOrder::TopFirst; // a field picture: its own field first
        if (structure == 2) return TFieldOrder::BottomFirst;
        if (structure != 3) return TFieldOrder::Unknown;
        if (progressiveFrame) return TFieldOrder::Progressive;
        return topFirst ? TFieldOrder::TopFirst : TFieldOrder::BottomFirst;
    }
    return TFieldOrder::Unknown;
}

bool IsProgramStream(TBytes head) {
    return StartCodeAt(head, 0) && head[3] == PackCode;
}

bool IsTransportStream(TBytes head) {
    return head.size() > 2 * TransportPacket && head[0] == 0x47 && head[TransportPacket] == 0x47 &&
           head[2 * TransportPacket] == 0x47;
}

void ScanProgramStream(TBytes d, TPtsRange& range, TRatio rate) {
    std::vector<unsigned char> video; // the packets' payloads, joined
    std::vector<TStamp> stamps;
    std::size_t p = FindStartCode(d, 0, PackCode);
    while (p < d.size()) {
        const std::size_t length = StartCodeAt(d, p) ? ItemLength(d, p) : 0;
        if (length == 0) {
            p = FindStartCode(d, p + 1, PackCode); // lost: find the next pack
            continue;
        }
        if (p + length > d.size()) break;
        if (d[p + 3] >= 0xE0 && d[p + 3] <= 0xEF) {
            const TBytes packet = d.subspan(p, length);
            const auto pts = PacketPts(packet);
            if (pts) range.Add(*pts);
            if (const auto start = PayloadStart(packet)) {
                if (pts) stamps.push_back({video.size(), *pts});
                video.insert(video.end(), packet.begin() + static_cast<std::ptrdiff_t>(*start),
                             packet.end());
            }
        }
        p += length;
    }
    if (const auto end = LastGroupEnd(video, stamps, rate)) range.Add(*end);
}

std::optional<std::int64_t> FramesOfPtsRange(const TPtsRange& range, TRatio rate) {
    if (!range.Low || !range.High || !rate.Known()) return std::nullopt;
    std::int64_t span = *range.High - *range.Low;
    if (span < 0) span += PtsWrap;
    const Real frames =
        static_cast<Real>(span) * rate.Num / (static_cast<Real>(PtsClock) * rate.Den);
    const std::int64_t count = Round(frames) + 1;
    if (count > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return count;
}

std::optional<std::int64_t> FramesOfElementaryStream(TBytes head, TBytes tail, TRatio rate) {
    if (tail.empty()) return CountPictures(head);
    const std::size_t first = FindStartCode(head, 0, GroupCode);
    std::size_t last = tail.size();
    for (std::size_t i = FindStartCode(tail, 0, GroupCode); i < tail.size();
         i = FindStartCode(tail, i + 4, GroupCode))
        last = i;
    const auto from = GroupFrameIndex(head, first, rate);
    const auto to = GroupFrameIndex(tail, last, rate);
    if (!from || !to || *to < *from) return std::nullopt;
    const std::int64_t count = *to - *from + CountPictures(tail.subspan(last));
    if (count > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return count;
}

} // namespace tarvex::mpeg

#include "source/QuickProbe.h"

#include "common/Numeric.h"
#include "source/BinaryFile.h"
#include "source/MpegStream.h"
#include "source/ParameterSets.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex {

namespace {

using TBytes = std::span<const unsigned char>;

// How much of a file the hand readers look at: a header section is read whole
// up to this size, a transport stream from this much of its head and its tail.
constexpr std::size_t MaxSection = 1 << 20;
constexpr std::size_t MaxMovieBox = 32 << 20;
constexpr std::size_t TsHead = 2 << 20;
constexpr std::size_t TsTail = 1 << 20;
// More boxes or elements at one level than any real file has.
constexpr int MaxItems = 4096;

std::uint64_t BigEndian(TBytes d, std::size_t at, std::size_t count) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < count; ++i) v = v << 8 | d[at + i];
    return v;
}

/// The picture a codec's own headers describe.
struct TCodecView {
    std::string Name; ///< libavcodec's name
    int Width = 0;
    int Height = 0;
    TRatio SampleAspect;
    TRatio FrameRate;
    TFieldOrder FieldOrder = TFieldOrder::Unknown;
};

/// An H.264 or HEVC stream of progressive frames only; anything that may hold
/// fields needs the full probe to tell its field order. An H.264 set that rules
/// fields out makes the stream progressive; an HEVC set says nothing of the
/// order, which only its container may state.
std::optional<TCodecView> SpsView(const char* codec, TBytes spsNal, bool (*parse)(TByteSpan, TSps&),
                                  TFieldOrder order) {
    TSps sps;
    if (spsNal.empty() || !parse(spsNal, sps) || !sps.FramesOnly) return std::nullopt;
    return TCodecView{codec, sps.Width, sps.Height, sps.SampleAspect, sps.FrameRate, order};
}

std::optional<TCodecView> H264View(TBytes spsNal) {
    return SpsView("h264", spsNal, h264::ParseSps, TFieldOrder::Progressive);
}

std::optional<TCodecView> HevcView(TBytes spsNal) {
    return SpsView("hevc", spsNal, hevc::ParseSps, TFieldOrder::Unknown);
}

/// MPEG-1 or MPEG-2 video from the bytes starting at its sequence header.
std::optional<TCodecView> MpegView(TBytes stream) {
    mpeg::TSequence seq;
    if (!mpeg::ReadSequence(stream, seq)) return std::nullopt;
    const TFieldOrder order = mpeg::FirstFieldOrder(stream, seq);
    if (order == TFieldOrder::Unknown) return std::nullopt;
    return TCodecView{seq.Mpeg2 ? "mpeg2video" : "mpeg1video",
                      seq.Width,
                      seq.Height,
                      seq.SampleAspect,
                      seq.FrameRate,
                      order};
}

/// The best fraction with both terms up to `max` (continued fractions, taking
/// the better of the last convergent and the last semiconvergent). The terms
/// are worked in 128 bits, so no input overflows them.
TRatio Approximate(std::int64_t num, std::int64_t den, std::int64_t max) {
    using Wide = __int128;
    if (num <= 0 || den <= 0 || max <= 0) return {};
    Wide n = num, d = den, a0n = 0, a0d = 1, a1n = 1, a1d = 0;
    while (d) {
        Wide x = n / d;
        const Wide next = n - d * x;
        if (x * a1n + a0n > max || x * a1d + a0d > max) {
            if (a1n) x = (max - a0n) / a1n;
            if (a1d) x = std::min(x, (max - a0d) / a1d);
            if (d * (2 * x * a1d + a0d) > n * a1d) {
                a1n = x * a1n + a0n;
                a1d = x * a1d + a0d;
            }
            break;
        }
        const Wide a2n = x * a1n + a0n, a2d = x * a1d + a0d;
        a0n = a1n;
        a0d = a1d;
        a1n = a2n;
        a1d = a2d;
        n = d;
        d = next;
    }
    return TRatio{static_cast<std::int64_t>(a1n), static_cast<std::int64_t>(a1d)}.Reduced();
}

/// Puts the container's and the codec's facts together.
bool Finish(const TCodecView& v, TRatio sampleAspect, TRatio rate, std::int64_t frames,
            bool estimated, const std::string& fourCC, TMediaInfo& info) {
    if (v.Width <= 0 || v.Height <= 0 || !rate.Known() || frames < 0 ||
        frames > std::numeric_limits<std::int32_t>::max())
        return false;
    info = {};
    info.Width = v.Width;
    info.Height = v.Height;
    info.FourCC = fourCC;
    info.FrameCount = frames;
    info.Facts.FrameRate = rate;
    info.Facts.SampleAspect = sampleAspect.Known() ? sampleAspect : v.SampleAspect;
    info.Facts.DisplayAspect = DisplayAspectOf(v.Width, v.Height, info.Facts.SampleAspect);
    info.Facts.FieldOrder = v.FieldOrder;
    info.Facts.Codec = v.Name;
    info.Facts.FrameCountEstimated = estimated;
    return true;
}

std::string CodeOf(const std::string& codec) {
    if (codec == "mpeg2video") return "MPG2";
    if (codec == "mpeg1video") return "MPG1";
    return codec == "hevc" ? "HEVC" : "H264";
}

// ---- Matroska and WebM ---------------------------------------------------------------

struct TElement {
    std::uint32_t Id = 0;
    std::uint64_t Size = 0;
    std::size_t HeaderLength = 0;
    bool UnknownSize = false;
};

/// The EBML element header at `at` of `d`.
std::optional<TElement> ElementAt(TBytes d, std::size_t at) {
    auto vint = [&](std::size_t pos, int maxLength, bool keepMarker, std::uint64_t& value,
                    int& length) {
        if (pos >= d.size() || d[pos] == 0) return false;
        length = 1;
        while (!(d[pos] & (0x80 >> (length - 1)))) ++length;
        if (length > maxLength || pos + length > d.size()) return false;
        value = keepMarker ? d[pos] : d[pos] & (0xFF >> length);
        for (int i = 1; i < length; ++i) value = value << 8 | d[pos + i];
        return true;
    };
    TElement e;
    std::uint64_t id = 0, size = 0;
    int idLength = 0, sizeLength = 0;
    if (!vint(at, 4, true, id, idLength) || !vint(at + idLength, 8, false, size, sizeLength))
        return std::nullopt;
    e.Id = static_cast<std::uint32_t>(id);
    e.Size = size;
    e.HeaderLength = static_cast<std::size_t>(idLength + sizeLength);
    e.UnknownSize = size == (std::uint64_t{1} << (7 * sizeLength)) - 1;
    return e;
}

/// Calls `each(element, body)` for the children inside `d`; stops at a child
/// that does not fit.
template <class F>
void ForEachChild(TBytes d, F each) {
    std::size_t at = 0;
    for (int n = 0; n < MaxItems && at < d.size(); ++n) {
        const auto e = ElementAt(d, at);
        if (!e || e->UnknownSize || e->Size > d.size() - at - e->HeaderLength) return;
        each(*e, d.subspan(at + e->HeaderLength, static_cast<std::size_t>(e->Size)));
        at += e->HeaderLength + static_cast<std::size_t>(e->Size);
    }
}

double EbmlFloat(TBytes b) {
    if (b.size() == 4) {
        const auto bits = static_cast<std::uint32_t>(BigEndian(b, 0, 4));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    if (b.size() == 8) {
        const std::uint64_t bits = BigEndian(b, 0, 8);
        double f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    return 0;
}

std::uint64_t EbmlUint(TBytes b) {
    return b.size() <= 8 ? BigEndian(b, 0, b.size()) : 0;
}

namespace mkv {
constexpr std::uint32_t Ebml = 0x1A45DFA3, Segment = 0x18538067, Info = 0x1549A966,
                        Tracks = 0x1654AE6B, Cluster = 0x1F43B675, TimestampScale = 0x2AD7B1,
                        Duration = 0x4489, TrackEntry = 0xAE, TrackType = 0x83, CodecId = 0x86,
                        CodecPrivate = 0x63A2, DefaultDuration = 0x23E383, Video = 0xE0,
                        PixelWidth = 0xB0, PixelHeight = 0xBA, DisplayWidth = 0x54B0,
                        DisplayHeight = 0x54BA, DisplayUnit = 0x54B2, FlagInterlaced = 0x9A,
                        FieldOrder = 0x9D;
constexpr std::uint64_t VideoTrack = 1;
} // namespace mkv

struct TMkvTrack {
    bool Found = false;
    std::string Codec;
    std::vector<unsigned char> Private;
    std::uint64_t DefaultDuration = 0;
    std::uint64_t PixelWidth = 0, PixelHeight = 0, DisplayWidth = 0, DisplayHeight = 0;
    std::uint64_t DisplayUnit = 0, Interlaced = 0, FieldOrder = 2;
};

/// The number elements of a track and of its video settings, and where they go.
const std::pair<std::uint32_t, std::uint64_t TMkvTrack::*> NumberElements[] = {
    {mkv::DefaultDuration, &TMkvTrack::DefaultDuration},
    {mkv::PixelWidth, &TMkvTrack::PixelWidth},
    {mkv::PixelHeight, &TMkvTrack::PixelHeight},
    {mkv::DisplayWidth, &TMkvTrack::DisplayWidth},
    {mkv::DisplayHeight, &TMkvTrack::DisplayHeight},
    {mkv::DisplayUnit, &TMkvTrack::DisplayUnit},
    {mkv::FlagInterlaced, &TMkvTrack::Interlaced},
    {mkv::FieldOrder, &TMkvTrack::FieldOrder}};

void ReadTrack(TBytes entry, TMkvTrack& t) {
    TMkvTrack candidate;
    std::uint64_t type = 0;
    auto take = [&](const TElement& e, TBytes b) {
        for (const auto& [id, member] : NumberElements)
            if (e.Id == id) candidate.*member = EbmlUint(b);
    };
    ForEachChild(entry, [&](const TElement& e, TBytes b) {
        if (e.Id == mkv::TrackType) type = EbmlUint(b);
        if (e.Id == mkv::CodecId) candidate.Codec.assign(b.begin(), b.end());
        if (e.Id == mkv::CodecPrivate) candidate.Private.assign(b.begin(), b.end());
        if (e.Id == mkv::Video) ForEachChild(b, take);
        take(e, b);
    });
    if (type == mkv::VideoTrack && !t.Found) {
        t = std::move(candidate);
        t.Found = true;
    }
}

/// The field order a Matroska track states; unknown when it states none.
TFieldOrder MkvFieldOrder(const TMkvTrack& t) {
    if (t.Interlaced == 2) return TFieldOrder::Progressive;
    if (t.Interlaced != 1) return TFieldOrder::Unknown;
    switch (t.FieldOrder) {
    case 0:
        return TFieldOrder::Progressive;
    case 1: // top first
    case 9: // bottom coded first, top shown first
        return TFieldOrder::TopFirst;
    case 6:
    case 14:
        return TFieldOrder::BottomFirst;
    default:
        return TFieldOrder::Unknown;
    }
}

bool QuickMatroska(TBinaryFile& file, TMediaInfo& info) {
    std::array<unsigned char, 16> head{};
    const std::size_t got = file.ReadUpTo(0, head.data(), head.size());
    const auto ebml = ElementAt(TBytes(head.data(), got), 0);
    if (!ebml || ebml->Id != mkv::Ebml || ebml->UnknownSize) return false;

    // The segment's children up to the first cluster: the info and the tracks.
    std::uint64_t at = ebml->HeaderLength + ebml->Size;
    std::uint64_t scale = 1'000'000;
    double duration = -1;
    TMkvTrack track;
    bool inSegment = false;
    for (int n = 0; n < MaxItems && at < file.FileSize(); ++n) {
        const std::size_t read = file.ReadUpTo(at, head.data(), head.size());
        const auto e = ElementAt(TBytes(head.data(), read), 0);
        if (!e) return false;
        if (e->Id == mkv::Segment && !inSegment) {
            inSegment = true;
            at += e->HeaderLength;
            continue;
        }
        if (!inSegment || e->Id == mkv::Cluster || e->UnknownSize) break;
        if (e->Id == mkv::Info || e->Id == mkv::Tracks) {
            if (e->Size > MaxSection) return false;
            const auto body =
                ReadWindow(file, at + e->HeaderLength, static_cast<std::size_t>(e->Size));
            if (e->Id == mkv::Tracks) {
                ForEachChild(body, [&](const TElement& c, TBytes b) {
                    if (c.Id == mkv::TrackEntry) ReadTrack(b, track);
                });
            } else {
                ForEachChild(body, [&](const TElement& c, TBytes b) {
                    if (c.Id == mkv::TimestampScale) scale = EbmlUint(b);
                    if (c.Id == mkv::Duration) duration = EbmlFloat(b);
                });
            }
        }
        at += e->HeaderLength + e->Size;
    }
    if (!track.Found || !(duration >= 0) || scale == 0) return false;

    std::optional<TCodecView> view;
    if (track.Codec == "V_MPEG4/ISO/AVC") view = H264View(h264::SpsOfConfig(track.Private));
    if (track.Codec == "V_MPEGH/ISO/HEVC") view = HevcView(hevc::SpsOfConfig(track.Private));
    if (track.Codec == "V_MPEG2" || track.Codec == "V_MPEG1") view = MpegView(track.Private);
    if (!view) return false;
    const TFieldOrder stated = MkvFieldOrder(track);
    if (stated != TFieldOrder::Unknown) view->FieldOrder = stated;

    TRatio rate = view->FrameRate;
    if (track.DefaultDuration > 0)
        rate = UsualFrameRate(Approximate(
            1'000'000'000,
            static_cast<std::int64_t>(std::min<std::uint64_t>(track.DefaultDuration, INT64_MAX)),
            30000));
    TRatio sample;
    if (track.DisplayWidth > 0 && track.DisplayHeight > 0 && track.DisplayUnit <= 3 &&
        track.DisplayWidth < (1u << 20) && track.DisplayHeight < (1u << 20))
        sample = Approximate(
            std::int64_t{view->Height} * static_cast<std::int64_t>(track.DisplayWidth),
            std::int64_t{view->Width} * static_cast<std::int64_t>(track.DisplayHeight), 255);
    if (!rate.Known()) return false;
    const Real seconds = static_cast<Real>(duration) * scale / 1'000'000'000;
    const std::int64_t frames = Round(Checked(seconds * rate.Num / rate.Den));
    return Finish(*view, sample, rate, frames, true, CodeOf(view->Name), info);
}

// ---- MP4 and QuickTime ---------------------------------------------------------------

struct TBox {
    std::uint32_t Type = 0;
    std::uint64_t Size = 0; ///< the whole box
    std::size_t HeaderLength = 0;
};

constexpr std::uint32_t FourCC(std::string_view s) {
    std::uint32_t code = 0;
    for (std::size_t i = 0; i < 4; ++i)
        code = code << 8 | static_cast<unsigned char>(i < s.size() ? s[i] : ' ');
    return code;
}

/// The box header at `at` of `d`; `rest` is the size of what follows from `at`.
std::optional<TBox> BoxAt(TBytes d, std::size_t at, std::uint64_t rest) {
    if (at + 8 > d.size()) return std::nullopt;
    TBox b;
    b.Size = BigEndian(d, at, 4);
    b.Type = static_cast<std::uint32_t>(BigEndian(d, at + 4, 4));
    b.HeaderLength = 8;
    if (b.Size == 1) {
        if (at + 16 > d.size()) return std::nullopt;
        b.Size = BigEndian(d, at + 8, 8);
        b.HeaderLength = 16;
    } else if (b.Size == 0) {
        b.Size = rest;
    }
    if (b.Size < b.HeaderLength || b.Size > rest) return std::nullopt;
    return b;
}

/// The body of the first child of type `type` inside `d` (from `from` on).
TBytes Child(TBytes d, std::uint32_t type, std::size_t from = 0) {
    std::size_t at = from;
    for (int n = 0; n < MaxItems && at < d.size(); ++n) {
        const auto b = BoxAt(d, at, d.size() - at);
        if (!b) break;
        if (b->Type == type)
            return d.subspan(at + b->HeaderLength,
                             static_cast<std::size_t>(b->Size) - b->HeaderLength);
        at += static_cast<std::size_t>(b->Size);
    }
    return {};
}

TBytes Path(TBytes d, std::initializer_list<std::string_view> types) {
    for (const auto t : types) d = Child(d, FourCC(t));
    return d;
}

/// The field order a "fiel" box states: one field, or two in the order given.
TFieldOrder Mp4FieldOrder(TBytes fiel) {
    if (fiel.size() < 2) return TFieldOrder::Unknown;
    if (fiel[0] == 1) return TFieldOrder::Progressive;
    if (fiel[0] != 2) return TFieldOrder::Unknown;
    switch (fiel[1]) {
    case 0x01: // top first
    case 0x0E: // bottom stored first, top shown first
        return TFieldOrder::TopFirst;
    case 0x06:
    case 0x09:
        return TFieldOrder::BottomFirst;
    default:
        return TFieldOrder::Unknown;
    }
}

/// The movie box, read whole; empty when the file has none or it is too large.
std::vector<unsigned char> MovieBox(TBinaryFile& file) {
    std::uint64_t at = 0;
    std::array<unsigned char, 16> head{};
    for (int n = 0; n < MaxItems && at < file.FileSize(); ++n) {
        const std::size_t got = file.ReadUpTo(at, head.data(), head.size());
        const auto b = BoxAt(TBytes(head.data(), got), 0, file.FileSize() - at);
        if (!b) break;
        if (n == 0 && b->Type != FourCC("ftyp") && b->Type != FourCC("moov") &&
            b->Type != FourCC("wide") && b->Type != FourCC("free") && b->Type != FourCC("mdat"))
            break;
        if (b->Type == FourCC("moov")) {
            if (b->Size > MaxMovieBox) break;
            return ReadWindow(file, at + b->HeaderLength,
                              static_cast<std::size_t>(b->Size) - b->HeaderLength);
        }
        at += b->Size;
    }
    return {};
}

bool QuickMp4(TBinaryFile& file, TMediaInfo& info) {
    const std::vector<unsigned char> moov = MovieBox(file);
    if (moov.empty()) return false;
    const TBytes movie(moov);
    // The first track whose handler is video.
    TBytes media;
    std::size_t at = 0;
    for (int n = 0; n < MaxItems && at < movie.size(); ++n) {
        const auto b = BoxAt(movie, at, movie.size() - at);
        if (!b) break;
        const TBytes body = movie.subspan(at + b->HeaderLength,
                                          static_cast<std::size_t>(b->Size) - b->HeaderLength);
        at += static_cast<std::size_t>(b->Size);
        if (b->Type != FourCC("trak")) continue;
        const TBytes mdia = Child(body, FourCC("mdia"));
        const TBytes hdlr = Child(mdia, FourCC("hdlr"));
        if (hdlr.size() >= 12 && BigEndian(hdlr, 8, 4) == FourCC("vide")) {
            media = mdia;
            break;
        }
    }
    const TBytes mdhd = Child(media, FourCC("mdhd"));
    const TBytes stbl = Path(media, {"minf", "stbl"});
    const TBytes stsd = Child(stbl, FourCC("stsd"));
    const TBytes stts = Child(stbl, FourCC("stts"));
    const TBytes stsz = Child(stbl, FourCC("stsz"));
    if (mdhd.size() < 24 || (mdhd[0] == 1 && mdhd.size() < 36) || stsd.size() < 8 + 86 ||
        stts.size() < 16 || stsz.size() < 12)
        return false;

    const std::uint64_t timescale = BigEndian(mdhd, mdhd[0] == 1 ? 20 : 12, 4);
    // One sample entry of video: its code, then the sample description and its boxes.
    const TBytes entry = stsd.subspan(8);
    const std::uint64_t entrySize = BigEndian(entry, 0, 4);
    const std::uint32_t format = static_cast<std::uint32_t>(BigEndian(entry, 4, 4));
    if (entrySize < 86 || entrySize > entry.size()) return false;
    const TBytes boxes = entry.subspan(86, static_cast<std::size_t>(entrySize) - 86);
    std::optional<TCodecView> view;
    if (format == FourCC("avc1") || format == FourCC("avc3"))
        view = H264View(h264::SpsOfConfig(Child(boxes, FourCC("avcC"))));
    if (format == FourCC("hvc1") || format == FourCC("hev1"))
        view = HevcView(hevc::SpsOfConfig(Child(boxes, FourCC("hvcC"))));
    if (!view) return false;
    const TFieldOrder stated = Mp4FieldOrder(Child(boxes, FourCC("fiel")));
    if (stated != TFieldOrder::Unknown) view->FieldOrder = stated;

    // A constant sample duration (the last sample may differ) gives the rate.
    const std::uint64_t entries = BigEndian(stts, 4, 4);
    const std::uint64_t delta = BigEndian(stts, 12, 4);
    const bool constant =
        entries == 1 || (entries == 2 && stts.size() >= 24 && BigEndian(stts, 16, 4) == 1);
    if (!constant || delta == 0 || timescale == 0) return false;
    const TRatio rate =
        Approximate(static_cast<std::int64_t>(timescale), static_cast<std::int64_t>(delta),
                    std::numeric_limits<std::int32_t>::max());
    TRatio sample;
    const TBytes pasp = Child(boxes, FourCC("pasp"));
    if (pasp.size() >= 8)
        sample = Approximate(static_cast<std::int64_t>(BigEndian(pasp, 0, 4)),
                             static_cast<std::int64_t>(BigEndian(pasp, 4, 4)),
                             std::numeric_limits<std::int32_t>::max());
    const std::uint64_t frames = BigEndian(stsz, 8, 4);
    if (frames == 0) return false; // a fragmented file keeps its samples elsewhere
    std::string code;
    for (int i = 3; i >= 0; --i) {
        const char c = static_cast<char>(format >> (8 * i) & 0xFF);
        code += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return Finish(*view, sample, rate, static_cast<std::int64_t>(frames), false, code, info);
}

// ---- MPEG transport streams ----------------------------------------------------------

constexpr std::size_t TsPacket = 188;
constexpr unsigned char TsSync = 0x47;
constexpr int StreamMpeg1 = 0x01, StreamMpeg2 = 0x02, StreamH264 = 0x1B, StreamHevc = 0x24;

/// The packet size (188, or 192 with a time stamp before each packet) and the
/// offset of the first sync byte; 0 when `d` is no transport stream.
std::size_t PacketSize(TBytes d, std::size_t& first) {
    for (std::size_t size : {TsPacket, TsPacket + 4}) {
        first = size - TsPacket;
        if (d.size() > first + 2 * size && d[first] == TsSync && d[first + size] == TsSync &&
            d[first + 2 * size] == TsSync)
            return size;
    }
    return 0;
}

struct TTsPacket {
    int Pid = 0;
    bool Start = false;
    TBytes Payload;
};

/// Calls `each` for every packet of `d` from `first` on, skipping lost sync.
template <class F>
void ForEachPacket(TBytes d, std::size_t first, std::size_t size, F each) {
    for (std::size_t p = first; p + TsPacket <= d.size(); p += size) {
        if (d[p] != TsSync) continue;
        TTsPacket pkt;
        pkt.Pid = (d[p + 1] & 0x1F) << 8 | d[p + 2];
        pkt.Start = d[p + 1] & 0x40;
        const int control = d[p + 3] >> 4 & 3;
        std::size_t payload = 4;
        if (control & 2) payload += 1 + std::size_t{d[p + 4]};
        if (!(control & 1) || payload >= TsPacket) continue;
        pkt.Payload = d.subspan(p + payload, TsPacket - payload);
        if (!each(pkt)) return;
    }
}

/// The section a packet that starts one holds (after the pointer field).
TBytes Section(const TTsPacket& p) {
    if (!p.Start || p.Payload.empty()) return {};
    const std::size_t at = 1 + std::size_t{p.Payload[0]};
    if (at + 3 > p.Payload.size()) return {};
    const std::size_t length = (std::size_t{p.Payload[at + 1]} & 0x0F) << 8 | p.Payload[at + 2];
    if (at + 3 + length > p.Payload.size() || length < 9) return {};
    return p.Payload.subspan(at, 3 + length - 4); // without the CRC
}

/// The presentation time of a PES header at the start of `payload`, and where
/// its data begins.
std::optional<std::int64_t> PesPts(TBytes payload, std::size_t& data) {
    data = payload.size();
    if (payload.size() < 9 || payload[0] != 0 || payload[1] != 0 || payload[2] != 1 ||
        (payload[6] & 0xC0) != 0x80)
        return std::nullopt;
    data = std::min(payload.size(), 9 + std::size_t{payload[8]});
    if (!(payload[7] & 0x80) || payload.size() < 14) return std::nullopt;
    const TBytes b = payload.subspan(9);
    if (!(b[0] & 1) || !(b[2] & 1) || !(b[4] & 1)) return std::nullopt;
    return std::int64_t{b[0] >> 1 & 7} << 30 | std::int64_t{b[1]} << 22 |
           std::int64_t{b[2] >> 1} << 15 | std::int64_t{b[3]} << 7 | std::int64_t{b[4] >> 1};
}

bool QuickTransportStream(TBinaryFile& file, TMediaInfo& info) {
    const auto head = ReadWindow(file, 0, TsHead);
    std::size_t first = 0;
    const std::size_t size = PacketSize(head, first);
    if (size == 0) return false;

    int pmtPid = -1, videoPid = -1, streamType = 0;
    std::vector<unsigned char> stream; // the video's first bytes, without packet headers
    mpeg::TPtsRange range;
    auto add = [&range](std::int64_t pts) {
        if (!range.Low || pts < *range.Low) range.Low = pts;
        if (!range.High || pts > *range.High) range.High = pts;
    };
    ForEachPacket(head, first, size, [&](const TTsPacket& p) {
        if (p.Pid == 0 && pmtPid < 0) {
            const TBytes s = Section(p);
            for (std::size_t i = 8; i + 4 <= s.size(); i += 4)
                if (BigEndian(s, i, 2) != 0) {
                    pmtPid = static_cast<int>(BigEndian(s, i + 2, 2) & 0x1FFF);
                    break;
                }
        } else if (p.Pid == pmtPid && videoPid < 0) {
            const TBytes s = Section(p);
            if (s.size() < 12 || s[0] != 2) return true;
            std::size_t i = 12 + (BigEndian(s, 10, 2) & 0x0FFF);
            for (; i + 5 <= s.size(); i += 5 + (BigEndian(s, i + 3, 2) & 0x0FFF)) {
                const int type = s[i];
                if (type == StreamMpeg1 || type == StreamMpeg2 || type == StreamH264 ||
                    type == StreamHevc) {
                    streamType = type;
                    videoPid = static_cast<int>(BigEndian(s, i + 1, 2) & 0x1FFF);
                    break;
                }
            }
            if (videoPid < 0) pmtPid = -2; // no video this reader knows
        } else if (p.Pid == videoPid) {
            std::size_t data = 0;
            TBytes payload = p.Payload;
            if (p.Start) {
                if (const auto pts = PesPts(payload, data)) add(*pts);
                payload = payload.subspan(data);
            }
            if (stream.size() < MaxSection)
                stream.insert(stream.end(), payload.begin(), payload.end());
        }
        return pmtPid != -2;
    });
    if (videoPid < 0) return false;
    if (file.FileSize() > head.size()) {
        const auto tail = ReadWindow(file, file.FileSize() - TsTail, TsTail);
        // The tail starts anywhere in a packet: find its first sync byte.
        std::size_t tailFirst = 0;
        while (tailFirst < size && tailFirst + 2 * size < tail.size() &&
               !(tail[tailFirst] == TsSync && tail[tailFirst + size] == TsSync &&
                 tail[tailFirst + 2 * size] == TsSync))
            ++tailFirst;
        ForEachPacket(tail, tailFirst, size, [&](const TTsPacket& p) {
            std::size_t data = 0;
            if (p.Pid == videoPid && p.Start)
                if (const auto pts = PesPts(p.Payload, data)) add(*pts);
            return true;
        });
    }

    std::optional<TCodecView> view;
    if (streamType == StreamH264 || streamType == StreamHevc) {
        view = streamType == StreamH264 ? H264View(h264::SpsOfByteStream(stream))
                                        : HevcView(hevc::SpsOfByteStream(stream));
        if (view) view->FrameRate = UsualFrameRate(view->FrameRate);
    } else {
        const TBytes s(stream);
        for (std::size_t i = 0; i + 3 < s.size(); ++i)
            if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && s[i + 3] == 0xB3) {
                view = MpegView(s.subspan(i));
                break;
            }
    }
    if (!view) return false;
    const auto frames = mpeg::FramesOfPtsRange(range, view->FrameRate);
    if (!frames) return false;
    return Finish(*view, {}, view->FrameRate, *frames, true, CodeOf(view->Name), info);
}

} // namespace

TRatio UsualFrameRate(TRatio rate) {
    if (!rate.Known()) return rate;
    const Real value = static_cast<Real>(rate.Num) / rate.Den;
    auto near = [value](TRatio usual) {
        return std::fabs(value * usual.Den / usual.Num - 1) < Real(1e-4);
    };
    for (std::int64_t n : {24, 30, 48, 60, 120, 12, 15})
        if (near({n * 1000, 1001})) return TRatio{n * 1000, 1001}.Reduced();
    for (std::int64_t n = 1; n <= 120; ++n)
        if (near({n, 1})) return {n, 1};
    return rate.Reduced();
}

bool QuickProbe(const std::string& path, TMediaInfo& info) {
    TBinaryFile file;
    if (!file.Open(path)) return false;
    try {
        return QuickMatroska(file, info) || QuickMp4(file, info) ||
               QuickTransportStream(file, info);
    } catch (const FloatError&) {
        return false;
    }
}

} // namespace tarvex

// Matroska and WebM files read by hand.
#include "source/QuickContainers.h"

#include "common/Numeric.h"
#include "source/ParameterSets.h"
#include "source/QuickProbe.h"

#include <array>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace tarvex::quick {

namespace {

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
    if (t.Interlaced == 2 || (t.Interlaced == 1 && t.FieldOrder == 0))
        return TFieldOrder::Progressive;
    if (t.Interlaced != 1) return TFieldOrder::Unknown;
    // 9: bottom coded first, top shown first.
    return FieldOrderOfCode(t.FieldOrder, {1, 9}, {6, 14});
}

} // namespace

bool ReadMatroska(TBinaryFile& file, TMediaInfo& info) {
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
    return Finish(*view, sample, rate, frames, true, FourCCOfCodec(view->Name), info);
}

} // namespace tarvex::quick

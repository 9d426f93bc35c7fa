// MP4 and QuickTime files read by hand.
#include "source/QuickContainers.h"

#include "source/ParameterSets.h"

#include <array>
#include <limits>
#include <string_view>
#include <vector>

namespace tarvex::quick {

namespace {

// The movie box is read whole up to this size.
constexpr std::size_t MaxMovieBox = 32 << 20;

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

/// The body of the first child of type `type` inside `d`.
TBytes Child(TBytes d, std::uint32_t type) {
    std::size_t at = 0;
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

/// The field order a "fiel" box states: one field, or two in the order given.
TFieldOrder Mp4FieldOrder(TBytes fiel) {
    if (fiel.size() < 2) return TFieldOrder::Unknown;
    if (fiel[0] == 1) return TFieldOrder::Progressive;
    if (fiel[0] != 2) return TFieldOrder::Unknown;
    // 0x0E: bottom stored first, top shown first.
    return FieldOrderOfCode(fiel[1], {0x01, 0x0E}, {0x06, 0x09});
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

} // namespace

bool ReadMp4(TBinaryFile& file, TMediaInfo& info) {
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
    const TBytes stbl = Child(Child(media, FourCC("minf")), FourCC("stbl"));
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
    for (int i = 3; i >= 0; --i) code += static_cast<char>(format >> (8 * i) & 0xFF);
    return Finish(*view, sample, rate, static_cast<std::int64_t>(frames), false, UpperAscii(code),
                  info);
}

} // namespace tarvex::quick

#include "source/SourceKind.h"

#include "common/Numeric.h"

#include <span>

namespace tarvex {

namespace {

using enum TSourceKind;

/// The kind of a frame whose shape is stated (a project, a VFAPI AVI, an MPEG
/// stream or pixels stated to be other than square), by its width.
TSourceKind StatedKind(const TSourceFrame& f) {
    if (f.AspectCode == 1) return Square;
    if (f.Width > 704) return Dvd;
    if (f.Width > 544) return Xvcd;
    if (f.Width > 480) return ThreeQuarterDvd;
    if (f.Width > 360) return Svcd;
    if (f.Height > 288) return HalfDvd;
    if (f.AspectCode == 2 || f.AspectCode == 3) return Vcd;
    return Square;
}

/// The kind of any other frame, from its shape: full frames and frames cut to
/// 3/4 and 9/16 of the full height at the usual widths.
TSourceKind FrameKind(const TSourceFrame& f, bool pal) {
    std::int64_t q;
    try {
        const double aspect =
            f.Height == 0 ? 9999 : ToDouble(Div(static_cast<Real>(f.Width), f.Height));
        q = Round(50 * static_cast<Real>(aspect));
    } catch (const FloatError&) {
        return Square;
    }
    const TSourceKind dvd = f.Width > 360 ? Dvd : Vcd;
    const TSourceKind xvcd = f.Width > 352 ? Xvcd : Vcd;
    struct TRow {
        std::int64_t q;
        TSourceKind kind;
    };
    const TRow palRows[] = {{62, dvd},  {61, xvcd},  {42, Svcd}, {31, HalfDvd},
                            {83, dvd},  {81, xvcd},  {56, Svcd}, {41, HalfDvd},
                            {111, dvd}, {109, xvcd}, {74, Svcd}, {54, HalfDvd}};
    const TRow ntscRows[] = {{75, dvd},  {73, xvcd},    {50, Svcd}, {37, HalfDvd}, {100, dvd},
                             {98, xvcd}, {49, HalfDvd}, {133, dvd}, {130, xvcd},   {65, HalfDvd}};
    for (const auto& r : pal ? std::span<const TRow>(palRows) : std::span<const TRow>(ntscRows))
        if (r.q == q) return r.kind;
    return Square;
}

/// Whether a stated display aspect of 4:3 (16:9 with the anamorphic flag) makes the
/// frame's pixels square: the pixel follows from the stated aspect, not a kind's.
bool StatedSquare(const TSourceFrame& f) {
    if (f.AspectCode != 2 && f.AspectCode != 3) return false;
    const std::int64_t off = std::int64_t{4} * f.Height - std::int64_t{3} * f.Width;
    return f.Width > 0 && (off < 0 ? -off : off) * 100 < std::int64_t{3} * f.Width;
}

} // namespace

std::optional<TRateEntry> RateEntryOf(double rate) {
    std::int64_t once, twice;
    try {
        once = Round(rate);
        twice = Round(2 * static_cast<Real>(rate));
    } catch (const FloatError&) {
        return std::nullopt;
    }
    const struct {
        bool doubled;
        std::int64_t value;
        TRateEntry entry;
    } rows[] = {{false, 25, {1, true}}, {false, 24, {0, false}}, {false, 30, {2, false}},
                {true, 30, {2, false}}, {true, 24, {0, false}},  {true, 25, {1, false}}};
    for (const auto& r : rows)
        if ((r.doubled ? twice : once) == r.value) return r.entry;
    return std::nullopt;
}

TSourceGuess GuessSource(const TOpenSrcFile& reader, bool pal) {
    const TSourceFrame& f = reader.Frame;
    const TSourceReader by = reader.Reader;
    TSourceGuess g;
    // Projects and MPEG streams say their picture shape by their aspect code, and
    // so do other films whose pixels are stated to be other than square.
    g.ShapeStated = reader.FileType == ".d2v" || f.Vfapi || by == TSourceReader::Mpeg ||
                    (by == TSourceReader::MediaProbe && f.AspectCode >= 2 && f.AspectCode <= 4);
    // DV by its FourCC, or by its codec in a container without one (a .dv file).
    const bool dv = f.FourCC == "DVSD" || f.FourCC == "CDVC" || reader.Facts.Codec == "dvvideo";
    if (g.ShapeStated) {
        g.Kind = StatedSquare(f) ? Square : StatedKind(f);
    } else {
        g.Interlaced = dv;
        g.Kind = FrameKind(f, pal);
    }
    // DV is always interlaced; otherwise a field order read from the stream tells
    // whether the frames are interlaced and which field comes first.
    const TFieldOrder order = reader.Facts.FieldOrder;
    if (by == TSourceReader::Mpeg || by == TSourceReader::MediaProbe) {
        if (dv) {
            g.Interlaced = true;
        } else if (order != TFieldOrder::Unknown) {
            g.Interlaced = order != TFieldOrder::Progressive;
            g.BottomFirst = order == TFieldOrder::BottomFirst;
        }
    }
    return g;
}

} // namespace tarvex

#include "source/SourceFacts.h"

#include "common/Numeric.h"

#include <cmath>
#include <numeric>

namespace tarvex {

TRatio TRatio::Reduced() const {
    if (!Known()) return {};
    const std::int64_t g = std::gcd(Num, Den);
    return {Num / g, Den / g};
}

TRatio DisplayAspectOf(std::int64_t width, std::int64_t height, TRatio sample) {
    // Frame sizes and aspect terms of real files are far below 2^31, so the
    // products stay inside 64 bits; anything larger is not a frame.
    constexpr std::int64_t Limit = std::int64_t{1} << 31;
    if (!sample.Known() || width <= 0 || height <= 0 || width >= Limit || height >= Limit ||
        sample.Num >= Limit || sample.Den >= Limit)
        return {};
    return TRatio{width * sample.Num, height * sample.Den}.Reduced();
}

std::uint8_t AspectCodeOf(std::int64_t width, std::int64_t height, TRatio sample) {
    const TRatio dar = DisplayAspectOf(width, height, sample);
    if (!dar.Known()) return 0;
    if (sample.Num == sample.Den) return 1;
    // Frames of 702 or 704 of 720 pixels make the shape a little wider than the
    // nominal one; 4 % covers them and keeps the three shapes apart.
    const struct {
        Real Shape;
        std::uint8_t Code;
    } shapes[] = {{Real(4) / 3, 2}, {Real(16) / 9, 3}, {Real(221) / 100, 4}};
    const Real shape = static_cast<Real>(dar.Num) / dar.Den;
    for (const auto& s : shapes)
        if (std::fabs(shape / s.Shape - 1) <= Real(0.04)) return s.Code;
    return 0;
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string FourCCOfCodec(const std::string& codec) {
    if (codec == "mpeg1video") return "MPG1";
    return codec == "mpeg2video" ? "MPG2" : UpperAscii(codec);
}

} // namespace tarvex

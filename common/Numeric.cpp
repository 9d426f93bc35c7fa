#include "Numeric.h"

#include <cctype>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tarvex {

Real Checked(Real v) {
    if (!std::isfinite(v)) throw FloatError("floating-point overflow or invalid operation");
    return v;
}

Real Div(Real a, Real b) {
    if (b == 0) throw FloatError(a == 0 ? "invalid operation: 0/0" : "division by zero");
    return Checked(a / b);
}

double ToDouble(Real v) {
    Checked(v);
    if (std::fabs(v) > std::numeric_limits<double>::max()) throw FloatError("overflow");
    return static_cast<double>(v);
}

namespace {

template <class T>
T CheckedInt(Real v) {
    Checked(v);
    // Bounds chosen so that every value passing them converts exactly.
    constexpr Real lo = static_cast<Real>(std::numeric_limits<T>::min());
    constexpr Real hi = static_cast<Real>(std::numeric_limits<T>::max());
    if (v < lo || v > hi) throw FloatError("value out of range for integer conversion");
    return static_cast<T>(v);
}

} // namespace

std::int64_t Round(Real v) {
    Checked(v);
    // nearbyint follows the current rounding mode, which is to-nearest-even
    // unless someone changed it; be explicit rather than trust that.
    const int mode = std::fegetround();
    if (mode != FE_TONEAREST) std::fesetround(FE_TONEAREST);
    const Real r = std::nearbyint(v);
    if (mode != FE_TONEAREST) std::fesetround(mode);
    return CheckedInt<std::int64_t>(r);
}

std::int32_t Floor(Real v) {
    return CheckedInt<std::int32_t>(std::floor(Checked(v)));
}

std::int32_t Ceil(Real v) {
    return CheckedInt<std::int32_t>(std::ceil(Checked(v)));
}

std::int64_t CeilInt64(Real v) {
    const std::int64_t r = Round(v);
    return v > static_cast<Real>(r) ? r + 1 : r;
}

std::int64_t FloorInt64(Real v) {
    return CheckedInt<std::int64_t>(std::floor(Checked(v)));
}

std::string FloatToStr(Real v, char separator) {
    if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : (v > 0 ? "INF" : "-INF");
    if (v == 0) return "0";
    // 15 significant digits: d.dddddddddddddde+XX
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14Le", v);
    std::string s(buf);
    const bool negative = s[0] == '-';
    if (negative) s.erase(0, 1);
    const auto e = s.find('e');
    const int exponent = std::stoi(s.substr(e + 1));
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out;
    if (exponent >= 15 || std::fabs(v) < 0.00001L) {
        out = digits.substr(0, 1);
        if (digits.size() > 1) out += separator + digits.substr(1);
        out += 'E' + std::to_string(exponent);
    } else if (exponent < 0) {
        out = std::string("0") + separator + std::string(-exponent - 1, '0') + digits;
    } else {
        const auto intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out = digits + std::string(intDigits - digits.size(), '0');
        } else {
            out = digits.substr(0, intDigits) + separator + digits.substr(intDigits);
        }
    }
    return negative ? "-" + out : out;
}

Real RoundTo(Real v, Real scale) {
    return Div(static_cast<Real>(Round(Checked(v * scale))), scale);
}

std::string RoundedToStr(Real v, Real scale, char separator) {
    return FloatToStr(RoundTo(v, scale), separator);
}

std::string IntToStr(std::int64_t v) {
    return std::to_string(v);
}

std::string KbpsText(std::int64_t bps) {
    return IntToStr(bps / 1000) + " kbps";
}

bool TryStrToInt(const std::string& text, std::int32_t& out) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return false;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * base + digit;
        if (value > (std::int64_t{1} << 32)) return false;
    }
    if (negative) value = -value;
    if (base == 16 && !negative && value <= 0xFFFFFFFFLL) {
        out = static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); // $FFFFFFFF is -1
        return true;
    }
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

bool TryStrToFloat(const std::string& text, Real& out, char separator) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    // Rebuild the number in the form from_chars reads, whatever the separator.
    std::string number;
    std::size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    std::size_t digits = 0;
    for (; i < end && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits)
        number += text[i];
    if (i < end && text[i] == separator) {
        number += '.';
        for (++i; i < end && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits)
            number += text[i];
    }
    if (digits == 0) return false;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        number += 'e';
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) number += text[i++];
        std::size_t expDigits = 0;
        for (; i < end && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++expDigits)
            number += text[i];
        if (expDigits == 0) return false;
    }
    if (i != end) return false;
    Real value = 0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || ptr != number.data() + number.size() || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

} // namespace tarvex

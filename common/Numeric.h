// The numeric rules every model follows: extended precision, ties to even,
// checked conversions and fixed-width stores.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvex {

/// A floating-point fault: division by zero, 0/0, overflow or a value too large
/// for the integer it is converted to. Computations throw it; the guards that
/// the handlers and models describe catch it.
class FloatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using Real = long double; // extended precision (80-bit on x86-64)

/// a / b, throwing FloatError on a zero divisor or a non-finite result.
Real Div(Real a, Real b);

/// Throws FloatError unless v is finite; returns v.
Real Checked(Real v);

/// Stores an extended value as a double, throwing FloatError on overflow.
double ToDouble(Real v);

/// Nearest integer with halves to even (2.5 -> 2, 3.5 -> 4), as a 64-bit integer.
std::int64_t Round(Real v);

/// Greatest integer not above v, as a 32-bit integer.
std::int32_t Floor(Real v);

/// Least integer not below v, as a 32-bit integer.
std::int32_t Ceil(Real v);

/// The ceiling as a 64-bit integer: Round, plus one when v lies above the rounded value.
std::int64_t CeilInt64(Real v);

/// The floor as a 64-bit integer.
std::int64_t FloorInt64(Real v);

/// Integer division by two toward zero (Half(-7) = -3).
constexpr std::int64_t Half(std::int64_t v) {
    return v / 2;
}

/// Stores v into a fixed-width field, keeping the low bits (two's complement wrap).
template <class T>
constexpr T Store(std::int64_t v) {
    return static_cast<T>(v);
}

/// Round(v x scale) / scale: v kept to as many decimals as scale has zeros
/// (RoundTo(1.76654, 10000) is 1.7665).
Real RoundTo(Real v, Real scale);

/// A number in the shortest general form with at most 15 significant digits
/// (1.7665, -0.04, 2), with the given decimal separator.
std::string FloatToStr(Real v, char separator);

/// The text of RoundTo(v, scale).
std::string RoundedToStr(Real v, Real scale, char separator);

/// A plain decimal integer.
std::string IntToStr(std::int64_t v);

/// A rate in bits per second as whole kilobits: "1150 kbps".
std::string KbpsText(std::int64_t bps);

/// Parses a 32-bit integer the way a user's number field is read: optional
/// leading blanks, an optional sign, decimal digits or hexadecimal after "$" or
/// "0x". Returns false, leaving out unchanged, when the text is not such a number.
bool TryStrToInt(const std::string& text, std::int32_t& out);

/// Parses a real number the way a user's number field is read: optional blanks
/// around it, an optional sign, decimal digits with at most one separator and an
/// optional exponent ("1.5", "-2", ",5", "1E3"). Returns false, leaving out
/// unchanged, when the text is not such a finite number.
bool TryStrToFloat(const std::string& text, Real& out, char separator);

} // namespace tarvex

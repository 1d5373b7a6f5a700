// Conversions between the model's reals and its 16- and 32-bit integers.
// Conversions round to nearest with halves to even; Int(x) is the floor.
// A value outside the target width is an overflow, reported with what it was.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

#include "core/Error.h"

namespace littoral {

inline std::string describeNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

// A number for a message, at most 7 significant digits.
inline std::string formatNum(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7g", v);
    return buf;
}

// The number-to-text form of the progress line: a blank before a number that is not
// negative, then the number in plain decimal notation with at most 15 significant digits
// and no trailing zeros (" 3600", " 12.5", " 10000000.1", "-3"); never an exponent.
inline std::string numberText(double v) {
    if (!std::isfinite(v)) return v > 0 ? " inf" : (v < 0 ? "-inf" : " nan");
    const double a = std::fabs(v);
    // Digits before the decimal point; the rest of the 15 go after it.
    char buf[400];
    int intDigits = 0;
    if (a >= 1.0) intDigits = static_cast<int>(std::to_chars(buf, buf + sizeof buf, std::floor(a),
                                                             std::chars_format::fixed, 0).ptr - buf);
    const int decimals = intDigits >= 15 ? 0 : 15 - intDigits;
    char* end = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::fixed, decimals).ptr;
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    const bool zero = end - buf == 1 && buf[0] == '0';
    std::string s(1, v < 0 && !zero ? '-' : ' ');
    s.append(buf, end);
    return s;
}

// Whether v rounded half to even lies in the range of T.
template <class T>
bool fitsInt(double v) {
    const double r = std::nearbyint(v);
    return r >= static_cast<double>(std::numeric_limits<T>::min()) && r <= static_cast<double>(std::numeric_limits<T>::max());
}

// Rounds half to even and checks the range of T; `what` names the quantity in the message
// (a view, so that the check allocates nothing unless it stops).
template <class T>
T roundToInt(double v, std::string_view what) {
    const double r = std::nearbyint(v);
    if (!fitsInt<T>(v))
        throw StopError(std::string(what) + ": the value " + describeNumber(v) + " does not fit a " +
                        std::to_string(8 * sizeof(T)) + "-bit integer (" +
                        std::to_string(std::numeric_limits<T>::min()) + " to " +
                        std::to_string(std::numeric_limits<T>::max()) + ")");
    return static_cast<T>(r);
}

inline int16_t toInt16(double v, std::string_view what) { return roundToInt<int16_t>(v, what); }
inline int32_t toInt32(double v, std::string_view what) { return roundToInt<int32_t>(v, what); }

// Int(x): the floor, as a 32-bit integer.
inline int32_t intFloor(double v, const std::string& what) { return roundToInt<int32_t>(std::floor(v), what); }

}  // namespace littoral

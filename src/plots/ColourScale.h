// The colour scale of the plot windows and of the batch pictures, and the number text of
// their captions. Pure functions, no window toolkit: the windows, the headless renderer
// and the tests share them.
//
// Scale over lo..hi for a value v:
//   lo·hi >= 0 (one sign), lo < 0   : f = 1 - (v - hi)/(lo - hi)  red shade (255, n, n)
//   lo·hi >= 0 (one sign), lo >= 0  : f = 1 - (v - lo)/(hi - lo)  blue shade (n, n, 255)
//   lo < 0 < hi, v > 0              : f = 1 - v/hi                blue shade
//   lo < 0 < hi, v <= 0             : f = 1 - v/lo                red shade
// with n = f·255 rounded to the nearest integer, halves to even. Equal or zero bounds take
// f = 1 (white) instead of dividing. Land cells are grey whatever their value.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace littoral {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};      // palette colour 0
inline constexpr Rgb kLandGrey{128, 128, 128};  // palette colour 8
inline constexpr Rgb kWhite{255, 255, 255};  // palette colour 15

// Shade level n = f·255, halves to even; kept within 0..255 for values outside lo..hi
// (the drawing always widens the range over its values first, so that only happens for
// callers that pass a value outside the range).
inline uint8_t shadeLevel(float f) {
    const double n = std::nearbyint(static_cast<double>(f) * 255.0);
    if (!(n > 0.0)) return 0;  // also NaN
    if (n > 255.0) return 255;
    return static_cast<uint8_t>(n);
}

// Colour of the value v on the scale lo..hi; land = true gives the land grey.
inline Rgb scaleColour(float lo, float hi, float v, bool land = false) {
    if (land) return kLandGrey;
    const double dlo = lo, dhi = hi, dv = v;
    // The sign test uses the product rounded to single precision: a product that
    // underflows to zero counts as "one sign".
    const float prod = static_cast<float>(dhi * dlo);
    float f;
    bool red;
    if (prod >= 0.0f) {
        if (lo < 0.0f) {
            f = (lo == hi) ? 1.0f : static_cast<float>(1.0 - (dv - dhi) / (dlo - dhi));
            red = true;
        } else {
            f = (lo == hi) ? 1.0f : static_cast<float>(1.0 - (dv - dlo) / (dhi - dlo));
            red = false;
        }
    } else if (v > 0.0f) {
        f = (hi == 0.0f) ? 1.0f : static_cast<float>(1.0 - dv / dhi);
        red = false;
    } else {
        f = (lo == 0.0f) ? 1.0f : static_cast<float>(1.0 - dv / dlo);
        red = true;
    }
    const uint8_t n = shadeLevel(f);
    return red ? Rgb{255, n, n} : Rgb{n, n, 255};
}

// The value range of one drawing: the given bounds, widened by every value drawn.
// mininp = maxinp = 1 (both exactly) asks for an automatic range, which starts empty
// (lo = 999, hi = -999) so that the first value sets both ends.
struct ScaleRange {
    float lo = 999.0f, hi = -999.0f;
    static ScaleRange start(float mininp, float maxinp) {
        if (mininp == 1.0f && maxinp == 1.0f) return ScaleRange{999.0f, -999.0f};
        return ScaleRange{mininp, maxinp};
    }
    void widen(float v) {
        if (v > hi) hi = v;
        if (v < lo) lo = v;
    }
    Rgb colour(float v, bool land = false) const { return scaleColour(lo, hi, v, land); }
};

// Number text of the captions and the progress lines: a blank before a non-negative
// number, a minus sign before a negative one, then the shortest form with at most 7
// significant digits (" 0.01", "-0.5", " 999", " 1e+10"). Negative zero shows as " 0".
inline std::string captionNumber(double v) {
    if (v == 0.0) v = 0.0;  // drops the sign of -0
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.7g", v);
    std::string s = buf;
    if (!std::signbit(v)) s.insert(s.begin(), ' ');
    return s;
}

// Numbers of single precision print the digits of the float (0.01f shows as 0.01).
inline std::string captionNumber(float v) { return captionNumber(static_cast<double>(v)); }

}  // namespace littoral

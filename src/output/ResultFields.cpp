// The result field file of one output interval: outDir + stem + n + ".csv".
//
// A header of 23 quoted names, then one line per interior cell, i outer and j inner:
// the cell position ((i - 1) dx, (j - 1) dy) in double precision and 21 single-precision
// fields of the wave, flow and sediment state. The bed level and the bed change are
// written negated (depth is positive downward, "_dep" and "_dh" positive upward).
#include "output/ResultFields.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "output/RecordWriter.h"

namespace littoral {

void writeResultFields(const Model& m, int16_t n, const std::string& stem) {
    RecordWriter w(m.outDir + stem + std::to_string(n) + ".csv");
    for (const char* name : {"i", "j", "_dep", "wavH", "setup", "lfu", "lfv", "sxx", "sxy", "syy", "fx", "fy", "tau",
                             "maxtau", "qbx", "qby", "qsx", "qsy", "_dh", "theta", "vptwb", "eta", "kd"})
        w.text(name);
    w.endLine();
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
        const double x = (i - 1) * static_cast<double>(m.dx);
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            w.f64(x).f64((j - 1) * static_cast<double>(m.dy));
            w.f32(-m.dep(i, j)).f32(m.wavH(i, j)).f32(m.setup(i, j)).f32(m.curU(i, j)).f32(m.curV(i, j));
            w.f32(m.sxx(i, j)).f32(m.sxy(i, j)).f32(m.syy(i, j)).f32(m.fx(i, j)).f32(m.fy(i, j));
            w.f32(m.tau(i, j)).f32(m.maxtau(i, j));
            w.f32(m.qbx(i, j)).f32(m.qby(i, j)).f32(m.qsx(i, j)).f32(m.qsy(i, j));
            w.f32(-m.dh(i, j)).f32(m.theta(i, j)).f32(m.sumDiss(i, j)).f32(m.etaOut(i, j)).f32(m.kd(i, j));
            w.endLine();
        }
    }
    w.close();
}

namespace {

// Powers of ten that are exact in double precision.
constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// a 10^p, rounded once (p within the exact powers).
inline double scaleByPow10(double a, int p) { return p >= 0 ? a * kPow10[p] : a / kPow10[-p]; }

}  // namespace

size_t appendFloatFast(char* out, float v) {
    if (v == 0.0f) { out[0] = '0'; return 1; }  // also -0, as appendFloat
    if (!std::isfinite(v)) return appendFloat(out, v);
    const double a = std::fabs(static_cast<double>(v));
    // Decimal exponent E of a: floor(b2 log10 2) is floor(log10 a) or one less.
    const int b2 = static_cast<int>((std::bit_cast<uint64_t>(a) >> 52) & 0x7ff) - 1023;
    int E = (b2 * 78913) >> 18;
    int p = 6 - E;
    if (p < -22 || p > 22) return appendFloat(out, v);
    // y = a 10^(6 - E), within 2^-53 relative of the exact value: its rounding to an integer
    // is the seven-digit rounding unless the exact value lies next to a tie.
    double y = scaleByPow10(a, p);
    if (y >= 9999999.5) {
        ++E;
        if (--p < -22) return appendFloat(out, v);
        y = scaleByPow10(a, p);
    }
    const double whole = static_cast<double>(static_cast<uint64_t>(y));
    const double frac = y - whole;
    if (std::fabs(frac - 0.5) < 1e-8) return appendFloat(out, v);
    uint32_t N = static_cast<uint32_t>(whole) + (frac > 0.5 ? 1u : 0u);
    if (N >= 10000000u) { N /= 10; ++E; }  // rounded up to 10^7
    if (N < 1000000u) return appendFloat(out, v);

    char d[7];
    const uint32_t hi = N / 10000, lo = N % 10000;
    d[0] = static_cast<char>('0' + hi / 100);
    std::memcpy(d + 1, kPairs + 2 * (hi % 100), 2);
    std::memcpy(d + 3, kPairs + 2 * (lo / 100), 2);
    std::memcpy(d + 5, kPairs + 2 * (lo % 100), 2);
    int k = 7;
    while (d[k - 1] == '0') --k;

    // The general form with precision 7: an exponent below -4 or from 7 on, else fixed.
    char* q = out;
    if (v < 0) *q++ = '-';
    if (E < -4 || E >= 7) {
        *q++ = d[0];
        if (k > 1) {
            *q++ = '.';
            for (int i = 1; i < k; ++i) *q++ = d[i];
        }
        *q++ = 'e';
        *q++ = E < 0 ? '-' : '+';
        int ae = E < 0 ? -E : E;
        if (ae >= 100) { *q++ = static_cast<char>('0' + ae / 100); ae %= 100; }
        *q++ = static_cast<char>('0' + ae / 10);
        *q++ = static_cast<char>('0' + ae % 10);
    } else if (E >= 0) {
        const int intDigits = E + 1;
        int i = 0;
        for (; i < intDigits; ++i) *q++ = i < k ? d[i] : '0';
        if (k > intDigits) {
            *q++ = '.';
            for (; i < k; ++i) *q++ = d[i];
        }
    } else {
        *q++ = '0';
        *q++ = '.';
        for (int i = 0; i < -E - 1; ++i) *q++ = '0';
        for (int i = 0; i < k; ++i) *q++ = d[i];
    }
    return static_cast<size_t>(q - out);
}

size_t appendDoubleFast(char* out, double v) {
    if (v == 0.0) { out[0] = '0'; return 1; }
    // v = K / 1024 = K 5^10 / 10^10 has at most ten decimals: written exactly when it has at
    // most 15 significant digits and is at least 10^-4 (no exponent form).
    const double t = std::fabs(v) * 1024.0;
    if (!(t < 9007199254740992.0) || t != static_cast<double>(static_cast<uint64_t>(t)) || std::fabs(v) < 1e-4)
        return appendDouble(out, v);
    const unsigned __int128 M = static_cast<unsigned __int128>(static_cast<uint64_t>(t)) * 9765625u;  // |v| 10^10
    const uint64_t ip = static_cast<uint64_t>(M / 10000000000u);
    uint64_t fr = static_cast<uint64_t>(M % 10000000000u);
    int decimals = 0;
    if (fr != 0) {
        decimals = 10;
        while (fr % 10 == 0) { fr /= 10; --decimals; }
    }
    int sig = 0;
    for (uint64_t x = ip > 0 ? ip : fr; x; x /= 10) ++sig;
    if (ip > 0) sig += decimals;
    if (sig > 15) return appendDouble(out, v);
    char* q = out;
    if (v < 0) *q++ = '-';
    q = std::to_chars(q, q + 24, ip).ptr;
    if (decimals > 0) {
        *q++ = '.';
        for (int i = decimals - 1; i >= 0; --i) { q[i] = static_cast<char>('0' + fr % 10); fr /= 10; }
        q += decimals;
    }
    return static_cast<size_t>(q - out);
}

}  // namespace littoral

// Offshore wave transformation, once per case before the echo files are written.
//
// The offshore wave (waveH0, waveT0, waveDir0) travels over parallel depth contours to the
// total depth h of the phase reference point. Three regimes by the relative depth x = h/L0:
//   x > x50        linear shoaling and refraction:  s = Ks Kr H0 / L0
//   xb < x <= x50  Shuto's nonlinear shoaling from the point (s50, x50) where gHT^2/h^2 = 50
//   x <= xb        surf zone, Goda's breaker index on a flat bed: s = 0.17 (1 - exp(-1.5 pi x))
// x50 and xb are found by bisection on x in 0.001 .. 1; where a search finds no crossing
// there, the wave stays in the regime it is in. The local direction is the one
// refracted by Snell's law in every regime; waveT0 is unchanged.
//
// Precision: every stored quantity (h, L, L0, x, s, angles, coefficients, the bisection
// bounds and function values) is single; expressions are formed in double.
#include "waves/Offshore.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/Error.h"
#include "core/Numeric.h"
#include "waves/WaveFunctions.h"

namespace littoral {

namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kRadPerDeg = 0.017453292519943278;
constexpr double kDegPerRad = 57.29577951308238;

std::string cell(int32_t i, int32_t j) { return "(" + std::to_string(i) + ", " + std::to_string(j) + ")"; }

// Bisection on the relative depth x in 0.001 .. 1 for a sign change of f; only the sign of
// f(x_mid) f(x_low) steers. Stops when the bracket is narrower than 0.001 x_mid or f(x_mid)
// f(x_low) is exactly 0; without a sign change the bracket closes in on x = 1, and the
// result says that none was found (the upper end never moved).
template <class F>
SteepnessPoint bisectRelativeDepth(F f, const char* what) {
    float xLow = 0.001f, xHigh = 1.0f, xMid = 0.0f;
    float fLow = f(xLow);
    bool found = false;
    for (;;) {
        xMid = static_cast<float>((static_cast<double>(xHigh) + xLow) / 2.0);
        if (static_cast<float>(0.001 * xMid) > static_cast<float>(std::fabs(static_cast<double>(xHigh) - xLow))) break;
        const float fMid = f(xMid);
        const double p = static_cast<double>(fMid) * fLow;
        if (p > 0) {
            xLow = xMid;
            fLow = fMid;
        } else if (p < 0) {
            xHigh = xMid;
            found = true;
        } else if (p == 0) {
            found = true;
            break;
        } else {
            // A value that is not a number would leave the bracket unchanged for ever.
            throw StopError(std::string("the search for ") + what + " met a value that is not a number at relative depth " +
                            formatNum(xMid) + " (depth / deep-water wavelength)");
        }
    }
    return {0.0, xMid, found};
}

}  // namespace

double offshoreAngle(float waveDirDeg) {
    if (waveDirDeg > 0) return kPi - waveDirDeg * kRadPerDeg;
    return -waveDirDeg * kRadPerDeg - kPi;
}

double directionDegrees(float theta) {
    if (theta > 0) return (kPi - theta) * kDegPerRad;
    return (-theta - kPi) * kDegPerRad;
}

double refractAngle(float L, float L0, float theta0) {
    const double q = static_cast<double>(L) / L0, s0 = std::sin(static_cast<double>(theta0));
    const double r = q * s0;
    const auto snell = [](double rr) { return std::atan(rr / std::sqrt(1.0 - rr * rr)); };  // arcsine
    // In deep water the dispersion iteration's tolerance and rounded constants put L up to
    // about 1e-3 above L0, although the local wavelength never exceeds the deep-water one.
    // Taken as it is, L/L0 > 1 pushes sin theta towards 1 in the last few degrees before
    // grazing incidence (an unbounded refraction coefficient) and beyond 1, where the old
    // rule gave normal incidence. There the angle is moved over to the unrefracted angle of
    // L = L0 as |r| goes from 0.999 to 1, so height and direction stay continuous; every
    // other angle is Snell's law as it stands.
    constexpr double rBlend = 0.999;
    if (q > 1.0 && std::fabs(r) > rBlend && std::fabs(s0) < 1.0) {
        const double thetaAsIs = std::fabs(r) < 1.0 ? snell(r) : std::copysign(1.5707963267948966, r);
        const double w = std::min(1.0, (std::fabs(r) - rBlend) / (1.0 - rBlend));
        return thetaAsIs + w * (snell(s0) - thetaAsIs);
    }
    if (r > -1.0 && r < 1.0) return snell(r);
    return 0.0;
}

double refractionCoef(float theta, float theta0) {
    const float c = static_cast<float>(std::cos(static_cast<double>(theta)));
    if (!(c > 0.0f))
        throw StopError("the refraction coefficient needs a local angle of approach within 90 degrees of the shore "
                        "normal: found " + formatNum(theta * kDegPerRad) + " degrees (cosine " + formatNum(c) + ")");
    const double c0 = std::cos(static_cast<double>(theta0));
    if (c0 < 0.0)
        throw StopError("the refraction coefficient needs an offshore angle of approach within 90 degrees of the shore "
                        "normal: found " + formatNum(theta0 * kDegPerRad) + " degrees");
    return std::sqrt(c0 / std::cos(static_cast<double>(theta)));
}

double groupRatio(float h, float L) {
    const double y = h * 12.566368 / L;  // 2kh
    if (y == 0.0) return 1.0;            // the shallow-water limit of y / sinh y
    return (1.0 + y / sinhD(y)) / 2.0;
}

double shoalingCoef(float L, float L0, float n) {
    if (L == 0.0f || n == 0.0f)
        throw StopError("the shoaling coefficient needs a positive wavelength and group-to-phase speed ratio: found "
                        "wavelength " + formatNum(L) + " m and ratio " + formatNum(n));
    return std::sqrt(static_cast<double>(L0) / L / 2.0 / n);
}

double linearSteepness(float h, float L, float H0, float L0, float theta0) {
    const float n = static_cast<float>(groupRatio(h, L));
    const float theta = static_cast<float>(refractAngle(L, L0, theta0));
    const float Ks = static_cast<float>(shoalingCoef(L, L0, n));
    const float Kr = static_cast<float>(refractionCoef(theta, theta0));
    return static_cast<double>(Kr) * Ks * H0 / L0;
}

double ursell50Steepness(float x) { return 25.0 / 3.141592 * (static_cast<double>(x) * x); }

SteepnessPoint linearLimitPoint(float H0, float T, float theta0) {
    // g/2pi is taken as 1.56 here.
    const float L0 = static_cast<float>(static_cast<double>(T) * 1.56 * T);
    auto f = [&](float x) {
        const float h = static_cast<float>(static_cast<double>(x) * L0);
        const WaveLength w = waveLengthNoCurrent(T, h);
        if (!w.ok)
            throw StopError("no wavelength for the period " + formatNum(T) + " s at the depth " + formatNum(h) +
                            " m (relative depth " + formatNum(x) + " of the deep-water wavelength " + formatNum(L0) +
                            " m): expected a positive, finite depth and period");
        const float L = static_cast<float>(w.L);
        const float xh = static_cast<float>(static_cast<double>(h) / L0);
        return static_cast<float>(linearSteepness(h, L, H0, L0, theta0) - ursell50Steepness(xh));
    };
    const SteepnessPoint b = bisectRelativeDepth(f, "the limit of linear shoaling");
    const float x50 = static_cast<float>(b.x);
    return {ursell50Steepness(x50), x50, b.bracketed};
}

double ursellRoot(float s, float x) {
    const double sp = s < 0.0f ? 0.0 : static_cast<double>(s);
    return std::sqrt(6.283184 * sp) / x;
}

double nonlinearSteepness(float sRef, float xRef, float x) {
    const double twoRoot3 = 2.0 * std::sqrt(3.0);
    const float Uref = static_cast<float>(ursellRoot(sRef, xRef));
    const double c = std::pow(static_cast<double>(xRef), 5.0 / 2.0) * sRef * (Uref - twoRoot3);
    float U = Uref;
    for (int k = 1;; ++k) {
        const float Uprev = U;
        const float s = static_cast<float>(std::pow(static_cast<double>(x), -5.0 / 2.0) * (c / (U - twoRoot3)));
        U = static_cast<float>(ursellRoot(s, x));
        if (static_cast<float>(std::fabs(static_cast<double>(U) - Uprev)) < 0.001f) return s;
        if (k == 100)
            throw StopError("the nonlinear shoaling did not converge in 100 iterations: from steepness " +
                            formatNum(sRef) + " at relative depth " + formatNum(xRef) + " to relative depth " +
                            formatNum(x) + ": the Ursell root still moved from " + formatNum(Uprev) + " to " +
                            formatNum(U) + " in the last iteration (expected a change below 0.001)");
        if (k > 80) U = static_cast<float>((static_cast<double>(Uprev) + U) / 2.0);  // damped from the 81st on
    }
}

double breakerSteepness(float x, float slope) {
    return 0.17 * (1.0 - std::exp(-4.712388000000001 * x * (1.0 + 15.0 * std::pow(static_cast<double>(slope), 4.0 / 3.0))));
}

SteepnessPoint breakingPoint(float sRef, float xRef, float slope) {
    auto g = [&](float x) { return static_cast<float>(breakerSteepness(x, slope) - nonlinearSteepness(sRef, xRef, x)); };
    const SteepnessPoint b = bisectRelativeDepth(g, "the breaking point");
    const float xb = static_cast<float>(b.x);
    return {breakerSteepness(xb, slope), xb, b.bracketed};
}

void transformIncidentWave(Model& m) {
    const int32_t ip = m.phaseX, jp = m.phaseY;
    const std::string where = m.wavFile + ": the phase reference point " + cell(ip, jp);
    // The point's flag, set-up and depth, from the rank that holds its row (every rank calls
    // this, and every rank meets the stops below alike).
    double at[3] = {0, 0, 0};
    m.shareFromRow(jp, at, 3, [&](double* v) { v[0] = m.cellFlag(ip, jp), v[1] = m.setup(ip, jp), v[2] = m.dep(ip, jp); });
    const int32_t flag = static_cast<int32_t>(at[0]);
    const float setup = static_cast<float>(at[1]), dep = static_cast<float>(at[2]);

    const float theta0 = static_cast<float>(offshoreAngle(m.waveDir0));
    if (!(std::cos(static_cast<double>(theta0)) >= 0.0))
        throw StopError(m.wavFile + ": the wave direction " + formatNum(m.waveDir0) +
                        " degrees is 90 degrees or more away from normal incidence: expected a direction between 90 and 270 degrees, "
                        "or between -270 and -90 for non-positive values (180 is normal incidence)");

    // A negative height has no meaning; a zero height would otherwise come out of the
    // linear-limit search (no sign change, x50 near 1) as a breaking wave.
    if (!(m.waveH0 >= 0))
        throw StopError(m.wavFile + ": the wave height is " + formatNum(m.waveH0) + " m: expected 0 or more");

    const float T = m.waveT0;
    const float L0 = static_cast<float>(9.81 * 0.5 / kPi * (static_cast<double>(T) * T));
    if (flag == 15)
        throw StopError(where + " is a land cell (code 15 in " + m.bndFile +
                        "): expected a sea cell to which the offshore wave can be carried");
    const float h = static_cast<float>(static_cast<double>(setup) + dep);
    if (!(h > 0))
        throw StopError(where + " is dry: depth " + formatNum(dep) + " m plus tide " +
                        formatNum(setup) + " m gives " + formatNum(h) + " m, expected a positive depth");
    const float x = static_cast<float>(static_cast<double>(h) / L0);

    const Dispersion d = waveNumberCurrent(T, h, 0.0f, 0.0f, 0.0f);
    if (!d.ok)
        throw StopError(where + ": no wavelength for the period " + formatNum(T) + " s at the depth " + formatNum(h) +
                        " m (the dispersion relation gives no wave number below 370 per metre): "
                        "expected a deeper reference point");
    const float L = d.L;

    const float offshoreH = m.waveH0;
    bool broken = false;  // the height at the point is the breaker height, not the shoaled one
    double unbrokenH = 0.0;  // the height that shoaling alone would give (0: the wave broke further out)
    try {
        const float theta = static_cast<float>(refractAngle(L, L0, theta0));
        float s = 0.0f;  // no offshore wave, no wave at the reference point
        if (m.waveH0 > 0.0f) {
            // Where a search finds no crossing in 0.001 .. 1 the wave does not leave the regime
            // it is in: a wave that never reaches the limit of linear shoaling shoals linearly,
            // one whose nonlinear shoaling never meets the breaker index keeps shoaling
            // nonlinearly. No regime gives more than the breaker height of the point (a steep
            // wave can meet the breaker index before the limit of linear shoaling).
            const double sBreak = breakerSteepness(x, 0.0f);
            const SteepnessPoint lim = linearLimitPoint(m.waveH0, T, theta0);
            const float s50 = static_cast<float>(lim.s), x50 = static_cast<float>(lim.x);
            double sRegime = 0.0;
            if (!lim.bracketed || x > x50) {
                sRegime = linearSteepness(h, L, m.waveH0, L0, theta0);
            } else {
                const SteepnessPoint brk = breakingPoint(s50, x50, 0.0f);
                const float xb = static_cast<float>(brk.x);
                const bool surfZone = brk.bracketed && x <= xb;
                sRegime = surfZone ? sBreak : nonlinearSteepness(s50, x50, x);
                broken = surfZone;
            }
            if (sRegime > sBreak) {
                broken = true;
                unbrokenH = sRegime * L0;
            }
            s = static_cast<float>(std::min(sRegime, sBreak));
        }
        m.waveDir0 = static_cast<float>(directionDegrees(theta));
        m.waveH0 = static_cast<float>(static_cast<double>(s) * L0);
    } catch (const StopError& e) {
        throw StopError(where + " at depth " + formatNum(h) + " m: the offshore wave (height " + formatNum(m.waveH0) +
                        " m, period " + formatNum(T) + " s, direction " + formatNum(m.waveDir0) +
                        " degrees) cannot be carried there: " + e.what());
    }
    // The height at the point is capped by breaking: the run says so, with both heights.
    if (broken)
        m.inputWarnings.push_back(
            "warning: " + m.wavFile + ": the offshore wave height " + formatNum(offshoreH) + " m breaks before " +
            "the phase reference point " + cell(ip, jp) + " (depth " + formatNum(h) + " m): its height there is capped by " +
            "breaking at " + formatNum(m.waveH0) + " m" +
            (unbrokenH > 0 ? " (shoaling alone would give " + formatNum(unbrokenH) + " m)" : std::string()) +
            "; the case runs with " + formatNum(m.waveH0) + " m");
}

}  // namespace littoral

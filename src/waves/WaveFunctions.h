// Linear wave theory: dispersion with and without a current, phase and group speeds,
// the hyperbolic functions in the model's form, the direction of a vector, and random
// Rayleigh-distributed heights. g = 9.81 m/s^2 throughout (g/2 = 4.905).
//
// All functions are pure except rayleighHeight, which draws from the random sequence of
// the RandomSequence it is given (a fixed start state, never reseeded by the program).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/Random.h"

namespace littoral {

inline double sinhD(double x) { return (std::exp(x) - std::exp(-x)) / 2.0; }
inline double coshD(double x) { return (std::exp(x) + std::exp(-x)) / 2.0; }
inline double tanhD(double x) {
    if (x > 100.0) return 1.0;
    return (std::exp(x) - std::exp(-x)) / (std::exp(-x) + std::exp(x));
}

// C = sqrt(g/k tanh kh), deep-water branch sqrt(g/k) for kh > 100.
inline double phaseSpeed(double kh, double h) {
    const double k = kh / h;
    if (kh > 100.0) return std::sqrt(9.81 / k);
    const double t = (std::exp(kh) - std::exp(-kh)) / (std::exp(-kh) + std::exp(kh));
    return std::sqrt(9.81 / k * t);
}

// Phase and group speed together, from one pair of exponentials (C the same number as
// phaseSpeed): Cg = g/(2 omega) (tanh kh + kh / cosh^2 kh), deep-water branch
// g/(2 sqrt(g k)) for kh > 100.
struct WaveSpeeds { double C, Cg; };
inline WaveSpeeds waveSpeeds(double kh, double h) {
    const double k = kh / h;
    if (kh > 100.0) return {std::sqrt(9.81 / k), 4.905 / std::sqrt(k * 9.81)};
    const double ep = std::exp(kh), em = std::exp(-kh);
    const double t = (ep - em) / (em + ep);
    const double s = 4.0 * h / ((ep + em) * (em + ep));
    const double omega = std::sqrt(k * 9.81 * t);
    return {std::sqrt(9.81 / k * t), (k * s + t) * 4.905 / omega};
}

// sinhD and coshD together, from one pair of exponentials.
struct SinhCosh { double sh, ch; };
inline SinhCosh sinhCoshD(double x) {
    const double ep = std::exp(x), em = std::exp(-x);
    return {(ep - em) / 2.0, (ep + em) / 2.0};
}

struct Dispersion {
    bool ok;   // 0 < k < 370
    float L;   // wavelength, m (9999 when no wave number was found)
    float kh;  // k h
};

// omega = k (Un + C(k)) with Un the current along the wave (the current speed when dir is
// the marker -9), by fixed-point iteration on C from the shallow-water speed. The iteration
// is written as a state with one step at a time, so that a caller can run the iterations of
// several cells side by side (each is a chain of dependent divisions and exponentials; the
// processor overlaps independent chains). Every cell takes exactly the same steps.
struct DispersionIteration {
    float h = 0, Un = 0, C = 0, omega = 0, k = 0, kPrev = 0;
    int n = 0;
    bool done = false;

    void start(float T, float depth, float U, float V, float dir) {
        double un;
        if (dir == -9.0f) un = std::sqrt(static_cast<double>(U) * U + static_cast<double>(V) * V);
        else un = U * std::cos(static_cast<double>(dir)) + V * std::sin(static_cast<double>(dir));
        h = depth;
        Un = static_cast<float>(un);
        C = static_cast<float>(std::sqrt(9.81 * h));
        omega = static_cast<float>(6.283184 / T);
        k = kPrev = 0;
        n = 0;
        done = false;
    }
    // One pass of the iteration; sets done when k has settled or no wave number exists.
    void step() {
        if (!(static_cast<float>(static_cast<double>(Un) + C) > 0.0f)) { k = 0; done = true; return; }
        k = static_cast<float>(static_cast<double>(omega) / (static_cast<double>(Un) + C));
        if (std::fabs(static_cast<float>(static_cast<double>(k) - kPrev)) < 0.00001f) { done = true; return; }
        C = static_cast<float>(phaseSpeed(static_cast<double>(k) * h, h));
        if (++n > 1000) { k = 0; done = true; return; }
        kPrev = k;
    }
    Dispersion result() const {
        Dispersion d;
        d.L = k != 0.0f ? static_cast<float>(6.283184 / k) : 9999.0f;
        d.kh = static_cast<float>(static_cast<double>(k) * h);
        d.ok = k > 0.0f && k < 370.0f;
        return d;
    }
};

inline Dispersion waveNumberCurrent(float T, float h, float U, float V, float dir) {
    DispersionIteration it;
    it.start(T, h, U, V, dir);
    while (!it.done) it.step();
    return it.result();
}

struct WaveLength {
    double L;
    double kh;
    bool ok;  // false: no wavelength (depth or period not positive and finite, or no convergence)
};

// Wavelength without current by iteration on x = x0 coth x (double precision), x0 the
// deep-water kh, with coth x = (e + 1)/(e - 1), e = exp(2x). Beyond x = 19, e exceeds 2^54
// and coth x is exactly 1 in double; from about x = 350 on, x0 (e + 1) overflows (and e
// itself beyond 354), which would give inf/inf. There l = x0 is taken. Where the product
// is finite the expression is kept as it is: x0 e / e rounds to a neighbour of x0 about
// once in ten, and the results must not move. For h, T > 0 the iteration converges in a
// few steps; a depth or period that is not positive and finite, or an x0 so small that
// e - 1 vanishes (no convergence in 1000 steps), gives ok = false.
inline WaveLength waveLengthNoCurrent(double T, double h) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double x0 = (3.141592 / T) * (3.141592 / T) * 4.0 * h / 9.81;
    if (!(x0 > 0.0) || !std::isfinite(x0)) return {nan, nan, false};
    double x = x0;
    for (int n = 0; n < 1000; ++n) {
        const double e = std::exp(2.0 * x);
        const double num = x0 * (e + 1.0);
        const double l = std::isfinite(num) ? num / (e - 1.0) : x0;
        if (std::fabs(x / l - 1.0) < 0.0001) return {6.283184 * h / l, l, true};
        x = (x + l) / 2.0;
    }
    return {nan, nan, false};
}

// Wave number k (1/m) for the frequency f (1/s) and depth h (m); NaN where
// waveLengthNoCurrent finds no wavelength.
inline double waveNumber(double f, double h) { return waveLengthNoCurrent(1.0 / f, h).kh / h; }

// Quadrant-correct direction of (x, y) in (-pi, pi]; -9 marks an undefined direction.
inline float angleOf(float x, float y) {
    const double pi = 3.14159265358979;
    double a;
    if (x > 0.0f) a = std::atan(static_cast<double>(y) / x);
    else if (x < 0.0f) a = std::atan(static_cast<double>(y) / x) + (y >= 0.0f ? pi : -pi);
    else if (y > 0.0f) a = 1.570796326794895;
    else if (y < 0.0f) a = -1.570796326794895;
    else a = -9.0;
    return static_cast<float>(a);
}

// A random wave height from the Rayleigh distribution whose mean height is Hm.
inline double rayleighHeight(RandomSequence& rnd, double Hm) {
    const double u = rnd.next();
    return 2.0 * Hm / std::sqrt(3.1415926) * std::sqrt(-std::log(u));
}

}  // namespace littoral

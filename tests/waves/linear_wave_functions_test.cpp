#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "waves/WaveFunctions.h"

using namespace littoral;

namespace {
double groupSpeed(double kh, double h) { return waveSpeeds(kh, h).Cg; }
}  // namespace

TEST(LinearWaves, DispersionWithoutCurrentSolvesTheRelation) {
    // omega^2 h / g = kh tanh kh; the iteration stops when k changes by less than 1e-5 1/m,
    // so the relation holds to about 1e-4 relative.
    for (float T : {4.0f, 8.0f, 14.0f}) {
        for (float h : {0.2f, 2.0f, 10.0f, 60.0f}) {
            const Dispersion d = waveNumberCurrent(T, h, 0, 0, 0);
            ASSERT_TRUE(d.ok);
            const double omega = 6.283184 / T;
            const double kh = d.kh;
            EXPECT_NEAR(kh * std::tanh(kh), omega * omega * h / 9.81, 2e-4 * omega * omega * h / 9.81)
                << "T=" << T << " h=" << h;
            EXPECT_NEAR(d.L, 6.283184 * h / kh, 1e-3 * d.L);
            const WaveLength w = waveLengthNoCurrent(T, h);
            EXPECT_NEAR(w.L, d.L, 2e-3 * d.L);  // two iterations, two tolerances
        }
    }
    // The tabulated value: 8 s in 10 m of water (h/L0 = 0.100) gives h/L = 0.1410, L = 70.9 m.
    EXPECT_NEAR(waveLengthNoCurrent(8, 10).L, 70.9, 0.1);
    EXPECT_NEAR(waveNumber(1.0 / 8.0, 10.0), 2 * M_PI / 70.9, 2e-4);
}

TEST(LinearWaves, DispersionWithoutCurrentInDeepWaterAndWithoutWater) {
    // Deep water, kh far beyond the overflow of exp(2 kh) near 354: L = g T^2 / (2 pi). The
    // model's own constants (pi as 3.141592, 2 pi as 6.283184) make it g T^2 / (2 x 3.141592)
    // exactly; against the true pi that is 2e-7 relative, plus rounding: 1e-6.
    for (double h : {1000.0, 5000.0, 1e6}) {
        const double T = 2.0;
        const WaveLength w = waveLengthNoCurrent(T, h);
        ASSERT_TRUE(w.ok) << h;
        EXPECT_NEAR(w.L, 9.81 * T * T / (2 * M_PI), 1e-6 * w.L) << h;
        EXPECT_GT(w.kh, 354.0) << "the case the exponential cannot reach";
        EXPECT_NEAR(waveNumber(1.0 / T, h), 4 * M_PI * M_PI / (9.81 * T * T), 1e-6 * waveNumber(1.0 / T, h));
    }
    // Across kh = 19 (coth kh = 1 in double) and 350 (where x0 (e + 1) overflows) the
    // wavelength runs on smoothly to the deep-water value.
    for (double kh0 : {18.5, 19.5, 349.0, 351.0, 353.0, 360.0}) {
        const double T = 3.0, h = kh0 * 9.81 / ((3.141592 / T) * (3.141592 / T) * 4.0);
        const WaveLength w = waveLengthNoCurrent(T, h);
        ASSERT_TRUE(w.ok) << kh0;
        EXPECT_NEAR(w.kh, kh0, 1e-12 * kh0) << kh0;
        EXPECT_NEAR(w.L, 9.81 * T * T / (2 * 3.141592), 1e-12 * w.L) << kh0;
    }
    // No water, no period, or values that are not numbers: no wavelength, and no endless
    // iteration (0/0 in coth 0 used to loop for ever). A depth so small that exp(2 kh) - 1
    // is 0 in double does not converge either.
    const double nan = std::nan(""), inf = INFINITY;
    for (auto [T, h] : {std::pair{8.0, 0.0}, std::pair{0.0, 5.0}, std::pair{8.0, -2.0}, std::pair{8.0, nan},
                        std::pair{nan, 5.0}, std::pair{8.0, inf}, std::pair{inf, 5.0}, std::pair{8.0, 1e-300}}) {
        const WaveLength w = waveLengthNoCurrent(T, h);
        EXPECT_FALSE(w.ok) << T << " s, " << h << " m";
        EXPECT_TRUE(std::isnan(w.L));
        EXPECT_TRUE(std::isnan(waveNumber(1.0 / T, h)));
    }
}

TEST(LinearWaves, CurrentsAndTheUndefinedDirection) {
    // A following current lengthens the wave, an opposing one shortens it.
    const Dispersion still = waveNumberCurrent(8, 5, 0, 0, 0);
    const Dispersion follow = waveNumberCurrent(8, 5, 1.0f, 0, 0);
    const Dispersion oppose = waveNumberCurrent(8, 5, -1.0f, 0, 0);
    EXPECT_GT(follow.L, still.L);
    EXPECT_LT(oppose.L, still.L);
    // Doppler relation omega = k (Un + C).
    const double k = 6.283184 / follow.L;
    EXPECT_NEAR(k * (1.0 + phaseSpeed(follow.kh, 5)), 6.283184 / 8, 1e-4);
    // With the marker -9 the current speed is taken along the wave, whatever its direction.
    const Dispersion m1 = waveNumberCurrent(8, 5, 0.6f, -0.8f, -9.0f);
    EXPECT_FLOAT_EQ(m1.L, follow.L);
    // A current of direction dir counts only by its component along the wave.
    const Dispersion side = waveNumberCurrent(8, 5, 0, 1.0f, 0.0f);
    EXPECT_FLOAT_EQ(side.L, still.L);
    // Too strong an opposing current: no wave.
    const Dispersion blocked = waveNumberCurrent(8, 1, -5.0f, 0, 0);
    EXPECT_FALSE(blocked.ok);
    EXPECT_FLOAT_EQ(blocked.L, 9999.0f);
    EXPECT_FLOAT_EQ(blocked.kh, 0.0f);
}

TEST(LinearWaves, SpeedsAndTheirLimits) {
    // Deep-water branches beyond kh = 100: C = sqrt(g/k), Cg = C/2.
    const double h = 200, kh = 150, k = kh / h;
    EXPECT_DOUBLE_EQ(phaseSpeed(kh, h), std::sqrt(9.81 / k));
    EXPECT_NEAR(groupSpeed(kh, h), phaseSpeed(kh, h) / 2, 1e-12);
    // Just below the branch the formulas agree with it.
    EXPECT_NEAR(phaseSpeed(99.0, 99.0 / k), std::sqrt(9.81 / k), 1e-9);
    EXPECT_NEAR(groupSpeed(99.0, 99.0 / k), std::sqrt(9.81 / k) / 2, 1e-9);
    // Shallow water: C = Cg = sqrt(g h) to first order in kh^2.
    const double hs = 0.5, khs = 0.01;
    EXPECT_NEAR(phaseSpeed(khs, hs), std::sqrt(9.81 * hs), 1e-4 * std::sqrt(9.81 * hs));
    EXPECT_NEAR(groupSpeed(khs, hs), std::sqrt(9.81 * hs), 1e-4 * std::sqrt(9.81 * hs));
    // Intermediate depth against the closed forms.
    const double kh2 = 1.2, h2 = 6;
    const double c = std::sqrt(9.81 / (kh2 / h2) * std::tanh(kh2));
    EXPECT_NEAR(phaseSpeed(kh2, h2), c, 1e-12);
    EXPECT_NEAR(groupSpeed(kh2, h2), c / 2 * (1 + 2 * kh2 / std::sinh(2 * kh2)), 1e-12);
    EXPECT_EQ(tanhD(150), 1.0);
    EXPECT_NEAR(tanhD(0.5), std::tanh(0.5), 1e-15);
    EXPECT_NEAR(sinhD(2) / coshD(2), std::tanh(2.0), 1e-15);
    // The paired forms share their exponentials and must give the single forms bit for bit
    // (the wave coefficients and the stresses use them), on both sides of the deep branch.
    for (double x : {1e-6, 0.013, 0.5, 1.2, 3.7, 19.0, 99.9, 100.0, 100.5, 350.0}) {
        for (double hh : {0.05, 1.0, 37.0}) {
            const WaveSpeeds sp = waveSpeeds(x, hh);
            EXPECT_EQ(sp.C, phaseSpeed(x, hh)) << x << " " << hh;
            EXPECT_EQ(sp.Cg, groupSpeed(x, hh)) << x << " " << hh;
        }
        const SinhCosh e = sinhCoshD(x);
        EXPECT_EQ(e.sh, sinhD(x)) << x;
        EXPECT_EQ(e.ch, coshD(x)) << x;
    }
}

TEST(LinearWaves, AngleOfEveryQuadrantAndTheMarker) {
    EXPECT_FLOAT_EQ(angleOf(0, 0), -9.0f);
    EXPECT_FLOAT_EQ(angleOf(-1, 0), static_cast<float>(3.14159265358979));
    EXPECT_NEAR(angleOf(-1, -1e-6f), -3.14159265358979, 1e-5);
    EXPECT_FLOAT_EQ(angleOf(0, 2), static_cast<float>(1.570796326794895));
    EXPECT_FLOAT_EQ(angleOf(0, -2), static_cast<float>(-1.570796326794895));
    EXPECT_FLOAT_EQ(angleOf(1, 1), static_cast<float>(M_PI / 4));
    EXPECT_FLOAT_EQ(angleOf(-1, 1), static_cast<float>(3 * M_PI / 4));
    EXPECT_FLOAT_EQ(angleOf(-1, -1), static_cast<float>(-3 * M_PI / 4));
}

TEST(LinearWaves, RayleighHeightsHaveTheMeanAndRepeat) {
    // The mean of 200000 draws is within 0.5 % of Hm (standard error about 0.12 %).
    RandomSequence a, b;
    double sum = 0;
    const int n = 200000;
    for (int k = 0; k < n; ++k) {
        const double h = rayleighHeight(a, 1.5);
        ASSERT_TRUE(std::isfinite(h));
        ASSERT_GE(h, 0.0);
        sum += h;
    }
    EXPECT_NEAR(sum / n, 1.5, 0.0075);
    // The sequence has a fixed start: a new one repeats the draws.
    RandomSequence c;
    EXPECT_EQ(rayleighHeight(b, 1.0), rayleighHeight(c, 1.0));
}

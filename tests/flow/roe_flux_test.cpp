#include <gtest/gtest.h>

#include <cmath>

#include "flow/RoeFlux.h"

using namespace littoral;

namespace {
constexpr float kMd = 0.01f;

FaceGrid oneFace() {
    FaceGrid f;
    f.allocate(0, 1, 0, 1);
    return f;
}
}  // namespace

// A closed face: each side sees its mirror image, so no mass and no tangential momentum pass
// and the normal momentum is the pressure plus the reflection term h^1.5 u. Tolerance: single
// precision results of order 1.
TEST(RoeFlux, WallFluxesOfAClosedFace) {
    FaceGrid f = oneFace();
    const float h = 0.64f, u = 0.3f, v = -0.2f;
    const double wall = h * u * u + h * h / 2.0, refl = std::pow(h, 1.5) * u;
    // West side: mirror to the east.
    roeFluxX(0, 0, h, h, u, -u, v, v, f, kMd);
    EXPECT_NEAR(f(0, 0, 0), 0.0, 1e-7);
    EXPECT_NEAR(f(1, 0, 0), wall + refl, 1e-6);
    EXPECT_NEAR(f(2, 0, 0), 0.0, 1e-7);
    // East side: mirror to the west.
    roeFluxX(0, 0, h, h, -u, u, v, v, f, kMd);
    EXPECT_NEAR(f(1, 0, 0), wall - refl, 1e-6);
    // A dry side has no waves: only the physical flux h u^2 + h^2/2 remains.
    const float hd = 0.005f;
    roeFluxX(0, 0, hd, hd, u, -u, v, v, f, kMd);
    EXPECT_NEAR(f(0, 0, 0), 0.0, 1e-9);
    EXPECT_NEAR(f(1, 0, 0), hd * u * u + hd * hd / 2.0, 1e-9);
    // The Y face mirrors v and carries the wall term in its third component.
    roeFluxY(0, 0, h, h, u, u, v, -v, f, kMd);
    EXPECT_NEAR(f(0, 0, 0), 0.0, 1e-7);
    EXPECT_NEAR(f(1, 0, 0), 0.0, 1e-7);
    EXPECT_NEAR(f(2, 0, 0), h * v * v + h * h / 2.0 + std::pow(h, 1.5) * v, 1e-6);
}

// Half-dry faces: divisor 3 and the wave onto the dry side at n~ -/+ 2c~; wet faces divisor 2.
TEST(RoeFlux, WaveStrengthsAndSpeedsByWetDryCode) {
    // Left dry (code 1): averages of the right side, h = 0.25, c = 0.5, n = 0.1.
    RoeWaveSet w = roeWaves(0.0f, 0.25f, 0.0f, 0.1f, 0.0f, 0.4f, kMd);
    EXPECT_NEAR(w.a1, (0.5 * 0.1 + 2 * 0.25) / 3, 1e-7);
    EXPECT_NEAR(w.a2, (0.25 - 0.5 * 0.1) / 3, 1e-7);
    EXPECT_NEAR(w.a3, 0.25 * 0.4, 1e-7);
    EXPECT_NEAR(w.l1, 0.1 + 0.5, 1e-7);
    EXPECT_NEAR(w.l2, 0.1 - 1.0, 1e-7);
    EXPECT_NEAR(w.l3, 0.1, 1e-7);
    // Right dry (code 2): h = 0.36, c = 0.6, n = -0.2; dh = -0.36, dn = 0.2.
    w = roeWaves(0.36f, 0.0f, -0.2f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_NEAR(w.a1, (0.6 * 0.2 - 0.36) / 3, 1e-7);
    EXPECT_NEAR(w.a2, (-0.72 - 0.6 * 0.2) / 3, 1e-7);
    EXPECT_NEAR(w.l1, -0.2 + 1.2, 1e-7);
    EXPECT_NEAR(w.l2, -0.2 - 0.6, 1e-7);
    // Wet (code 3) on equal depths 0.49: c = 0.7, n the mean.
    w = roeWaves(0.49f, 0.49f, 0.2f, 0.4f, 0.0f, 0.0f, kMd);
    EXPECT_NEAR(w.a1, 0.7 * 0.2 / 2, 1e-7);
    EXPECT_NEAR(w.a2, -0.7 * 0.2 / 2, 1e-7);
    EXPECT_NEAR(w.l1, 0.3 + 0.7, 1e-6);
    EXPECT_NEAR(w.l2, 0.3 - 0.7, 1e-6);
    // Dry face: nothing.
    w = roeWaves(0.001f, 0.002f, 5.0f, -5.0f, 1.0f, 2.0f, kMd);
    EXPECT_EQ(w.a1, 0.0f);
    EXPECT_EQ(w.l1, 0.0f);
    EXPECT_EQ(w.l2, 0.0f);
}

// A uniform state passes its physical flux unchanged (the Roe flux is consistent), in both
// directions; tolerance single precision.
TEST(RoeFlux, UniformStateGivesThePhysicalFlux) {
    FaceGrid f = oneFace();
    const float h = 0.8f, u = 0.25f, v = -0.4f;
    roeFluxX(1, 1, h, h, u, u, v, v, f, kMd);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(f(k, 1, 1), physFluxX(k, h, u, v), 1e-6) << k;
    roeFluxY(1, 1, h, h, u, u, v, v, f, kMd);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(f(k, 1, 1), physFluxY(k, h, u, v), 1e-6) << k;
}

// Still water at one level over a sloping bed: the X-momentum flux each side takes is its own
// hydrostatic pressure h^2/2, so pressure and bed term cancel in every cell of a still lake;
// the two mass fluxes agree and equal (hbar - h~)(dR - dL) / (2 c~).
TEST(RoeFlux, StillLakeBalanceOverASlopingBed) {
    FaceGrid E = oneFace(), W = oneFace();
    const float dL = 0.6f, dR = 0.9f, eta = 0.05f;
    const float hL = dL + eta, hR = dR + eta;
    roeFluxBedX(0, 1, hL, hR, dL, dR, 0.0f, 0.0f, 0.0f, 0.0f, E, W, kMd);
    EXPECT_NEAR(W(1, 0, 1), hL * hL / 2.0, 2e-7);
    EXPECT_NEAR(E(1, 0, 1), hR * hR / 2.0, 2e-7);
    EXPECT_EQ(E(0, 0, 1), W(0, 0, 1));
    const double hbar = (hL + hR) / 2.0, hg = std::sqrt(double(hL) * hR), cg = std::sqrt(hg);
    EXPECT_NEAR(W(0, 0, 1), (hbar - hg) * (dR - dL) / (2 * cg), 1e-7);
    EXPECT_NE(W(0, 0, 1), 0.0f);  // unequal depths: a small drift, as the scheme has it
    EXPECT_EQ(W(2, 0, 1), 0.0f);
    // The same in Y, where the normal momentum is the third component.
    roeFluxBedY(0, 1, hL, hR, dL, dR, 0.0f, 0.0f, 0.0f, 0.0f, E, W, kMd);
    EXPECT_NEAR(W(2, 0, 1), hL * hL / 2.0, 2e-7);
    EXPECT_NEAR(E(2, 0, 1), hR * hR / 2.0, 2e-7);
    EXPECT_EQ(W(1, 0, 1), 0.0f);
}

// The bed term hbar (dR - dL) is split by upwinding: in total the two sides differ by it; in
// supercritical flow towards R every wave runs to R, so L takes the plain Roe flux.
TEST(RoeFlux, BedTermIsUpwinded) {
    FaceGrid E = oneFace(), W = oneFace(), plain = oneFace();
    const float hL = 0.5f, hR = 0.4f, dL = 0.45f, dR = 0.38f;
    for (float u : {0.1f, 1.5f}) {  // subcritical, supercritical
        roeFluxBedX(0, 0, hL, hR, dL, dR, u, u, 0.0f, 0.0f, E, W, kMd);
        EXPECT_NEAR(E(1, 0, 0) - W(1, 0, 0), (hL + hR) / 2.0 * (dR - dL), 1e-6) << u;
        EXPECT_NEAR(E(0, 0, 0), W(0, 0, 0), 1e-7) << "mass is conserved, u = " << u;
    }
    roeFluxX(0, 0, hL, hR, 1.5f, 1.5f, 0.0f, 0.0f, plain, kMd);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(W(k, 0, 0), plain(k, 0, 0)) << k;
    // A dry face has no bed strength.
    EXPECT_EQ(bedStrength(0, 0.001f, 0.002f, 1.0f, 0.0f, kMd), 0.0f);
}

// The Y face is the X face with the roles of u and v and of the two momentum components
// exchanged (single precision tolerance).
TEST(RoeFlux, YFaceMirrorsTheXFace) {
    FaceGrid xe = oneFace(), xw = oneFace(), yn = oneFace(), ys = oneFace();
    const float hL = 0.7f, hR = 0.2f, dL = 0.65f, dR = 0.3f, a = 0.3f, b = -0.1f, c = 0.05f, e = 0.2f;
    roeFluxBedX(0, 0, hL, hR, dL, dR, a, b, c, e, xe, xw, kMd);
    roeFluxBedY(0, 0, hL, hR, dL, dR, c, e, a, b, yn, ys, kMd);
    EXPECT_NEAR(yn(0, 0, 0), xe(0, 0, 0), 1e-6);
    EXPECT_NEAR(yn(2, 0, 0), xe(1, 0, 0), 1e-6);
    EXPECT_NEAR(yn(1, 0, 0), xe(2, 0, 0), 1e-6);
    EXPECT_NEAR(ys(2, 0, 0), xw(1, 0, 0), 1e-6);
    EXPECT_NEAR(ys(1, 0, 0), xw(2, 0, 0), 1e-6);
}

// The fused face averages are the separate Roe averages bit for bit, on every wet/dry code.
TEST(RoeFlux, FusedFaceAveragesEqualTheSeparateOnes) {
    uint32_t s = 12345;
    auto rnd = [&s]() {
        s = s * 1664525u + 1013904223u;
        return static_cast<float>((s >> 8) * (1.0 / 16777216.0));
    };
    for (int n = 0; n < 20000; ++n) {
        const float hL = rnd() < 0.2f ? 0.02f * rnd() : 3 * rnd(), hR = rnd() < 0.2f ? 0.02f * rnd() : 3 * rnd();
        const float nL = 2 * rnd() - 1, nR = 2 * rnd() - 1, tL = 2 * rnd() - 1, tR = 2 * rnd() - 1;
        const FaceAverages a = faceAverages(hL, hR, nL, nR, tL, tR, kMd);
        ASSERT_EQ(a.code, wetDryCode(hL, hR, kMd));
        ASSERT_EQ(a.c, roeCel(hL, hR, kMd));
        ASSERT_EQ(a.h, roeDepth(hL, hR, kMd));
        ASSERT_EQ(a.n, roeVel(hL, hR, nL, nR, kMd));
        ASSERT_EQ(a.t, roeVel(hL, hR, tL, tR, kMd));
        ASSERT_EQ(bedStrength(0, hL, hR, 0.3f, 0.2f, kMd), bedStrengthOf(0, a.c, hL, hR, 0.3f, 0.2f));
    }
}

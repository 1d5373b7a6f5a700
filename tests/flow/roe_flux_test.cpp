// The Roe face flux kernel (flow/RoeFlux.h) against values worked out by hand: walls,
// wave strengths and speeds of every wet/dry case, consistency, the still lake, the exact
// speeds of a dam break, and the symmetries of the face (X against Y, L against R).
#include <gtest/gtest.h>

#include <cmath>

#include "support/RoeReference.h"

using namespace littoral;
using namespace littoral::test;

namespace {
constexpr float kMd = 0.01f;
}  // namespace

// A closed face: each side sees its mirror image, so no mass and no tangential momentum pass
// and the normal momentum is the pressure plus the reflection term h^1.5 u. Tolerance: single
// precision results of order 1.
TEST(RoeFlux, WallFluxesOfAClosedFace) {
    const float h = 0.64f, u = 0.3f, v = -0.2f;
    const double wall = h * u * u + h * h / 2.0, refl = std::pow(h, 1.5) * u;
    // West side: mirror to the east.
    FaceFlux f = wallFluxOfL<Along::X>(h, u, v, kMd);
    EXPECT_NEAR(f.mass, 0.0, 1e-7);
    EXPECT_NEAR(f.normal, wall + refl, 1e-6);
    EXPECT_NEAR(f.tangential, 0.0, 1e-7);
    // East side: mirror to the west.
    f = wallFluxOfR<Along::X>(h, u, v, kMd);
    EXPECT_NEAR(f.normal, wall - refl, 1e-6);
    // A dry side has no waves: only the physical flux h u^2 + h^2/2 remains.
    const float hd = 0.005f;
    f = wallFluxOfL<Along::X>(hd, u, v, kMd);
    EXPECT_NEAR(f.mass, 0.0, 1e-9);
    EXPECT_NEAR(f.normal, hd * u * u + hd * hd / 2.0, 1e-9);
    // The Y face mirrors v and carries the wall term in its third stored component.
    const std::array<float, 3> y = roeFlux<Along::Y>(h, h, u, u, v, -v, kMd);
    EXPECT_NEAR(y[0], 0.0, 1e-7);
    EXPECT_NEAR(y[1], 0.0, 1e-7);
    EXPECT_NEAR(y[2], h * v * v + h * h / 2.0 + std::pow(h, 1.5) * v, 1e-6);
}

// Half-dry faces: divisor 3 and the wave onto the dry side at n~ -/+ 2c~; wet faces divisor 2.
TEST(RoeFlux, WaveStrengthsAndSpeedsByWetDryCode) {
    // Left dry (code 1): averages of the right side, h = 0.25, c = 0.5, n = 0.1.
    RoeFace w = faceOf<Along::X>(0.0f, 0.25f, 0.0f, 0.1f, 0.0f, 0.4f, kMd);
    EXPECT_NEAR(w.a1, (0.5 * 0.1 + 2 * 0.25) / 3, 1e-7);
    EXPECT_NEAR(w.a2, (0.25 - 0.5 * 0.1) / 3, 1e-7);
    EXPECT_NEAR(w.a3, 0.25 * 0.4, 1e-7);
    EXPECT_NEAR(w.l1, 0.1 + 0.5, 1e-7);
    EXPECT_NEAR(w.l2, 0.1 - 1.0, 1e-7);
    EXPECT_NEAR(w.l3, 0.1, 1e-7);
    // Right dry (code 2): h = 0.36, c = 0.6, n = -0.2; dh = -0.36, dn = 0.2.
    w = faceOf<Along::X>(0.36f, 0.0f, -0.2f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_NEAR(w.a1, (0.6 * 0.2 - 0.36) / 3, 1e-7);
    EXPECT_NEAR(w.a2, (-0.72 - 0.6 * 0.2) / 3, 1e-7);
    EXPECT_NEAR(w.l1, -0.2 + 1.2, 1e-7);
    EXPECT_NEAR(w.l2, -0.2 - 0.6, 1e-7);
    // Wet (code 3) on equal depths 0.49: c = 0.7, n the mean.
    w = faceOf<Along::X>(0.49f, 0.49f, 0.2f, 0.4f, 0.0f, 0.0f, kMd);
    EXPECT_NEAR(w.a1, 0.7 * 0.2 / 2, 1e-7);
    EXPECT_NEAR(w.a2, -0.7 * 0.2 / 2, 1e-7);
    EXPECT_NEAR(w.l1, 0.3 + 0.7, 1e-6);
    EXPECT_NEAR(w.l2, 0.3 - 0.7, 1e-6);
    // Dry face: nothing.
    w = faceOf<Along::X>(0.001f, 0.002f, 5.0f, -5.0f, 1.0f, 2.0f, kMd);
    EXPECT_EQ(w.a1, 0.0f);
    EXPECT_EQ(w.l1, 0.0f);
    EXPECT_EQ(w.l2, 0.0f);
    // The same faces along Y, where v is the normal velocity.
    w = faceOf<Along::Y>(0.0f, 0.25f, 0.0f, 0.4f, 0.0f, 0.1f, kMd);
    EXPECT_NEAR(w.a1, (0.5 * 0.1 + 2 * 0.25) / 3, 1e-7);
    EXPECT_NEAR(w.l2, 0.1 - 1.0, 1e-7);
}

// A dam break: still water of depth 1 beside a dry bed. The exact solution's front runs onto
// the dry bed at 2 sqrt(h) and its rarefaction into the water at -sqrt(h) (gravity 1); the
// face's waves move at exactly these speeds, on either side and in either direction.
TEST(RoeFlux, DamBreakFaceGivesTheExactRiemannSpeeds) {
    RoeFace w = faceOf<Along::X>(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_EQ(w.l1, 2.0f);
    EXPECT_EQ(w.l2, -1.0f);
    w = faceOf<Along::X>(0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_EQ(w.l1, 1.0f);
    EXPECT_EQ(w.l2, -2.0f);
    w = faceOf<Along::Y>(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_EQ(w.l1, 2.0f);
    EXPECT_EQ(w.l2, -1.0f);
    // Between two wet cells of depth 0.25 the speeds are n~ -/+ c~, c~ = 0.5.
    w = faceOf<Along::X>(0.25f, 0.25f, 0.5f, 0.5f, 0.0f, 0.0f, kMd);
    EXPECT_EQ(w.l1, 1.0f);
    EXPECT_EQ(w.l2, 0.0f);
}

// Still water over a flat bed passes no mass and its pressure only; two equal streams
// running into each other pass no mass either.
TEST(RoeFlux, StillWaterAndCollidingStreamsPassNoMass) {
    const float h = 0.7f;
    for (const SideFluxes& f : {roeFluxWithBed<Along::X>(h, h, 0.6f, 0.6f, 0.0f, 0.0f, 0.0f, 0.0f, kMd),
                                roeFluxWithBed<Along::Y>(h, h, 0.6f, 0.6f, 0.0f, 0.0f, 0.0f, 0.0f, kMd)}) {
        EXPECT_EQ(f.toR[0], 0.0f);
        EXPECT_EQ(f.toL[0], 0.0f);
        EXPECT_EQ(f.toR, f.toL);
    }
    const std::array<float, 3> x = roeFlux<Along::X>(h, h, 0.0f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_EQ(x[1], static_cast<float>(h * static_cast<double>(h) / 2.0));
    EXPECT_EQ(x[2], 0.0f);
    EXPECT_EQ(roeFlux<Along::X>(h, h, 0.3f, -0.3f, 0.1f, 0.1f, kMd)[0], 0.0f);
    EXPECT_EQ(roeFlux<Along::Y>(h, h, 0.1f, 0.1f, 0.3f, -0.3f, kMd)[0], 0.0f);
}

// A uniform state passes its physical flux unchanged (the Roe flux is consistent), in both
// directions; tolerance single precision.
TEST(RoeFlux, UniformStateGivesThePhysicalFlux) {
    const double h = 0.8f, u = 0.25f, v = -0.4f;
    const std::array<float, 3> x = roeFlux<Along::X>(h, h, u, u, v, v, kMd);
    const std::array<float, 3> y = roeFlux<Along::Y>(h, h, u, u, v, v, kMd);
    const double px[3] = {h * u, h * u * u + h * h / 2, h * u * v}, py[3] = {h * v, h * u * v, h * v * v + h * h / 2};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(x[k], px[k], 1e-6) << k;
        EXPECT_NEAR(y[k], py[k], 1e-6) << k;
    }
}

// Still water at one level over a sloping bed: the X-momentum flux each side takes is its own
// hydrostatic pressure h^2/2, so pressure and bed term cancel in every cell of a still lake;
// the two mass fluxes agree and equal (hbar - h~)(dR - dL) / (2 c~).
TEST(RoeFlux, StillLakeBalanceOverASlopingBed) {
    const float dL = 0.6f, dR = 0.9f, eta = 0.05f;
    const float hL = dL + eta, hR = dR + eta;
    SideFluxes f = roeFluxWithBed<Along::X>(hL, hR, dL, dR, 0.0f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_NEAR(f.toL[1], hL * hL / 2.0, 2e-7);
    EXPECT_NEAR(f.toR[1], hR * hR / 2.0, 2e-7);
    EXPECT_EQ(f.toR[0], f.toL[0]);
    const double hbar = (hL + hR) / 2.0, hg = std::sqrt(double(hL) * hR), cg = std::sqrt(hg);
    EXPECT_NEAR(f.toL[0], (hbar - hg) * (dR - dL) / (2 * cg), 1e-7);
    EXPECT_NE(f.toL[0], 0.0f);  // unequal depths: a small drift, as the scheme has it
    EXPECT_EQ(f.toL[2], 0.0f);
    // The same in Y, where the normal momentum is the third component.
    f = roeFluxWithBed<Along::Y>(hL, hR, dL, dR, 0.0f, 0.0f, 0.0f, 0.0f, kMd);
    EXPECT_NEAR(f.toL[2], hL * hL / 2.0, 2e-7);
    EXPECT_NEAR(f.toR[2], hR * hR / 2.0, 2e-7);
    EXPECT_EQ(f.toL[1], 0.0f);
}

// The bed term hbar (dR - dL) is split by upwinding: in total the two sides differ by it; in
// supercritical flow towards R every wave runs to R, so L takes the plain Roe flux.
TEST(RoeFlux, BedTermIsUpwinded) {
    const float hL = 0.5f, hR = 0.4f, dL = 0.45f, dR = 0.38f;
    for (float u : {0.1f, 1.5f}) {  // subcritical, supercritical
        const SideFluxes f = roeFluxWithBed<Along::X>(hL, hR, dL, dR, u, u, 0.0f, 0.0f, kMd);
        EXPECT_NEAR(f.toR[1] - f.toL[1], (hL + hR) / 2.0 * (dR - dL), 1e-6) << u;
        EXPECT_NEAR(f.toR[0], f.toL[0], 1e-7) << "mass is conserved, u = " << u;
    }
    const SideFluxes f = roeFluxWithBed<Along::X>(hL, hR, dL, dR, 1.5f, 1.5f, 0.0f, 0.0f, kMd);
    EXPECT_EQ(f.toL, roeFlux<Along::X>(hL, hR, 1.5f, 1.5f, 0.0f, 0.0f, kMd));
    // A dry face has no bed term: both sides take the plain flux.
    const SideFluxes dry = roeFluxWithBed<Along::X>(0.001f, 0.002f, 1.0f, 0.0f, 0.3f, 0.2f, 0.0f, 0.0f, kMd);
    EXPECT_EQ(dry.toR, dry.toL);
    EXPECT_EQ(dry.toR, roeFlux<Along::X>(0.001f, 0.002f, 0.3f, 0.2f, 0.0f, 0.0f, kMd));
}

// The Y face is the X face with the roles of u and v and of the two momentum components
// exchanged (single precision tolerance: the product h n t is formed in the other order).
TEST(RoeFlux, YFaceMirrorsTheXFace) {
    const float hL = 0.7f, hR = 0.2f, dL = 0.65f, dR = 0.3f, a = 0.3f, b = -0.1f, c = 0.05f, e = 0.2f;
    const SideFluxes x = roeFluxWithBed<Along::X>(hL, hR, dL, dR, a, b, c, e, kMd);
    const SideFluxes y = roeFluxWithBed<Along::Y>(hL, hR, dL, dR, c, e, a, b, kMd);
    EXPECT_NEAR(y.toR[0], x.toR[0], 1e-6);
    EXPECT_NEAR(y.toR[2], x.toR[1], 1e-6);
    EXPECT_NEAR(y.toR[1], x.toR[2], 1e-6);
    EXPECT_NEAR(y.toL[2], x.toL[1], 1e-6);
    EXPECT_NEAR(y.toL[1], x.toL[2], 1e-6);
}

// Seen from the other side (L and R exchanged, the normal velocities reversed) a face
// carries the same mass the other way, bit for bit.
TEST(RoeFlux, LeftRightMirrorReversesTheMass) {
    const float hL = 0.7f, hR = 0.2f, nL = 0.3f, nR = -0.1f, tL = 0.05f, tR = 0.2f;
    const std::array<float, 3> f = roeFlux<Along::X>(hL, hR, nL, nR, tL, tR, kMd);
    const std::array<float, 3> g = roeFlux<Along::X>(hR, hL, -nR, -nL, tR, tL, kMd);
    EXPECT_EQ(g[0], -f[0]);
    EXPECT_NEAR(g[1], f[1], 1e-6);
}

// The branch-free averages of the kernel are the averages written case by case, bit for
// bit, on every wet/dry code; so are the open boundary's speeds.
TEST(RoeFlux, FaceAveragesEqualTheCaseByCaseOnes) {
    uint32_t s = 12345;
    auto rnd = [&s]() {
        s = s * 1664525u + 1013904223u;
        return static_cast<float>((s >> 8) * (1.0 / 16777216.0));
    };
    for (int n = 0; n < 20000; ++n) {
        const float hL = rnd() < 0.2f ? 0.02f * rnd() : 3 * rnd(), hR = rnd() < 0.2f ? 0.02f * rnd() : 3 * rnd();
        const float nL = 2 * rnd() - 1, nR = 2 * rnd() - 1, tL = 2 * rnd() - 1, tR = 2 * rnd() - 1;
        const RoeFace a = faceOf<Along::X>(hL, hR, nL, nR, tL, tR, kMd);
        ASSERT_EQ(a.c, roeCel(hL, hR, kMd));
        ASSERT_EQ(a.t, roeVel(hL, hR, tL, tR, kMd));
        ASSERT_EQ(a.l3, roeVel(hL, hR, nL, nR, kMd));
        ASSERT_EQ(roeDepth(hL >= kMd, hR >= kMd, hL, hR), roeDepthOf(hL, hR, kMd));
        for (int k = 0; k < 3; ++k) ASSERT_EQ(roeSpeed(k, hL, hR, nL, nR, kMd), roeSpeedByCode(k, hL, hR, nL, nR, kMd));
    }
}

// The face fluxes of a flow step over grids mixing wet, dry and half-dry faces, levels
// above and below the dry bed and closed faces in both directions, against the fluxes
// formed face by face, with branches, from the point kernel of RoeFlux.h (the general form,
// every face as if it could be half-dry). The blocked, branch-free loop must give the same
// numbers bit for bit (zero signs included): the whole run follows from them.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "run/MainLoop.h"
#include "flow/Flow.h"
#include "support/RoeReference.h"
#include "support/FlowSupport.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

inline void zeroFace(FaceGrid& f, int32_t i, int32_t j) {
    for (int k = 0; k < 3; ++k) f(k, i, j) = 0.0f;
}

inline void setFace(FaceGrid& f, int32_t i, int32_t j, const std::array<float, 3>& v) {
    for (int k = 0; k < 3; ++k) f(k, i, j) = v[k];
}

// The face with the bed term into the grids of the R side and of the L side.
template <Along kDir>
void bedFace(FaceGrid& toR, FaceGrid& toL, int32_t i, int32_t j, float hL, float hR, float dL, float dR, float uL,
             float uR, float vL, float vR, float md) {
    const SideFluxes f = roeFluxWithBed<kDir>(hL, hR, dL, dR, uL, uR, vL, vR, md);
    setFace(toR, i, j, f.toR);
    setFace(toL, i, j, f.toL);
}

// Level of the wet side (h - d) above the dry side's bed (-d), both rounded to single precision.
inline bool levelAboveBed(float hWet, float dWet, float dDry) {
    return static_cast<float>(static_cast<double>(hWet) - dWet) > -dDry;
}

// The classification of one face, the same for X and Y: wallL and wallR write the wall flux
// of a side, bed the flux with bed term of both sides, fL and fR what the sides take.
template <class WallL, class WallR, class Bed>
void referenceFace(bool closed, float hL, float hR, float dL, float dR, float md, FaceGrid& fL, FaceGrid& fR,
                   int32_t i, int32_t j, WallL wallL, WallR wallR, Bed bed) {
    if (closed) {
        wallL();
        wallR();
        return;
    }
    switch (wetDryCode(hL, hR, md)) {
        case 0:
            zeroFace(fL, i, j);
            zeroFace(fR, i, j);
            break;
        case 1:  // L dry, R wet
            if (levelAboveBed(hR, dR, dL)) {
                bed();
            } else {
                wallR();
                zeroFace(fL, i, j);
            }
            break;
        case 2:  // L wet, R dry
            if (levelAboveBed(hL, dL, dR)) {
                bed();
            } else {
                wallL();
                zeroFace(fR, i, j);
            }
            break;
        default:
            bed();
            break;
    }
}

// Face by face; a closed ghost stands on its neighbour's bed (flowStillDepth).
void referenceFluxes(Model& m) {
    const float md = m.minDepthS;
    for (int32_t j = m.jyStart - 1; j <= m.jyEnd; ++j)
        for (int32_t i = m.ixStart - 1; i <= m.ixEnd; ++i) {
            const float hL = m.hTot(i, j), uL = m.uS(i, j), vL = m.vS(i, j), dL = flowStillDepth(m, i, j);
            const int32_t flagL = m.cellFlag(i, j);
            {  // X face: u mirrored at walls
                const float hR = m.hTot(i + 1, j), uR = m.uS(i + 1, j), vR = m.vS(i + 1, j);
                const float dR = flowStillDepth(m, i + 1, j);
                referenceFace(((m.cellFlag(i + 1, j) & 4) | (flagL & 1)) != 0, hL, hR, dL, dR, md, m.fluxXW, m.fluxXE,
                              i, j, [&] { setFace(m.fluxXW, i, j, roeFlux<Along::X>(hL, hL, uL, -uL, vL, vL, md)); },
                              [&] { setFace(m.fluxXE, i, j, roeFlux<Along::X>(hR, hR, -uR, uR, vR, vR, md)); },
                              [&] { bedFace<Along::X>(m.fluxXE, m.fluxXW, i, j, hL, hR, dL, dR, uL, uR, vL, vR, md); });
            }
            {  // Y face: v mirrored at walls
                const float hR = m.hTot(i, j + 1), uR = m.uS(i, j + 1), vR = m.vS(i, j + 1);
                const float dR = flowStillDepth(m, i, j + 1);
                referenceFace(((m.cellFlag(i, j + 1) & 8) | (flagL & 2)) != 0, hL, hR, dL, dR, md, m.fluxYS, m.fluxYN,
                              i, j, [&] { setFace(m.fluxYS, i, j, roeFlux<Along::Y>(hL, hL, uL, uL, vL, -vL, md)); },
                              [&] { setFace(m.fluxYN, i, j, roeFlux<Along::Y>(hR, hR, uR, uR, -vR, vR, md)); },
                              [&] { bedFace<Along::Y>(m.fluxYN, m.fluxYS, i, j, hL, hR, dL, dR, uL, uR, vL, vR, md); });
            }
        }
}

}  // namespace

TEST(ComputeFluxes, BlockedRowsEqualTheFaceByFaceFluxes) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), vel(-2.0f, 2.0f);
    for (int nx : {1, 5, 127, 128, 129, 300}) {
        for (int trial = 0; trial < 4; ++trial) {
            const FlowGridSpec s{.nx = nx, .ny = 4};
            Model m = makeFlowModel(s);
            m.lenScale = 1.7f;
            m.minDepth = m.minDepthS = 0.01f;
            // The last trial takes beds, depths and velocities on a grid of 1/16 with the
            // length scale 1, so that levels exactly at the dry bed, equal depths and equal
            // velocities on both sides of a face (zero waves) come up often.
            const bool coarse = trial == 3;
            if (coarse) m.lenScale = 1.0f;
            auto q = [](float x) { return std::round(x * 16.0f) / 16.0f; };
            for (int32_t j = 0; j <= s.ny + 1; ++j)
                for (int32_t i = 0; i <= nx + 1; ++i) {
                    // Beds from 0.5 m below to 0.3 m above the still level, depths dry,
                    // exactly minDepth, just below it, or wet; some still, some moving.
                    m.dep(i, j) = -0.3f + 0.8f * unit(rng);
                    const float r = unit(rng);
                    m.hTot(i, j) = r < 0.25f ? 0.0f
                                   : r < 0.3f ? m.minDepthS
                                   : r < 0.35f ? 0.0099f
                                   : r < 0.4f ? 0.005f
                                              : 0.6f * unit(rng);
                    const bool still = unit(rng) < 0.15f;
                    m.uS(i, j) = still ? 0.0f : vel(rng);
                    m.vS(i, j) = still ? 0.0f : vel(rng);
                    if (coarse) {
                        m.dep(i, j) = q(m.dep(i, j));
                        m.hTot(i, j) = q(m.hTot(i, j));
                        m.uS(i, j) = q(m.uS(i, j));
                        m.vS(i, j) = q(m.vS(i, j));
                    }
                    m.cellFlag(i, j) = unit(rng) < 0.2f ? static_cast<int32_t>(unit(rng) * 16) : 0;
                }
            Model ref = m;
            SilentHost host;
            computeFluxes(m);
            referenceFluxes(ref);
            EXPECT_EQ(firstBitDifference(m.fluxXE.data(), ref.fluxXE.data(), m.fluxXE.size()), -1) << "fluxXE, nx " << nx << ", trial " << trial;
            EXPECT_EQ(firstBitDifference(m.fluxXW.data(), ref.fluxXW.data(), m.fluxXW.size()), -1) << "fluxXW, nx " << nx << ", trial " << trial;
            EXPECT_EQ(firstBitDifference(m.fluxYN.data(), ref.fluxYN.data(), m.fluxYN.size()), -1) << "fluxYN, nx " << nx << ", trial " << trial;
            EXPECT_EQ(firstBitDifference(m.fluxYS.data(), ref.fluxYS.data(), m.fluxYS.size()), -1) << "fluxYS, nx " << nx << ", trial " << trial;
        }
    }
}

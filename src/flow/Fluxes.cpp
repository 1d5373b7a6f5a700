// Face fluxes of one flow step (computeFluxes).
//
// For every X face (i, j)-(i+1, j) and Y face (i, j)-(i, j+1), i = ixStart-1..ixEnd,
// j = jyStart-1..jyEnd, the flux is computed from the current level (hTot, uS, vS) and the
// still depth d = depthRatio. L is the west/south cell (i, j), R the east/north one.
// fluxXW / fluxYS hold the flux as the L cell takes it, fluxXE / fluxYN as the R cell takes
// it; both are stored at (., i, j).
//
// Classification of a face, X written (Y: bits 8 of R and 2 of L, v mirrored instead of u):
//   closed (cellFlag(R) & 4 or cellFlag(L) & 1): each side sees its own mirror image,
//       a wall flux without bed term, whatever the depths;
//   both dry: zero flux on both sides;
//   half-dry: if the wet side's level lies strictly above the dry side's bed the face
//       carries the full flux with bed term, otherwise the wet side sees a wall and the dry
//       side gets zero;
//   both wet: Roe flux with the upwinded bed term.
// Only the current level is read, so the order of the faces does not matter.
#include "app/MainLoop.h"
#include "flow/Flow.h"
#include "flow/RoeFlux.h"

namespace littoral {

namespace {

inline void zeroFace(FaceGrid& f, int32_t i, int32_t j) {
    f(0, i, j) = 0.0f;
    f(1, i, j) = 0.0f;
    f(2, i, j) = 0.0f;
}

// Level of the wet side (h - d) above the dry side's bed (-d), both rounded to single precision.
inline bool levelAboveBed(float hWet, float dWet, float dDry) {
    return static_cast<float>(static_cast<double>(hWet) - dWet) > -dDry;
}

void faceX(Model& m, int32_t i, int32_t j, bool closed, float hL, float hR, float dL, float dR, float uL,
           float uR, float vL, float vR) {
    const float md = m.minDepth;
    if (closed) {
        roeFluxX(i, j, hL, hL, uL, -uL, vL, vL, m.fluxXW, md);
        roeFluxX(i, j, hR, hR, -uR, uR, vR, vR, m.fluxXE, md);
        return;
    }
    switch (wetDryCode(hL, hR, md)) {
        case 0:
            zeroFace(m.fluxXW, i, j);
            zeroFace(m.fluxXE, i, j);
            break;
        case 1:  // L dry, R wet
            if (levelAboveBed(hR, dR, dL)) {
                roeFluxBedX(i, j, hL, hR, dL, dR, uL, uR, vL, vR, m.fluxXE, m.fluxXW, md);
            } else {
                roeFluxX(i, j, hR, hR, -uR, uR, vR, vR, m.fluxXE, md);
                zeroFace(m.fluxXW, i, j);
            }
            break;
        case 2:  // L wet, R dry
            if (levelAboveBed(hL, dL, dR)) {
                roeFluxBedX(i, j, hL, hR, dL, dR, uL, uR, vL, vR, m.fluxXE, m.fluxXW, md);
            } else {
                roeFluxX(i, j, hL, hL, uL, -uL, vL, vL, m.fluxXW, md);
                zeroFace(m.fluxXE, i, j);
            }
            break;
        default:
            roeFluxBedX(i, j, hL, hR, dL, dR, uL, uR, vL, vR, m.fluxXE, m.fluxXW, md);
            break;
    }
}

void faceY(Model& m, int32_t i, int32_t j, bool closed, float hL, float hR, float dL, float dR, float uL,
           float uR, float vL, float vR) {
    const float md = m.minDepth;
    if (closed) {
        roeFluxY(i, j, hL, hL, uL, uL, vL, -vL, m.fluxYS, md);
        roeFluxY(i, j, hR, hR, uR, uR, -vR, vR, m.fluxYN, md);
        return;
    }
    switch (wetDryCode(hL, hR, md)) {
        case 0:
            zeroFace(m.fluxYS, i, j);
            zeroFace(m.fluxYN, i, j);
            break;
        case 1:  // L (south) dry, R (north) wet
            if (levelAboveBed(hR, dR, dL)) {
                roeFluxBedY(i, j, hL, hR, dL, dR, uL, uR, vL, vR, m.fluxYN, m.fluxYS, md);
            } else {
                roeFluxY(i, j, hR, hR, uR, uR, -vR, vR, m.fluxYN, md);
                zeroFace(m.fluxYS, i, j);
            }
            break;
        case 2:  // L wet, R dry
            if (levelAboveBed(hL, dL, dR)) {
                roeFluxBedY(i, j, hL, hR, dL, dR, uL, uR, vL, vR, m.fluxYN, m.fluxYS, md);
            } else {
                roeFluxY(i, j, hL, hL, uL, uL, vL, -vL, m.fluxYS, md);
                zeroFace(m.fluxYN, i, j);
            }
            break;
        default:
            roeFluxBedY(i, j, hL, hR, dL, dR, uL, uR, vL, vR, m.fluxYN, m.fluxYS, md);
            break;
    }
}

}  // namespace

void computeFluxes(Model& m, RunHost& host) {
    // Rows of faces along memory (i fastest); the faces are independent, so the order
    // does not change the fluxes.
    for (int32_t j = m.jyStart - 1; j <= m.jyEnd; ++j) {
        for (int32_t i = m.ixStart - 1; i <= m.ixEnd; ++i) {
            const float hL = m.hTot(i, j), uL = m.uS(i, j), vL = m.vS(i, j), dL = depthRatio(m, i, j);
            const int32_t flagL = m.cellFlag(i, j);
            {  // X face towards (i+1, j)
                const float hR = m.hTot(i + 1, j), uR = m.uS(i + 1, j), vR = m.vS(i + 1, j);
                const float dR = depthRatio(m, i + 1, j);
                const bool closed = ((m.cellFlag(i + 1, j) & 4) | (flagL & 1)) != 0;
                faceX(m, i, j, closed, hL, hR, dL, dR, uL, uR, vL, vR);
            }
            {  // Y face towards (i, j+1)
                const float hR = m.hTot(i, j + 1), uR = m.uS(i, j + 1), vR = m.vS(i, j + 1);
                const float dR = depthRatio(m, i, j + 1);
                const bool closed = ((m.cellFlag(i, j + 1) & 8) | (flagL & 2)) != 0;
                faceY(m, i, j, closed, hL, hR, dL, dR, uL, uR, vL, vR);
            }
        }
        host.pumpEvents();  // once per row: the inner loop stays free of calls out
    }
}

}  // namespace littoral

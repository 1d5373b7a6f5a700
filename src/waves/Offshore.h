// Offshore wave transformation: carries the offshore wave of the wave file to the phase
// reference point over parallel depth contours (refraction, linear and nonlinear shoaling,
// breaker index) and overwrites waveH0 and waveDir0 with the local values.
//
// Notation: L0 deep-water wavelength, x = h/L0 relative depth, s = H/L0 steepness relative
// to L0, theta0 the offshore angle of approach (rad, from the shore normal), theta the
// local angle. The wave file's direction convention makes 180 degrees normal incidence:
//   theta0 = pi - dir (dir > 0),   theta0 = -dir - pi (dir <= 0),   both in radians.
// Arguments are the single-precision values the callers store; results are returned in
// double precision for the callers to round.
#pragma once

#include "core/Model.h"

namespace littoral {

void transformIncidentWave(Model& m);

// A point (relative depth x, steepness s) of the transformation.
struct SteepnessPoint {
    double s;
    double x;
    // false when the search found no sign change in 0.001 .. 1: x is then the end of a
    // bracket that closed in on 1, not a crossing.
    bool bracketed = true;
};

// Offshore angle of approach (rad) of a wave-file direction (degrees), and back.
double offshoreAngle(float waveDirDeg);
double directionDegrees(float theta);

// Snell's law over parallel contours: sin theta = L/L0 sin theta0 (0 when |L/L0 sin theta0|
// >= 1); where L/L0 > 1 (deep water, by the dispersion iteration's tolerance) and
// |L/L0 sin theta0| > 0.999, the angle moves over to theta0 as that product reaches 1.
double refractAngle(float L, float L0, float theta0);
// Kr = sqrt(cos theta0 / cos theta).
double refractionCoef(float theta, float theta0);
// n = Cg/C = (1 + 2kh/sinh 2kh)/2.
double groupRatio(float h, float L);
// Ks = sqrt(L0 / (2 n L)).
double shoalingCoef(float L, float L0, float n);
// s = Ks Kr H0 / L0.
double linearSteepness(float h, float L, float H0, float L0, float theta0);
// Steepness at which gHT^2/h^2 = 2 pi s / x^2 = 50.
double ursell50Steepness(float x);
// Where linear shoaling from (H0, T, theta0) reaches gHT^2/h^2 = 50 (bisection on x).
SteepnessPoint linearLimitPoint(float H0, float T, float theta0);
// sqrt(gHT^2/h^2) = sqrt(2 pi s)/x, a negative s taken as 0.
double ursellRoot(float s, float x);
// Shuto's relation H h^(5/2) (sqrt(gHT^2/h^2) - 2 sqrt 3) = const from (sRef, xRef) to x.
double nonlinearSteepness(float sRef, float xRef, float x);
// Goda's breaker index Hb/L0 = 0.17 (1 - exp(-1.5 pi x (1 + 15 slope^(4/3)))).
double breakerSteepness(float x, float slope);
// Where nonlinear shoaling from (sRef, xRef) meets the breaker index (bisection on x).
SteepnessPoint breakingPoint(float sRef, float xRef, float slope);

}  // namespace littoral

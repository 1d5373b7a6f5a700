#include "output/FieldTable.h"

namespace littoral {

// In the order of the columns of the result field files.
const ResultField kResultFields[kResultFieldCount] = {
    {"bed_level", "_dep", "m", "bed level above the datum (negated still-water depth) used by the interval", "",
     &Model::dep, true},
    {"wavH", "wavH", "m", "wave height of the last wave period", "", &Model::wavH, false},
    {"setup", "setup", "m", "mean water level (set-up, tide and long-period motion) at the end of the interval", "",
     &Model::setup, false},
    {"lfu", "lfu", "m s-1", "depth-averaged current in X at the end of the interval",
     "barotropic_sea_water_x_velocity", &Model::curU, false},
    {"lfv", "lfv", "m s-1", "depth-averaged current in Y at the end of the interval",
     "barotropic_sea_water_y_velocity", &Model::curV, false},
    {"sxx", "sxx", "m3 s-2", "radiation stress XX divided by water density", "", &Model::sxx, false},
    {"sxy", "sxy", "m3 s-2", "radiation stress XY divided by water density", "", &Model::sxy, false},
    {"syy", "syy", "m3 s-2", "radiation stress YY divided by water density", "", &Model::syy, false},
    {"fx", "fx", "m2 s-2", "wave force per unit area in X divided by water density", "", &Model::fx, false},
    {"fy", "fy", "m2 s-2", "wave force per unit area in Y divided by water density", "", &Model::fy, false},
    {"tau", "tau", "Pa", "period-mean bed shear stress", "", &Model::tau, false},
    {"maxtau", "maxtau", "Pa", "largest bed shear stress of the wave period", "", &Model::maxtau, false},
    {"qbx", "qbx", "m2 s-1", "period-mean bedload transport rate in X", "", &Model::qbx, false},
    {"qby", "qby", "m2 s-1", "period-mean bedload transport rate in Y", "", &Model::qby, false},
    {"qsx", "qsx", "m2 s-1", "period-mean suspended-load transport rate in X", "", &Model::qsx, false},
    {"qsy", "qsy", "m2 s-1", "period-mean suspended-load transport rate in Y", "", &Model::qsy, false},
    {"bed_change", "_dh", "m",
     "bed-level change over the wave period (positive = deposition), applied at the start of the next interval", "",
     &Model::dh, true},
    {"theta", "theta", "rad", "wave direction, measured from the X axis towards the Y axis (-9 where undefined)", "",
     &Model::theta, false},
    {"vptwb", "vptwb", "m2", "breaking dissipation accumulated over the wave period", "", &Model::sumDiss, false},
    {"eta", "eta", "m", "surface elevation at the end of the wave computation", "", &Model::etaOut, false},
    {"kd", "kd", "1", "wave number times depth", "", &Model::kd, false},
};

}  // namespace littoral

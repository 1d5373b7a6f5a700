// Placeholder until sediment transport lands.
#include "sediment/Sediment.h"

namespace littoral {
void accumSedimentFlux(Model&, float, const Grid&, const Grid&) {}
void clearTransport(Model&) {}
void applyBedChange(Model&) {}
void bedChange(Model&) {}
}  // namespace littoral

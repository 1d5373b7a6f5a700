// Placeholder until the result files land.
#include "output/ResultFields.h"

namespace littoral {
void writeResultFields(const Model&, int16_t, const std::string&) {}
}  // namespace littoral

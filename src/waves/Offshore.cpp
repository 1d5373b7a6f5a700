// Placeholder until the offshore transformation lands.
#include "waves/Offshore.h"

namespace littoral {
void transformIncidentWave(Model&) {}
}  // namespace littoral

// Refusals of case input that would run to a result without meaning: checks made once a
// reader has the values they need, before anything is computed. Each throws StopError
// naming the file, the value and what is expected.
#pragma once

#include "core/Model.h"

namespace littoral {

// After the coefficient file: the minimum computational depth must be positive (at 0 two
// dry cells count as wet and the Roe averages divide 0 by 0), the friction coefficient and
// the critical Shields number not negative (friction would accelerate the flow, the
// Shields excess would grow without stress), the breaking ratio positive (every wave
// would break).
void checkCoefficients(const Model& m);

// After the wave file (the period is known): the flow clock starts at 0, so the first
// interval must end at 0 s or later; a start time more than one wave period before 0
// would ask the clock to run backwards.
void checkStartTime(const Model& m);

// After the boundary file: the wave input code of the wave file must be the code of at
// least one listed boundary cell, or the case would run without any wave.
void checkWaveInput(const Model& m);

}  // namespace littoral

#include "input/CaseChecks.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/Error.h"
#include "core/Numeric.h"

namespace littoral {

namespace {

void refuse(const Model& m, const char* field, float value, const char* expected, const char* why) {
    throw StopError(m.coefFile + ": " + field + " is " + formatNum(value) + ": expected " + expected + " (" + why + ")");
}

}  // namespace

void checkCoefficients(const Model& m) {
    if (!(m.minDepth > 0))
        refuse(m, "the minimum computational depth (11th value)", m.minDepth, "a positive depth in metres",
               "cells shallower than it are dry; at 0 or less dry cells count as wet and water runs onto dry land");
    if (!(m.fricCoef >= 0))
        refuse(m, "the bottom friction coefficient (9th value)", m.fricCoef, "0 or more",
               "a negative friction would accelerate the flow instead of slowing it");
    if (!(m.brkRatio > 0))
        refuse(m, "the breaking wave height to depth ratio (10th value)", m.brkRatio, "a positive ratio",
               "at 0 or less every wave breaks at once");
    if (!(m.shieldsCr >= 0))
        refuse(m, "the critical Shields number (15th value)", m.shieldsCr, "0 or more",
               "a negative threshold would move sediment without any bottom stress");
}

void checkStartTime(const Model& m) {
    // The first interval ends one wave period after the start; the flow clock starts at 0.
    if (static_cast<double>(m.tStart) + m.waveT0 < 0.0)
        throw StopError(m.coefFile + ": the start time (13th value) is " + formatNum(m.tStart) +
                        " s, more than one wave period (" + formatNum(m.waveT0) + " s in " + m.wavFile +
                        ") before 0: expected a start time of " + formatNum(-m.waveT0) +
                        " s or later (the flow clock starts at 0 and cannot run backwards)");
}

void checkWaveInput(const Model& m) {
    std::vector<int32_t> codes;
    for (int32_t n = 1; n <= m.nBndListed; ++n) {
        if (m.bndCode(n) == m.bndWave) return;
        if (std::find(codes.begin(), codes.end(), m.bndCode(n)) == codes.end()) codes.push_back(m.bndCode(n));
    }
    std::sort(codes.begin(), codes.end());
    std::string list;
    for (size_t k = 0; k < codes.size(); ++k) list += (k ? ", " : "") + std::to_string(codes[k]);
    throw StopError(m.wavFile + ": the wave input boundary code " + std::to_string(m.bndWave) +
                    " is the code of no boundary cell in " + m.bndFile + ", which holds the boundary codes " + list +
                    ": expected one of them, or the case would run without any wave");
}

}  // namespace littoral

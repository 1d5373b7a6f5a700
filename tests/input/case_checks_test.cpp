// Input that reads well but would give a run without meaning is refused before anything is
// computed, naming the file, the value and what is expected.
#include <gtest/gtest.h>

#include "input/CaseInput.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

std::string readMessage(const SmallCase& c) {
    CaseDir dir("input-checks");
    Model m;
    c.prepare(dir, "x", m);
    return stopMessage([&] { readCase(m); });
}

}  // namespace

TEST(CaseChecks, CoefficientsWithoutMeaningAreRefused) {
    struct Bad {
        const char* name;
        CoefSpec coef;
        const char* expected;
    };
    const Bad cases[] = {
        {"minimum depth 0", {.minDepth = 0},
         "x\\coef.txt: the minimum computational depth (11th value) is 0 m: expected a positive depth in metres"},
        {"minimum depth negative", {.minDepth = -0.01f},
         "the minimum computational depth (11th value) is -0.01"},
        {"negative friction", {.fricCoef = -1},
         "x\\coef.txt: the bottom friction coefficient (9th value) is -1: expected 0 or more"},
        {"breaking ratio 0", {.brkRatio = 0},
         "x\\coef.txt: the breaking wave height to depth ratio (10th value) is 0: expected a positive ratio"},
        {"negative Shields number", {.shieldsCr = -0.05f},
         "x\\coef.txt: the critical Shields number (15th value) is -0.05: expected 0 or more"},
        {"start long before 0", {.tStart = -6.5f},
         "x\\coef.txt: the start time (13th value) is -6.5 s, more than one wave period (6 s in x\\wave.txt) before 0: "
         "expected a start time of -6 s or later"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.name);
        EXPECT_TRUE(containsAll(readMessage({.coef = b.coef}), {b.expected}));
    }
    // The limits themselves are sound: no friction, no threshold, a start one period early.
    EXPECT_EQ(readMessage({.coef = {.fricCoef = 0, .tStart = -6, .shieldsCr = 0}}), "");
}

// A wave input code that no boundary cell carries would run the whole case without a wave.
TEST(CaseChecks, WaveInputCodeMustMatchABoundaryCell) {
    for (int code : {0, -1, 15, 18, 32767})
        EXPECT_TRUE(containsAll(readMessage({.wave = waveText(0.5f, 6, 180, 10, 1, 0, 0, code)}),
                                {"x\\wave.txt: the wave input boundary code " + std::to_string(code) +
                                 " is the code of no boundary cell in x\\boundary.txt, which holds the boundary codes "
                                 "16, 17"}));
    // The generated case puts code 17 on the east ghost column: a 15 there leaves no 17.
    SmallCase land;
    land.bnd = boundaryText(land.coef, [](int i, int j) {
        const bool gi = i == 0 || i == 11, gj = j == 0 || j == 9;
        return gi && gj ? 0 : i == 11 ? 15 : gj ? 16 : 0;
    });
    EXPECT_TRUE(containsAll(readMessage(land), {"the wave input boundary code 17 is the code of no boundary cell in "
                                                "x\\boundary.txt, which holds the boundary codes 16:"}));
    EXPECT_EQ(readMessage(SmallCase{}), "");
}

// Input that reads well but would give a run without meaning is refused before anything is
// computed, naming the file, the value and what is expected.
#include <gtest/gtest.h>

#include <functional>

#include "core/Error.h"
#include "input/CaseInput.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;

namespace {

std::string readMessage(const SmallCase& c) {
    CaseDir dir("input-checks");
    c.write(dir, "x");
    Model m;
    dir.prepare(m, "xcnt.txt");
    try {
        readControlFile(m);
        readDepthFile(m);
        readBoundaryFile(m);
    } catch (const StopError& e) {
        return e.what();
    }
    return "";
}

std::string waveFile(const std::string& code) { return code + ",a\n0.5,b\n6,c\n180,d\n10,e\n1,f\n0,g\n0,h\n"; }

}  // namespace

TEST(CaseChecks, CoefficientsWithoutMeaningAreRefused) {
    struct Bad {
        const char* name;
        std::function<void(CoefSpec&)> set;
        const char* expected;
    };
    const Bad cases[] = {
        {"minimum depth 0", [](CoefSpec& c) { c.minDepth = 0; },
         "x\\coef.txt: the minimum computational depth (11th value) is 0: expected a positive depth in metres"},
        {"minimum depth negative", [](CoefSpec& c) { c.minDepth = -0.01f; },
         "the minimum computational depth (11th value) is -0.01"},
        {"negative friction", [](CoefSpec& c) { c.fricCoef = -1; },
         "x\\coef.txt: the bottom friction coefficient (9th value) is -1: expected 0 or more"},
        {"breaking ratio 0", [](CoefSpec& c) { c.brkRatio = 0; },
         "x\\coef.txt: the breaking wave height to depth ratio (10th value) is 0: expected a positive ratio"},
        {"negative Shields number", [](CoefSpec& c) { c.shieldsCr = -0.05f; },
         "x\\coef.txt: the critical Shields number (15th value) is -0.05: expected 0 or more"},
        {"start long before 0", [](CoefSpec& c) { c.tStart = -6.5f; },
         "x\\coef.txt: the start time (13th value) is -6.5 s, more than one wave period (6 s in x\\wave.txt) before 0: "
         "expected a start time of -6 s or later"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.name);
        SmallCase c;
        b.set(c.coef);
        const std::string msg = readMessage(c);
        EXPECT_NE(msg.find(b.expected), std::string::npos) << msg;
    }
    // The limits themselves are sound: no friction, no threshold, a start one period early.
    SmallCase ok;
    ok.coef.fricCoef = 0;
    ok.coef.shieldsCr = 0;
    ok.coef.tStart = -6;
    EXPECT_EQ(readMessage(ok), "");
}

// A wave input code that no boundary cell carries would run the whole case without a wave.
TEST(CaseChecks, WaveInputCodeMustMatchABoundaryCell) {
    for (const char* code : {"0", "-1", "15", "18", "32767"}) {
        SCOPED_TRACE(code);
        SmallCase c;
        c.wave = waveFile(code);
        const std::string msg = readMessage(c);
        EXPECT_NE(msg.find(std::string("x\\wave.txt: the wave input boundary code ") + code +
                           " is the code of no boundary cell in x\\boundary.txt, which holds the boundary codes 16, 17"),
                  std::string::npos)
            << msg;
    }
    // The generated case puts code 17 on the east ghost column: a 15 there leaves no 17.
    SmallCase land;
    std::string bnd;
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 10; ++j) {
            const bool gi = i == 0 || i == 11, gj = j == 0 || j == 9;
            bnd += std::string(j ? "," : "") + (gi && gj ? "0" : i == 11 ? "15" : gj ? "16" : "0");
        }
        bnd += "\n";
    }
    land.bnd = bnd;
    const std::string msg = readMessage(land);
    EXPECT_NE(msg.find("the wave input boundary code 17 is the code of no boundary cell in x\\boundary.txt, which holds "
                       "the boundary codes 16:"),
              std::string::npos)
        << msg;
    EXPECT_EQ(readMessage(SmallCase{}), "");
}

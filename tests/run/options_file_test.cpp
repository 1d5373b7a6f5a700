// The options file beside a control file: where it is looked for, what it sets, and every
// kind of fault refused with the file, the key and the line named.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "littoral/littoral.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using littoral::test::CaseDir;
using littoral::test::containsAll;

namespace {

// Writes data/beach.toml with the text and reads it as the options of data/beachcnt.txt.
littoral::OptionsFile readWith(const CaseDir& dir, const std::string& text) {
    dir.write("beach.toml", text);
    return littoral::readOptionsFile((dir.data / "beachcnt.txt").string());
}

// The InputError reading the text raises (its message, key and line); fails when none.
struct Refusal {
    std::string message, field;
    long line = -1;
};
Refusal refusal(const CaseDir& dir, const std::string& text) {
    try {
        readWith(dir, text);
    } catch (const littoral::InputError& e) {
        EXPECT_EQ(e.file(), "beach.toml");
        return {e.what(), e.field(), e.line()};
    }
    ADD_FAILURE() << "no refusal of:\n" << text;
    return {};
}

}  // namespace

TEST(OptionsFile, IsNamedAfterTheControlFile) {
    EXPECT_EQ(littoral::optionsFilePath("/a/b/beachcnt.txt"), "/a/b/beach.toml");
    EXPECT_EQ(littoral::optionsFilePath("rel/shoalcnt.txt"), "rel/shoal.toml");
    // A control file not named *cnt.txt: its stem.
    EXPECT_EQ(littoral::optionsFilePath("/a/case.dat"), "/a/case.toml");
    // "cnt.txt" alone is no name with the tail taken off.
    EXPECT_EQ(littoral::optionsFilePath("/a/cnt.txt"), "/a/cnt.toml");
}

TEST(OptionsFile, AbsentFileSetsNothing) {
    CaseDir dir("options_absent");
    const auto o = littoral::readOptionsFile((dir.data / "beachcnt.txt").string());
    EXPECT_EQ(o.path, "");
    EXPECT_FALSE(o.outputEvery || o.means || o.morfac || o.morstart || o.checkpointEvery || o.resume ||
                 o.keepOpen || o.georeference);
    EXPECT_TRUE(o.gauges.empty());
    // Applied, it leaves the defaults exactly as they are.
    littoral::RunOptions r;
    littoral::applyOptionsFile(o, r);
    EXPECT_EQ(r.outputEvery, 1);
    EXPECT_FALSE(r.means);
    EXPECT_EQ(r.morfac, 1.0);
    EXPECT_EQ(r.morstart, 0.0);
    EXPECT_EQ(r.checkpointEvery, 0);
    EXPECT_FALSE(r.resume);
}

TEST(OptionsFile, ReadsEveryTableAndApplies) {
    CaseDir dir("options_all");
    const auto o = readWith(dir, R"(# a long study
[output]
every = 45
means = true

[morphology]
morfac = 10      # an integer is a number too
start = 3600.5

[checkpoint]
every = 20
resume = true

[waves]
absorbing_input = true
mean_currents = true

[flow]
balanced_wave_force = true

[[gauge]]
name = "WG1"
x = 12.5
y = 3

[[gauge]]
name = "WG 2"
x = 100
y = -0.0

[desktop]
keep_open = false

[georeference]
crs = "EPSG:25832"
origin = [512000.0, 6170000]
rotation = -12.5
)");
    EXPECT_EQ(o.path, (dir.data / "beach.toml").string());
    EXPECT_EQ(*o.outputEvery, 45);
    EXPECT_TRUE(*o.means);
    EXPECT_EQ(*o.morfac, 10.0);
    EXPECT_EQ(*o.morstart, 3600.5);
    EXPECT_EQ(*o.checkpointEvery, 20);
    EXPECT_TRUE(*o.resume);
    EXPECT_TRUE(*o.absorbingInput);
    EXPECT_TRUE(*o.balancedWaveForce);
    EXPECT_TRUE(*o.meanCurrents);
    ASSERT_EQ(o.gauges.size(), 2u);
    EXPECT_EQ(o.gauges[0].name, "WG1");
    EXPECT_EQ(o.gauges[0].x, 12.5);
    EXPECT_EQ(o.gauges[0].y, 3.0);
    EXPECT_EQ(o.gauges[1].name, "WG 2");
    EXPECT_EQ(o.gauges[1].x, 100.0);
    EXPECT_FALSE(*o.keepOpen);
    ASSERT_TRUE(o.georeference);
    EXPECT_EQ(o.georeference->crs, "EPSG:25832");
    EXPECT_EQ(o.georeference->originX, 512000.0);
    EXPECT_EQ(o.georeference->originY, 6170000.0);
    EXPECT_EQ(o.georeference->rotation, -12.5);

    littoral::RunOptions r;
    r.threads = 3;
    littoral::applyOptionsFile(o, r);
    EXPECT_EQ(r.threads, 3);  // not the file's to set
    EXPECT_EQ(r.outputEvery, 45);
    EXPECT_TRUE(r.means);
    EXPECT_EQ(r.morfac, 10.0);
    EXPECT_EQ(r.morstart, 3600.5);
    EXPECT_EQ(r.checkpointEvery, 20);
    EXPECT_TRUE(r.resume);
    EXPECT_TRUE(r.absorbingInput);
    EXPECT_TRUE(r.balancedWaveForce);
    EXPECT_TRUE(r.meanCurrents);
    EXPECT_EQ(r.setBy.at("waves.absorbing_input"), "beach.toml");
    EXPECT_EQ(r.setBy.at("flow.balanced_wave_force"), "beach.toml");
    EXPECT_EQ(r.gauges.size(), 2u);
    ASSERT_TRUE(r.georeference);

    // A file of one table sets that table only; an empty file sets nothing.
    const auto some = readWith(dir, "[morphology]\nstart = 0\n");
    EXPECT_FALSE(some.morfac);
    EXPECT_EQ(*some.morstart, 0.0);
    EXPECT_FALSE(some.outputEvery);
    EXPECT_FALSE(some.absorbingInput || some.balancedWaveForce);
    const auto none = readWith(dir, "");
    EXPECT_EQ(none.path, (dir.data / "beach.toml").string());
    EXPECT_FALSE(none.outputEvery || none.morfac);
}

TEST(OptionsFile, RefusesUnknownNamesWithTheirKeyAndLine) {
    CaseDir dir("options_unknown");
    auto r = refusal(dir, "[output]\nevery = 2\nevry = 3\n");
    EXPECT_EQ(r.field, "output.evry");
    EXPECT_EQ(r.line, 3);
    EXPECT_TRUE(containsAll(r.message, {"beach.toml", "line 3", "output.evry", "every, means"}));

    r = refusal(dir, "[outputs]\nevery = 2\n");
    EXPECT_EQ(r.field, "outputs");
    EXPECT_TRUE(containsAll(r.message, {"outputs", "[output]", "[[gauge]]"}));

    r = refusal(dir, "morfac = 10\n");  // the right key in the wrong place
    EXPECT_EQ(r.field, "morfac");
    r = refusal(dir, "[morphology]\nmorfac = 2\nfactor = 3\n");
    EXPECT_EQ(r.field, "morphology.factor");
    r = refusal(dir, "[checkpoint]\nresume_from = true\n");
    EXPECT_EQ(r.field, "checkpoint.resume_from");
    r = refusal(dir, "[waves]\nabsorbing = true\n");
    EXPECT_EQ(r.field, "waves.absorbing");
    EXPECT_TRUE(containsAll(r.message, {"waves.absorbing", "absorbing_input, mean_currents"}));
    r = refusal(dir, "[flow]\nbalanced = true\n");
    EXPECT_EQ(r.field, "flow.balanced");
    EXPECT_TRUE(containsAll(r.message, {"flow.balanced", "balanced_wave_force"}));
    r = refusal(dir, "[desktop]\nkeepopen = true\n");
    EXPECT_EQ(r.field, "desktop.keepopen");
    r = refusal(dir, "[georeference]\ncrs = \"EPSG:4326\"\nangle = 3\n");
    EXPECT_EQ(r.field, "georeference.angle");
    r = refusal(dir, "[[gauge]]\nname = \"a\"\nx = 1\ny = 2\nz = 0\n");
    EXPECT_EQ(r.field, "gauge[1].z");
    EXPECT_EQ(r.line, 5);
}

TEST(OptionsFile, RefusesWrongTypesAndRanges) {
    CaseDir dir("options_types");
    struct Case {
        const char* text;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"[output]\nevery = \"10\"\n", "output.every", "integer"},
        {"[output]\nevery = 2.5\n", "output.every", "integer"},
        {"[output]\nevery = 0\n", "output.every", "1 or more"},
        {"[output]\nevery = -3\n", "output.every", "1 or more"},
        {"[output]\nevery = 99999999999\n", "output.every", "1 or more"},
        {"[output]\nmeans = 1\n", "output.means", "true or false"},
        {"[output]\nmeans = \"yes\"\n", "output.means", "true or false"},
        {"[morphology]\nmorfac = 0\n", "morphology.morfac", "above 0"},
        {"[morphology]\nmorfac = -1.5\n", "morphology.morfac", "above 0"},
        {"[morphology]\nmorfac = nan\n", "morphology.morfac", "finite"},
        {"[morphology]\nmorfac = inf\n", "morphology.morfac", "finite"},
        {"[morphology]\nmorfac = \"10\"\n", "morphology.morfac", "number"},
        {"[morphology]\nstart = -1\n", "morphology.start", "0 s or later"},
        {"[morphology]\nstart = true\n", "morphology.start", "number"},
        {"[checkpoint]\nevery = -1\n", "checkpoint.every", "0 (never) or more"},
        {"[checkpoint]\nresume = \"true\"\n", "checkpoint.resume", "true or false"},
        {"[desktop]\nkeep_open = 0\n", "desktop.keep_open", "true or false"},
        {"[waves]\nabsorbing_input = 1\n", "waves.absorbing_input", "true or false"},
        {"[waves]\nmean_currents = \"no\"\n", "waves.mean_currents", "true or false"},
        {"[flow]\nbalanced_wave_force = \"yes\"\n", "flow.balanced_wave_force", "true or false"},
        {"waves = true\n", "waves", "table"},
        {"output = 3\n", "output", "table"},
        {"gauge = 3\n", "gauge", "[[gauge]]"},
        {"[gauge]\nname = \"a\"\n", "gauge", "[[gauge]]"},
        {"[[gauge]]\nname = 7\nx = 1\ny = 1\n", "gauge[1].name", "string"},
        {"[[gauge]]\nname = \"\"\nx = 1\ny = 1\n", "gauge[1].name", "empty"},
        {"[[gauge]]\nname = \"a\"\nx = \"1\"\ny = 1\n", "gauge[1].x", "number"},
        {"[[gauge]]\nname = \"a\"\ny = 1\n", "gauge[1].x", "missing"},
        {"[[gauge]]\nx = 1\ny = 1\n", "gauge[1].name", "missing"},
        {"[[gauge]]\nname = \"a\"\nx = 1\n", "gauge[1].y", "missing"},
        {"[[gauge]]\nname = \"a\"\nx = 1\ny = 1\n[[gauge]]\nname = \"a\"\nx = 2\ny = 2\n", "gauge[2].name",
         "another gauge"},
        {"[georeference]\norigin = [1, 2]\n", "georeference.crs", "missing"},
        {"[georeference]\ncrs = 4326\n", "georeference.crs", "string"},
        {"[georeference]\ncrs = \"EPSG:4326\"\norigin = [1]\n", "georeference.origin", "two numbers"},
        {"[georeference]\ncrs = \"EPSG:4326\"\norigin = [1, \"2\"]\n", "georeference.origin[2]", "number"},
        {"[georeference]\ncrs = \"EPSG:4326\"\nrotation = \"north\"\n", "georeference.rotation", "number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Refusal r = refusal(dir, c.text);
        EXPECT_EQ(r.field, c.key);
        EXPECT_TRUE(containsAll(r.message, {"beach.toml", c.key, c.expected}));
        EXPECT_GT(r.line, 0);
    }
}

TEST(OptionsFile, RefusesTextThatIsNotTomlNamingTheLine) {
    CaseDir dir("options_syntax");
    auto r = refusal(dir, "[output]\nevery = 2\nmeans = tru\n");
    EXPECT_EQ(r.line, 3);
    EXPECT_TRUE(containsAll(r.message, {"beach.toml", "line 3", "TOML"}));
    r = refusal(dir, "[output\nevery = 2\n");
    EXPECT_EQ(r.line, 1);
    r = refusal(dir, "[output]\nevery = 2\nevery = 3\n");  // a key given twice
    EXPECT_EQ(r.line, 3);
    // A folder in the file's place.
    fs::create_directory(dir.data / "shoal.toml");
    EXPECT_THROW(littoral::readOptionsFile((dir.data / "shoalcnt.txt").string()), littoral::InputError);
}

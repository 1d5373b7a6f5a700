// A disk that fills up while the batch program writes the pictures of a case: the run must
// fail with a clear message and leave no partial picture under its final name, while the
// result files written before stay whole. The disk is a small memory file system mounted
// on the case's output folder (needs the right to mount, as root on a test machine has).
#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/TestSupport.h"

using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kPage = 4096;

uintmax_t pages(uintmax_t bytes) { return (bytes + kPage - 1) / kPage; }

uintmax_t freePages(const fs::path& p) {
    struct statvfs s {};
    statvfs(p.c_str(), &s);
    return static_cast<uintmax_t>(s.f_bavail) * s.f_frsize / kPage;
}

void writeCase(const CaseDir& dir, const std::string& out) {
    SmallCase c{.coef = {.ixEnd = 160, .jyEnd = 120, .tEnd = 12}};
    // A rough bed gives a ragged wave surface: a picture that compresses poorly, so that it
    // spans several pages of the disk.
    uint32_t r = 12345;
    c.depth = boundaryText(c.coef, [&](int, int) {
        r = r * 1664525u + 1013904223u;
        return 2 + (r >> 24) % 8;  // 2 m or more: the 6 s wave spans more than two 10 m cells
    });
    c.write(dir, "a");
    dir.write("acnt.txt", controlText("a", out));
}

}  // namespace

TEST(FullDisk, PicturesThatDoNotFitFailTheRunAndLeaveNoPartialFile) {
    CaseDir dir("full-disk");
    writeCase(dir, "ref");
    const BatchRun ref = runBatch((dir.data / "acnt.txt").string());
    ASSERT_EQ(ref.status, 0) << ref.out;
    if (!fs::exists(dir.output / "ref" / "eta.png")) GTEST_SKIP() << "the batch program is built without pictures";
    // Pages that everything but the pictures takes, and the pictures' own.
    uintmax_t before = 1;  // the lock file
    for (const std::string& n : dir.outputFiles("ref"))
        if (n.size() < 4 || n.substr(n.size() - 4) != ".png") before += pages(fs::file_size(dir.output / "ref" / n));
    const uintmax_t eta = pages(fs::file_size(dir.output / "ref" / "eta.png"));
    ASSERT_GE(eta, 2u) << "the picture must span pages for the disk to fill in the middle of it";

    // The output folder is a small disk, filled so that the picture runs out of room
    // halfway through.
    const fs::path full = dir.output / "full";
    fs::create_directory(full);
    SmallDisk disk(full, (before + eta + 64) * kPage);
    if (!disk.ok) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    const uintmax_t filler = freePages(full) - (before + eta - 1);
    {
        std::ofstream f(full / "filler", std::ios::binary);
        const std::string page(kPage, 'x');
        for (uintmax_t k = 0; k < filler; ++k) f << page;
    }
    ASSERT_EQ(freePages(full), before + eta - 1);

    writeCase(dir, "full");
    const BatchRun r = runBatch((dir.data / "acnt.txt").string());
    EXPECT_EQ(r.status, 1) << r.out;
    const std::string etaPath = (full / "eta.png").string();
    EXPECT_TRUE(containsAll(r.out, {"FAILED " + (dir.data / "acnt.txt").string() + ": " + etaPath +
                                    ": writing failed (No space left on device); nothing was left under this name"}));
    EXPECT_EQ(r.out.find("ok "), std::string::npos) << r.out;
    // No picture, no temporary, no lock; the result files are whole and as the run alone leaves them.
    std::vector<std::string> expected{"filler"};
    for (const std::string& n : dir.outputFiles("ref"))
        if (n.size() < 4 || n.substr(n.size() - 4) != ".png") expected.push_back(n);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.outputFiles("full"), expected);
    for (const std::string& n : expected) {
        if (n.rfind("surfer", 0) == 0) {
            EXPECT_TRUE(readFile(full / n) == readFile(dir.output / "ref" / n)) << n;
        }
    }
}

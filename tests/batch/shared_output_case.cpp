// Runs that share an output folder: two batch programs started together into one output
// name, and a run killed in the middle followed by the next. Every file left must be whole
// and from one run, byte for byte the file that run leaves when it runs alone.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "output/OutputLock.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

struct Child {
    pid_t pid = -1;
    fs::path log;
};

Child start(const fs::path& cnt, const fs::path& log) { return {startBatch(cnt, log), log}; }

int waitFor(const Child& c) {
    int st = 0;
    waitpid(c.pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// A case named `name` writing into the output folder `out`.
void writeCase(const CaseDir& dir, const std::string& name, const std::string& out, float waveH) {
    // About a second of computing.
    SmallCase{.coef = {.ixEnd = 40, .jyEnd = 30, .tEnd = 600}, .depthOff = 6, .slope = 0.01f, .waveH = waveH}.write(dir, name);
    dir.write(name + "cnt.txt", controlText(name, out));
}

// Every file of output/<got> equals the file of output/<want> byte for byte.
void expectSameFolder(const CaseDir& dir, const std::string& got, const std::string& want) {
    const auto names = dir.outputFiles(want);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(dir.outputFiles(got), names);
    for (const std::string& n : names) {
        std::string expected = readFile(dir.output / want / n);
        if (n == "0const.txt") {  // names its own output folder
            const std::string from = "/" + want + "/", to = "/" + got + "/";
            expected.replace(expected.find(from), from.size(), to);
        }
        EXPECT_TRUE(readFile(dir.output / got / n) == expected) << n << " differs from " << want;
    }
}

}  // namespace

TEST(SharedOutput, TwoRunsStartedTogetherIntoOneFolder) {
    CaseDir dir("shared-out");
    // Alone first: what each run leaves.
    writeCase(dir, "a", "refA", 0.5f);
    writeCase(dir, "b", "refB", 1.0f);
    ASSERT_EQ(waitFor(start(dir.data / "acnt.txt", dir.root / "a.log")), 0) << readFile(dir.root / "a.log");
    ASSERT_EQ(waitFor(start(dir.data / "bcnt.txt", dir.root / "b.log")), 0) << readFile(dir.root / "b.log");

    writeCase(dir, "a", "shared", 0.5f);
    writeCase(dir, "b", "shared", 1.0f);
    const Child a = start(dir.data / "acnt.txt", dir.root / "a.log");
    const Child b = start(dir.data / "bcnt.txt", dir.root / "b.log");
    const int sa = waitFor(a), sb = waitFor(b);
    const std::string la = readFile(a.log), lb = readFile(b.log);
    // One ran, the other was refused at once, naming the folder and the run holding it.
    ASSERT_EQ(sa + sb, 1) << la << lb;
    const bool aWon = sa == 0;
    const std::string& refused = aWon ? lb : la;
    const Child& winner = aWon ? a : b;
    EXPECT_TRUE(containsAll(refused, {"the output folder " + (dir.output / "shared").string() +
                                      "/ is in use by another run (process " + std::to_string(winner.pid)}));
    expectSameFolder(dir, "shared", aWon ? "refA" : "refB");
}

TEST(SharedOutput, RunKilledMidwayThenTheNextRunOfTheFolder) {
    CaseDir dir("killed-run");
    writeCase(dir, "a", "ref", 0.5f);
    ASSERT_EQ(waitFor(start(dir.data / "acnt.txt", dir.root / "a.log")), 0);
    writeCase(dir, "a", "out", 0.5f);
    const Child a = start(dir.data / "acnt.txt", dir.root / "a.log");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(dir.output / "out" / "surfer10.csv") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    kill(a.pid, SIGKILL);
    EXPECT_EQ(waitFor(a), -1);
    EXPECT_TRUE(fs::exists(dir.output / "out" / OutputLock::kFileName));
    // Whatever the kill left, every file under a final name is whole.
    for (const std::string& n : dir.outputFiles("out")) {
        if (n.size() > 4 && n.substr(n.size() - 4) == ".csv" && n.find("surfer") == 0 && n != "surferdep.csv" &&
            n != "surferbnd.csv") {
            EXPECT_EQ(readFile(dir.output / "out" / n), readFile(dir.output / "ref" / n)) << n;
        }
    }
    std::ofstream(dir.output / "out" / "surfer30.csv.4242-7.part") << "half a line";

    const auto killedFiles = dir.outputFiles("out");
    const Child next = start(dir.data / "acnt.txt", dir.root / "next.log");
    ASSERT_EQ(waitFor(next), 0) << readFile(next.log);
    // The killed run's files went whole into a folder of their own, the lock and the
    // temporary not among them; the next run's files stand alone beside it.
    fs::path previous;
    for (const auto& e : fs::directory_iterator(dir.output / "out"))
        if (e.is_directory() && e.path().filename().string().rfind("previous-", 0) == 0) previous = e.path();
    ASSERT_FALSE(previous.empty()) << readFile(next.log);
    EXPECT_TRUE(containsAll(readFile(next.log), {"were moved into " + previous.string() + "/"}));
    for (const std::string& n : killedFiles) {
        if (n == OutputLock::kFileName || n.find(".part") != std::string::npos) continue;
        EXPECT_TRUE(fs::exists(previous / n)) << n;
        if (n.rfind("surfer", 0) == 0 && n != "surferdep.csv" && n != "surferbnd.csv") {
            EXPECT_EQ(readFile(previous / n), readFile(dir.output / "ref" / n)) << n;
        }
    }
    fs::remove_all(previous);
    expectSameFolder(dir, "out", "ref");  // no temporary and no lock left
}

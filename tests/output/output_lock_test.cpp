// The claim of a run on its output folder and the temporaries of the file writers: one run
// per folder, a dead run's lock and temporaries cleared, no short file under a final name.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "output/OutputLock.h"
#include "output/RecordWriter.h"
#include "support/TestSupport.h"

using namespace littoral;
using namespace littoral::test;
namespace fs = std::filesystem;

namespace {

// Runs f in a child process and returns its exit status (-1 if it did not exit).
int inChild(const std::function<int()>& f) {
    const pid_t pid = fork();
    if (pid == 0) _exit(f());
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace

TEST(OutputLock, SecondClaimIsRefusedWithTheHolderAndReleasedClaimIsFree) {
    CaseDir dir("lock");
    const std::string folder = dir.output.string() + "/";
    {
        const OutputLock first(folder, "/data/acnt.txt");
        EXPECT_TRUE(fs::exists(dir.output / OutputLock::kFileName));
        const std::string msg = stopMessage([&] { OutputLock second(folder, "/data/bcnt.txt"); });
        EXPECT_TRUE(containsAll(msg, {"the output folder " + folder + " is in use by another run (process " +
                                          std::to_string(getpid()),
                                      "case /data/acnt.txt"}));
        // The refused claim left the holder's lock as it was.
        EXPECT_NE(stopMessage([&] { OutputLock third(folder, "c"); }), "");
    }
    EXPECT_FALSE(fs::exists(dir.output / OutputLock::kFileName));
    EXPECT_EQ(stopMessage([&] { OutputLock again(folder, "/data/bcnt.txt"); }), "");
}

TEST(OutputLock, LockOfAKilledRunIsTakenOverAndItsTemporariesRemoved) {
    CaseDir dir("lock-dead");
    const std::string folder = dir.output.string() + "/";
    // A run killed while it holds the folder and writes a result file.
    const pid_t pid = fork();
    if (pid == 0) {
        OutputLock lock(folder, "killed");
        RecordWriter w(folder + "surfer3.csv");
        w.text("half").endLine();
        raise(SIGKILL);
        _exit(0);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    ASSERT_TRUE(WIFSIGNALED(st));
    ASSERT_TRUE(fs::exists(dir.output / OutputLock::kFileName));
    std::ofstream(dir.output / "surfer0.csv.part") << "";  // a temporary of the old fixed name
    std::ofstream(dir.output / "surfer0.csv") << "kept\n";
    std::ofstream(dir.output / "notes.txt") << "kept\n";
    const auto partsBefore = [&] {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir.output)) n += isWriterTemporary(e.path().filename().string());
        return n;
    }();
    EXPECT_EQ(partsBefore, 2);

    const OutputLock lock(folder, "next");
    EXPECT_EQ(lock.staleRemoved(), 2);
    EXPECT_EQ(dir.outputFiles(""), (std::vector<std::string>{OutputLock::kFileName, "notes.txt", "surfer0.csv"}));
    EXPECT_EQ(readFile(dir.output / "surfer0.csv"), "kept\n");
}

TEST(ReplacingFile, TemporariesAreUniqueAndTheLastCommitWinsWhole) {
    CaseDir dir("replacing");
    const std::string path = (dir.output / "r.csv").string();
    ReplacingFile a(path), b(path);
    EXPECT_NE(a.temporaryPath(), b.temporaryPath());
    EXPECT_NE(a.temporaryPath().find("." + std::to_string(getpid()) + "-"), std::string::npos);
    a.write("first\n", 6);
    b.write("second\n", 7);
    a.write("first\n", 6);
    a.commit();
    EXPECT_EQ(readFile(path), "first\nfirst\n");
    b.commit();
    EXPECT_EQ(readFile(path), "second\n");
    EXPECT_EQ(dir.outputFiles(""), std::vector<std::string>{"r.csv"});
}

TEST(ReplacingFile, FullDiskIsAnErrorAndLeavesNoFile) {
    CaseDir dir("replacing-full");
    const std::string path = (dir.output / "big.csv").string();
    std::ofstream(path) << "old\n";
    // A file-size limit stands in for a full disk: writes beyond it fail (EFBIG).
    const int rc = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 3;
        RecordWriter w(path);
        for (int k = 0; k < 2000; ++k) w.text("a line of a large result file").f32(1.25f * k).endLine();
        const std::string msg = stopMessage([&] { w.close(); });
        return msg.find(path + ": writing failed (File too large); nothing was left under this name") == 0 ? 0 : 1;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(path), "old\n");  // the previous file stays whole
    EXPECT_EQ(dir.outputFiles(""), std::vector<std::string>{"big.csv"});
}

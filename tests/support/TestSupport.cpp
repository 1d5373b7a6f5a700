#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "core/Error.h"
#include "input/CaseInput.h"

namespace littoral::test {

namespace fs = std::filesystem;

CaseDir::CaseDir(const std::string& name) {
    static std::mt19937_64 gen(std::random_device{}());
    root = fs::temp_directory_path() / ("littoral-" + name + "-" + std::to_string(gen() % 1000000000));
    fs::remove_all(root);
    data = root / "data";
    output = root / "output";
    fs::create_directories(data);
    fs::create_directories(output);
}

CaseDir::~CaseDir() {
    std::error_code ec;
    fs::remove_all(root, ec);
}

void CaseDir::write(const std::string& name, const std::string& text) const {
    fs::create_directories((data / name).parent_path());
    std::ofstream(data / name, std::ios::binary) << text;
}

void CaseDir::prepare(Model& m, const std::string& cnt) const {
    m.cntPath = (data / cnt).string();
    m.dataDir = data.string() + "/";
    m.outBase = output.string() + "/";
}

std::vector<std::string> CaseDir::outputFiles(const std::string& sub) const {
    std::vector<std::string> r;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(output / sub, ec)) r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
}

fs::path CaseDir::keepOutput(const std::string& name) const {
    const fs::path kept = root / name;
    fs::rename(output, kept);
    fs::create_directories(output);
    return kept;
}

std::vector<std::string> filesBelow(const fs::path& root) {
    std::vector<std::string> r;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) r.push_back(fs::relative(e.path(), root).string());
    std::sort(r.begin(), r.end());
    return r;
}

std::string treeDifferences(const fs::path& a, const fs::path& b) {
    const auto fa = filesBelow(a), fb = filesBelow(b);
    std::ostringstream d;
    if (fa != fb) {
        d << "different file lists (" << fa.size() << " and " << fb.size() << " files)\n";
        for (const auto& f : fa)
            if (std::find(fb.begin(), fb.end(), f) == fb.end()) d << "  only in the first: " << f << "\n";
        for (const auto& f : fb)
            if (std::find(fa.begin(), fa.end(), f) == fa.end()) d << "  only in the second: " << f << "\n";
    }
    for (const auto& f : fa)
        if (std::find(fb.begin(), fb.end(), f) != fb.end() && readFile(a / f) != readFile(b / f)) d << f << " differs\n";
    return d.str();
}

std::string stopMessage(const std::function<void()>& f) {
    try {
        f();
    } catch (const StopError& e) {
        return e.what();
    }
    return "";
}

testing::AssertionResult containsAll(const std::string& text, const std::vector<std::string>& parts) {
    for (const std::string& p : parts)
        if (text.find(p) == std::string::npos)
            return testing::AssertionFailure() << "expected \"" << p << "\" in: " << text;
    return testing::AssertionSuccess();
}

void setGrid(Model& m, int32_t nx, int32_t ny, float dx, float dy, int nBndApprox) {
    m.ixStart = 1;
    m.ixEnd = nx;
    m.jyStart = 1;
    m.jyEnd = ny;
    m.dx = dx;
    m.dy = dy;
    m.nBndApprox = static_cast<int16_t>(nBndApprox);
    m.nBndCell = 2 * (nx + ny + 4);
}

void readCase(Model& m) {
    readControlFile(m);
    readDepthFile(m);
    readBoundaryFile(m);
}

BatchRun runBatch(const std::string& args) {
    return runCommand(std::string(LITTORAL_BATCH_EXE) + " " + args);
}

BatchRun runCommand(const std::string& command) {
    const std::string cmd = command + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = pclose(p);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

int startBatch(const fs::path& cnt, const fs::path& log) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        execl(LITTORAL_BATCH_EXE, LITTORAL_BATCH_EXE, cnt.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int startInGroup(const std::string& command, const fs::path& log) {
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        const std::string c = command + " > " + log.string() + " 2>&1";
        execl("/bin/sh", "sh", "-c", c.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(pid, pid);
    return pid;
}

void killGroupAfter(int group, double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    kill(-group, SIGKILL);
    int st = 0;
    waitpid(group, &st, 0);
}

SmallDisk::SmallDisk(const fs::path& p, uintmax_t bytes)
    : at(p), ok(mount("littoral-test", p.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0) {}

SmallDisk::~SmallDisk() {
    if (ok) umount2(at.c_str(), MNT_DETACH);
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

double linearWaveNumber(double T, double h) {
    const double g = 9.81, w2 = std::pow(2 * M_PI / T, 2);
    double k = w2 / g / std::sqrt(std::tanh(w2 * h / g));
    for (int it = 0; it < 50; ++it) {
        const double t = std::tanh(k * h);
        k -= (g * k * t - w2) / (g * t + g * k * h * (1 - t * t));
    }
    return k;
}

long firstBitDifference(const float* a, const float* b, size_t n) {
    for (size_t k = 0; k < n; ++k)
        if (std::memcmp(a + k, b + k, sizeof(float)) != 0) return static_cast<long>(k);
    return -1;
}

std::vector<std::string> linesOf(const fs::path& p) {
    std::vector<std::string> r;
    std::string cur;
    for (char ch : readFile(p)) {
        if (ch != '\n') {
            cur += ch;
            continue;
        }
        r.push_back(cur);
        cur.clear();
    }
    EXPECT_TRUE(cur.empty()) << "the last line of " << p << " has no line end";
    return r;
}

long countLines(const fs::path& p) {
    const std::string s = readFile(p);
    return static_cast<long>(std::count(s.begin(), s.end(), '\n'));
}

std::string coefText(const CoefSpec& c) {
    std::ostringstream o;
    o << c.ixStart << ",ixs\n" << c.ixEnd << ",ixe\n" << c.dx << ",dx\n" << c.jyStart << ",jys\n"
      << c.jyEnd << ",jye\n" << c.dy << ",dy\n" << c.nBndApprox << ",nbnd\n" << c.latitude << ",lat\n"
      << c.fricCoef << ",fric\n" << c.brkRatio << ",brk\n" << c.minDepth << ",mind\n0,spare\n"
      << c.tStart << ",ts\n" << c.tEnd << ",te\n" << c.shieldsCr << ",shields\n" << c.grainSize << ",d\n"
      << c.sedDensity << ",rho\n" << c.viscosity << ",nu\n" << c.bedloadCoef << ",qb\n" << c.suspCoef
      << ",qs\n'endconst\n";
    return o.str();
}

std::string waveText(float H, float T, float dir, int px, int py, float groups, float amp, int code) {
    std::ostringstream o;
    o << code << ", input\n" << H << ", H\n" << T << ", T\n" << dir << ", dir\n" << px << ", px\n" << py << ", py\n"
      << groups << ", groups\n" << amp << ", amp\n";
    return o.str();
}

std::string controlText(const std::string& in, const std::string& out) {
    return in + "\\coef.txt\n" + in + "\\depth.txt\n" + in + "\\boundary.txt\n" + in + "\\wave.txt\n" + in +
           "\\tide.txt\n" + out + "\n'endcnt\n";
}

void SmallCase::write(const CaseDir& dir, const std::string& name) const {
    const CoefSpec& c = coef;
    // Depth falls linearly towards the west from depthOff at the east ghost column.
    const std::string depS =
        boundaryText(c, [&](int i, int) { return depthOff - slope * ((c.ixEnd + 1 - i) * static_cast<double>(c.dx)); });
    const std::string bndS = boundaryText(c, [&](int i, int j) {
        const bool ghostI = i < c.ixStart || i > c.ixEnd, ghostJ = j < c.jyStart || j > c.jyEnd;
        return ghostI && ghostJ ? 0 : i > c.ixEnd ? 17 : ghostJ ? 16 : 0;
    });
    dir.write(name + "/coef.txt", coefText(coef));
    dir.write(name + "/depth.txt", depth.empty() ? depS : depth);
    dir.write(name + "/boundary.txt", bnd.empty() ? bndS : bnd);
    dir.write(name + "/wave.txt", wave.empty() ? waveText(waveH, waveT, waveDir, c.ixEnd, c.jyStart) : wave);
    dir.write(name + "/tide.txt", tide);
    dir.write(name + "cnt.txt", controlText(name, name));
}

SmallCase beach(float tEnd) {
    SmallCase c;
    c.coef.tEnd = tEnd;
    c.slope = 0.04f;
    c.waveDir = 200;
    return c;
}

void SmallCase::prepare(const CaseDir& dir, const std::string& name, Model& m) const {
    write(dir, name);
    dir.prepare(m, name + "cnt.txt");
}

}  // namespace littoral::test

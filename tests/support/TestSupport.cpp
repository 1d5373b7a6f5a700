#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

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

BatchRun runBatch(const std::string& args) {
    const std::string cmd = std::string(LITTORAL_BATCH_EXE) + " " + args + " 2>&1";
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

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

long firstBitDifference(const float* a, const float* b, size_t n) {
    for (size_t k = 0; k < n; ++k)
        if (std::memcmp(a + k, b + k, sizeof(float)) != 0) return static_cast<long>(k);
    return -1;
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

void SmallCase::write(const CaseDir& dir, const std::string& name) const {
    const int ni = coef.ixEnd - coef.ixStart + 3, nj = coef.jyEnd - coef.jyStart + 3;
    std::ostringstream depS, bndS;
    for (int a = 0; a < ni; ++a) {
        const int i = coef.ixStart - 1 + a;
        const double x = (coef.ixEnd + 1 - i) * static_cast<double>(coef.dx);
        const double d = depthOff - slope * x;
        for (int b = 0; b < nj; ++b) {
            const int j = coef.jyStart - 1 + b;
            depS << (b ? "," : "") << d;
            const bool ghostI = i < coef.ixStart || i > coef.ixEnd, ghostJ = j < coef.jyStart || j > coef.jyEnd;
            int c = 0;
            if (ghostI && ghostJ) c = 0;
            else if (i > coef.ixEnd) c = 17;
            else if (ghostJ) c = 16;
            bndS << (b ? "," : "") << c;
        }
        depS << "\n";
        bndS << "\n";
    }
    std::ostringstream wav;
    wav << "17, input\n" << waveH << ", H\n" << waveT << ", T\n" << waveDir << ", dir\n" << coef.ixEnd
        << ", px\n" << coef.jyStart << ", py\n0, groups\n0, amp\n";
    dir.write(name + "/coef.txt", coefText(coef));
    dir.write(name + "/depth.txt", depth.empty() ? depS.str() : depth);
    dir.write(name + "/boundary.txt", bnd.empty() ? bndS.str() : bnd);
    dir.write(name + "/wave.txt", wave.empty() ? wav.str() : wave);
    dir.write(name + "/tide.txt", tide);
    dir.write(name + "cnt.txt", name + "\\coef.txt\n" + name + "\\depth.txt\n" + name + "\\boundary.txt\n" +
                                    name + "\\wave.txt\n" + name + "\\tide.txt\n" + name + "\n'endcnt\n");
}

}  // namespace littoral::test

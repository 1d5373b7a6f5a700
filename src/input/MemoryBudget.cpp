#include "input/MemoryBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "core/Allocation.h"
#include "core/Error.h"

namespace littoral {

namespace {

// On a rank, the rows it keeps (its slab and up to two far rows).
uint64_t cellsWithGhosts(const Model& m) {
    const RowRange r = m.slabRows();
    const int64_t ni = int64_t(m.ixEnd) - m.ixStart + 3,
                  nj = int64_t(r.end) - r.begin + 1 + (m.slabs().ranks() > 1 ? 2 : 0);
    return ni > 0 && nj > 0 ? static_cast<uint64_t>(ni) * static_cast<uint64_t>(nj) : 0;
}

// The least limit of a control group and the groups above it: `file` below `root` + each
// folder of `path`; 0 when there is none. A limit of 2^62 or more is version 1's "none".
uint64_t leastGroupLimit(const std::string& root, const std::string& path, const char* file) {
    uint64_t least = 0;
    for (std::string p = path;; p = p.substr(0, p.rfind('/'))) {
        std::ifstream f(root + (p == "/" ? "" : p) + "/" + file);
        std::string v;
        if (f >> v && v != "max") {
            const uint64_t n = std::strtoull(v.c_str(), nullptr, 10);
            if (n > 0 && n < (uint64_t{1} << 62) && (least == 0 || n < least)) least = n;
        }
        if (p.empty() || p == "/") break;
    }
    return least;
}

}  // namespace

uint64_t controlGroupLimit(const std::string& selfCgroup, const std::string& sysRoot) {
    std::istringstream self(selfCgroup);
    std::string line, unified, memory;
    bool v1 = false;
    while (std::getline(self, line)) {
        // "0::/path" (version 2) or "N:controller,controller:/path" (version 1).
        const size_t a = line.find(':'), b = a == std::string::npos ? a : line.find(':', a + 1);
        if (b == std::string::npos) continue;
        const std::string controllers = "," + line.substr(a + 1, b - a - 1) + ",";
        if (line.rfind("0::", 0) == 0) unified = line.substr(b + 1);
        else if (controllers.find(",memory,") != std::string::npos) {
            memory = line.substr(b + 1);
            v1 = true;
        }
    }
    uint64_t least = 0;
    auto lower = [&](uint64_t n) {
        if (n > 0 && (least == 0 || n < least)) least = n;
    };
    if (!unified.empty()) lower(leastGroupLimit(sysRoot, unified, "memory.max"));
    if (v1) lower(leastGroupLimit(sysRoot + "/memory", memory, "memory.limit_in_bytes"));
    return least;
}

uint64_t boundaryLineBytes(int64_t cells, int64_t nLine) {
    if (cells <= 0 || nLine < 0) return 0;
    // lineNew holds a scratch line 0 besides lines 1..cells; line and lineOld hold 1..cells.
    return static_cast<uint64_t>(3 * cells + 1) * static_cast<uint64_t>(nLine + 1) * sizeof(float);
}

uint64_t caseMemoryBytes(const Model& m) {
    const uint64_t nx = m.ixEnd >= m.ixStart ? static_cast<uint64_t>(int64_t(m.ixEnd) - m.ixStart + 1) : 0;
    uint64_t bytes = cellsWithGhosts(m) * kGridsPerCase * 4;
    bytes += nx * (3 * sizeof(double) + 18 * sizeof(float));  // the rows handed from predictor to corrector
    const uint64_t cells = m.nBndCell > 0 ? static_cast<uint64_t>(m.nBndCell) + 1 : 0;
    bytes += cells * 3 * sizeof(int32_t);  // bndCellI, bndCellJ, bndCode
    const uint64_t rows = m.nBndApprox >= 0 ? static_cast<uint64_t>(m.nBndApprox) + 1 : 0;
    bytes += rows * (sizeof(int16_t) + 2 * sizeof(float));  // bndType, bndVal1, bndVal2
    bytes += boundaryLineBytes(1, 0);
    return bytes;
}

uint64_t availableMemoryBytes(std::string* source) {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    uint64_t avail = pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) : 0;
    std::string what = "physical memory";
    auto lower = [&](uint64_t limit, const char* name) {
        if (limit > 0 && (avail == 0 || limit < avail)) {
            avail = limit;
            what = name;
        }
    };
    rlimit lim{};
    if (::getrlimit(RLIMIT_AS, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY)
        lower(lim.rlim_cur, "the address-space limit of this process, ulimit -v");
    if (::getrlimit(RLIMIT_DATA, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY)
        lower(lim.rlim_cur, "the data-size limit of this process, ulimit -d");
    std::ifstream self("/proc/self/cgroup");
    std::ostringstream text;
    text << self.rdbuf();
    lower(controlGroupLimit(text.str(), "/sys/fs/cgroup"), "the memory limit of this process's control group");
    if (source) *source = what;
    return avail;
}

void requireMemoryFor(const Model& m, uint64_t extra) {
    const uint64_t need = caseMemoryBytes(m) + extra;
    std::string source;
    const uint64_t avail = availableMemoryBytes(&source);
    if (avail == 0 || need <= avail) return;
    const int64_t nx = int64_t(m.ixEnd) - m.ixStart + 1, ny = int64_t(m.jyEnd) - m.jyStart + 1;
    throw StopError(m.coefFile + ": the grid of " + std::to_string(nx) + " x " + std::to_string(ny) +
                    " cells needs about " + formatBytes(static_cast<double>(need)) + " of memory (" +
                    std::to_string(kGridsPerCase) + " arrays of " + std::to_string(nx + 2) + " x " +
                    std::to_string(ny + 2) + " cells, ghost ring included, with the boundary tables" +
                    (extra > 0 ? " and the open-boundary lines" : "") + "), but " +
                    formatBytes(static_cast<double>(avail)) + " is available (" + source +
                    "): expected a grid that fits in memory");
}

}  // namespace littoral

#include "input/MemoryBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/Allocation.h"
#include "core/Error.h"
#include "core/Parallel.h"

namespace littoral {

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

// The parts measured on the batch program (docs/memory.md): what it holds before a case
// (code and data of the program and its libraries, the first-use allocations of the
// runtime), what the netCDF library adds once a file is made, and per thread of the
// result-file writer its text part (kLinesPerPart lines of 23 numbers), its tile of
// values and the thread's stack in use.
constexpr uint64_t kProgramBytes = 55 * kMiB / 2;
constexpr uint64_t kNetcdfLibraryBytes = 19 * kMiB / 2;
// A line of the result field file (two positions and 21 values) as the writer holds it.
constexpr uint64_t kWriterBytesPerLine = 160;
constexpr uint64_t kWriterLinesPerThread = 16384;  // ResultFields.cpp, kLinesPerPart
// The address space a thread started by the run reserves beyond what it touches: its
// stack (the process's stack limit, 8 MiB by default) and a heap arena of the C library
// (64 MiB reserved, touched as used).
constexpr uint64_t kArenaBytes = 64 * kMiB;

// On a rank, the rows it keeps (its slab and up to two far rows).
uint64_t cellsWithGhosts(const Model& m) {
    const RowRange r = m.slabRows();
    const int64_t ni = int64_t(m.ixEnd) - m.ixStart + 3,
                  nj = int64_t(r.end) - r.begin + 1 + (m.slabs().ranks() > 1 ? 2 : 0);
    return ni > 0 && nj > 0 ? static_cast<uint64_t>(ni) * static_cast<uint64_t>(nj) : 0;
}

// Interior cells of the whole grid (the netCDF file and the pictures are of the whole).
uint64_t wholeCells(const Model& m, int ring) {
    const int64_t ni = int64_t(m.ixEnd) - m.ixStart + 1 + 2 * ring, nj = int64_t(m.jyEnd) - m.jyStart + 1 + 2 * ring;
    return ni > 0 && nj > 0 ? static_cast<uint64_t>(ni) * static_cast<uint64_t>(nj) : 0;
}

// The bytes of the arrays the readers allocate (the 14 case grids, the boundary lists and
// table, and the open-boundary lines), once they are held.
uint64_t bytesHeldByTheReaders(const Model& m) {
    uint64_t bytes = 0;
    if (!m.dep.empty()) {
        bytes += cellsWithGhosts(m) * 14 * 4;
        const uint64_t cells = m.nBndCell > 0 ? static_cast<uint64_t>(m.nBndCell) + 1 : 0;
        bytes += cells * 3 * sizeof(int32_t);
        const uint64_t rows = m.nBndApprox >= 0 ? static_cast<uint64_t>(m.nBndApprox) + 1 : 0;
        bytes += rows * (sizeof(int16_t) + 2 * sizeof(float));
    }
    if (m.line.sHi() >= m.line.sLo() && m.line.points() > 0) bytes += boundaryLineBytes(m.nBndListed, m.nLine);
    return bytes;
}

uint64_t readNumber(const std::string& path) {
    std::ifstream f(path);
    std::string v;
    if (!(f >> v) || v == "max") return 0;
    return std::strtoull(v.c_str(), nullptr, 10);
}

// A "Key:   value kB" line of a /proc file, in bytes (Threads: as it stands); 0 if absent.
uint64_t procField(const std::string& path, const std::string& key) {
    std::ifstream f(path);
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind(key + ":", 0) != 0) continue;
        std::istringstream s(line.substr(key.size() + 1));
        uint64_t v = 0;
        std::string unit;
        s >> v >> unit;
        return unit == "kB" ? v * 1024 : v;
    }
    return 0;
}

std::string readText(const std::string& path) {
    std::ifstream f(path);
    std::ostringstream t;
    t << f.rdbuf();
    return t.str();
}

// The groups of the process: version 2's path and version 1's memory controller's path.
struct SelfGroups {
    std::string unified, memory;
    bool v2 = false, v1 = false;
};

SelfGroups selfGroups(const std::string& selfCgroup) {
    SelfGroups g;
    std::istringstream self(selfCgroup);
    std::string line;
    while (std::getline(self, line)) {
        // "0::/path" (version 2) or "N:controller,controller:/path" (version 1).
        const size_t a = line.find(':'), b = a == std::string::npos ? a : line.find(':', a + 1);
        if (b == std::string::npos) continue;
        const std::string controllers = "," + line.substr(a + 1, b - a - 1) + ",";
        if (line.rfind("0::", 0) == 0) {
            g.unified = line.substr(b + 1);
            g.v2 = true;
        } else if (controllers.find(",memory,") != std::string::npos) {
            g.memory = line.substr(b + 1);
            g.v1 = true;
        }
    }
    return g;
}

// The least room (limit less usage) of the group at `path` below `root` and the groups
// above it; 0 when none has a limit. A limit of 2^62 or more is version 1's "none".
struct GroupRoom {
    uint64_t room = 0, limit = 0, used = 0;
    std::string file;
    bool found = false;
};

GroupRoom leastGroupRoom(const std::string& root, const std::string& path, const char* limitFile,
                         const char* usageFile) {
    GroupRoom least;
    for (std::string p = path;; p = p.substr(0, p.rfind('/'))) {
        const std::string dir = root + (p == "/" ? "" : p);
        const uint64_t n = readNumber(dir + "/" + limitFile);
        if (n > 0 && n < (uint64_t{1} << 62)) {
            const uint64_t used = readNumber(dir + "/" + usageFile);
            const uint64_t room = used < n ? n - used : 1;  // at or over its limit: nothing left
            if (!least.found || room < least.room) least = {room, n, used, dir + "/" + limitFile, true};
        }
        if (p.empty() || p == "/") break;
    }
    return least;
}

}  // namespace

std::string systemRoot() {
    const char* v = std::getenv("LITTORAL_SYSTEM_ROOT");
    return v ? v : "";
}

uint64_t controlGroupRoom(const std::string& selfCgroup, const std::string& sysRoot, std::string* where) {
    const SelfGroups g = selfGroups(selfCgroup);
    GroupRoom least;
    auto lower = [&](const GroupRoom& r) {
        if (r.found && (!least.found || r.room < least.room)) least = r;
    };
    if (g.v2) lower(leastGroupRoom(sysRoot, g.unified, "memory.max", "memory.current"));
    if (g.v1) lower(leastGroupRoom(sysRoot + "/memory", g.memory, "memory.limit_in_bytes", "memory.usage_in_bytes"));
    if (!least.found) return 0;
    if (where)
        *where = "the memory limit of the process's control group, " + least.file + ", " +
                 formatBytes(static_cast<double>(least.limit)) + " of which " +
                 formatBytes(static_cast<double>(least.used)) + " is in use";
    return least.room;
}

uint64_t controlGroupLimit(const std::string& selfCgroup, const std::string& sysRoot) {
    const SelfGroups g = selfGroups(selfCgroup);
    uint64_t least = 0;
    auto lower = [&](const std::string& root, const std::string& path, const char* file) {
        for (std::string p = path;; p = p.substr(0, p.rfind('/'))) {
            const uint64_t n = readNumber(root + (p == "/" ? "" : p) + "/" + file);
            if (n > 0 && n < (uint64_t{1} << 62) && (least == 0 || n < least)) least = n;
            if (p.empty() || p == "/") break;
        }
    };
    if (g.v2) lower(sysRoot, g.unified, "memory.max");
    if (g.v1) lower(sysRoot + "/memory", g.memory, "memory.limit_in_bytes");
    return least;
}

uint64_t boundaryLineBytes(int64_t cells, int64_t nLine) {
    if (cells <= 0 || nLine < 0) return 0;
    // lineNew holds a scratch line 0 besides lines 1..cells; line and lineOld hold 1..cells.
    return static_cast<uint64_t>(3 * cells + 1) * static_cast<uint64_t>(nLine + 1) * sizeof(float);
}

uint64_t caseArrayBytes(const Model& m) {
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

MemoryEstimate estimateMemory(const Model& m, int threads) {
    MemoryEstimate e;
    e.threads = threads > 0 ? threads : threadCount();
    e.program = kProgramBytes;
    e.arrays = caseArrayBytes(m);
    if (m.nLine > 0 && m.nBndListed > 0) {
        const uint64_t full = boundaryLineBytes(m.nBndListed, m.nLine), least = boundaryLineBytes(1, 0);
        e.lines = full > least ? full - least : 0;
    }
    const bool files = m.filesWanted && m.writesFiles();
    if (files && m.csvResults) {
        // Each thread formats up to kWriterLinesPerThread lines at a time from a tile of
        // at most 16 columns of 21 values (about a million values).
        const uint64_t cells = wholeCells(m, 0), threads = static_cast<uint64_t>(e.threads);
        const uint64_t ny = static_cast<uint64_t>(std::max<int64_t>(1, int64_t(m.jyEnd) - m.jyStart + 1));
        const uint64_t columns = std::clamp<uint64_t>((uint64_t{1} << 20) / (ny * 21), 1, 16);
        e.writer = std::min(cells, threads * kWriterLinesPerThread) * kWriterBytesPerLine +
                   threads * std::min(cells, columns * ny) * 21 * 4;
    }
    // The netCDF writer's field buffer of the interior and, while the header is written,
    // a grid of ints with the ghost ring.
    if (files && m.netcdfResults) e.netcdf = kNetcdfLibraryBytes + wholeCells(m, 0) * 4 + wholeCells(m, 1) * 4;
    // The pictures: the two grids kept (ghost ring included) and an image of 4 bytes a
    // pixel of 4/3 x 4/3 pixels a cell, each picture drawn and encoded in turn.
    if (files) e.pictures = wholeCells(m, 1) * 2 * 4 + wholeCells(m, 1) * 16 * 4 / 9;
    // The means: 9 sums in double per interior cell, 2 maxima and 9 means as grids.
    if (m.filesWanted && m.meanFields) e.means = wholeCells(m, 0) * 9 * 8 + wholeCells(m, 1) * 11 * 4;
    return e;
}

MemoryRoom memoryRoom(const std::string& root, int extraThreads) {
    MemoryRoom r;
    auto lower = [&](uint64_t bytes, const std::string& what, bool addressSpace = false) {
        if (bytes > 0 && (r.bytes == 0 || bytes < r.bytes)) {
            r.bytes = bytes;
            r.source = what;
            r.addressSpace = addressSpace;
        }
    };
    const uint64_t memAvailable = procField(root + "/proc/meminfo", "MemAvailable");
    if (memAvailable > 0) {
        lower(memAvailable, "the memory the system has available, MemAvailable of /proc/meminfo");
    } else {
        const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
        if (pages > 0 && pageSize > 0)
            lower(static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize), "the physical memory");
    }
    const std::string status = "/proc/self/status";
    rlimit lim{};
    auto limitRoom = [&](int resource, const char* field, const char* name, uint64_t reserved) {
        if (::getrlimit(resource, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return;
        const uint64_t limit = lim.rlim_cur, used = procField(status, field) + reserved;
        lower(used < limit ? limit - used : 1,
              std::string(name) + " of " + formatBytes(static_cast<double>(limit)) + ", of which " +
                  formatBytes(static_cast<double>(used)) + " is in use" +
                  (reserved > 0 ? " or reserved by the threads the run starts" : ""),
              resource == RLIMIT_AS);
    };
    uint64_t stack = 8 * kMiB;
    if (::getrlimit(RLIMIT_STACK, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) stack = lim.rlim_cur;
    const uint64_t threadReserve = static_cast<uint64_t>(std::max(0, extraThreads)) * (stack + kArenaBytes);
    limitRoom(RLIMIT_AS, "VmSize", "the address-space limit of this process (ulimit -v)", threadReserve);
    limitRoom(RLIMIT_DATA, "VmData", "the data-size limit of this process (ulimit -d)", threadReserve);
    std::string where;
    const uint64_t group = controlGroupRoom(readText(root + "/proc/self/cgroup"), root + "/sys/fs/cgroup", &where);
    lower(group, where);
    return r;
}

void requireMemoryFor(const Model& m, int threads) {
    const MemoryEstimate e = estimateMemory(m, threads);
    // The program itself is resident already, and so is whatever the case holds.
    const uint64_t held = kProgramBytes + bytesHeldByTheReaders(m), total = e.total();
    const uint64_t need = total > held ? total - held : 0;
    const int running = static_cast<int>(procField("/proc/self/status", "Threads"));
    const MemoryRoom room = memoryRoom(systemRoot(), std::max(0, e.threads - std::max(1, running)));
    if (room.bytes == 0 || need <= room.bytes) return;
    const int64_t nx = int64_t(m.ixEnd) - m.ixStart + 1, ny = int64_t(m.jyEnd) - m.jyStart + 1;
    std::string parts = std::to_string(kGridsPerCase) + " arrays of " + std::to_string(nx + 2) + " x " +
                        std::to_string(ny + 2) + " cells, ghost ring included, with the boundary tables";
    if (e.lines > 0) parts += ", the open-boundary lines";
    if (e.writer > 0) parts += ", the result-file writer's buffers of " + std::to_string(e.threads) + " thread" +
                               (e.threads > 1 ? "s" : "");
    if (e.netcdf > 0) parts += ", the netCDF writer's";
    if (e.pictures > 0) parts += ", the pictures'";
    if (e.means > 0) parts += ", the mean fields'";
    parts += " and the program's own";
    throw StopError(m.coefFile + ": the grid of " + std::to_string(nx) + " x " + std::to_string(ny) +
                    " cells needs about " + formatBytes(static_cast<double>(total)) + " of memory (" + parts +
                    "), " + formatBytes(static_cast<double>(need)) + " more than it holds now, but " +
                    (room.bytes > 1 ? formatBytes(static_cast<double>(room.bytes)) : std::string("nothing")) +
                    " is available (" + room.source +
                    "): expected a grid that fits in memory");
}

std::string memoryFigures(const Model& m) {
    const MemoryRoom room = memoryRoom();
    return "the case needs about " + formatBytes(static_cast<double>(estimateMemory(m).total())) + " in all, " +
           formatBytes(static_cast<double>(room.bytes)) + " is available (" + room.source + ")";
}

}  // namespace littoral

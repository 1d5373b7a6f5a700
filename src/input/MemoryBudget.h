// The memory a case will need, worked out from the coefficient file's extents before
// anything is allocated, and the memory the process can actually get. A case that cannot
// fit is refused with the grid size, the memory needed, the memory available and which
// limit that is, instead of running for minutes into an allocation failure or the
// system's out-of-memory killer.
#pragma once

#include <cstdint>
#include <string>

#include "core/Model.h"

namespace littoral {

// Whole-grid arrays of a case, ghost ring included, each of 4-byte values: the case grids
// (14), the wave model's kept grids (7) and per-period statistics (22), the wave step's
// work grids (3), the flow state and forcing (12) and the five face grids of 3 values (15).
constexpr int kGridsPerCase = 14 + 7 + 22 + 3 + 12 + 5 * 3;

// Bytes of the open-boundary lines of `cells` listed boundary cells with nLine + 1 points.
uint64_t boundaryLineBytes(int64_t cells, int64_t nLine);

// Bytes of every array of the case in m (extents and table sizes of the coefficient file):
// the grids, the row work arrays of the wave step, the boundary-cell lists and the
// boundary-condition table, and the open-boundary lines at their least size (one point per
// line and boundary cell; the boundary reader checks their real size again).
uint64_t caseArrayBytes(const Model& m);

// What a run of the case holds besides its arrays, in bytes, and the whole: the part
// measured on the batch program (scripts/memory-peak.py, docs/memory.md).
struct MemoryEstimate {
    uint64_t program = 0;   // the program and its libraries, resident before any case
    uint64_t arrays = 0;    // caseArrayBytes
    uint64_t lines = 0;     // the open-boundary lines beyond their least size, once known
    uint64_t writer = 0;    // the result-file writer's text and tiles, per thread
    uint64_t netcdf = 0;    // the netCDF writer's field buffer and the library's own
    uint64_t pictures = 0;  // the two grids kept for the end-of-case pictures and their images
    uint64_t means = 0;     // the running sums, maxima and means of the mean fields (Model::meanFields)
    int threads = 1;
    uint64_t total() const { return program + arrays + lines + writer + netcdf + pictures + means; }
};

// The estimate for the case in m with its result choices (m.csvResults, m.netcdfResults,
// m.filesWanted) on `threads` threads (0: threadCount()). The pictures are always counted
// (the batch and desktop programs draw them; a library caller without them is over-estimated
// by about 2 %).
MemoryEstimate estimateMemory(const Model& m, int threads = 0);

// The memory this process can still get, and from where: the least of the memory the
// system has available (MemAvailable of /proc/meminfo, else the physical memory), what the
// process's address-space limit (ulimit -v) and data-size limit (ulimit -d) leave beside
// what it already uses, and what the memory limit of its control group and of each group
// above it leaves beside their usage (version 2's memory.max less memory.current, version
// 1's memory.limit_in_bytes less memory.usage_in_bytes). `bytes` is 0 when nothing could
// be read.
struct MemoryRoom {
    uint64_t bytes = 0;
    std::string source;       // which of them it is, with its figures
    bool addressSpace = false;  // the address-space limit (thread stacks and heaps count)
};

// The folder the system's files are read below: the environment variable
// LITTORAL_SYSTEM_ROOT (a test's stand-in for /proc and /sys), else "" (the system's own).
std::string systemRoot();

// Files of the system the room is read from: /proc/meminfo, /proc/self/cgroup and the
// control groups below /sys/fs/cgroup, all below `root` ("" the real system). The
// process's own sizes (/proc/self/status) and limits are always its real ones.
// extraThreads: threads the run will start beyond those running, each with its stack and
// heap reserved in the address space.
MemoryRoom memoryRoom(const std::string& root = systemRoot(), int extraThreads = 0);

// The memory limit left by a control group and the groups above it, 0 when there is none:
// `selfCgroup` is the text of /proc/self/cgroup, `sysRoot` the folder the groups are
// mounted in (/sys/fs/cgroup). Version 2: memory.max less memory.current; version 1's
// memory controller (below sysRoot/memory): memory.limit_in_bytes less
// memory.usage_in_bytes. `where` receives the group and its figures.
uint64_t controlGroupRoom(const std::string& selfCgroup, const std::string& sysRoot, std::string* where = nullptr);

// The least memory limit of a control group and the groups above it (the room with no
// usage counted), 0 when there is none.
uint64_t controlGroupLimit(const std::string& selfCgroup, const std::string& sysRoot);

// Refuses (StopError naming the coefficient file, the grid, the memory needed, the memory
// available and which limit it is) a case whose estimate does not fit in memoryRoom(),
// counting only what the case has not yet allocated: at its reading, everything; once its
// grids (and its open-boundary lines) are held, the rest. `threads` as for estimateMemory.
void requireMemoryFor(const Model& m, int threads = 0);

// The same figures as a sentence for the message of an allocation that failed anyway:
// "the case's arrays need about E in all, A is available (source)".
std::string memoryFigures(const Model& m);

}  // namespace littoral

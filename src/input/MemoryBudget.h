// The memory a case will need, worked out from the coefficient file's extents before
// anything is allocated, and the memory the machine can give it. A case that cannot fit is
// refused with the grid size, the memory needed and the memory available, instead of
// running for minutes into an allocation failure or the system's out-of-memory killer.
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
uint64_t caseMemoryBytes(const Model& m);

// The memory this process can have: the machine's physical memory, or less where a limit
// of the process (address space, data size) or of its control group is lower. `source`
// receives which of them it is ("physical memory", ...).
uint64_t availableMemoryBytes(std::string* source = nullptr);

// The memory limit of a control group, 0 when there is none: `selfCgroup` is the text of
// /proc/self/cgroup, `sysRoot` the folder the groups are mounted in (/sys/fs/cgroup). Read
// for version 2 (memory.max) and for version 1's memory controller (memory.limit_in_bytes),
// in the process's group and every group above it.
uint64_t controlGroupLimit(const std::string& selfCgroup, const std::string& sysRoot);

// Refuses (StopError naming the coefficient file, the grid, the memory needed and the
// memory available) a case that needs more than availableMemoryBytes(); `extra` bytes are
// added to the estimate (the open-boundary lines once their size is known).
void requireMemoryFor(const Model& m, uint64_t extra = 0);

}  // namespace littoral

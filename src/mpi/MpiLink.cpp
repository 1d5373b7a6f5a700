#include "mpi/MpiLink.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/Allocation.h"
#include "core/Error.h"

namespace littoral {

MpiLink::MpiLink(MPI_Comm comm) : comm_(comm) {
    MPI_Comm_rank(comm_, &rank_);
    MPI_Comm_size(comm_, &size_);
    counts_.assign(static_cast<size_t>(size_), 0);
    displs_.assign(static_cast<size_t>(size_), 0);
    start_ = MPI_Wtime();
}

namespace {

// Adds the seconds from its making to its end to a sum.
class Stopwatch {
public:
    explicit Stopwatch(double& sum) : sum_(sum), t0_(MPI_Wtime()) {}
    ~Stopwatch() { sum_ += MPI_Wtime() - t0_; }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;

private:
    double& sum_;
    double t0_;
};

// The most memory this process has held, in bytes (0 where the system does not tell).
double peakMemoryBytes() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    double kib = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
    std::fclose(f);
    return kib * 1024.0;
}

}  // namespace

void MpiLink::report() {
    const double mine[4] = {haloSeconds_, gatherSeconds_, reduceSeconds_, peakMemoryBytes()};
    std::vector<double> all(rank_ == 0 ? 4 * static_cast<size_t>(size_) : 0);
    MPI_Gather(mine, 4, MPI_DOUBLE, all.data(), 4, MPI_DOUBLE, 0, comm_);
    if (rank_ != 0) return;
    const double wall = MPI_Wtime() - start_;
    std::fprintf(stderr, "mpi: %d processes, %.2f s wall time\n", size_, wall);
    for (int q = 0; q < size_; ++q) {
        const double* v = all.data() + 4 * q;
        std::fprintf(stderr,
                     "mpi: process %d: halo exchanges %.3f s (%.1f %%), gathers and file parts' places %.3f s (%.1f %%), minimum and checks "
                     "%.3f s (%.1f %%, waiting for the slowest included), peak memory %s\n",
                     q, v[0], 100 * v[0] / wall, v[1], 100 * v[1] / wall, v[2], 100 * v[2] / wall,
                     formatBytes(v[3]).c_str());
    }
}

namespace {

// Row j of g, from its west ghost cell; a row holds stride() values.
// (The first and last rank keep the row at the other end of the grid as a far row.)
float* rowOf(Grid& g, int32_t j) { return g.row(j); }

}  // namespace

void MpiLink::exchangeRows(std::span<Grid* const> grids, Rows which, int32_t j0, int32_t j1) {
    if (size_ == 1) return;
    const Stopwatch watch(haloSeconds_);
    const RowRange own = ownRows(j0, j1);
    const bool first = rank_ == 0, last = rank_ == size_ - 1;
    int tag = 0;
    for (Grid* g : grids) {
        const int n = static_cast<int>(g->stride());
        if (which == Rows::Halos) {
            const int prev = (rank_ + size_ - 1) % size_, next = (rank_ + 1) % size_;
            // Upwards: the last own row to the next rank, the previous rank's last row in
            // below the first (the first rank takes the last rank's last row in its place).
            MPI_Sendrecv(rowOf(*g, own.end), n, MPI_FLOAT, next, tag, rowOf(*g, first ? j1 : own.begin - 1), n, MPI_FLOAT,
                         prev, tag, comm_, MPI_STATUS_IGNORE);
            // Downwards likewise.
            MPI_Sendrecv(rowOf(*g, own.begin), n, MPI_FLOAT, prev, tag + 1, rowOf(*g, last ? j0 : own.end + 1), n,
                         MPI_FLOAT, next, tag + 1, comm_, MPI_STATUS_IGNORE);
        } else if (first) {
            MPI_Sendrecv(rowOf(*g, j0), n, MPI_FLOAT, size_ - 1, tag, rowOf(*g, j1), n, MPI_FLOAT, size_ - 1, tag, comm_,
                         MPI_STATUS_IGNORE);
        } else if (last) {
            MPI_Sendrecv(rowOf(*g, j1), n, MPI_FLOAT, 0, tag, rowOf(*g, j0), n, MPI_FLOAT, 0, tag, comm_,
                         MPI_STATUS_IGNORE);
        }
        tag += 2;
    }
}

void MpiLink::heldParts(int64_t n, int32_t jLo, int32_t j0, int32_t j1) {
    for (int q = 0; q < size_; ++q) {
        const RowRange r = slabOf(j0, j1, q, size_);
        const int32_t a = q == 0 ? j0 - 1 : r.begin, b = q == size_ - 1 ? j1 + 1 : r.end;
        counts_[static_cast<size_t>(q)] = static_cast<int>((int64_t{b} - a + 1) * n);
        displs_[static_cast<size_t>(q)] = static_cast<int>((int64_t{a} - jLo) * n);
    }
}

template <class T>
void MpiLink::gatherHeld(const GridT<T>& part, GridT<T>& whole, MPI_Datatype type, int32_t j0, int32_t j1) {
    if (size_ == 1) {
        whole = part;
        return;
    }
    const Stopwatch watch(gatherSeconds_);
    const RowRange own = ownRows(j0, j1);
    const int32_t a = rank_ == 0 ? j0 - 1 : own.begin, b = rank_ == size_ - 1 ? j1 + 1 : own.end;
    const int n = static_cast<int>((int64_t{b} - a + 1) * part.stride());
    if (rank_ == 0) {
        heldParts(whole.stride(), whole.jLo(), j0, j1);
        MPI_Gatherv(part.row(a), n, type, whole.data(), counts_.data(), displs_.data(), type, 0, comm_);
    } else {
        MPI_Gatherv(part.row(a), n, type, nullptr, nullptr, nullptr, type, 0, comm_);
    }
}

void MpiLink::gatherToFirst(const Grid& part, Grid& whole, int32_t j0, int32_t j1) {
    gatherHeld(part, whole, MPI_FLOAT, j0, j1);
}

void MpiLink::gatherToFirst(const IntGrid& part, IntGrid& whole, int32_t j0, int32_t j1) {
    gatherHeld(part, whole, MPI_INT32_T, j0, j1);
}

void MpiLink::allValues(const int64_t* mine, int n, std::vector<int64_t>& all) {
    const Stopwatch watch(gatherSeconds_);
    all.resize(static_cast<size_t>(n) * static_cast<size_t>(size_));
    MPI_Allgather(mine, n, MPI_INT64_T, all.data(), n, MPI_INT64_T, comm_);
}

void MpiLink::textOfFirst(std::string& text) {
    if (size_ == 1) return;
    const Stopwatch watch(gatherSeconds_);
    int size = static_cast<int>(text.size());
    MPI_Bcast(&size, 1, MPI_INT, 0, comm_);
    text.resize(static_cast<size_t>(size));
    MPI_Bcast(text.data(), size, MPI_CHAR, 0, comm_);
}

void MpiLink::share(double* v, int n, int32_t j, int32_t j0, int32_t j1) {
    if (size_ == 1) return;
    const Stopwatch watch(reduceSeconds_);
    MPI_Bcast(v, n, MPI_DOUBLE, rankOfRow(j, j0, j1), comm_);
}

void MpiLink::minima(double* v, int n) {
    if (size_ == 1) return;
    const Stopwatch watch(reduceSeconds_);
    MPI_Allreduce(MPI_IN_PLACE, v, n, MPI_DOUBLE, MPI_MIN, comm_);
}

void MpiLink::sums(double* v, int n) {
    if (size_ == 1) return;
    const Stopwatch watch(reduceSeconds_);
    MPI_Allreduce(MPI_IN_PLACE, v, n, MPI_DOUBLE, MPI_SUM, comm_);
}

float MpiLink::agree(float v, int& failedRank) {
    // Both values are exact in double: the smallest of each is the smallest over the
    // ranks. A failure's key orders by its place, then by the rank.
    const double none = 9007199254740992.0;  // 2^53
    const Stopwatch watch(reduceSeconds_);
    double in[2] = {v, failed_ ? double(place_) * size_ + rank_ : none}, out[2];
    MPI_Allreduce(in, out, 2, MPI_DOUBLE, MPI_MIN, comm_);
    failedRank = out[1] < none ? static_cast<int>(std::fmod(out[1], double(size_))) : -1;
    return static_cast<float>(out[0]);
}

void MpiLink::raise(int from) {
    int head[2] = {rank_ == from ? static_cast<int>(failure_.size()) : 0, static_cast<int>(kind_)};
    MPI_Bcast(head, 2, MPI_INT, from, comm_);
    std::string text(static_cast<size_t>(head[0]), '\0');
    if (rank_ == from) text = failure_;
    MPI_Bcast(text.data(), head[0], MPI_CHAR, from, comm_);
    failed_ = false;
    failure_.clear();
    switch (static_cast<Kind>(head[1])) {
    case Kind::Allocation: throw AllocationError(text);
    case Kind::Memory: throw std::bad_alloc();
    default: throw StopError(text);
    }
}

float MpiLink::minimum(float v) {
    if (size_ == 1) return v;
    int failedRank = -1;
    const float r = agree(v, failedRank);
    if (failedRank >= 0) raise(failedRank);
    return r;
}

void MpiLink::check() {
    if (size_ == 1) return;
    int failedRank = -1;
    agree(0.0f, failedRank);
    if (failedRank >= 0) raise(failedRank);
}

}  // namespace littoral

// The processes of an MPI run as the ranks a case is split over (littoral-mpi).
#pragma once

#include <mpi.h>

#include <vector>

#include "core/SlabLink.h"

namespace littoral {

class MpiLink : public SlabLink {
public:
    explicit MpiLink(MPI_Comm comm);
    int rank() const override { return rank_; }
    int ranks() const override { return size_; }
    void exchangeRows(std::span<Grid* const> grids, Rows which, int32_t j0, int32_t j1) override;
    void gatherToFirst(const Grid& part, Grid& whole, int32_t j0, int32_t j1) override;
    void gatherToFirst(const IntGrid& part, IntGrid& whole, int32_t j0, int32_t j1) override;
    void allValues(const int64_t* mine, int n, std::vector<int64_t>& all) override;
    void textOfFirst(std::string& text) override;
    void share(double* v, int n, int32_t j, int32_t j0, int32_t j1) override;
    void minima(double* v, int n) override;
    float minimum(float v) override;
    void check() override;
    void sums(double* v, int n) override;
    // Prints (first process) where the run's time went between the processes and the
    // memory each used at most: "mpi: ..." lines on the error output. Collective.
    void report();

private:
    // The counts and offsets of every rank's held rows in a grid of row length n.
    void heldParts(int64_t n, int32_t jLo, int32_t j0, int32_t j1);
    template <class T>
    void gatherHeld(const GridT<T>& part, GridT<T>& whole, MPI_Datatype type, int32_t j0, int32_t j1);
    // The smallest v over the ranks, and the lowest rank that keeps a failure (or none).
    float agree(float v, int& failedRank);
    // Throws the failure of rank `from` on every rank.
    [[noreturn]] void raise(int from);

    MPI_Comm comm_;
    int rank_ = 0, size_ = 1;
    std::vector<int> counts_, displs_;  // of the gather, one per rank
    double start_ = 0, haloSeconds_ = 0, gatherSeconds_ = 0, reduceSeconds_ = 0;
};

}  // namespace littoral

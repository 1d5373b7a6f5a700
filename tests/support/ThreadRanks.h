// The ranks of a split case simulated by threads of one process: each rank runs its own model
// on a thread of its own and reaches the others through a ThreadRank link, which does what
// the cluster program's link does (the halo rows, the gathers to the first rank, the shared
// values, the agreed failures) by copying between the ranks' grids at barriers. A missing
// exchange or a misplaced collective thus shows in every build, with or without MPI.
#pragma once

#include <barrier>
#include <functional>
#include <string>
#include <vector>

#include "core/SlabLink.h"

namespace littoral::test {

class ThreadRanks;

class ThreadRank : public SlabLink {
public:
    ThreadRank(ThreadRanks& all, int rank) : all_(all), rank_(rank) {}
    int rank() const override { return rank_; }
    int ranks() const override;
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
    // Exchanges made so far by this rank (every grid of every call counts).
    long exchanges() const { return exchanges_; }

private:
    template <class T>
    void gather(const GridT<T>& part, GridT<T>& whole, int32_t j0, int32_t j1);
    // The smallest v over the ranks; throws the failure a single process would meet first.
    float agree(float v);

    ThreadRanks& all_;
    int rank_;
    long exchanges_ = 0;
};

class ThreadRanks {
public:
    explicit ThreadRanks(int n);
    int size() const { return n_; }
    ThreadRank& link(int rank) { return links_[static_cast<size_t>(rank)]; }
    // Runs body(rank, link) on n threads, one per rank, and waits for all; rethrows the first
    // rank's exception (every rank meets the same one when the collectives agree).
    void run(const std::function<void(int, ThreadRank&)>& body);

private:
    friend class ThreadRank;
    // What each rank puts on the table for a collective (pointers into its own state).
    struct Slot {
        std::vector<void*> grids;
        const void* values = nullptr;
        double* doubles = nullptr;
        float v = 0;
        bool failed = false;
        int64_t place = 0;
        int kind = 0;
        std::string failure;
    };
    void sync() { barrier_.arrive_and_wait(); }

    int n_;
    std::vector<ThreadRank> links_;
    std::vector<Slot> slots_;
    std::barrier<> barrier_;
};

}  // namespace littoral::test

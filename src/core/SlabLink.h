// A case split over several processes (ranks), each computing a slab of whole rows j of the
// time loops. The engine reaches the other ranks only through this interface, so that it
// links no message-passing library; the single-process link does nothing, and every call
// costs a virtual call at most.
//
// Every rank holds only its slab of every grid: its own rows, the ghost rows at its edges of
// the grid (held rows) and one halo row beyond each end; the first and the last rank also
// keep the row at the other end of the grid, for periodic sides (a far row). Every pass
// computes the rows a rank holds; between the passes the rows a stencil reaches across are
// exchanged:
//   halos  the first own row goes to the rank before, the last to the rank after, and the
//          first rank's first row and the last rank's last row go round to the other end
//          (periodic sides copy across the grid);
//   wrap   only that last exchange, between the first and the last rank.
// The per-period passes and the checks run on the held rows too; every rank writes its rows'
// lines of the result files into the first rank's temporary at places the ranks agree on,
// and the pictures' and netCDF file's grids come to the first rank one at a time whole.
//
// Errors: a part that may fail on one rank only runs under guarded(); its failure is kept
// and raised on every rank by the next minimum() or check(), which every rank reaches. Of
// failures on several ranks the one a single process would meet first is raised: the
// smallest place (PlacedStop), then the lowest rank.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <initializer_list>
#include <string>
#include <span>
#include <vector>

#include "core/Allocation.h"
#include "core/Error.h"
#include "core/Grid.h"
#include "core/RowRange.h"

namespace littoral {

// A stop at a place of a pass that a single process visits in a fixed order (a boundary
// cell's number in its list): where ranks stop at several places, the first is reported.
class PlacedStop : public StopError {
public:
    PlacedStop(int64_t place, const std::string& what) : StopError(what), place_(place) {}
    int64_t place() const { return place_; }

private:
    int64_t place_;
};

class SlabLink {
public:
    virtual ~SlabLink() = default;
    virtual int rank() const { return 0; }
    virtual int ranks() const { return 1; }

    // The interior rows of j0..j1 this rank computes.
    RowRange ownRows(int32_t j0, int32_t j1) const { return slabOf(j0, j1, rank(), ranks()); }

    enum class Rows { Halos, Wrap };
    // Exchanges the rows `which` of the grids (all allocated over the grid with its ghost
    // ring, interior rows j0..j1) and marks them current. A collective: every rank makes the
    // same calls with the same grids.
    void exchange(std::initializer_list<Grid*> grids, Rows which, int32_t j0, int32_t j1) {
        exchange(std::span<Grid* const>(grids.begin(), grids.size()), which, j0, j1);
    }
    void exchange(std::span<Grid* const> grids, Rows which, int32_t j0, int32_t j1) {
        if (!grids.empty()) exchangeRows(grids, which, j0, j1);
        for (Grid* g : grids) {
            if (which == Rows::Halos) g->markHalosCurrent();
            else g->markFarRowsCurrent();
        }
    }
    // The first rank receives the held rows of every rank's part of a grid in whole (allocated
    // over the whole grid there; untouched elsewhere), for the files and pictures it writes.
    virtual void gatherToFirst(const Grid& part, Grid& whole, int32_t j0, int32_t j1) {
        (void)j0, (void)j1;
        whole = part;
    }
    virtual void gatherToFirst(const IntGrid& part, IntGrid& whole, int32_t j0, int32_t j1) {
        (void)j0, (void)j1;
        whole = part;
    }
    // The n values of every rank on every rank, in rank order.
    virtual void allValues(const int64_t* mine, int n, std::vector<int64_t>& all) { all.assign(mine, mine + n); }
    // The first rank's text on every rank.
    virtual void textOfFirst(std::string& text) { (void)text; }
    // The n values of the rank that holds row j (interior rows j0..j1) on every rank.
    virtual void share(double* v, int n, int32_t j, int32_t j0, int32_t j1) { (void)v, (void)n, (void)j, (void)j0, (void)j1; }
    // The smallest of each of the n values over the ranks (exact), in place.
    virtual void minima(double* v, int n) { (void)v, (void)n; }
    // The largest of v over the ranks (exact).
    double largest(double v) {
        double negated = -v;
        minima(&negated, 1);
        return -negated;
    }
    // The rank that holds row j: the one computing it, the first for the south ghost row,
    // the last for the north one.
    int rankOfRow(int32_t j, int32_t j0, int32_t j1) const {
        if (j <= j0) return 0;
        if (j >= j1) return ranks() - 1;
        const int64_t rows = int64_t{j1} - j0 + 1;
        int q = static_cast<int>((int64_t{j} - j0) * ranks() / rows);
        while (q > 0 && slabOf(j0, j1, q, ranks()).begin > j) --q;
        while (q < ranks() - 1 && slabOf(j0, j1, q, ranks()).end < j) ++q;
        return q;
    }
    // The smallest v over the ranks; raises a kept failure first.
    virtual float minimum(float v) { return v; }
    // Raises a kept failure of any rank on every rank.
    virtual void check() {}
    // The sum of each of the n values over the ranks, in place (exact for whole numbers
    // below 2^53, such as counts of cells).
    virtual void sums(double* v, int n) { (void)v, (void)n; }

    // Runs part; on several ranks a failure is kept for the next check() instead of thrown.
    template <class F>
    void guarded(F&& part) {
        if (ranks() == 1) {
            part();
            return;
        }
        if (failed_) return;
        try {
            part();
        } catch (const std::exception& e) {
            failed_ = true;
            const auto* placed = dynamic_cast<const PlacedStop*>(&e);
            place_ = placed ? placed->place() : 0;
            failure_ = e.what();
            // The memory running out is raised as such, so that the case's message says so.
            kind_ = dynamic_cast<const AllocationError*>(&e) ? Kind::Allocation
                    : dynamic_cast<const std::bad_alloc*>(&e) ? Kind::Memory
                                                               : Kind::Stop;
        }
    }

protected:
    // The transfer itself (none on one process).
    virtual void exchangeRows(std::span<Grid* const> grids, Rows which, int32_t j0, int32_t j1) {
        (void)grids, (void)which, (void)j0, (void)j1;
    }
    enum class Kind : int { Stop, Allocation, Memory };
    bool failed_ = false;
    int64_t place_ = 0;  // of the kept failure
    Kind kind_ = Kind::Stop;
    std::string failure_;
};

// The link of a process that computes the whole grid.
SlabLink& singleProcess();

}  // namespace littoral

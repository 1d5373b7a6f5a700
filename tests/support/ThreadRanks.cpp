#include "support/ThreadRanks.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

namespace littoral::test {

ThreadRanks::ThreadRanks(int n) : n_(n), slots_(static_cast<size_t>(n)), barrier_(n) {
    links_.reserve(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r) links_.emplace_back(*this, r);
}

void ThreadRanks::run(const std::function<void(int, ThreadRank&)>& body) {
    std::vector<std::exception_ptr> failures(static_cast<size_t>(n_));
    std::vector<std::thread> threads;
    for (int r = 0; r < n_; ++r)
        threads.emplace_back([&, r] {
            try {
                body(r, link(r));
            } catch (...) {
                failures[static_cast<size_t>(r)] = std::current_exception();
                // A rank that leaves early (a failure the collectives did not agree on) lets the
                // others pass the barriers, so that the test fails instead of hanging.
                barrier_.arrive_and_drop();
                return;
            }
            barrier_.arrive_and_drop();
        });
    for (std::thread& t : threads) t.join();
    for (const std::exception_ptr& f : failures)
        if (f) std::rethrow_exception(f);
}

int ThreadRank::ranks() const { return all_.n_; }

void ThreadRank::exchangeRows(std::span<Grid* const> grids, Rows which, int32_t j0, int32_t j1) {
    ThreadRanks::Slot& mine = all_.slots_[static_cast<size_t>(rank_)];
    mine.grids.assign(grids.begin(), grids.end());  // the test's ranks may allocate
    exchanges_ += static_cast<long>(grids.size());
    all_.sync();
    const int n = all_.n_, prev = (rank_ + n - 1) % n, next = (rank_ + 1) % n;
    const bool first = rank_ == 0, last = rank_ == n - 1;
    const RowRange own = ownRows(j0, j1), prevOwn = slabOf(j0, j1, prev, n), nextOwn = slabOf(j0, j1, next, n);
    auto copyRow = [](Grid& to, int32_t jTo, const Grid& from, int32_t jFrom) {
        std::memcpy(to.row(jTo), from.row(jFrom), sizeof(float) * static_cast<size_t>(to.stride()));
    };
    for (size_t k = 0; k < mine.grids.size(); ++k) {
        Grid& g = *static_cast<Grid*>(mine.grids[k]);
        const Grid& below = *static_cast<Grid*>(all_.slots_[static_cast<size_t>(prev)].grids[k]);
        const Grid& above = *static_cast<Grid*>(all_.slots_[static_cast<size_t>(next)].grids[k]);
        if (which == Rows::Halos) {
            // The row below the first own row is the previous rank's last (the first rank keeps
            // the last rank's last row as its far row), the row above the last likewise.
            copyRow(g, first ? j1 : own.begin - 1, below, prevOwn.end);
            copyRow(g, last ? j0 : own.end + 1, above, nextOwn.begin);
        } else if (first) {
            copyRow(g, j1, below, j1);  // below the first rank: the last
        } else if (last) {
            copyRow(g, j0, above, j0);  // above the last rank: the first
        }
    }
    all_.sync();
}

template <class T>
void ThreadRank::gather(const GridT<T>& part, GridT<T>& whole, int32_t j0, int32_t j1) {
    ThreadRanks::Slot& mine = all_.slots_[static_cast<size_t>(rank_)];
    mine.values = &part;
    all_.sync();
    if (rank_ == 0) {
        const int n = all_.n_;
        for (int q = 0; q < n; ++q) {
            const auto& p = *static_cast<const GridT<T>*>(all_.slots_[static_cast<size_t>(q)].values);
            const RowRange r = slabOf(j0, j1, q, n);
            const int32_t a = q == 0 ? j0 - 1 : r.begin, b = q == n - 1 ? j1 + 1 : r.end;
            for (int32_t j = a; j <= b; ++j)
                std::memcpy(whole.row(j), p.row(j), sizeof(T) * static_cast<size_t>(whole.stride()));
        }
    }
    all_.sync();
}

void ThreadRank::gatherToFirst(const Grid& part, Grid& whole, int32_t j0, int32_t j1) { gather(part, whole, j0, j1); }

void ThreadRank::gatherToFirst(const IntGrid& part, IntGrid& whole, int32_t j0, int32_t j1) {
    gather(part, whole, j0, j1);
}

void ThreadRank::allValues(const int64_t* mine, int n, std::vector<int64_t>& all) {
    all_.slots_[static_cast<size_t>(rank_)].values = mine;
    all_.sync();
    all.resize(static_cast<size_t>(n) * static_cast<size_t>(all_.n_));
    for (int q = 0; q < all_.n_; ++q) {
        const auto* v = static_cast<const int64_t*>(all_.slots_[static_cast<size_t>(q)].values);
        std::copy(v, v + n, all.begin() + static_cast<std::ptrdiff_t>(q) * n);
    }
    all_.sync();
}

void ThreadRank::textOfFirst(std::string& text) {
    all_.slots_[static_cast<size_t>(rank_)].values = &text;
    all_.sync();
    if (rank_ != 0) text = *static_cast<const std::string*>(all_.slots_[0].values);
    all_.sync();
}

void ThreadRank::share(double* v, int n, int32_t j, int32_t j0, int32_t j1) {
    all_.slots_[static_cast<size_t>(rank_)].doubles = v;
    all_.sync();
    const int from = rankOfRow(j, j0, j1);
    if (from != rank_) std::copy(all_.slots_[static_cast<size_t>(from)].doubles, all_.slots_[static_cast<size_t>(from)].doubles + n, v);
    all_.sync();
}

void ThreadRank::minima(double* v, int n) {
    all_.slots_[static_cast<size_t>(rank_)].doubles = v;
    all_.sync();
    std::vector<double> r(v, v + n);
    for (int q = 0; q < all_.n_; ++q)
        for (int k = 0; k < n; ++k) r[static_cast<size_t>(k)] = std::min(r[static_cast<size_t>(k)], all_.slots_[static_cast<size_t>(q)].doubles[k]);
    all_.sync();
    std::copy(r.begin(), r.end(), v);
}

void ThreadRank::sums(double* v, int n) {
    all_.slots_[static_cast<size_t>(rank_)].doubles = v;
    all_.sync();
    std::vector<double> r(static_cast<size_t>(n), 0.0);
    for (int q = 0; q < all_.n_; ++q)  // in rank order, the same sum on every rank
        for (int k = 0; k < n; ++k) r[static_cast<size_t>(k)] += all_.slots_[static_cast<size_t>(q)].doubles[k];
    all_.sync();
    std::copy(r.begin(), r.end(), v);
}

float ThreadRank::agree(float v) {
    ThreadRanks::Slot& mine = all_.slots_[static_cast<size_t>(rank_)];
    mine.v = v;
    mine.failed = failed_;
    mine.place = place_;
    mine.kind = static_cast<int>(kind_);
    mine.failure = failure_;
    all_.sync();
    float best = v;
    int from = -1;
    for (int q = 0; q < all_.n_; ++q) {
        const ThreadRanks::Slot& s = all_.slots_[static_cast<size_t>(q)];
        best = std::min(best, s.v);
        // The failure a single process would meet first: the smallest place, then the lowest rank.
        if (s.failed && (from < 0 || s.place < all_.slots_[static_cast<size_t>(from)].place)) from = q;
    }
    std::string text;
    int kind = 0;
    if (from >= 0) {
        text = all_.slots_[static_cast<size_t>(from)].failure;
        kind = all_.slots_[static_cast<size_t>(from)].kind;
    }
    all_.sync();
    if (from < 0) return best;
    failed_ = false;
    failure_.clear();
    switch (static_cast<Kind>(kind)) {
    case Kind::Allocation: throw AllocationError(text);
    case Kind::Memory: throw std::bad_alloc();
    default: throw StopError(text);
    }
}

float ThreadRank::minimum(float v) { return agree(v); }

void ThreadRank::check() { agree(0.0f); }

}  // namespace littoral::test

// Grids of the model state.
//
// A grid covers the interior cells ixStart..ixEnd by jyStart..jyEnd plus one ghost
// cell on every side, indexed with the model's own cell numbers, i fastest in memory:
//
//        j = jyEnd+1  +---+---+---+---+   ghost row (north)
//                     | g | . | . | g |
//                     | g | interior  |
//        j = jyStart-1+---+---+---+---+   ghost row (south)
//                 i = ixStart-1     ixEnd+1
//
// A face grid adds the component k = 0 (mass), 1 (X momentum), 2 (Y momentum) as the
// fastest index. A list is one-dimensional with inclusive bounds lo..hi.
// Every allocation yields zeros. Bounds are asserted in debug builds and tests only.
//
// A grid may cover a band of rows j0..j1 only (a slab of a case split over processes). It
// may then keep up to two single rows beyond its band (far rows: the row at the other end
// of the grid that a periodic side copies), stored apart and reached through row() and
// cell() only.
//
// Such a grid knows its split: the rows its rank holds (computes), and whether the rows it
// keeps beyond them (the halo rows of its band and its far rows) hold the other ranks'
// present values. A pass that writes the grid marks them stale (markWritten); the exchange
// that brings them marks them current. Whether an exchange is due is kept apart from whether
// this rank keeps such rows, so that every rank reaches the same exchanges. In debug and test
// builds, reading a stale halo or far row through the accessors is asserted against, and the
// stale rows hold NaN until the exchange writes them (through row()).
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/Allocation.h"

namespace littoral {

template <class T>
class GridT {
public:
    GridT() = default;
    // Allocates over i = i0..i1, j = j0..j1 (inclusive), zero-filled.
    void allocate(int32_t i0, int32_t i1, int32_t j0, int32_t j1) {
        i0_ = i0; i1_ = i1; j0_ = j0; j1_ = j1;
        ni_ = static_cast<std::ptrdiff_t>(i1) - i0 + 1;
        nj_ = static_cast<std::ptrdiff_t>(j1) - j0 + 1;
        assignZeros(data_, ni_ * nj_, "a grid", "cells", ni_, nj_);
        origin_ = -(static_cast<std::ptrdiff_t>(i0) + static_cast<std::ptrdiff_t>(j0) * ni_);
        far_.clear();
        farJ_[0] = farJ_[1] = kNoRow;
        heldA_ = j0;
        heldB_ = j1;
        haloStale_ = farStale_ = haloDue_ = farDue_ = false;
    }
    // The rows this rank holds (within the band); the band's rows beyond them are halo rows.
    void setHeldRows(int32_t a, int32_t b) {
        heldA_ = std::max(a, j0_);
        heldB_ = std::min(b, j1_);
    }
    int32_t heldLo() const { return heldA_; }
    int32_t heldHi() const { return heldB_; }
    // Whether row j is kept but not held: a halo row of the band or a far row.
    bool isHaloRow(int32_t j) const { return j < heldA_ || j > heldB_; }
    // The held rows have been written: the halo and far rows no longer hold the other ranks'
    // present values (nothing changes for a grid that keeps no such rows).
    // In debug and test builds the stale rows are also filled with NaN, so that a pass that
    // reads them through a row pointer carries the NaN into its results.
    void markWritten() {
        haloDue_ = farDue_ = true;
        haloStale_ = heldA_ > j0_ || heldB_ < j1_;
        farStale_ = farJ_[0] != kNoRow;
#ifndef NDEBUG
        if constexpr (std::numeric_limits<T>::has_quiet_NaN) {
            const T nan = std::numeric_limits<T>::quiet_NaN();
            for (int32_t j = j0_; j < heldA_ && j <= j1_; ++j) std::fill_n(at(i0_, j), ni_, nan);
            for (int32_t j = std::max(heldB_ + 1, j0_); j <= j1_; ++j) std::fill_n(at(i0_, j), ni_, nan);
            std::fill(far_.begin(), far_.end(), nan);
        }
#endif
    }
    // The exchange has brought the halo and far rows (or the far rows only).
    void markHalosCurrent() { haloStale_ = farStale_ = haloDue_ = farDue_ = false; }
    void markFarRowsCurrent() { farStale_ = farDue_ = false; }
    bool halosCurrent() const { return !haloStale_ && !farStale_; }
    bool farRowsCurrent() const { return !farStale_; }
    // Written since the exchange of its halo rows (or its far rows): the same on every rank.
    bool halosDue() const { return haloDue_; }
    bool farRowsDue() const { return farDue_; }
    // Keeps row j as well (nothing when the band holds it already); zero-filled.
    void addFarRow(int32_t j) {
        if (hasRow(j)) return;
        const int slot = farJ_[0] == kNoRow ? 0 : 1;
        assert(farJ_[slot] == kNoRow);
        if (far_.empty()) assignZeros(far_, 2 * ni_, "a grid's far rows", "cells", ni_, 2);
        farJ_[slot] = j;
    }
    // Whether row j is kept, in the band or as a far row.
    bool hasRow(int32_t j) const { return (j >= j0_ && j <= j1_) || j == farJ_[0] || j == farJ_[1]; }
    // Row j from its first cell i = iLo(), in the band or a far row.
    T* row(int32_t j) {
        if (j >= j0_ && j <= j1_) return at(i0_, j);
        assert(j == farJ_[0] || j == farJ_[1]);
        return far_.data() + (j == farJ_[0] ? 0 : ni_);
    }
    const T* row(int32_t j) const { return const_cast<GridT*>(this)->row(j); }
    // Cell (i, j) of a kept row, far rows included (not for the time loops' inner loops).
    T& cell(int32_t i, int32_t j) {
        assert(i >= i0_ && i <= i1_);
        return row(j)[i - i0_];
    }
    T cell(int32_t i, int32_t j) const {
        assert(current(j));
        return row(j)[i - i0_];
    }
    T& operator()(int32_t i, int32_t j) {
        assert(i >= i0_ && i <= i1_ && j >= j0_ && j <= j1_);
        return data_[static_cast<size_t>(origin_ + i + static_cast<std::ptrdiff_t>(j) * ni_)];
    }
    const T& operator()(int32_t i, int32_t j) const {
        assert(i >= i0_ && i <= i1_ && j >= j0_ && j <= j1_ && current(j));
        return data_[static_cast<size_t>(origin_ + i + static_cast<std::ptrdiff_t>(j) * ni_)];
    }
    // Pointer to the element (i, j); row j is contiguous in i.
    T* at(int32_t i, int32_t j) { return data_.data() + (origin_ + i + static_cast<std::ptrdiff_t>(j) * ni_); }
    const T* at(int32_t i, int32_t j) const {
        assert(current(j));
        return data_.data() + (origin_ + i + static_cast<std::ptrdiff_t>(j) * ni_);
    }
    // Distance in elements between (i, j) and (i, j + 1).
    std::ptrdiff_t stride() const { return ni_; }
    void fill(T v) {
        std::fill(data_.begin(), data_.end(), v);
        std::fill(far_.begin(), far_.end(), v);
    }
    size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }
    int32_t iLo() const { return i0_; }
    int32_t iHi() const { return i1_; }
    int32_t jLo() const { return j0_; }
    int32_t jHi() const { return j1_; }
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

private:
    static constexpr int32_t kNoRow = INT32_MIN;
    // Row j may be read: held, or a halo or far row that is current.
    bool current(int32_t j) const {
        if (j >= heldA_ && j <= heldB_) return true;
        return (j >= j0_ && j <= j1_) ? !haloStale_ : !farStale_;
    }
    std::vector<T> data_;
    std::vector<T> far_;  // two rows of ni_ cells
    std::ptrdiff_t origin_ = 0, ni_ = 0, nj_ = 0;
    int32_t i0_ = 0, i1_ = -1, j0_ = 0, j1_ = -1;
    int32_t farJ_[2] = {kNoRow, kNoRow};
    int32_t heldA_ = 0, heldB_ = -1;
    bool haloStale_ = false, farStale_ = false;
    bool haloDue_ = false, farDue_ = false;
};

using Grid = GridT<float>;
using IntGrid = GridT<int32_t>;

// f(k, i, j), k = 0..2 fastest.
class FaceGrid {
public:
    void allocate(int32_t i0, int32_t i1, int32_t j0, int32_t j1) {
        i0_ = i0; i1_ = i1; j0_ = j0; j1_ = j1;
        ni_ = static_cast<std::ptrdiff_t>(i1) - i0 + 1;
        const std::ptrdiff_t nj = static_cast<std::ptrdiff_t>(j1) - j0 + 1;
        assignZeros(data_, 3 * ni_ * nj, "a face grid", "cells of 3 values", ni_, nj);
        origin_ = -(static_cast<std::ptrdiff_t>(i0) + static_cast<std::ptrdiff_t>(j0) * ni_);
    }
    float& operator()(int k, int32_t i, int32_t j) {
        assert(k >= 0 && k <= 2 && i >= i0_ && i <= i1_ && j >= j0_ && j <= j1_);
        return data_[static_cast<size_t>(3 * (origin_ + i + static_cast<std::ptrdiff_t>(j) * ni_) + k)];
    }
    float operator()(int k, int32_t i, int32_t j) const {
        assert(k >= 0 && k <= 2 && i >= i0_ && i <= i1_ && j >= j0_ && j <= j1_);
        return data_[static_cast<size_t>(3 * (origin_ + i + static_cast<std::ptrdiff_t>(j) * ni_) + k)];
    }
    size_t size() const { return data_.size(); }
    float* data() { return data_.data(); }
    const float* data() const { return data_.data(); }

private:
    std::vector<float> data_;
    std::ptrdiff_t origin_ = 0, ni_ = 0;
    int32_t i0_ = 0, i1_ = -1, j0_ = 0, j1_ = -1;
};

template <class T>
class ListT {
public:
    void allocate(int32_t lo, int32_t hi) {
        lo_ = lo; hi_ = hi;
        assignZeros(data_, static_cast<std::ptrdiff_t>(hi) - lo + 1, "a list", "entries", static_cast<std::ptrdiff_t>(hi) - lo + 1);
    }
    T& operator()(int32_t n) { assert(n >= lo_ && n <= hi_); return data_[static_cast<size_t>(n - lo_)]; }
    const T& operator()(int32_t n) const { assert(n >= lo_ && n <= hi_); return data_[static_cast<size_t>(n - lo_)]; }
    int32_t lo() const { return lo_; }
    int32_t hi() const { return hi_; }
    size_t size() const { return data_.size(); }

private:
    std::vector<T> data_;
    int32_t lo_ = 0, hi_ = -1;
};

// Two-dimensional line array a(s, k): s = s0..s1 (line number), k = 0..kMax (point).
class LineArray {
public:
    void allocate(int32_t s0, int32_t s1, int32_t kMax) {
        s0_ = s0; s1_ = s1; nk_ = kMax + 1;
        assignZeros(data_, (static_cast<std::ptrdiff_t>(s1) - s0 + 1) * nk_, "a line array", "points",
                    static_cast<std::ptrdiff_t>(s1) - s0 + 1, nk_);
    }
    float& operator()(int32_t s, int32_t k) {
        assert(s >= s0_ && s <= s1_ && k >= 0 && k < nk_);
        return data_[static_cast<size_t>((s - s0_) * nk_ + k)];
    }
    float operator()(int32_t s, int32_t k) const {
        assert(s >= s0_ && s <= s1_ && k >= 0 && k < nk_);
        return data_[static_cast<size_t>((s - s0_) * nk_ + k)];
    }
    float* row(int32_t s) { return data_.data() + (s - s0_) * nk_; }
    int32_t sLo() const { return s0_; }
    int32_t sHi() const { return s1_; }
    std::ptrdiff_t points() const { return nk_; }

private:
    std::vector<float> data_;
    int32_t s0_ = 0, s1_ = -1;
    std::ptrdiff_t nk_ = 0;
};

}  // namespace littoral

// The result field file of one output interval: outDir + stem + n + ".csv".
//
// A header of 23 quoted names, then one line per interior cell, i outer and j inner:
// the cell position ((i - 1) dx, (j - 1) dy) in double precision and 21 single-precision
// fields of the wave, flow and sediment state. The bed level and the bed change are
// written negated (depth is positive downward, "_dep" and "_dh" positive upward).
#include "output/ResultFields.h"
#include "output/FieldTable.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "core/Parallel.h"

#include "output/RecordWriter.h"

namespace littoral {

namespace {


// The 21 fields of a line in file order (FieldTable); the bed level and the bed change are
// written negated (negated as they are read into the tile).
constexpr int kFields = static_cast<int>(kResultFieldCount);

// The lines of the cells of columns i0..i1 (i outer, j inner), rows j0..j1 of each.
// A grid holds a row (one j) contiguously and a file's column (one i) a whole row apart,
// so the fields of a tile of columns are first read row by row into a buffer of the
// thread's own, then formatted column by column from it. starts, if given, receives where
// each column's lines begin in w.
void formatColumns(const Model& m, const FieldGrids& g, int32_t i0, int32_t i1, int32_t j0, int32_t j1,
                   RecordBuffer& w, int64_t* starts = nullptr) {
    const int64_t rows = int64_t{j1} - j0 + 1;
    if (rows <= 0) {
        for (int32_t i = i0; starts && i <= i1; ++i) starts[i - i0] = static_cast<int64_t>(w.str().size());
        return;
    }
    // About a million values per tile, at most 16 columns.
    const int32_t width = static_cast<int32_t>(std::clamp<int64_t>((int64_t{1} << 20) / (rows * kFields), 1, 16));
    thread_local std::vector<float> tile;  // grows to its size once
    for (int64_t a = i0; a <= i1; a += width) {
        const int32_t a0 = static_cast<int32_t>(a);
        const int32_t cols = static_cast<int32_t>(std::min<int64_t>(i1 - a + 1, width));
        if (tile.size() < static_cast<size_t>(cols * rows * kFields)) tile.resize(static_cast<size_t>(cols * rows * kFields));
        for (int32_t j = j0; j <= j1; ++j)
            for (int k = 0; k < kFields; ++k) {
                const float* row = g[k]->at(a0, j);
                float* out = tile.data() + int64_t{j - j0} * kFields + k;
                if (kResultFields[k].negated)
                    for (int32_t c = 0; c < cols; ++c) out[c * rows * kFields] = -row[c];
                else
                    for (int32_t c = 0; c < cols; ++c) out[c * rows * kFields] = row[c];
            }
        for (int32_t c = 0; c < cols; ++c) {
            const int32_t i = a0 + c;
            const double x = (i - 1) * static_cast<double>(m.dx);
            const float* v = tile.data() + c * rows * kFields;
            if (starts) starts[i - i0] = static_cast<int64_t>(w.str().size());
            for (int32_t j = j0; j <= j1; ++j, v += kFields) w.numberLine(x, (j - 1) * static_cast<double>(m.dy), v, kFields);
        }
    }
}

// Lines formatted per thread before they are written: about 4 MB of text per thread.
constexpr int64_t kLinesPerPart = 16384;

void writeHeader(RecordWriter& w) {
    w.text("i").text("j");
    for (const ResultField& f : kResultFields) w.text(f.column);
    w.endLine();
}

// On several ranks, each holding the state of its rows: each column is made of every rank's
// own rows' lines.
void writeJointFields(const Model& m, const FieldGrids& g, int16_t n, const std::string& stem) {
    JointFile f(m, m.outDir + stem + std::to_string(n) + ".csv");
    f.lines(writeHeader);
    const RowRange own = m.ownRows();
    f.columns(m.ixStart, m.ixEnd, [&](int32_t a, int32_t b, RecordBuffer& p, int64_t* starts) {
        formatColumns(m, g, a, b, own.begin, own.end, p, starts);
    });
    f.close();
}

}  // namespace

int32_t columnsPerPart(const Model& m) {
    const int64_t column = std::max(1, m.jyEnd - m.jyStart + 1);
    return static_cast<int32_t>(std::max<int64_t>(1, kLinesPerPart / column));
}

JointFile::JointFile(const Model& m, const std::string& path) : m_(m), path_(path) {
    SlabLink& link = m.slabs();
    link.guarded([&] {
        if (m.writesFiles()) w_.emplace(path);
    });
    // The other ranks open the first's temporary (none when it could not be made).
    std::string temporary = w_ ? w_->temporaryPath() : std::string();
    link.textOfFirst(temporary);
    link.guarded([&] {
        if (!m.writesFiles() && !temporary.empty()) part_.emplace(temporary, path);
    });
}

void JointFile::writeAt(std::string_view text, int64_t offset) {
    if (text.empty()) return;
    m_.slabs().guarded([&] {
        if (w_) w_->writeAt(text, offset);
        else if (part_) part_->writeAt(text.data(), text.size(), offset);
    });
}

void JointFile::columns(int32_t i0, int32_t i1, const ColumnPart& part) {
    // Per block of columns every rank formats its part of each column on its threads; the
    // sizes of every rank's parts give each part its place in the file (column by column,
    // the ranks in order within a column), and every rank writes its own. The first rank's
    // lines alone (headers) go before and after.
    SlabLink& link = m_.slabs();
    const int threads = threadCount();
    const int32_t block =
        static_cast<int32_t>(std::min<int64_t>(int64_t{columnsPerPart(m_)} * threads, int64_t{i1} - i0 + 1));
    if (block <= 0) return;
    std::vector<RecordBuffer> parts(static_cast<size_t>(threads));
    // Per column of the block: its thread and where its text starts in that thread's part;
    // then where it starts in the rank's text (the last mark is the text's end).
    std::vector<int> thread(static_cast<size_t>(block));
    std::vector<int64_t> starts(static_cast<size_t>(block) + 1), bases(static_cast<size_t>(threads));
    // Sent: the first rank's end of file, then the size of each column's part.
    std::vector<int64_t> sizes(static_cast<size_t>(block) + 1), all;
    const size_t stride = sizes.size(), me = static_cast<size_t>(link.rank());
    std::string mine;
    for (int64_t c0 = i0; c0 <= i1;) {
        const int32_t a0 = static_cast<int32_t>(c0), a1 = static_cast<int32_t>(std::min<int64_t>(i1, c0 + block - 1));
        for (RecordBuffer& p : parts) p.clear();
        forRowSlabs(a0, a1, [&](int32_t a, int32_t b, int t) {
            for (int32_t i = a; i <= b; ++i) thread[static_cast<size_t>(i - a0)] = t;
            part(a, b, parts[static_cast<size_t>(t)], starts.data() + (a - a0));
        });
        mine.clear();
        for (int t = 0; t < threads; ++t) {
            bases[static_cast<size_t>(t)] = static_cast<int64_t>(mine.size());
            mine += parts[static_cast<size_t>(t)].str();
        }
        const int32_t cols = a1 - a0 + 1;
        for (int32_t c = 0; c < cols; ++c) starts[static_cast<size_t>(c)] += bases[static_cast<size_t>(thread[static_cast<size_t>(c)])];
        std::fill(starts.begin() + cols, starts.end(), static_cast<int64_t>(mine.size()));
        sizes[0] = 0;
        link.guarded([&] {
            if (w_) sizes[0] = w_->end();
        });
        for (int32_t c = 0; c < block; ++c) sizes[static_cast<size_t>(c) + 1] = starts[static_cast<size_t>(c) + 1] - starts[static_cast<size_t>(c)];
        link.allValues(sizes.data(), static_cast<int>(stride), all);
        int64_t at = all[0];
        for (int32_t c = 0; c < cols; ++c) {
            const size_t k = static_cast<size_t>(c) + 1;
            int64_t mineAt = at;
            for (size_t q = 0; q < me; ++q) mineAt += all[q * stride + k];
            writeAt(std::string_view(mine).substr(static_cast<size_t>(starts[k - 1]), static_cast<size_t>(all[me * stride + k])),
                    mineAt);
            for (size_t q = 0; q < static_cast<size_t>(link.ranks()); ++q) at += all[q * stride + k];
        }
        lines([&](RecordWriter& w) { w.moveEnd(at); });
        c0 = int64_t{a1} + 1;
    }
}

void JointFile::close() {
    SlabLink& link = m_.slabs();
    // Every part reaches the file before the first rank renames it.
    link.guarded([&] {
        if (part_) part_->close();
    });
    link.check();
    lines([](RecordWriter& w) { w.close(); });
    link.check();
}

FieldGrids resultFieldGrids(const Model& m) {
    FieldGrids g{};
    for (size_t k = 0; k < kResultFieldCount; ++k) g[k] = &(m.*kResultFields[k].grid);
    return g;
}

void writeResultFields(const Model& m, int16_t n, const std::string& stem) {
    writeResultFields(m, resultFieldGrids(m), n, stem);
}

void writeResultFields(const Model& m, const FieldGrids& g, int16_t n, const std::string& stem) {
    if (m.slabs().ranks() > 1) return writeJointFields(m, g, n, stem);
    RecordWriter w(m.outDir + stem + std::to_string(n) + ".csv");
    writeHeader(w);
    // The threads format one part each (whole columns of cells, the lines of a column
    // being consecutive in the file); the parts are written in order, then the next round.
    const int threads = threadCount();
    const int32_t perPart = columnsPerPart(m);
    std::vector<RecordBuffer> parts(static_cast<size_t>(threads));
    for (int64_t i0 = m.ixStart; i0 <= m.ixEnd;) {
        const int32_t i1 = static_cast<int32_t>(std::min<int64_t>(m.ixEnd, i0 + int64_t{perPart} * threads - 1));
        for (RecordBuffer& p : parts) p.clear();
        forRowSlabs(static_cast<int32_t>(i0), i1,
                    [&](int32_t a, int32_t b, int t) {
                        formatColumns(m, g, a, b, m.jyStart, m.jyEnd, parts[static_cast<size_t>(t)]);
                    });
        for (const RecordBuffer& p : parts) w.append(p);
        i0 = int64_t{i1} + 1;
    }
    w.close();
}

}  // namespace littoral

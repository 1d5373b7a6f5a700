// The result field file of one output interval: outDir + stem + n + ".csv", 23 columns.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/Model.h"
#include "output/FieldTable.h"
#include "output/RecordWriter.h"

namespace littoral {

// Whole columns of the grid (lines of one i) per part a thread formats: about 16384 cells.
int32_t columnsPerPart(const Model& m);

// This rank's part of the columns a..b of a file, formatted into w; starts[i - a] receives
// where column i's text begins in w.
using ColumnPart = std::function<void(int32_t a, int32_t b, RecordBuffer& w, int64_t* starts)>;

// A file the ranks of a case write together, each holding the grids of its rows: the first
// rank creates it under a temporary name, writes the lines it writes alone, and renames it
// into place at the end; every rank writes its own parts of the columns at their offsets
// (the output folder lies on a file system every rank shares). Failures are kept for the
// next check(); close() raises them on every rank before the file is renamed, so a failed
// file leaves nothing under its name. Every rank makes the same calls.
class JointFile {
public:
    JointFile(const Model& m, const std::string& path);
    // Records the first rank writes alone (headers, blank lines): f(RecordWriter&).
    template <class F>
    void lines(F&& f) {
        m_.slabs().guarded([&] {
            if (w_) f(*w_);
        });
    }
    // The columns i0..i1, each the parts of every rank in rank order, in blocks of columns
    // (each rank holds one block's text of its own rows at a time, never the grid).
    void columns(int32_t i0, int32_t i1, const ColumnPart& part);
    // Closes every rank's part and renames the file into place; raises any failure.
    void close();

private:
    // Writes this rank's text at a byte offset of the file.
    void writeAt(std::string_view text, int64_t offset);

    const Model& m_;
    std::string path_;
    std::optional<RecordWriter> w_;  // the first rank's
    std::optional<FilePart> part_;   // the other ranks'
};

void writeResultFields(const Model& m, int16_t n, const std::string& stem);
// The grids of the file's 21 field columns, in column order (the bed level and the bed
// change are negated as they are written).
using FieldGrids = std::array<const Grid*, kResultFieldCount>;
FieldGrids resultFieldGrids(const Model& m);
// The same file with the columns taken from grids (mean<n>.csv: the means in place of some).
void writeResultFields(const Model& m, const FieldGrids& grids, int16_t n, const std::string& stem);

}  // namespace littoral

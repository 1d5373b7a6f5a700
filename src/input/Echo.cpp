#include "input/Echo.h"

#include "input/CaseInput.h"
#include "output/RecordWriter.h"
#include "output/ResultFields.h"

namespace littoral {

void writeConstEcho(const Model& m) {
    RecordWriter w(m.outDir + "0const.txt");
    w.text(m.cntPath).endLine();
    w.text("係数ファイル").text(m.coefFile).endLine();
    w.text("水深条件ファイル").text(m.depFile).endLine();
    w.text("境界条件ファイル").text(m.bndFile).endLine();
    w.text("波条件ファイル").text(m.wavFile).endLine();
    w.text("潮位条件ファイル").text(m.tideFile).endLine();
    w.text("出力フォルダ").text(m.outDir).endLine();
    w.endLine();
    w.text(shownInputPath(m, m.coefFile)).endLine();
    w.text("セル番号X始め").i32(m.ixStart).endLine();
    w.text("セル番号X終り").i32(m.ixEnd).endLine();
    w.text("セル幅X（ｍ）").f32(m.dx).endLine();
    w.text("セル番号Y始め").i32(m.jyStart).endLine();
    w.text("セル番号Y終り").i32(m.jyEnd).endLine();
    w.text("セル幅Y（ｍ）").f32(m.dy).endLine();
    w.text("計算境界の概数").i32(m.nBndApprox).endLine();
    w.text("緯度（°）").f32(m.latitude).endLine();
    w.text("海底摩擦係数").f32(m.fricCoef).endLine();
    w.text("砕波波高水深比").f32(m.brkRatio).endLine();
    w.text("計算最小水深（ｍ）").f32(m.minDepth).endLine();
    w.text("未使用").f32(m.spareParam).endLine();
    w.text("計算開始＝０ｓ").f32(m.tStart).endLine();
    w.text("計算終了時間（ｓ）").f32(m.tEnd).endLine();
    w.text("限界シールズ数").f32(m.shieldsCr).endLine();
    w.text("底質粒径（ｍ）").f32(m.grainSize).endLine();
    w.text("底質密度").f32(m.sedDensity).endLine();
    w.text("粘性係数").f32(m.viscosity).endLine();
    w.text("掃流砂量係数").f32(m.bedloadCoef).endLine();
    w.text("浮遊砂量係数").f32(m.suspCoef).endLine();
    w.close();
}

void writeWavTideEcho(const Model& m) {
    RecordWriter w(m.outDir + "0wavtide.txt");
    w.text(shownInputPath(m, m.wavFile)).endLine();
    w.text("波入力境界番号").i32(m.bndWave).endLine();
    w.text("入力波高（ｍ）").f32(m.waveH0).endLine();
    w.text("入力周期（ｓ）").f32(m.waveT0).endLine();
    w.text("入力波向（°）").f32(m.waveDir0).endLine();
    w.text("位相基準点X").i32(m.phaseX).endLine();
    w.text("位相基準点Y").i32(m.phaseY).endLine();
    w.text("波群数").f32(m.nGroup).endLine();
    w.text("波群振幅").f32(m.groupAmp).endLine();
    w.text("不規則最大波高").f32(m.hmaxIrr).endLine();
    w.endLine();
    w.text(shownInputPath(m, m.tideFile)).endLine();
    w.text("潮位（ｍ）").f32(m.tideLevel).endLine();
    w.text("数値境界条件数").i32(m.nBndCond).endLine();
    for (int32_t r = 17; r <= m.nBndApprox; ++r)
        w.i32(r).i32(m.bndType(r)).f32(m.bndVal1(r)).f32(m.bndVal2(r)).endLine();
    w.close();
}

namespace {

// The fields of the echoes for column i of the grid, rows `rows` of it; W is the file's
// writer or, on several ranks, a buffer of this rank's part.
template <class W>
void headLine(W& w, const Model& m, const std::string& name) {
    w.text(shownInputPath(m, name)).i32(m.ixStart).i32(m.ixEnd).i32(m.jyStart).i32(m.jyEnd).f32(m.dx).f32(m.dy).endLine();
}

template <class W>
void depths(W& w, const Model& m, int32_t i, RowRange rows) {
    for (int32_t j = rows.begin; j <= rows.end; ++j) w.f32(m.dep(i, j));
}

template <class W>
void codes(W& w, const Model& m, int32_t i, RowRange rows) {
    for (int32_t j = rows.begin; j <= rows.end; ++j) {
        const bool interior = i >= m.ixStart && i <= m.ixEnd && j >= m.jyStart && j <= m.jyEnd;
        // Ghost cells show the boundary-file value of a listed cell, 0 otherwise.
        w.i32(interior ? m.cellFlag(i, j) : m.bndCode(m.bndPointNo(i, j)));
    }
}

template <class W>
void depthCells(W& w, const Model& m, int32_t i, RowRange rows) {
    for (int32_t j = rows.begin; j <= rows.end; ++j)
        w.f64((i - 1) * static_cast<double>(m.dx)).f64((j - 1) * static_cast<double>(m.dy)).f32(-m.dep(i, j)).endLine();
}

template <class W>
void landCells(W& w, const Model& m, int32_t i, RowRange rows) {
    for (int32_t j = rows.begin; j <= rows.end; ++j)
        if (m.cellFlag(i, j) == 15)
            w.f64((i - 1) * static_cast<double>(m.dx)).f64((j - 1) * static_cast<double>(m.dy)).text("■").endLine();
}

// This rank's part of each column a..b: `cells` of its rows (interior or held); a column
// that is one line (`line`) continues the previous rank's part and is ended by the last's.
template <class Cells>
ColumnPart partOf(const Model& m, bool interior, bool line, Cells cells) {
    const SlabLink& link = m.slabs();
    const RowRange rows = interior ? m.ownRows() : m.heldRows();
    const bool first = link.rank() == 0, last = link.rank() == link.ranks() - 1;
    return [&m, rows, line, first, last, cells](int32_t a, int32_t b, RecordBuffer& w, int64_t* starts) {
        for (int32_t i = a; i <= b; ++i) {
            starts[i - a] = static_cast<int64_t>(w.str().size());
            if (line) w.resumeLine(!first);
            cells(w, m, i, rows);
            if (line && last) w.endLine();
        }
    };
}

}  // namespace

void writeDepBndEcho(const Model& m) {
    // On several ranks every rank takes part: each line is the ranks' parts in rank order.
    if (m.slabs().ranks() > 1) {
        JointFile f(m, m.outDir + "0depbnd.txt");
        f.lines([&](RecordWriter& w) { headLine(w, m, m.depFile); });
        f.columns(m.ixStart - 1, m.ixEnd + 1, partOf(m, false, true, depths<RecordBuffer>));
        f.lines([&](RecordWriter& w) {
            w.endLine();
            headLine(w, m, m.bndFile);
        });
        f.columns(m.ixStart - 1, m.ixEnd + 1, partOf(m, false, true, codes<RecordBuffer>));
        f.close();
        return;
    }
    const RowRange all{m.jyStart - 1, m.jyEnd + 1};
    RecordWriter w(m.outDir + "0depbnd.txt");
    headLine(w, m, m.depFile);
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
        depths(w, m, i, all);
        w.endLine();
    }
    w.endLine();
    headLine(w, m, m.bndFile);
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
        codes(w, m, i, all);
        w.endLine();
    }
    w.close();
}

void writeSurferGrids(const Model& m) {
    if (m.slabs().ranks() > 1) {
        for (const bool land : {false, true}) {
            JointFile f(m, m.outDir + (land ? "surferbnd.csv" : "surferdep.csv"));
            f.lines([&](RecordWriter& w) { w.text("i").text("j").text(land ? "bnd" : "dep").endLine(); });
            f.columns(m.ixStart, m.ixEnd,
                      land ? partOf(m, true, false, landCells<RecordBuffer>) : partOf(m, true, false, depthCells<RecordBuffer>));
            f.close();
        }
        return;
    }
    const RowRange interior{m.jyStart, m.jyEnd};
    {
        RecordWriter w(m.outDir + "surferdep.csv");
        w.text("i").text("j").text("dep").endLine();
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            depthCells(w, m, i, interior);
        }
        w.close();
    }
    RecordWriter w(m.outDir + "surferbnd.csv");
    w.text("i").text("j").text("bnd").endLine();
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
        landCells(w, m, i, interior);
    }
    w.close();
}

}  // namespace littoral

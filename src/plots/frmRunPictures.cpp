#include "littoral/pictures.h"

#include "core/Model.h"
#include "plots/frmFieldPicture.h"
#include "plots/frmRender.h"
#include "run/ApiAccess.h"

namespace littoral {

// Keeps the last grid plot and graph of the case (only where the files are written: the
// other processes of a split case hold just their rows of them) and writes them at its end,
// with the pictures of the wave height, the currents and the bed change. On a split case
// those fields (and the depth at the start) are gathered whole on the first process, every
// process taking part at the same points.
struct RunPictures::Keeper : SilentHost {
    CasePictures pictures;
    std::vector<std::string> written;
    Grid depAtStart, wavH, curU, curV, dep, hTot;  // whole, on the first of several processes
    double lastTime = 0;
    static bool writes(const Model& m) { return m.writesFiles() && m.filesWanted; }
    static bool split(const Model& m) { return m.filesWanted && m.slabs().ranks() > 1; }
    // part whole on the first process (allocated there over the grid and its ghost ring).
    static void gather(const Model& m, const Grid& part, Grid& whole) {
        if (m.slabs().rank() == 0) whole.allocate(m.ixStart - 1, m.ixEnd + 1, m.jyStart - 1, m.jyEnd + 1);
        m.slabs().gatherToFirst(part, whole, m.jyStart, m.jyEnd);
    }
    void runStarted(const Model& m) override {
        lastTime = m.tStart;
        if (split(m)) gather(m, m.dep, depAtStart);
        else if (writes(m)) depAtStart = m.dep;
    }
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override {
        if (writes(m)) pictures.keepEta(outfile, dataxy, aaa, mininp, maxinp);
    }
    void periodDone(double seconds) override { pictures.etaTime = seconds; }
    void graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid& eta, float aaa, float mininp,
                    float maxinp) override {
        if (writes(m)) pictures.keepSetup(eta, aaa, mininp, maxinp);
    }
    void intervalDone(const Model&, int, double seconds) override { pictures.setupTime = lastTime = seconds; }
    void runFinished(const Model& m) override {
        EndFields f{&m.wavH, &m.curU, &m.curV, &m.dep, &m.hTot, &depAtStart};
        if (split(m)) {
            const std::pair<const Grid*, Grid*> parts[] = {{&m.wavH, &wavH}, {&m.curU, &curU}, {&m.curV, &curV},
                                                           {&m.dep, &dep}, {&m.hTot, &hTot}};
            for (const auto& [part, whole] : parts) gather(m, *part, *whole);
            f = EndFields{&wavH, &curU, &curV, &dep, &hTot, &depAtStart};
        }
        if (writes(m)) {
            written = pictures.write(m);
            const std::vector<std::string> end = writeEndPictures(m, f, lastTime);
            written.insert(written.end(), end.begin(), end.end());
        }
        pictures.clear();
        for (Grid* g : {&depAtStart, &wavH, &curU, &curV, &dep, &hTot}) *g = Grid();
    }
};

void preparePictures() { ensurePictureApplication(); }

RunPictures::RunPictures(Run& run) : run_(run), k_(std::make_unique<Keeper>()) {
    ensurePictureApplication();
    addObserver(run_, *k_);
}

RunPictures::~RunPictures() { removeObserver(run_, *k_); }

const std::vector<std::string>& RunPictures::written() const { return k_->written; }

}  // namespace littoral

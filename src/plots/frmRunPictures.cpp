#include "littoral/pictures.h"

#include "core/Model.h"
#include "plots/frmFieldPicture.h"
#include "plots/frmRender.h"
#include "run/ApiAccess.h"

namespace littoral {

// Keeps the last grid plot and graph of the case (only where the files are written: the
// other processes of a split case hold just their rows of them) and writes them at its end,
// with the pictures of the wave height, the currents and the bed change (on one process;
// a split case's first process holds only its own rows of those fields).
struct RunPictures::Keeper : SilentHost {
    CasePictures pictures;
    std::vector<std::string> written;
    Grid depAtStart;
    double lastTime = 0;
    static bool writes(const Model& m) { return m.writesFiles() && m.filesWanted; }
    void runStarted(const Model& m) override {
        lastTime = m.tStart;
        if (writes(m) && m.slabs().ranks() == 1) depAtStart = m.dep;
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
        if (writes(m)) {
            written = pictures.write(m);
            if (m.slabs().ranks() == 1) {
                const std::vector<std::string> end = writeEndPictures(m, depAtStart, lastTime);
                written.insert(written.end(), end.begin(), end.end());
            }
        }
        pictures.clear();
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

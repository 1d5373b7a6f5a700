#include "littoral/pictures.h"

#include "core/Model.h"
#include "plots/frmRender.h"
#include "run/ApiAccess.h"

namespace littoral {

// Keeps the last grid plot and graph of the case (only where the files are written: the
// other processes of a split case hold just their rows of them) and writes them at its end.
struct RunPictures::Keeper : SilentHost {
    CasePictures pictures;
    std::vector<std::string> written;
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override {
        if (m.writesFiles() && m.filesWanted) pictures.keepEta(outfile, dataxy, aaa, mininp, maxinp);
    }
    void graphUVEta(const Model& m, const Grid&, const Grid&, float, const Grid& eta, float aaa, float mininp,
                    float maxinp) override {
        if (m.writesFiles() && m.filesWanted) pictures.keepSetup(eta, aaa, mininp, maxinp);
    }
    void runFinished(const Model& m) override {
        if (m.writesFiles() && m.filesWanted) written = pictures.write(m);
        pictures.clear();
    }
};

RunPictures::RunPictures(Run& run) : run_(run), k_(std::make_unique<Keeper>()) { addObserver(run_, *k_); }

RunPictures::~RunPictures() { removeObserver(run_, *k_); }

const std::vector<std::string>& RunPictures::written() const { return k_->written; }

}  // namespace littoral

#include "output/ResultFiles.h"

#include <cstdlib>
#include <string>

#include "core/Error.h"
#include "output/FieldTable.h"
#include "output/ResultFields.h"
#ifdef LITTORAL_NETCDF
#include "output/NetCdf.h"
#endif

namespace littoral {

#ifndef LITTORAL_NETCDF
// Complete type for the unique_ptr of a build without netCDF; never made.
class NetCdfResults {
public:
    void putField(const Model&, size_t, const Grid&) {}
    void putMean(const Model&, size_t, const Grid&) {}
    void putMax(const Model&, size_t, const Grid&) {}
    void finishInterval(int64_t, double, double) {}
    void finishMeans(int32_t, double) {}
    int64_t steps() const { return 0; }
    std::string history() const { return ""; }
};
#endif

bool netcdfAvailable() {
#ifdef LITTORAL_NETCDF
    return true;
#else
    return false;
#endif
}

std::string netcdfUnavailableMessage(const std::string& option) {
    return option + ": this build has no netCDF output (the netCDF library, Debian package libnetcdf-dev, "
                    "was not found when it was built); install it with scripts/setup.sh and build again";
}

void resultFormatsFromEnvironment(Model& m) {
    const char* v = std::getenv("LITTORAL_NETCDF");
    const std::string s = v ? v : "";
    if (s.empty() || s == "0") {
        m.netcdfResults = false;
    } else if (s == "1") {
        if (!netcdfAvailable()) throw StopError(netcdfUnavailableMessage("LITTORAL_NETCDF=1"));
        m.netcdfResults = true;
    } else {
        throw StopError("the environment variable LITTORAL_NETCDF is \"" + s +
                        "\": expected 1 (write results.nc beside the result files) or 0");
    }
}

ResultFiles::ResultFiles(const Model& m) : ResultFiles(m, m.dep) {}

ResultFiles::ResultFiles(const Model& m, const Grid& bed) {
    if (m.meanFields && m.filesWanted) {
        means_.emplace();
        means_->allocate(m, m.tStart);
    }
    if (m.netcdfResults && m.filesWanted && m.writesFiles()) {
#ifdef LITTORAL_NETCDF
        nc_ = std::make_unique<NetCdfResults>(m, bed);
#else
        (void)bed;
        throw StopError(netcdfUnavailableMessage("the netCDF result file"));
#endif
    }
}

ResultFiles::~ResultFiles() = default;

int64_t ResultFiles::netcdfSteps() const { return nc_ ? nc_->steps() : 0; }
std::string ResultFiles::netcdfHistory() const { return nc_ ? nc_->history() : std::string(); }

bool ResultFiles::written(const Model& m, int64_t n, bool last) {
    return last || m.outputEvery <= 1 || n % m.outputEvery == 0;
}

bool ResultFiles::write(Model& m, int64_t n, double timeSeconds, double morphSeconds, bool last) {
    if (!m.filesWanted) return false;
    if (means_) means_->add(m);
    if (!written(m, n, last)) return false;
    if (means_) means_->form(m);
    if (m.csvResults) {
        writeResultFields(m, n, "surfer");
        if (means_) {
            // The averaged columns hold their means; the positions and the other columns
            // are those of surferN.csv.
            FieldGrids g = resultFieldGrids(m);
            for (size_t k = 0; k < kMeanFieldCount; ++k) g[kMeanFieldIndex[k]] = &means_->mean[k];
            writeResultFields(m, g, n, "mean");
        }
    }
    m.slabs().check();  // on several ranks, a failure of the writing rank stops them all here
#ifdef LITTORAL_NETCDF
    if (m.netcdfResults) {
        // Field by field, each whole on the first rank; every rank takes part in every gather,
        // and a failure of the writing rank stops them all after the last.
        SlabLink& link = m.slabs();
        for (size_t f = 0; f < netcdfFieldCount(); ++f) {
            const Grid& g = m.gatherWholeOnFirst(netcdfFieldGrid(m, f));
            link.guarded([&] {
                if (nc_) nc_->putField(m, f, g);
            });
        }
        if (means_) {
            for (size_t k = 0; k < kMeanFieldCount; ++k) {
                const Grid& g = m.gatherWholeOnFirst(means_->mean[k]);
                link.guarded([&] {
                    if (nc_) nc_->putMean(m, k, g);
                });
            }
            for (size_t k = 0; k < kMaxFieldCount; ++k) {
                const Grid& g = m.gatherWholeOnFirst(means_->max[k]);
                link.guarded([&] {
                    if (nc_) nc_->putMax(m, k, g);
                });
            }
            link.guarded([&] {
                if (nc_) nc_->finishMeans(means_->intervals, means_->since);
            });
        }
        link.guarded([&] {
            if (nc_) nc_->finishInterval(n, timeSeconds, morphSeconds);
        });
        link.check();
    }
#endif
    if (means_) means_->restart(timeSeconds);
    return true;
}

}  // namespace littoral

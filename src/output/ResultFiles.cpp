#include "output/ResultFiles.h"

#include <cstdlib>
#include <string>

#include "core/Error.h"
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
    void finishInterval(int16_t, float) {}
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

void ResultFiles::write(Model& m, int16_t n, float timeSeconds) {
    if (!m.filesWanted) return;
    if (m.csvResults) writeResultFields(m, n, "surfer");
    m.slabs().check();  // on several ranks, a failure of the writing rank stops them all here
#ifdef LITTORAL_NETCDF
    if (!m.netcdfResults) return;
    // Field by field, each whole on the first rank; every rank takes part in every gather,
    // and a failure of the writing rank stops them all after the last.
    SlabLink& link = m.slabs();
    for (size_t f = 0; f < netcdfFieldCount(); ++f) {
        const Grid& g = m.gatherWholeOnFirst(netcdfFieldGrid(m, f));
        link.guarded([&] {
            if (nc_) nc_->putField(m, f, g);
        });
    }
    link.guarded([&] {
        if (nc_) nc_->finishInterval(n, timeSeconds);
    });
    link.check();
#endif
}

}  // namespace littoral

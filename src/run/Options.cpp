// The options file beside a control file (name.toml for namecnt.txt).
#include "littoral/littoral.h"

namespace littoral {

OptionsFile readOptionsFile(const std::string&) {
    return {};
}

void applyOptionsFile(const OptionsFile& file, RunOptions& options) {
    if (file.outputEvery) options.outputEvery = *file.outputEvery;
    if (file.means) options.means = *file.means;
    if (file.morfac) options.morfac = *file.morfac;
    if (file.morstart) options.morstart = *file.morstart;
    if (file.checkpointEvery) options.checkpointEvery = *file.checkpointEvery;
    if (file.resume) options.resume = *file.resume;
    if (!file.gauges.empty()) options.gauges = file.gauges;
    if (file.georeference) options.georeference = file.georeference;
}

}  // namespace littoral

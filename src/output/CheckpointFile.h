// The checkpoint of a run as one netCDF-4 file: every grid of a StateItems list over the whole
// grid with its ghost ring (y_ring, x_ring), each open-boundary line array over its lines and
// points, every scalar and text as a global attribute of its name, and the texts that record
// what the checkpoint was made from (program version, input fingerprints, options). The file
// is the same whatever the thread or process count: on a split case every grid comes whole
// to the first rank, which writes the file; every rank reads its own rows back.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/Model.h"
#include "core/StateItems.h"

namespace littoral {

using CheckpointTexts = std::vector<std::pair<std::string, std::string>>;

// Writes the items and the texts to `path` (a collective: every rank calls it): made under a
// temporary name beside it and renamed once whole, so that the previous checkpoint stays
// until the new one is complete. Throws StopError naming the file on any failure.
void writeCheckpointFile(Model& m, const StateItems& items, const CheckpointTexts& texts, const std::string& path);
// The texts of the file whose names begin with `prefix` (every rank may call it).
CheckpointTexts readCheckpointTexts(const std::string& path, const std::string& prefix);
// Whether a checkpoint can be written and read by this build (the netCDF library).
bool checkpointsAvailable();
// Restores every item from the file, each rank the rows it keeps (its halo and far rows
// included, which then hold the other ranks' values). Throws StopError naming the file and
// the item when an item is missing or has another shape.
void readCheckpointFile(Model& m, const StateItems& items, const std::string& path);

}  // namespace littoral

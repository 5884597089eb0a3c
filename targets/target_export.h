#pragma once
// What a target says about itself (for the CSV, the command line and the
// view's texts), and "Save all": every listed target read back and summed up
// in "Target.csv".

#include "targets/target_store.h"
#include "targets/target_texts.h"

#include <functional>
#include <optional>

namespace kestrova::targets {

// Grid (east, north) to latitude and longitude; the program's geodesy engine.
using GridToGeo = std::function<std::optional<GeoPosition>(const GroundPoint&)>;

struct TargetSummary {
    std::optional<GroundPoint> grid;
    std::optional<GeoPosition> geo;
};
TargetSummary summarize(const TargetSnapshot& snapshot, const TargetBlock& block, double soundSpeed,
                        const GridToGeo& gridToGeo);

struct ExportResult {
    std::size_t written = 0; // CSV lines
    std::size_t failed = 0;  // targets that could not be read or saved
    bool csvWritten = false;
};
// For every listed target: read its ".tgt" into `snapshot` (a bad file is
// told and skipped), hand it to `save` (the view saves it and its picture;
// false counts as a failure, its line is still written), append its line;
// then "Target.csv" and the index.
ExportResult exportTargetsCsv(
    TargetStore& store, TargetSnapshot& snapshot, double soundSpeed, const GridToGeo& gridToGeo,
    const std::function<bool(const TargetEntry&, const TargetBlock&, const std::string&)>& save);

} // namespace kestrova::targets

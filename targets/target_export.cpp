#include "targets/target_export.h"

namespace kestrova::targets {

TargetSummary summarize(const TargetSnapshot& s, const TargetBlock& b, double soundSpeed,
                        const GridToGeo& gridToGeo) {
    TargetSummary out;
    out.grid = locateMark(s, b.markedPing, b.markedSample, soundSpeed);
    if (out.grid && gridToGeo) out.geo = gridToGeo(*out.grid);
    return out;
}

ExportResult exportTargetsCsv(
    TargetStore& store, TargetSnapshot& snapshot, double soundSpeed, const GridToGeo& gridToGeo,
    const std::function<bool(const TargetEntry&, const TargetBlock&, const std::string&)>& save) {
    ExportResult r;
    std::string csv;
    const std::vector<TargetEntry> listed = store.entries();
    for (const TargetEntry& e : listed) {
        TargetBlock block;
        std::string description;
        if (!store.readTarget(e.name, snapshot, block, description)) {
            ++r.failed;
            continue;
        }
        if (save && !save(e, block, description)) ++r.failed;
        const TargetSummary sum = summarize(snapshot, block, soundSpeed, gridToGeo);
        csv += csvLine(e.name, e.number, block, sum.geo, sum.grid);
        ++r.written;
    }
    r.csvWritten = store.writeCsv(csv);
    store.writeIndex();
    return r;
}

} // namespace kestrova::targets

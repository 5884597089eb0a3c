#pragma once
// Where `kestrova-cli geo --config FILE.ini` gets its geodetic record. The
// configuration layer registers a loader that reads section ParaOfGeo of the
// file over the program defaults, the way a project load does:
//   static const kestrova::cli::GeoConfigLoaderRegistration reg{loadParaOfGeo};
// Without one, --config is refused.

#include "libs/tessmark/geodetic_record.h"

#include <string>

namespace kestrova::cli {

// Fills `record` (which holds the program defaults on entry) from the file;
// false with a message for the operator when the file cannot be read.
using GeoConfigLoader = bool (*)(const std::string& path, _DefGeodetsyParameterSetting& record,
                                 std::string& error);

struct GeoConfigLoaderRegistration {
    explicit GeoConfigLoaderRegistration(GeoConfigLoader loader);
};

// The registered loader, or null.
GeoConfigLoader geoConfigLoader();

} // namespace kestrova::cli

#pragma once
// The project's grid in the words other programs understand: the geodetic
// record written as a PROJ definition, so that a GIS program places a file
// made in that grid where the navigation view does. Only what PROJ computes
// as the geodesy engine does maps; anything else (a turned plane, a datum
// shift from an ellipsoid other than the positions' WGS 84, a projection the
// engine leaves at 0, 0) gives no definition and the reason.

#include "libs/tessmark/geodetic_record.h"

#include <string>

namespace kestrova::mosaic {

struct GridMapping {
    bool mapped = false;
    std::string definition; // "+proj=tmerc ... +units=m +no_defs" when mapped
    std::string reason;     // for the operator, when not mapped
};

// Projection: "UTM" and "Transverse Mercator" become +proj=tmerc (+proj=utm
// when the numbers are a UTM zone's), "Mercator" +proj=merc. The final shift
// and a plane step that only scales and shifts fold into the scale factor and
// the false easting and northing. The seven-parameter shift (fixes on WGS 84
// into the target datum) becomes +towgs84, the grid datum back to WGS 84 in
// PROJ's position-vector order. Height fitting changes heights only and is
// left out.
GridMapping projDefinition(const _DefGeodetsyParameterSetting& record);

} // namespace kestrova::mosaic

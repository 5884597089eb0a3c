#pragma once
// The mosaic for Google Earth: a KMZ (zip) holding a KML whose ground overlay
// is the GeoTIFF warped to latitude and longitude as a grey picture (no data
// transparent), the vessel's track as a line and the given points as
// placemarks.

#include "mosaic/recording_mosaic.h"

#include <string>
#include <vector>

namespace kestrova::mosaic {

struct Placemark {
    std::string name;
    double latitude = 0.0;
    double longitude = 0.0;
};

// From the GeoTIFF written before; its longest side is cut to `maxPixels`.
// Written beside `path` and renamed into place only when whole.
bool writeKmz(const std::string& geotiff, const std::vector<TrackPoint>& track,
              const std::vector<Placemark>& placemarks, const std::string& path,
              std::string& error, int maxPixels = 4096);

// Text with the five XML special characters escaped.
std::string xmlText(const std::string& text);

} // namespace kestrova::mosaic

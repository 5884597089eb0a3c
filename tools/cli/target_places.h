#pragma once
// The positions of a project's targets for other commands (the mosaic's KMZ
// placemarks), read as `kestrova-cli targets` reads them.

#include <string>
#include <vector>

namespace kestrova::cli {

struct TargetPlace {
    std::string name;
    double latitude = 0.0;
    double longitude = 0.0;
};

// The targets of FOLDER that have a position; false (with the reason on
// standard error) when the folder or one of its targets cannot be read.
bool targetPlacemarks(const std::string& folder, std::vector<TargetPlace>& out);

} // namespace kestrova::cli

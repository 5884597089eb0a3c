#pragma once
// The mosaic's coordinate system and its GeoTIFF, through GDAL: the grid the
// raster is laid out in (the project's, or the survey's UTM zone on WGS 84),
// and the tiled, compressed file with its overviews.

#include "libs/tessmark/geodetic_record.h"
#include "navigation/mosaic_canvas.h"

#include <memory>
#include <optional>
#include <string>

class OGRSpatialReference;
class OGRCoordinateTransformation;

namespace kestrova::position {
class GeodesyEngine;
}

namespace kestrova::mosaic {

using navigation::GroundLine;
using navigation::MosaicCanvas;
using navigation::paintLine;
using navigation::TileKey;

class GridProjection {
  public:
    ~GridProjection();
    GridProjection(GridProjection&&) noexcept;
    GridProjection& operator=(GridProjection&&) noexcept;

    // The UTM zone on WGS 84 that holds this position.
    static std::optional<GridProjection> utmFor(double latitude, double longitude);
    // A PROJ definition ("+proj=tmerc ..."); nullopt when PROJ does not take it.
    static std::optional<GridProjection> fromProj(const std::string& definition);
    // The project's grid: the file's CRS from the PROJ definition made of the
    // geodetic record, positions through the program's geodesy engine on that
    // record (where the navigation view puts them). Nullopt, with the reason,
    // when PROJ does not take the definition or the two part by more than
    // kProjectGridTolerance around the survey's first position.
    static std::optional<GridProjection> forProject(const _DefGeodetsyParameterSetting& record,
                                                    double latitude, double longitude,
                                                    std::string& why);
    static constexpr double kProjectGridTolerance = 0.05; // metres

    bool forward(double latitude, double longitude, double& east, double& north) const;
    bool inverse(double east, double north, double& latitude, double& longitude) const;
    std::string wkt() const;
    const std::string& name() const { return name_; }

  private:
    GridProjection();
    static std::optional<GridProjection> from(std::unique_ptr<OGRSpatialReference> grid,
                                              std::string name);
    std::unique_ptr<OGRSpatialReference> grid_;
    std::unique_ptr<OGRCoordinateTransformation> toGrid_, fromGrid_;
    // The project's grid: positions go through the engine, not PROJ.
    std::unique_ptr<position::GeodesyEngine> engine_;
    std::string name_;
};

// The painted tiles as a tiled (256 x 256), deflate-compressed 16-bit GeoTIFF
// with nodata 0 and overviews down to one tile. Written beside `path` and
// renamed into place only when whole; false with the reason in `error`.
bool writeGeoTiff(MosaicCanvas& canvas, const GridProjection& grid, const std::string& path,
                  std::string& error);

} // namespace kestrova::mosaic

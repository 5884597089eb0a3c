#include "mosaic/geotiff_writer.h"

#include "mosaic/grid_mapping.h"

#include "position/geodesy_engine.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace kestrova::mosaic {

GridProjection::GridProjection() = default;
GridProjection::~GridProjection() = default;
GridProjection::GridProjection(GridProjection&&) noexcept = default;
GridProjection& GridProjection::operator=(GridProjection&&) noexcept = default;

std::optional<GridProjection> GridProjection::from(std::unique_ptr<OGRSpatialReference> grid,
                                                   std::string name) {
    // The positions are the receiver's, on WGS 84, whatever the grid's datum:
    // a grid on another datum takes them through its shift to WGS 84.
    auto geographic = std::make_unique<OGRSpatialReference>();
    if (geographic->importFromEPSG(4326) != OGRERR_NONE) return std::nullopt;
    // Longitude first, easting first, whatever the authority's axis order.
    geographic->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    grid->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    GridProjection p;
    p.toGrid_.reset(OGRCreateCoordinateTransformation(geographic.get(), grid.get()));
    p.fromGrid_.reset(OGRCreateCoordinateTransformation(grid.get(), geographic.get()));
    if (!p.toGrid_ || !p.fromGrid_) return std::nullopt;
    p.grid_ = std::move(grid);
    p.name_ = std::move(name);
    return p;
}

std::optional<GridProjection> GridProjection::utmFor(double latitude, double longitude) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::abs(latitude) > 84.0)
        return std::nullopt;
    const int zone = std::clamp(static_cast<int>(std::floor((longitude + 180.0) / 6.0)) + 1, 1, 60);
    const bool north = latitude >= 0.0;
    auto grid = std::make_unique<OGRSpatialReference>();
    if (grid->importFromEPSG((north ? 32600 : 32700) + zone) != OGRERR_NONE) return std::nullopt;
    char name[48];
    std::snprintf(name, sizeof name, "WGS 84 / UTM zone %d%c", zone, north ? 'N' : 'S');
    return from(std::move(grid), name);
}

std::optional<GridProjection> GridProjection::fromProj(const std::string& definition) {
    auto grid = std::make_unique<OGRSpatialReference>();
    if (grid->importFromProj4(definition.c_str()) != OGRERR_NONE || !grid->IsProjected())
        return std::nullopt;
    return from(std::move(grid), definition);
}

std::optional<GridProjection>
GridProjection::forProject(const _DefGeodetsyParameterSetting& record, double latitude,
                           double longitude, std::string& why) {
    const GridMapping mapping = projDefinition(record);
    if (!mapping.mapped) {
        why = mapping.reason;
        return std::nullopt;
    }
    const std::string& definition = mapping.definition;
    auto grid = fromProj(definition);
    if (!grid) {
        why = "PROJ does not take the project's grid " + definition;
        return std::nullopt;
    }
    auto engine = std::make_unique<position::GeodesyEngine>(record);
    if (!engine->valid()) {
        why = "the geodesy engine could not be created";
        return std::nullopt;
    }
    // The engine's series and PROJ's transverse Mercator agree near the
    // central meridian and part far from it: the survey must lie where both
    // give the same grid, or the file's CRS would misplace the picture.
    double worst = 0.0;
    for (double dB : {-0.25, 0.0, 0.25}) {
        for (double dL : {-0.25, 0.0, 0.25}) {
            const double B = std::clamp(latitude + dB, -89.0, 89.0), L = longitude + dL;
            double east = 0.0, north = 0.0;
            const position::GridPoint g = engine->forward(B, L, 0.0);
            if (!grid->forward(B, L, east, north) || !g.success) {
                worst = std::numeric_limits<double>::infinity();
                continue;
            }
            worst = std::max(worst, std::hypot(east - g.y, north - g.x));
        }
    }
    if (!(worst <= kProjectGridTolerance)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "the project's grid and its PROJ form part by %.2f m around the survey",
                      worst);
        why = text;
        return std::nullopt;
    }
    grid->engine_ = std::move(engine);
    grid->name_ = "project grid: " + definition;
    return grid;
}

bool GridProjection::forward(double latitude, double longitude, double& east,
                             double& north) const {
    if (engine_) {
        const position::GridPoint g = engine_->forward(latitude, longitude, 0.0);
        east = g.y;
        north = g.x;
        return g.success;
    }
    double x = longitude, y = latitude;
    if (!toGrid_->Transform(1, &x, &y)) return false;
    east = x;
    north = y;
    return std::isfinite(east) && std::isfinite(north);
}

bool GridProjection::inverse(double east, double north, double& latitude,
                             double& longitude) const {
    if (engine_) {
        const tessmark::GeoPoint p = engine_->inverse(north, east, 0.0);
        latitude = p.latitude;
        longitude = p.longitude;
        return std::isfinite(latitude) && std::isfinite(longitude);
    }
    double x = east, y = north;
    if (!fromGrid_->Transform(1, &x, &y)) return false;
    longitude = x;
    latitude = y;
    return std::isfinite(latitude) && std::isfinite(longitude);
}

std::string GridProjection::wkt() const {
    char* text = nullptr;
    grid_->exportToWkt(&text);
    std::string out = text ? text : "";
    CPLFree(text);
    return out;
}

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};

} // namespace

bool writeGeoTiff(MosaicCanvas& canvas, const GridProjection& grid, const std::string& path,
                  std::string& error) {
    if (canvas.empty()) {
        error = "nothing to mosaic";
        return false;
    }
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (!driver) {
        error = "GDAL has no GeoTIFF driver";
        return false;
    }
    const int t = MosaicCanvas::kTileCells;
    const TileKey first = canvas.first(), last = canvas.last();
    const std::int64_t columns = (last.column - first.column + 1) * t;
    const std::int64_t rows = (last.row - first.row + 1) * t;
    if (columns > 1000000 || rows > 1000000) {
        error = "the survey is too large for one raster at this resolution";
        return false;
    }
    const std::string part = path + ".part";
    char** options = nullptr;
    options = CSLSetNameValue(options, "TILED", "YES");
    options = CSLSetNameValue(options, "BLOCKXSIZE", "256");
    options = CSLSetNameValue(options, "BLOCKYSIZE", "256");
    options = CSLSetNameValue(options, "COMPRESS", "DEFLATE");
    options = CSLSetNameValue(options, "PREDICTOR", "2");
    options = CSLSetNameValue(options, "BIGTIFF", "IF_SAFER");
    std::unique_ptr<GDALDataset, DatasetCloser> ds(
        driver->Create(part.c_str(), static_cast<int>(columns), static_cast<int>(rows), 1,
                       GDT_UInt16, options));
    CSLDestroy(options);
    if (!ds) {
        error = "cannot create " + part + ": " + CPLGetLastErrorMsg();
        return false;
    }
    const double cell = canvas.cellMetres();
    double transform[6] = {static_cast<double>(first.column * t) * cell, cell, 0.0,
                           -static_cast<double>(first.row * t) * cell, 0.0, -cell};
    ds->SetGeoTransform(transform);
    const std::string wkt = grid.wkt();
    ds->SetProjection(wkt.c_str());
    ds->SetMetadataItem("TIFFTAG_SOFTWARE", "Kestrova");
    ds->SetMetadataItem("KESTROVA_GRID", grid.name().c_str());
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(0.0);
    std::vector<std::uint16_t> values;
    bool ok = true;
    for (std::int64_t r = first.row; r <= last.row && ok; ++r) {
        for (std::int64_t c = first.column; c <= last.column && ok; ++c) {
            if (!canvas.tileValues({c, r}, values)) continue;
            ok = band->RasterIO(GF_Write, static_cast<int>((c - first.column) * t),
                                static_cast<int>((r - first.row) * t), t, t, values.data(), t, t,
                                GDT_UInt16, 0, 0) == CE_None;
        }
    }
    if (ok && !canvas.ok()) {
        error = "the scratch file of the tiles failed";
        ds.reset();
        std::remove(part.c_str());
        return false;
    }
    // Overviews halving down to about one tile, so viewers zoom out quickly.
    std::vector<int> levels;
    for (int f = 2; columns / f >= t / 2 || rows / f >= t / 2; f *= 2)
        levels.push_back(f);
    if (ok && !levels.empty())
        ok = ds->BuildOverviews("NEAREST", static_cast<int>(levels.size()), levels.data(), 0,
                                nullptr, nullptr, nullptr) == CE_None;
    if (ok) {
        CPLErrorReset();
        GDALClose(ds.release());
        ok = CPLGetLastErrorType() != CE_Failure && CPLGetLastErrorType() != CE_Fatal;
    }
    if (!ok) {
        error = std::string("writing the GeoTIFF failed: ") + CPLGetLastErrorMsg();
        ds.reset();
        std::remove(part.c_str());
        return false;
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        error = "cannot move " + part + " to " + path;
        std::remove(part.c_str());
        return false;
    }
    return true;
}

} // namespace kestrova::mosaic

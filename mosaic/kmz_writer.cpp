#include "mosaic/kmz_writer.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace kestrova::mosaic {
namespace {

struct DatasetCloser {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

std::string number(double v, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

bool addToZip(void* zip, const char* name, const void* data, std::size_t size) {
    if (CPLCreateFileInZip(zip, name, nullptr) != CE_None) return false;
    const bool ok = CPLWriteFileInZip(zip, data, static_cast<int>(size)) == CE_None;
    return CPLCloseFileInZip(zip) == CE_None && ok;
}

} // namespace

std::string xmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

bool writeKmz(const std::string& geotiff, const std::vector<TrackPoint>& track,
              const std::vector<Placemark>& placemarks, const std::string& path,
              std::string& error, int maxPixels) {
    GDALAllRegister();
    Dataset source(GDALDataset::Open(geotiff.c_str(), GDAL_OF_RASTER));
    if (!source) {
        error = "cannot open " + geotiff;
        return false;
    }
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    char* wkt = nullptr;
    wgs84.exportToWkt(&wkt);
    Dataset warped(GDALDataset::FromHandle(GDALAutoCreateWarpedVRT(
        GDALDataset::ToHandle(source.get()), nullptr, wkt, GRA_NearestNeighbour, 0.0, nullptr)));
    CPLFree(wkt);
    if (!warped) {
        error = "cannot warp the mosaic to latitude and longitude";
        return false;
    }
    double g[6];
    warped->GetGeoTransform(g);
    const int w0 = warped->GetRasterXSize(), h0 = warped->GetRasterYSize();
    const double scale = std::min(1.0, static_cast<double>(maxPixels) / std::max(w0, h0));
    const int w = std::max(1, static_cast<int>(w0 * scale));
    const int h = std::max(1, static_cast<int>(h0 * scale));
    std::vector<std::uint16_t> values(static_cast<std::size_t>(w) * h);
    if (warped->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, w0, h0, values.data(), w, h,
                                           GDT_UInt16, 0, 0) != CE_None) {
        error = "cannot read the warped mosaic";
        return false;
    }
    // Grey with the sample's strength; the cells without one see through.
    GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDriver* png = GetGDALDriverManager()->GetDriverByName("PNG");
    if (!mem || !png) {
        error = "GDAL has no PNG driver";
        return false;
    }
    Dataset picture(mem->Create("", w, h, 2, GDT_Byte, nullptr));
    std::vector<std::uint8_t> grey(values.size()), alpha(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        grey[i] = static_cast<std::uint8_t>(std::min<std::uint32_t>(values[i], 32767) * 255 / 32767);
        alpha[i] = values[i] ? 255 : 0;
    }
    bool ok = picture->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, grey.data(), w, h,
                                                  GDT_Byte, 0, 0) == CE_None &&
              picture->GetRasterBand(2)->RasterIO(GF_Write, 0, 0, w, h, alpha.data(), w, h,
                                                  GDT_Byte, 0, 0) == CE_None;
    picture->GetRasterBand(2)->SetColorInterpretation(GCI_AlphaBand);
    const std::string memPng = "/vsimem/kestrova_mosaic_" + std::to_string(reinterpret_cast<std::uintptr_t>(&values)) + ".png";
    if (ok) {
        Dataset written(png->CreateCopy(memPng.c_str(), picture.get(), FALSE, nullptr, nullptr,
                                        nullptr));
        ok = written != nullptr;
    }
    vsi_l_offset pngSize = 0;
    GByte* pngBytes = ok ? VSIGetMemFileBuffer(memPng.c_str(), &pngSize, FALSE) : nullptr;
    if (!pngBytes) {
        VSIUnlink(memPng.c_str());
        error = "cannot make the overlay picture";
        return false;
    }

    const double west = g[0], north = g[3];
    const double east = g[0] + g[1] * w0, south = g[3] + g[5] * h0;
    std::string kml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>Kestrova mosaic</name>\n"
        "<GroundOverlay>\n<name>Mosaic</name>\n<Icon><href>mosaic.png</href></Icon>\n"
        "<LatLonBox><north>" + number(north, 8) + "</north><south>" + number(south, 8) +
        "</south><east>" + number(east, 8) + "</east><west>" + number(west, 8) +
        "</west></LatLonBox>\n</GroundOverlay>\n";
    if (!track.empty()) {
        kml += "<Placemark>\n<name>Track</name>\n<LineString><tessellate>1</tessellate>"
               "<coordinates>\n";
        for (const TrackPoint& p : track)
            kml += number(p.longitude, 8) + "," + number(p.latitude, 8) + ",0\n";
        kml += "</coordinates></LineString>\n</Placemark>\n";
    }
    for (const Placemark& p : placemarks)
        kml += "<Placemark><name>" + xmlText(p.name) + "</name><Point><coordinates>" +
               number(p.longitude, 8) + "," + number(p.latitude, 8) +
               ",0</coordinates></Point></Placemark>\n";
    kml += "</Document>\n</kml>\n";

    const std::string part = path + ".part";
    void* zip = CPLCreateZip(part.c_str(), nullptr);
    ok = zip != nullptr;
    if (ok) ok = addToZip(zip, "doc.kml", kml.data(), kml.size());
    if (ok) ok = addToZip(zip, "mosaic.png", pngBytes, static_cast<std::size_t>(pngSize));
    if (zip && CPLCloseZip(zip) != CE_None) ok = false;
    VSIUnlink(memPng.c_str());
    if (!ok || std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace kestrova::mosaic

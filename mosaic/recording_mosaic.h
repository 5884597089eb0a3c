#pragma once
// Recordings into a georeferenced mosaic: every ping's display line of one
// frequency, made by the waterfall views' own pipeline, laid on a flat seabed
// from the ping's altitude (the water column goes) at the towfish position of
// its time. The towfish position comes from the navigation's one placement
// (position records interpolated, layback, antenna offsets, heading rule).

#include "display/drovanta_api.h"
#include "display/recording_export.h"
#include "mosaic/geotiff_writer.h"
#include "navigation/mosaic_canvas.h"
#include "navigation/towfish.h"
#include "position/position_fix.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::mosaic {

struct MosaicOptions {
    int channel = 0;           // 0 HF, 1 LF
    double resolution = 0.25;  // metres per cell
    // With `readAhead` the lines are also placed and painted on a thread of
    // their own.
    display::RecordingExportOptions display;
    // The installation to place the fish with; without it each recording's own
    // (its header's, as playback takes it).
    std::optional<navigation::TowfishInstall> install;
    // The project's geodetic record: the mosaic is in its grid when the record
    // maps to a PROJ definition, positions placed through the geodesy engine on
    // it as the navigation view places them. Without it, or when it does not
    // map or the two disagree where the survey lies, the UTM zone of the
    // survey's first position on WGS 84 (gridNote() says why).
    std::optional<_DefGeodetsyParameterSetting> gridRecord;
    std::size_t tilesInMemory = 256;
};

struct TrackPoint {
    double time = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
};

struct RecordingMosaicResult {
    bool readable = false;       // a raw recording that could be read
    bool readError = false;      // it stopped on a read error
    std::uint64_t positions = 0; // position records used
    std::uint64_t lines = 0;     // display lines of the chosen frequency
    std::uint64_t placed = 0;    // of them laid on the ground
};

// A position record that places something: a position (not a date), dated,
// on the globe, and not the 0,0 of a receiver without a fix.
bool usableFix(const position::PositionFix& fix);

class SurveyMosaic {
  public:
    explicit SurveyMosaic(const MosaicOptions& options);

    // One recording into the mosaic.
    RecordingMosaicResult add(const std::string& path, const display::DrovantaApi& drovanta,
                              const std::function<void(std::uint64_t, std::uint64_t)>& progress =
                                  nullptr);
    // One XTF file (its pings are display lines already; each file is one
    // frequency). Its positions are the pings' own; the installation is the
    // one given in the options (an XTF file keeps none).
    RecordingMosaicResult addXtf(const std::string& path);
    // The GeoTIFF; false (and no file) when nothing was placed or writing failed.
    bool write(const std::string& path, std::string& error);

    const std::optional<GridProjection>& grid() const { return grid_; }
    bool gridFailed() const { return gridFailed_; }
    // Why the project's grid was not taken, when it was given and not taken.
    const std::string& gridNote() const { return gridNote_; }
    // The vessel's fixes, one a second at most, for the track layers.
    const std::vector<TrackPoint>& track() const { return track_; }
    std::uint64_t placed() const { return placed_; }
    MosaicCanvas& canvas() { return canvas_; }

  private:
    friend class MosaicLineReader;
    MosaicOptions options_;
    MosaicCanvas canvas_;
    std::optional<GridProjection> grid_;
    bool gridFailed_ = false;
    std::string gridNote_;
    std::vector<TrackPoint> track_;
    std::uint64_t placed_ = 0;
};

} // namespace kestrova::mosaic

#pragma once
// The navigation map's view: where grid (0, 0) sits on the screen, metres per
// pixel, the map's turn, the follow mode; the grid <-> screen mapping and the
// zoom, pan, fit, follow and key rules. No drawing here, so the window, the
// headless picture and the tests share it.

#include "navigation/towfish.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova::navigation {

struct ScreenPoint {
    double x = 0.0;
    double y = 0.0;
};

constexpr double kMinScale = 0.002;
constexpr double kMaxScale = 100000.0;

enum class FollowMode : int { Free = 0, InView = 1, Centred = 2, CourseUp = 3 };

struct ViewState {
    double ox = 350.0; // pixel of grid (0, 0) before the turn
    double oy = 150.0;
    double s = 2.0;     // metres per pixel
    double theta = 0.0; // degrees, the map turned clockwise
    int follow = 1;
    bool reverse = true;
    bool panMode = false;
    bool measureMode = false;
    bool addPointMode = false;
    int width = 0; // client size
    int height = 0;

    double cx() const { return static_cast<double>(width / 2); }
    double cy() const { return static_cast<double>(height / 2); }
};

// The grid -> screen mapping with its turn worked out once, for drawing many
// points (a day's track) per frame.
class ScreenMapper {
  public:
    explicit ScreenMapper(const ViewState& v);
    ScreenPoint operator()(double east, double north) const {
        const double u = east / s_ + ox_ - cx_;
        const double w = north / s_ - oy_ + cy_;
        return {cx_ + u * cos_ + w * sin_, cy_ + u * sin_ - w * cos_};
    }

  private:
    double s_, ox_, oy_, cx_, cy_, cos_, sin_;
};

ScreenPoint gridToScreen(const ViewState& v, double east, double north);
GridPoint screenToGrid(const ViewState& v, double x, double y);
// The screen point turned back about the centre: the pixel before the turn.
ScreenPoint screenToUnrotated(const ViewState& v, double x, double y);

// One wheel step about the cursor (client pixels); forward zooms in.
void wheelZoom(ViewState& v, bool forward, double x, double y);
// Zoom about the window centre: s *= f, with s kept in its range.
void zoomAboutCentre(ViewState& v, double f);
// Turn by `degrees`, kept in 0..360.
void rotate(ViewState& v, double degrees);
// A drag by (dx, dy) screen pixels moves the map with the pointer.
void pan(ViewState& v, double dx, double dy);
// Fit all the points into the window (Home); nothing to fit keeps the reset.
void fit(ViewState& v, std::span<const GridPoint> points);
// The follow-mode adjustment after the vessel is drawn.
void applyFollow(ViewState& v, GridPoint vessel, double course);

// The leading digit of v times its power of ten (437 -> 400); 0 for a value
// that is not finite and positive.
double leadingDigitStep(double v);
// Grid spacing for the visible extents in metres: the larger of the two
// quarter-extent steps; 0 when there is nothing sensible to draw.
double gridSpacing(double extentEast, double extentNorth);

// The keys the view answers.
enum class NaviKey { Left, Right, Up, Down, Home, End, PageUp, PageDown, Q, H, R, D1, D2, D3, D4 };
enum class KeyResult { None, Redraw, Fit, PreviousLine, NextLine, ReverseLine };
// Applies what the key does to the view; returns what the caller still does.
KeyResult applyKey(ViewState& v, NaviKey key, bool ctrl);

// The speed text: "ShipSpeed:%.2f knot" (below 100 kn), "... m/s" (below 60 kn),
// "... km/h" (below 160 kn); beyond the limit only "ShipSpeed:".
std::string speedText(double knots, int unit);

// Drops points that land within `minPixels` of the last kept one at the
// current scale, so a day's track draws in a few thousand segments. The
// first and the last point are always kept.
void thinToScreen(const ViewState& v, std::span<const GridPoint> points, double minPixels,
                  std::vector<ScreenPoint>& out);

// A long polyline thinned in metres and kept between frames: panning and
// turning keep the same points, new points are only appended. A zoom thins
// the whole list again, through a pyramid of coarser thinnings kept as the
// points arrive, so it costs about what is kept, not the whole day, and gives
// exactly the points a fresh thinning of the whole list would.
class ThinnedPolyline {
  public:
    // Points of `all` at least `tolerance` metres apart, the first and the
    // last always among them. `all` only grows between calls, or starts over
    // (a shorter list, or after reset()).
    const std::vector<GridPoint>& update(std::span<const GridPoint> all, double tolerance);
    // The list was replaced (a cleared track): forget everything.
    void reset();

    // Pyramid levels: level k keeps the points of level k - 1 at least
    // kFinestLevel x kLevelRatio^(k-1) metres apart (level 0: every point).
    static constexpr int kLevels = 12;
    // About a fix's step at survey speed: finer levels would keep nearly
    // every point and cost memory without skipping anything.
    static constexpr double kFinestLevel = 0.3;
    static constexpr double kLevelRatio = 4.0;

  private:
    struct Level {
        double tolerance = 0.0;
        // Every point between two kept ones lies closer than this to the
        // earlier of them (its own tolerance plus the finer levels' reach).
        double reach = 0.0;
        double skip2 = -1.0; // squared distance below which a run is skipped, this zoom
        std::size_t fed = 0; // entries of the finer level looked at
        // The kept points themselves (walked in order, not gathered from the
        // whole list) and where each lies in the finer level.
        std::vector<GridPoint> at;
        std::vector<std::uint32_t> parent;
    };
    void extendLevels(std::span<const GridPoint> all);
    // Greedy thinning of the points the runs [from, to) of `level` cover.
    void walk(std::span<const GridPoint> all, int level, std::size_t from, std::size_t to);

    double tolerance_ = -1.0;
    std::size_t consumed_ = 0;
    bool tail_ = false; // the last kept point is only there as the list's end
    std::vector<GridPoint> kept_;
    GridPoint last_{};
    double min2_ = 0.0;
    std::vector<Level> levels_;
};

} // namespace kestrova::navigation

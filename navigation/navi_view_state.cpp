#include "navigation/navi_view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kestrova::navigation {
namespace {

constexpr double kPi = 3.14159265358979;

double wrap360(double a) {
    if (!std::isfinite(a)) return 0.0;
    double w = std::fmod(a, 360.0);
    if (w < 0.0) w += 360.0;
    if (w >= 360.0) w -= 360.0;
    return w;
}

// Turns (u, v) in screen-up axes by `degrees` counter-clockwise.
void turn(double& u, double& w, double degrees) {
    const double t = degrees * kPi / 180.0;
    const double c = std::cos(t), s = std::sin(t);
    const double nu = u * c - w * s;
    const double nw = u * s + w * c;
    u = nu;
    w = nw;
}

// s *= f within the scale range, the origin moved so `anchor` stays put.
void zoomAbout(ViewState& v, double f, double ax, double ay) {
    if (!(f > 0.0) || !std::isfinite(f)) return;
    const double target = std::clamp(v.s * f, kMinScale, kMaxScale);
    const double effective = target / v.s;
    if (!(effective > 0.0) || !std::isfinite(effective)) return;
    v.ox = (v.ox - ax) / effective + ax;
    v.oy = (v.oy - ay) / effective + ay;
    v.s = target;
}

} // namespace

ScreenMapper::ScreenMapper(const ViewState& v)
    : s_(v.s), ox_(v.ox), oy_(v.oy), cx_(v.cx()), cy_(v.cy()),
      cos_(std::cos(v.theta * kPi / 180.0)), sin_(std::sin(v.theta * kPi / 180.0)) {}

ScreenPoint gridToScreen(const ViewState& v, double east, double north) {
    return ScreenMapper(v)(east, north);
}

ScreenPoint screenToUnrotated(const ViewState& v, double x, double y) {
    double u = x - v.cx();
    double w = v.cy() - y;
    turn(u, w, v.theta);
    return {v.cx() + u, v.cy() - w};
}

GridPoint screenToGrid(const ViewState& v, double x, double y) {
    ScreenPoint p = screenToUnrotated(v, x, y);
    return {(p.x - v.ox) * v.s, (v.oy - p.y) * v.s};
}

void wheelZoom(ViewState& v, bool forward, double x, double y) {
    ScreenPoint anchor = screenToUnrotated(v, x, y);
    if (forward) {
        if (v.s > kMinScale) zoomAbout(v, 1.0 / 1.1, anchor.x, anchor.y);
    } else {
        if (v.s < kMaxScale) zoomAbout(v, 1.1, anchor.x, anchor.y);
    }
}

void zoomAboutCentre(ViewState& v, double f) {
    zoomAbout(v, f, v.cx(), v.cy());
}

void rotate(ViewState& v, double degrees) {
    v.theta = wrap360(v.theta + degrees);
}

void pan(ViewState& v, double dx, double dy) {
    // The drag in unrotated pixels: the same turn as the pointer positions.
    double u = dx, w = -dy;
    turn(u, w, v.theta);
    v.ox += u;
    v.oy -= w;
}

void fit(ViewState& v, std::span<const GridPoint> points) {
    v.ox = 200.0;
    v.oy = 600.0;
    v.s = 2.0;
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX;
    double minY = minX, maxY = -minX;
    for (const GridPoint& p : points) {
        if (!std::isfinite(p.east) || !std::isfinite(p.north)) continue;
        const double x = p.east / v.s + v.ox;
        const double y = v.oy - p.north / v.s;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    if (!(minX <= maxX)) return;
    minX -= 1.0;
    minY -= 1.0;
    maxX += 1.0;
    maxY += 1.0;
    v.ox += v.cx() - (minX + maxX) / 2.0;
    v.oy += v.cy() - (minY + maxY) / 2.0;
    if (v.width <= 0 || v.height <= 0) return;
    const double f = std::min(v.width / (maxX - minX), v.height / (maxY - minY)) / 1.05;
    // origin = (origin - c)·f + c and s = s / f: a zoom about the centre by 1/f.
    zoomAboutCentre(v, 1.0 / f);
}

void applyFollow(ViewState& v, GridPoint vessel, double course) {
    if (v.follow == 3) v.theta = wrap360(-course);
    auto centre = [&] {
        v.ox = v.cx() - vessel.east / v.s;
        v.oy = v.cy() + vessel.north / v.s;
    };
    switch (v.follow) {
    case 1: {
        ScreenPoint p = gridToScreen(v, vessel.east, vessel.north);
        const bool inside = p.x >= 0.25 * v.width && p.x <= 0.75 * v.width &&
                            p.y >= 0.25 * v.height && p.y <= 0.75 * v.height;
        if (!inside) centre();
        break;
    }
    case 2:
    case 3:
        centre();
        break;
    default:
        break;
    }
}

double leadingDigitStep(double v) {
    if (!std::isfinite(v) || !(v > 0.0)) return 0.0;
    const double p = std::pow(10.0, std::floor(std::log10(v)));
    double d = std::floor(v / p + 1e-9);
    if (d < 1.0) d = 1.0;
    return d * p;
}

double gridSpacing(double extentEast, double extentNorth) {
    const double spacing =
        std::max(leadingDigitStep(extentEast / 4.0), leadingDigitStep(extentNorth / 4.0));
    return std::isfinite(spacing) && spacing > 0.0 ? spacing : 0.0;
}

KeyResult applyKey(ViewState& v, NaviKey key, bool ctrl) {
    if (!ctrl) {
        const double dx = 0.05 * v.width, dy = 0.05 * v.height;
        switch (key) {
        case NaviKey::Left:
        case NaviKey::Right:
        case NaviKey::Up:
        case NaviKey::Down:
            if (v.follow == 2) return KeyResult::None;
            if (key == NaviKey::Left) v.ox += dx;
            if (key == NaviKey::Right) v.ox -= dx;
            if (key == NaviKey::Up) v.oy += dy;
            if (key == NaviKey::Down) v.oy -= dy;
            return KeyResult::Redraw;
        case NaviKey::Home:
            return KeyResult::Fit;
        case NaviKey::PageUp:
            zoomAboutCentre(v, 1.0 / 1.1);
            return KeyResult::Redraw;
        case NaviKey::PageDown:
            zoomAboutCentre(v, 1.1);
            return KeyResult::Redraw;
        case NaviKey::End:
            rotate(v, 180.0);
            return KeyResult::Redraw;
        default:
            return KeyResult::None;
        }
    }
    switch (key) {
    case NaviKey::Left:
    case NaviKey::Right:
    case NaviKey::Down:
    case NaviKey::Up:
        if (v.follow == 3) return KeyResult::None;
        rotate(v, key == NaviKey::Left    ? -10.0
                  : key == NaviKey::Right ? 10.0
                  : key == NaviKey::Down  ? -1.0
                                          : 1.0);
        return KeyResult::Redraw;
    case NaviKey::Home:
        v.theta = 0.0;
        return KeyResult::Redraw;
    case NaviKey::PageUp:
        zoomAboutCentre(v, 2.0 / 3.0);
        return KeyResult::Redraw;
    case NaviKey::PageDown:
        zoomAboutCentre(v, 1.5);
        return KeyResult::Redraw;
    case NaviKey::Q:
        return KeyResult::PreviousLine;
    case NaviKey::H:
        return KeyResult::NextLine;
    case NaviKey::R:
        return KeyResult::ReverseLine;
    case NaviKey::D1:
    case NaviKey::D2:
    case NaviKey::D3:
    case NaviKey::D4:
        v.follow = static_cast<int>(key) - static_cast<int>(NaviKey::D1);
        return KeyResult::Redraw;
    default:
        return KeyResult::None;
    }
}

std::string speedText(double knots, int unit) {
    char buf[64];
    if (unit == 1) {
        if (knots < 60.0) {
            std::snprintf(buf, sizeof buf, "ShipSpeed:%.2f m/s", knots * 0.514);
            return buf;
        }
    } else if (unit == 2) {
        if (knots < 160.0) {
            std::snprintf(buf, sizeof buf, "ShipSpeed:%.2f km/h", knots * 1.852);
            return buf;
        }
    } else if (knots < 100.0) {
        std::snprintf(buf, sizeof buf, "ShipSpeed:%.2f knot", knots);
        return buf;
    }
    return "ShipSpeed:";
}

void thinToScreen(const ViewState& v, std::span<const GridPoint> points, double minPixels,
                  std::vector<ScreenPoint>& out) {
    out.clear();
    if (points.empty()) return;
    // The turn keeps distances and the scale is the same both ways, so the
    // test runs in metres and only the points kept are mapped.
    const double minMetres = minPixels * v.s;
    const double min2 = minMetres * minMetres;
    const ScreenMapper map(v);
    GridPoint last = points.front();
    out.push_back(map(last.east, last.north));
    const std::size_t n = points.size();
    for (std::size_t i = 1; i < n; ++i) {
        const GridPoint& p = points[i];
        const double de = p.east - last.east, dn = p.north - last.north;
        if (de * de + dn * dn >= min2 || i + 1 == n) {
            out.push_back(map(p.east, p.north));
            last = p;
        }
    }
}

void ThinnedPolyline::reset() {
    tolerance_ = -1.0;
    consumed_ = 0;
    tail_ = false;
    kept_.clear();
    levels_.clear();
}

void ThinnedPolyline::extendLevels(std::span<const GridPoint> all) {
    if (levels_.empty()) {
        levels_.resize(kLevels);
        double t = kFinestLevel, reach = 0.0;
        for (Level& l : levels_) {
            reach += t;
            l.tolerance = t;
            l.reach = reach;
            t *= kLevelRatio;
        }
    }
    // Each level thins the one below it greedily, from where it stopped.
    std::size_t finer = all.size();
    for (std::size_t k = 0; k < levels_.size(); ++k) {
        Level& l = levels_[k];
        const double min2 = l.tolerance * l.tolerance;
        for (; l.fed < finer; ++l.fed) {
            const GridPoint& p = k == 0 ? all[l.fed] : levels_[k - 1].at[l.fed];
            if (!l.at.empty()) {
                const GridPoint& a = l.at.back();
                const double de = p.east - a.east, dn = p.north - a.north;
                if (!(de * de + dn * dn >= min2)) continue;
            }
            l.at.push_back(p);
            l.parent.push_back(static_cast<std::uint32_t>(l.fed));
        }
        finer = l.at.size();
    }
}

void ThinnedPolyline::walk(std::span<const GridPoint> all, int level, std::size_t from,
                           std::size_t to) {
    if (level == 0) {
        for (std::size_t i = from; i < to; ++i) {
            const double de = all[i].east - last_.east, dn = all[i].north - last_.north;
            if (de * de + dn * dn >= min2_) {
                kept_.push_back(all[i]);
                last_ = all[i];
            }
        }
        return;
    }
    const Level& l = levels_[static_cast<std::size_t>(level - 1)];
    const std::size_t finerSize =
        level == 1 ? all.size() : levels_[static_cast<std::size_t>(level - 2)].at.size();
    const double skip2 = l.skip2;
    for (std::size_t j = from; j < to; ++j) {
        const GridPoint& a = l.at[j];
        const double de = a.east - last_.east, dn = a.north - last_.north;
        // Every point of this run lies closer than d + reach to the last kept
        // point: none of them would be kept.
        if (de * de + dn * dn < skip2) continue;
        const std::size_t end = j + 1 < l.at.size() ? l.parent[j + 1] : finerSize;
        walk(all, level - 1, l.parent[j], end);
    }
}

const std::vector<GridPoint>& ThinnedPolyline::update(std::span<const GridPoint> all,
                                                      double tolerance) {
    if (all.size() < consumed_) reset();
    // The pyramid grows with every frame's new points, so a zoom finds it
    // ready. Its indices are 32-bit: a longer list is thinned plainly.
    const bool pyramid = all.size() <= std::numeric_limits<std::uint32_t>::max();
    if (pyramid && !all.empty()) extendLevels(all);
    if (tolerance != tolerance_) {
        tolerance_ = tolerance;
        consumed_ = 0;
        tail_ = false;
        kept_.clear();
        if (pyramid && !all.empty() && tolerance > 0.0 && std::isfinite(tolerance)) {
            // The whole list again, through the pyramid.
            min2_ = tolerance * tolerance;
            kept_.push_back(all[0]);
            last_ = all[0];
            // A run is skipped when its first point lies closer than
            // tolerance - reach; the margin only ever sends a run on down to
            // the exact comparisons. The walk starts at the coarsest level
            // that can skip anything: its runs cover the whole list.
            int top = 0;
            for (int k = 1; k <= kLevels; ++k) {
                Level& l = levels_[static_cast<std::size_t>(k - 1)];
                const double lim = tolerance - l.reach - 1e-9 * tolerance;
                l.skip2 = lim > 0.0 ? lim * lim : -1.0;
                if (lim > 0.0) top = k;
            }
            walk(all, top, 0,
                 top == 0 ? all.size() : levels_[static_cast<std::size_t>(top - 1)].at.size());
            consumed_ = all.size();
        }
    }
    if (all.size() > consumed_) {
        if (tail_) {
            kept_.pop_back();
            tail_ = false;
        }
        min2_ = tolerance * tolerance;
        std::size_t i = consumed_;
        if (kept_.empty()) {
            last_ = all[i++];
            kept_.push_back(last_);
        }
        for (; i < all.size(); ++i) {
            const double de = all[i].east - last_.east, dn = all[i].north - last_.north;
            if (de * de + dn * dn >= min2_) {
                kept_.push_back(all[i]);
                last_ = all[i];
            }
        }
        consumed_ = all.size();
    }
    if (!tail_ && consumed_ > 1) {
        const GridPoint& end = all[consumed_ - 1];
        if (end.east != last_.east || end.north != last_.north) {
            kept_.push_back(end);
            tail_ = true;
        }
    }
    return kept_;
}

} // namespace kestrova::navigation

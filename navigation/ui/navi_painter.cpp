#include "navigation/ui/navi_painter.h"

#include "navigation/ui/color_set_dlg.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrova::navigation::ui {
namespace {

// Beyond this many grid lines per axis the grid would be a grey wash.
constexpr double kMaxGridLines = 400.0;

QPointF q(ScreenPoint s) {
    return {s.x, s.y};
}

// Clips the segment to [0, w) x [0, h) (Liang-Barsky); false when nothing is left.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double w, double h) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, w - 1.0 - x0, y0, h - 1.0 - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
    }
    const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = nx0;
    y0 = ny0;
    return true;
}

// A day's track is hundreds of thousands of one-pixel steps: straight into
// the image's pixels, 1 or 2 pixels wide, instead of the general stroker.
void rasterPolyline(QImage& image, const std::vector<ScreenPoint>& pts, QRgb colour, int width) {
    const int w = image.width(), h = image.height();
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    // Segments are clipped into the image, so only the second pixel of a wide
    // line can fall outside it.
    auto plot = [&](int x, int y) { bits[y * stride + x] = colour; };
    auto plotWide = [&](int x, int y) {
        if (x < w && y < h) bits[y * stride + x] = colour;
    };
    // The end pixel of one segment starts the next: drawn once.
    int lastX = -1, lastY = -1;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        double x0 = pts[i - 1].x, y0 = pts[i - 1].y, x1 = pts[i].x, y1 = pts[i].y;
        if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
            continue;
        const bool inside = x0 >= 0 && y0 >= 0 && x1 >= 0 && y1 >= 0 && x0 <= w - 1 &&
                            x1 <= w - 1 && y0 <= h - 1 && y1 <= h - 1;
        if (!inside && !clipSegment(x0, y0, x1, y1, w, h)) continue;
        // Clipped into the image: rounding is a plain + 0.5.
        int ax = static_cast<int>(x0 + 0.5), ay = static_cast<int>(y0 + 0.5);
        const int bx = static_cast<int>(x1 + 0.5), by = static_cast<int>(y1 + 0.5);
        const int dx = std::abs(bx - ax), dy = -std::abs(by - ay);
        const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
        const bool xMajor = dx >= -dy;
        int err = dx + dy;
        bool first = ax == lastX && ay == lastY;
        lastX = bx;
        lastY = by;
        for (;;) {
            if (!first) {
                plot(ax, ay);
                if (width > 1) xMajor ? plotWide(ax, ay + 1) : plotWide(ax + 1, ay);
            }
            first = false;
            if (ax == bx && ay == by) break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                ax += sx;
            }
            if (e2 <= dx) {
                err += dx;
                ay += sy;
            }
        }
    }
}

// Maps the kept points and draws them.
void drawKept(QPainter& p, const ViewState& v, const std::vector<GridPoint>& kept,
              const QColor& colour, int width) {
    if (kept.size() < 2) return;
    const ScreenMapper map(v);
    // Kept between frames: a day's edges are megabytes, not worth fetching
    // from the system on every frame.
    static thread_local std::vector<ScreenPoint> screen;
    screen.resize(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i)
        screen[i] = map(kept[i].east, kept[i].north);
    // The fast path when painting straight into a 32-bit image.
    auto* image = dynamic_cast<QImage*>(p.device());
    if (image != nullptr && !p.transform().isScaling() && !p.transform().isTranslating() &&
        !p.transform().isRotating() &&
        (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32)) {
        rasterPolyline(*image, screen, colour.rgb(), width);
        return;
    }
    QPolygonF poly(static_cast<qsizetype>(screen.size()));
    for (std::size_t i = 0; i < screen.size(); ++i)
        poly[static_cast<qsizetype>(i)] = q(screen[i]);
    p.setPen(QPen(colour, width));
    p.drawPolyline(poly);
}

void drawGrid(QPainter& p, const ViewState& v) {
    const GridPoint corners[4] = {screenToGrid(v, 0, 0), screenToGrid(v, v.width, 0),
                                  screenToGrid(v, 0, v.height), screenToGrid(v, v.width, v.height)};
    double minE = corners[0].east, maxE = minE, minN = corners[0].north, maxN = minN;
    for (const GridPoint& c : corners) {
        minE = std::min(minE, c.east);
        maxE = std::max(maxE, c.east);
        minN = std::min(minN, c.north);
        maxN = std::max(maxN, c.north);
    }
    const double spacing = gridSpacing(maxE - minE, maxN - minN);
    if (!(spacing > 0.0) || (maxE - minE) / spacing > kMaxGridLines ||
        (maxN - minN) / spacing > kMaxGridLines)
        return;
    const ScreenMapper map(v);
    QPen pen(QColor(150, 150, 150));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    QFont font = p.font();
    font.setPixelSize(14);
    font.setWeight(QFont::ExtraLight);
    p.setFont(font);
    const GridPoint label = screenToGrid(v, 4.0, 16.0);
    auto text = [&](ScreenPoint at, const QString& s) {
        p.save();
        p.translate(at.x, at.y);
        p.rotate(v.theta);
        p.setPen(QColor(90, 90, 90));
        p.drawText(QPointF(2, -2), s);
        p.restore();
        p.setPen(pen);
    };
    char buf[64];
    // Whole multiples counted, never a running sum: far from the origin a
    // small step could stop moving the sum at all.
    const double firstE = std::ceil(minE / spacing), lastE = std::floor(maxE / spacing);
    const double firstN = std::ceil(minN / spacing), lastN = std::floor(maxN / spacing);
    if (!(lastE - firstE <= kMaxGridLines) || !(lastN - firstN <= kMaxGridLines)) return;
    const int countE = static_cast<int>(lastE - firstE), countN = static_cast<int>(lastN - firstN);
    for (int i = 0; i <= countE; ++i) {
        const double e = (firstE + i) * spacing;
        p.drawLine(q(map(e, minN)), q(map(e, maxN)));
        std::snprintf(buf, sizeof buf, "%.1f%s", e, "X");
        text(map(e, label.north), buf);
    }
    for (int i = 0; i <= countN; ++i) {
        const double n = (firstN + i) * spacing;
        p.drawLine(q(map(minE, n)), q(map(maxE, n)));
        std::snprintf(buf, sizeof buf, "%.1f%s", n, "Y");
        text(map(label.east, n), buf);
    }
}

void drawCompass(QPainter& p, const ViewState& v) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(v.width - 45.0, v.height - 45.0);
    // The map is turned clockwise by theta, so north is theta clockwise from up.
    p.rotate(v.theta);
    QPolygonF north({QPointF(0, -30), QPointF(8, 0), QPointF(-8, 0)});
    QPolygonF south({QPointF(0, 30), QPointF(8, 0), QPointF(-8, 0)});
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(220, 30, 30));
    p.drawPolygon(north);
    p.setBrush(Qt::white);
    p.drawPolygon(south);
    QFont font = p.font();
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(-10, -46, 20, 14), Qt::AlignCenter, "N");
    p.restore();
}

void drawLabel(QPainter& p, QPointF at, const QString& text, const QColor& colour) {
    QFontMetrics fm(p.font());
    QRectF box(at, QSizeF(fm.horizontalAdvance(text) + 4, fm.height()));
    p.fillRect(box, Qt::white);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

void drawPlannedLines(QPainter& p, const NaviModel& m) {
    const NavigationLineSet& set = m.lines();
    if (!set.loaded() || !set.display()) return;
    const ViewState& v = m.view();
    const ScreenMapper map(v);
    const app::NaviSettings& s = m.settings();
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    int number = 1;
    for (const SurveyLine& line : set.lines()) {
        if (line.points.empty()) {
            ++number;
            continue;
        }
        QPolygonF poly;
        for (const LinePoint& pt : line.points)
            poly << q(map(pt.x, pt.y));
        p.setPen(QPen(fromBgr(s.surColor), 1));
        if (poly.size() >= 2) p.drawPolyline(poly);
        drawLabel(p, poly[0] + QPointF(5, 5), QString::number(number), fromBgr(s.textColor));
        ++number;
    }
    const SurveyLine* current = set.currentLine();
    if (current == nullptr || current->points.size() < 2) return;
    QPolygonF poly;
    for (const LinePoint& pt : current->points)
        poly << q(map(pt.x, pt.y));
    p.setPen(QPen(fromBgr(s.reSurColor), 2));
    p.drawPolyline(poly);
    // The direction mark: an arrow head half way along the first leg.
    QPointF a = poly[0], b = poly[1];
    if (v.reverse) std::swap(a, b);
    const QPointF d = b - a;
    const double len = std::hypot(d.x(), d.y());
    if (len < 1.0) return;
    const QPointF u = d / len, n(-u.y(), u.x());
    const QPointF tip = (a + b) / 2.0 + u * 8.0;
    QPolygonF head({tip, tip - u * 16.0 + n * 7.0, tip - u * 16.0 - n * 7.0});
    p.setPen(QPen(fromBgr(s.surArrColor), 1));
    p.setBrush(fromBgr(s.surArrColor));
    p.drawPolygon(head);
    p.setBrush(Qt::NoBrush);
}

void drawEditorLines(QPainter& p, const NaviModel& m, const NaviPaintExtras& x) {
    if (x.editorLines == nullptr) return;
    const ScreenMapper map(m.view());
    const app::NaviSettings& s = m.settings();
    for (const SurveyLine& line : *x.editorLines) {
        if (line.points.empty()) continue;
        QPolygonF poly;
        for (const LinePoint& pt : line.points)
            poly << q(map(pt.x, pt.y));
        p.setPen(QPen(fromBgr(s.solidLineColor), 1));
        if (poly.size() >= 2) p.drawPolyline(poly);
        drawLabel(p, poly[0], QString::asprintf("%d", std::atoi(line.name.c_str())),
                  fromBgr(s.textColor));
    }
    if (!m.view().addPointMode || !x.cursor || x.editorSelected < 0 ||
        static_cast<std::size_t>(x.editorSelected) >= x.editorLines->size())
        return;
    const SurveyLine& sel = (*x.editorLines)[static_cast<std::size_t>(x.editorSelected)];
    if (sel.points.empty()) return;
    const LinePoint& last = sel.points.back();
    QPen dotted(fromBgr(s.dotLineColor), 1, Qt::DotLine);
    p.setPen(dotted);
    const QPointF from = q(map(last.x, last.y)), to = q(map(x.cursor->east, x.cursor->north));
    p.drawLine(from, to);
    const double metres = std::hypot(x.cursor->east - last.x, x.cursor->north - last.y);
    p.drawText(to + QPointF(0, -15), QString::asprintf("%.4f", metres));
}

void drawCoverage(QPainter& p, NaviModel& m, bool hf) {
    const app::NaviSettings& s = m.settings();
    for (int side = 0; side < 2; ++side) {
        const int colour = hf ? (side == 0 ? s.coverLineColorHFL : s.coverLineColorHFR)
                              : (side == 0 ? s.coverLineColorLFL : s.coverLineColorLFR);
        drawKept(p, m.view(), m.thinnedEdge(hf, side == 1, 1.0), fromBgr(colour), 1);
    }
}

// The "Mosaic" layer: the tiles of the level nearest the map's scale that the
// window shows, grey with the sample's strength, empty cells left out.
void drawMosaic(QPainter& p, NaviModel& m) {
    LiveMosaic& mosaic = m.mosaic();
    const ViewState& v = m.view();
    if (mosaic.empty() || !(v.s > 0.0)) return;
    MosaicCanvas& canvas = mosaic.level(mosaic.levelFor(v.s));
    if (canvas.empty()) return;
    const double cell = canvas.cellMetres();
    const int t = MosaicCanvas::kTileCells;
    // The grid box the window covers, whatever the turn.
    double e0 = 1e300, e1 = -1e300, n0 = 1e300, n1 = -1e300;
    for (const auto& corner :
         {std::pair{0.0, 0.0}, std::pair{double(v.width), 0.0}, std::pair{0.0, double(v.height)},
          std::pair{double(v.width), double(v.height)}}) {
        const GridPoint g = screenToGrid(v, corner.first, corner.second);
        e0 = std::min(e0, g.east);
        e1 = std::max(e1, g.east);
        n0 = std::min(n0, g.north);
        n1 = std::max(n1, g.north);
    }
    const double tileMetres = cell * t;
    const TileKey first = canvas.first(), last = canvas.last();
    const auto c0 = std::max(first.column, static_cast<std::int64_t>(std::floor(e0 / tileMetres)));
    const auto c1 = std::min(last.column, static_cast<std::int64_t>(std::floor(e1 / tileMetres)));
    const auto r0 = std::max(first.row, static_cast<std::int64_t>(std::floor(-n1 / tileMetres)));
    const auto r1 = std::min(last.row, static_cast<std::int64_t>(std::floor(-n0 / tileMetres)));
    if (c1 < c0 || r1 < r0 || (c1 - c0 + 1) * (r1 - r0 + 1) > 400) return;
    const ScreenMapper map(v);
    std::vector<std::uint16_t> values;
    QImage image(t, t, QImage::Format_ARGB32);
    p.save();
    for (std::int64_t r = r0; r <= r1; ++r) {
        for (std::int64_t c = c0; c <= c1; ++c) {
            if (!canvas.tileValues({c, r}, values)) continue;
            for (int y = 0; y < t; ++y) {
                auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < t; ++x) {
                    const std::uint16_t s = values[static_cast<std::size_t>(y * t + x)];
                    const int grey = std::min<int>(s, 32767) * 255 / 32767;
                    row[x] = s ? qRgba(grey, grey, grey, 255) : qRgba(0, 0, 0, 0);
                }
            }
            // Cell (x, y) of the tile lies at east (c t + x) cell, north -(r t + y) cell.
            const double east = static_cast<double>(c * t) * cell;
            const double north = -static_cast<double>(r * t) * cell;
            const ScreenPoint o = map(east, north);
            const ScreenPoint ex = map(east + cell, north);
            const ScreenPoint ny = map(east, north - cell);
            p.setTransform(QTransform(ex.x - o.x, ex.y - o.y, ny.x - o.x, ny.y - o.y, o.x, o.y));
            p.drawImage(QPointF(0, 0), image);
        }
    }
    p.restore();
}

// Each target as a small red ring with a cross at its marked point and its
// name beside it; marks far outside the window are skipped.
void drawTargets(QPainter& p, const NaviModel& m) {
    const ViewState& v = m.view();
    const ScreenMapper map(v);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const QColor mark(220, 0, 0);
    for (const MapTarget& t : m.targets()) {
        const ScreenPoint at = map(t.at.east, t.at.north);
        if (!(at.x > -200.0 && at.y > -50.0 && at.x < v.width + 50.0 && at.y < v.height + 50.0))
            continue;
        const QPointF c = q(at);
        p.setPen(QPen(mark, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 4.0, 4.0);
        p.drawLine(c + QPointF(-7, 0), c + QPointF(7, 0));
        p.drawLine(c + QPointF(0, -7), c + QPointF(0, 7));
        drawLabel(p, c + QPointF(8, -6), QString::fromStdString(t.name), mark);
    }
}

// The speed read-out ("ShipSpeed:5.00 knot"); the Chinese interface names the
// caption and the units in Chinese.
QString shownSpeed(double knots, int unit, bool english) {
    const QString text = QString::fromStdString(speedText(knots, unit));
    if (english) return text;
    QString chinese = text;
    chinese.replace(QStringLiteral("ShipSpeed:"), QString::fromUtf8("船速："));
    chinese.replace(QStringLiteral(" knot"), QString::fromUtf8(" 节"));
    chinese.replace(QStringLiteral(" km/h"), QString::fromUtf8(" 公里/小时"));
    return chinese;
}

} // namespace

QImage tintedBoat(const QImage& boat, int bgr) {
    if (boat.isNull()) return {};
    QImage out = boat.convertToFormat(QImage::Format_ARGB32);
    const QColor c = fromBgr(bgr);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb px = row[x];
            // Pure white parts of the symbol take the vessel colour.
            if (qAlpha(px) > 0 && qRed(px) == 255 && qGreen(px) == 255 && qBlue(px) == 255)
                row[x] = qRgba(c.red(), c.green(), c.blue(), qAlpha(px));
        }
    }
    return out;
}

void paintNaviMap(QPainter& p, NaviModel& m, const NaviPaintExtras& extras) {
    ViewState& v = m.view();
    const app::NaviSettings& s = m.settings();
    p.fillRect(QRect(0, 0, v.width, v.height), fromBgr(s.viewBkColor));
    if (v.width <= 0 || v.height <= 0) return;
    const std::optional<position::TrackPoint> last = m.lastTrackPoint();
    // Follow first, so the frame shows the vessel where the mode wants it.
    if (m.showTrack && last) applyFollow(v, {last->east, last->north}, last->course);

    if (s.grid) drawGrid(p, v);
    if (s.compass) drawCompass(p, v);
    if (m.showMosaic) drawMosaic(p, m);
    drawPlannedLines(p, m);
    drawEditorLines(p, m, extras);
    if (s.coverLineHF) drawCoverage(p, m, true);
    if (s.coverLineLF) drawCoverage(p, m, false);
    if (s.target) drawTargets(p, m);
    if (m.showTrack && last) {
        drawKept(p, v, m.thinnedTrack(1.0), fromBgr(s.trackColor), 2);
        if (extras.boat && !extras.boat->isNull()) {
            const ScreenPoint at = gridToScreen(v, last->east, last->north);
            p.save();
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.translate(at.x, at.y);
            p.rotate(last->course + v.theta); // clockwise on the screen
            p.drawImage(QPointF(-kBoatHotX, -kBoatHotY), *extras.boat);
            p.restore();
        }
    }
    if (m.showSpeed) {
        QFont font("Arial");
        font.setPixelSize(16);
        font.setWeight(QFont::Black);
        p.setFont(font);
        p.setPen(fromBgr(s.viewNaviColor));
        p.drawText(QPointF(10, 24),
                   shownSpeed(last ? last->speed : 0.0, s.shipVelFmt, extras.english));
    }
    if (m.measureStart && m.measureEnd) {
        const ScreenPoint a = gridToScreen(v, m.measureStart->east, m.measureStart->north);
        const ScreenPoint b = gridToScreen(v, m.measureEnd->east, m.measureEnd->north);
        p.setPen(QPen(fromBgr(s.disColor), 1));
        p.drawLine(q(a), q(b));
        const double metres = std::hypot(m.measureEnd->east - m.measureStart->east,
                                         m.measureEnd->north - m.measureStart->north);
        p.drawText(q(b), QString::asprintf("    %.2f m", metres));
    }
}

} // namespace kestrova::navigation::ui

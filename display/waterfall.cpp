#include "display/waterfall.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kestrova::display {
namespace {

// 5x7 dots per glyph, bit 4 the leftmost column.
struct Glyph {
    char c;
    std::uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
};

const Glyph* glyph(char c) {
    for (const Glyph& g : kFont)
        if (g.c == c) return &g;
    return nullptr;
}

// Ceiling and floor that take a value within 1e-10 of an integer as that integer.
double ceilTolerant(double v) {
    const double r = std::round(v);
    return std::abs(v - r) < 1e-10 ? r : std::ceil(v);
}
double floorTolerant(double v) {
    const double r = std::round(v);
    return std::abs(v - r) < 1e-10 ? r : std::floor(v);
}

} // namespace

void RgbImage::resize(int w, int h) {
    width = std::max(w, 0);
    height = std::max(h, 0);
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
}

void RgbImage::fill(std::uint32_t c) {
    std::fill(pixels.begin(), pixels.end(), c);
}

void RgbImage::fillRect(int x0, int y0, int x1, int y1, std::uint32_t c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width - 1);
    y1 = std::min(y1, height - 1);
    if (y0 > y1 || x0 > x1) return;
    // One row filled, the others copied from it (the copy runs at memory speed).
    std::uint32_t* first = row(y0) + x0;
    const auto n = static_cast<std::size_t>(x1 - x0 + 1);
    std::fill(first, first + n, c);
    for (int y = y0 + 1; y <= y1; ++y)
        std::memcpy(row(y) + x0, first, n * 4);
}

void RgbImage::line(int x0, int y0, int x1, int y1, std::uint32_t c, unsigned pattern) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (unsigned step = 0;; ++step) {
        if (pattern & (1u << (step % 32))) set(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

int RgbImage::text(int x, int y, const std::string& s, int scale, std::uint32_t c) {
    scale = std::max(scale, 1);
    int cx = x;
    for (char ch : s) {
        if (const Glyph* g = glyph(ch)) {
            for (int r = 0; r < 7; ++r)
                for (int b = 0; b < 5; ++b)
                    if (g->rows[r] & (0x10 >> b))
                        fillRect(cx + b * scale, y + r * scale, cx + b * scale + scale - 1,
                                 y + r * scale + scale - 1, c);
        }
        cx += 6 * scale;
    }
    return textWidth(s, scale);
}

ViewLayout computeLayout(int clientWidth, int clientHeight) {
    ViewLayout l;
    l.width = std::max(clientWidth, 0);
    l.height = std::max(clientHeight, 0);
    l.centre = l.width / 2;
    l.portWidth = l.centre + 1;
    l.starboardWidth = l.width - l.centre + 1;
    if (l.portWidth == 0 || l.portWidth >= 4098) l.portWidth = 1;
    if (l.starboardWidth == 0 || l.starboardWidth >= 4098) l.starboardWidth = 1;
    l.waterfallHeight = std::max(l.height - ViewLayout::kWaterfallTop, 0);
    return l;
}

std::vector<double> rangeTicks(double r0, double r1, int halfPixels) {
    std::vector<double> ticks;
    const int n = std::min(halfPixels / 100, 10);
    if (n < 1 || !(r1 - r0 >= 1e-10) || !std::isfinite(r1 - r0)) return ticks;
    const double d = (r1 - r0) / n;
    const double e = ceilTolerant(std::log10(d));
    const double m = d / std::pow(10.0, e);
    const double factor = m < 0.15 ? 0.1 : m < 0.35 ? 0.2 : m < 0.75 ? 0.5 : 1.0;
    const double step = std::pow(10.0, e) * factor;
    const double first = ceilTolerant(r0 / step) * step;
    const double last = floorTolerant(r1 / step) * step;
    const double count = std::round((last - first) / step) + 1;
    for (int i = 0; i < count && i < 1000; ++i)
        ticks.push_back(first + i * step);
    return ticks;
}

std::string tickLabel(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::uint32_t FullScale::update(std::span<const std::uint32_t> port,
                                std::span<const std::uint32_t> starboard, double fs, double c,
                                const FullScaleSettings& s) {
    if (c == 0.0) c = 1500.0;
    const double firstD = std::floor(s.blindMeter * 2.0 / c * fs);
    const std::size_t first =
        firstD > 0 && std::isfinite(firstD) ? static_cast<std::size_t>(std::min(firstD, 1e9)) : 0;
    std::uint32_t peak = 1;
    for (auto side : {port, starboard})
        for (std::size_t i = first; i < side.size(); ++i)
            peak = std::max(peak, side[i]);
    if (!have_) {
        level_ = peak;
        have_ = true;
    } else {
        level_ = static_cast<std::uint64_t>(
            std::floor(static_cast<double>(level_) * s.oldScale + peak * s.newScale));
    }
    const double f = s.useScale > 0 ? std::floor(static_cast<double>(level_) / s.useScale) : 1.0;
    value_ = static_cast<std::uint32_t>(std::clamp(f, 1.0, 4294967295.0));
    return value_;
}

void amplitudeTrace(std::span<const std::uint32_t> samples, int columns, std::uint32_t fullScale,
                    std::vector<int>& x, std::vector<int>& height) {
    x.clear();
    height.clear();
    if (columns <= 0 || samples.empty()) return;
    const std::uint64_t f = std::max<std::uint32_t>(fullScale, 1);
    const std::uint64_t mult = (std::uint64_t{47} << 32) / f;
    auto h = [mult](std::uint32_t v) {
        const unsigned __int128 p = static_cast<unsigned __int128>(v) * mult;
        return static_cast<int>(std::min<unsigned __int128>(p >> 32, 47));
    };
    const std::size_t n = samples.size();
    const auto cols = static_cast<std::size_t>(std::min(columns, 1920));
    if (n > cols) {
        for (std::size_t col = 0; col < cols; ++col) {
            const std::size_t from = col * n / cols, to = (col + 1) * n / cols;
            std::uint32_t v = 0;
            for (std::size_t i = from; i < to; ++i)
                v = std::max(v, samples[i]);
            x.push_back(static_cast<int>(col));
            height.push_back(h(v));
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            x.push_back(static_cast<int>(std::min(i * cols / n, cols - 1)));
            height.push_back(h(samples[i]));
        }
    }
}

double slantUnderPointer(int x, int width, const DataWindow& w, double c, double fs) {
    const int h = std::abs(width) / 2;
    if (h <= 0 || !(fs > 0)) return 0.0;
    const double per = static_cast<double>(w.width) / h;
    const double samples = x > h ? per * (x - (h - 1)) : per * (h - x);
    return (w.left + std::floor(samples)) * c * 0.5 / fs;
}

std::string slantText(double metres, bool english) {
    char text[64];
    std::snprintf(text, sizeof text, english ? "Slant:%0.2f m " : "斜距:%0.2f m ", metres);
    return text;
}

bool applyZoom(DataWindow& window, const ZoomDrag& drag, int waterfallWidth, int waterfallHeight,
               std::uint32_t samplesPerSide, bool& atMinimumWidth, bool& atMinimumHeight) {
    if (drag.leftUpward) return false;
    const int h = std::abs(waterfallWidth) / 2;
    const int bigH = waterfallHeight;
    if (h <= 0 || bigH <= 0) return false;
    const int xa = std::min(drag.x0, drag.x1), xb = std::max(drag.x0, drag.x1);
    const int ya = std::max(std::min(drag.y0, drag.y1), 0);
    const int yb = std::min(std::max(drag.y0, drag.y1), bigH);
    if (xb - xa <= 10 || yb - ya <= 10) return false;
    // Columns of one half, counted from the centre outward.
    int c0, c1;
    if (xb <= h) {
        c0 = h - xb;
        c1 = h - xa;
    } else if (xa >= h) {
        c0 = xa - h;
        c1 = xb - h;
    } else if (h - xa >= xb - h) {
        c0 = 0;
        c1 = h - xa;
    } else {
        c0 = 0;
        c1 = xb - h;
    }
    c1 = std::min(c1, h);
    if (c1 - c0 <= 10) return false;

    auto narrow = [](std::int64_t origin, std::int64_t extent, int from, int to, int pixels) {
        const std::int64_t a =
            origin +
            static_cast<std::int64_t>(std::floor(static_cast<double>(from) / pixels * extent));
        const std::int64_t b = origin + static_cast<std::int64_t>(
                                            std::floor(static_cast<double>(to) / pixels * extent));
        return std::pair{a, b};
    };
    auto limit = [](std::int64_t& a, std::int64_t& b, std::int64_t minimum, std::int64_t oldA,
                    std::int64_t oldB, bool& atMinimum, std::int64_t total) {
        if (b - a <= minimum) {
            if (atMinimum) {
                a = oldA;
                b = oldB;
            } else {
                const std::int64_t mid = (a + b) / 2;
                a = mid - minimum / 2;
                b = a + minimum;
            }
            atMinimum = true;
        } else {
            atMinimum = false;
        }
        if (a < 0) {
            b -= a;
            a = 0;
        }
        if (b > total) {
            a = std::max<std::int64_t>(a - (b - total), 0);
            b = total;
        }
    };
    auto [l, r] = narrow(window.left, window.width, c0, c1, h);
    auto [t, b] = narrow(window.top, window.height, ya, yb, bigH);
    limit(l, r, h / 5, window.left, std::int64_t{window.left} + window.width, atMinimumWidth,
          samplesPerSide);
    limit(t, b, bigH / 5, window.top, std::int64_t{window.top} + window.height, atMinimumHeight,
          bigH);
    window.left = static_cast<std::uint32_t>(l);
    window.width = static_cast<std::uint32_t>(std::max<std::int64_t>(r - l, 1));
    window.top = static_cast<std::uint32_t>(t);
    window.height = static_cast<std::uint32_t>(std::max<std::int64_t>(b - t, 1));
    return true;
}

Waterfall::Waterfall(ViewPipeline& pipeline)
    : pipeline_(pipeline), label_(pipeline.frequency() == Frequency::HF ? "HF" : "LF") {
    layout(0, 0);
}

void Waterfall::layout(int clientWidth, int clientHeight) {
    layout_ = computeLayout(clientWidth, clientHeight);
    const auto stride = static_cast<std::size_t>(layout_.rowWidth());
    rows_.assign(stride * HistoryRing::kLines, 0);
    values_.assign(stride * HistoryRing::kLines, 0);
    ringRows_ = layout_.waterfallHeight;
    bitmapRing_.resize(layout_.rowWidth(), ringRows_);
    screenRing_.resize(layout_.width, ringRows_);
    blankRow_.assign(static_cast<std::size_t>(layout_.width), 0u);
    if (layout_.width > 0) blankRow_[static_cast<std::size_t>(layout_.centre)] = kScaleColour;
    clearRings();
    strips_.resize(layout_.width, std::min(layout_.height, ViewLayout::kWaterfallTop));
    scaleShown_ = false;
    // The full image and the plain bitmap are made only when asked for.
    composed_ = RgbImage{};
    bitmap_ = RgbImage{};
    passDone_ = false;
    stripsValid_ = composedValid_ = bitmapValid_ = false;
    bottomColumn_[0] = layout_.portWidth + 1;
    bottomColumn_[1] = layout_.starboardWidth + 1;
}

void Waterfall::clearRings() {
    bitmapRing_.fill(0);
    if (layout_.width > 0)
        for (int y = 0; y < ringRows_; ++y)
            std::copy(blankRow_.begin(), blankRow_.end(), screenRing_.row(y));
    head_ = 0;
}

void Waterfall::screenRow(const std::uint32_t* from, std::uint32_t* to) const {
    const ViewLayout& l = layout_;
    if (l.width <= 0) return;
    // The port half mirrored so that both halves start at the centre.
    const int portCopy = std::min(l.portWidth, l.centre + 1);
    const int starboardCopy = std::max(std::min(l.starboardWidth, l.width - l.centre), 0);
    std::uint32_t* centre = to + l.centre;
    std::fill(to, centre - portCopy + 1, 0u);
    for (int i = 0; i < portCopy; ++i)
        centre[-i] = from[i];
    std::memcpy(centre, from + (l.portWidth - 1), static_cast<std::size_t>(starboardCopy) * 4);
    std::fill(centre + starboardCopy, to + l.width, 0u);
    *centre = kScaleColour;
}

void Waterfall::buildRow(const HistoryRing& ring, std::uint32_t line, std::uint32_t row,
                         std::uint64_t k, bool bottomMarks) {
    if (row >= HistoryRing::kLines) return;
    bottomOn_ = bottomMarks;
    const DataWindow& w = pipeline_.dataWindow();
    const auto stride = static_cast<std::size_t>(layout_.rowWidth());
    std::uint32_t* pixels = rows_.data() + row * stride;
    std::uint16_t* values = values_.data() + row * stride;
    const double spPort = static_cast<double>(w.width) / layout_.portWidth;

    auto half = [&](std::span<const std::uint16_t> samples, std::uint32_t count, int columns,
                    std::uint32_t* px, std::uint16_t* val) {
        const std::size_t have = std::min<std::size_t>(count, samples.size());
        auto sample = [&](std::uint64_t i) -> std::uint16_t {
            return i < have ? samples[static_cast<std::size_t>(i)] : 0;
        };
        const double sp = static_cast<double>(w.width) / columns;
        std::uint64_t prev = 0;
        for (int x = 0; x < columns; ++x) {
            const auto e = static_cast<std::uint64_t>(std::floor(x * sp));
            std::uint16_t v;
            if (e <= prev) {
                v = sample(w.left + prev);
            } else {
                v = 0;
                for (std::uint64_t i = w.left + prev + 1; i <= w.left + e; ++i)
                    v = std::max(v, sample(i));
            }
            prev = e;
            val[x] = v;
            px[x] = palette_.colour(v, k);
        }
    };
    half(ring.port(line), ring.portCount[line], layout_.portWidth, pixels, values);
    const std::size_t sb = static_cast<std::size_t>(layout_.portWidth) - 1;
    half(ring.starboard(line), ring.starboardCount[line], layout_.starboardWidth, pixels + sb,
         values + sb);

    if (!bottomMarks) return;
    double s = ring.bottomSample[line];
    if (pipeline_.shared().settings.bottom.source == bottom_source::kManual)
        s = std::floor(pipeline_.newestSampleRate() *
                       pipeline_.shared().settings.bottom.manualAltitude * 2.0 /
                       pipeline_.soundSpeed());
    const int widths[2] = {layout_.portWidth, layout_.starboardWidth};
    for (int side = 0; side < 2; ++side) {
        if (s >= w.left && s <= static_cast<double>(w.left) + w.width && spPort > 0) {
            const auto col = static_cast<int>(std::floor(std::floor(s - w.left) / spPort));
            bottomColumn_[side] = col;
            if (col < widths[side]) (side == 0 ? pixels : pixels + sb)[col] = kBottomMark;
        } else {
            bottomColumn_[side] = widths[side] + 1;
        }
    }
}

void Waterfall::finishPass(const PassResult& result) {
    // The full-scale number moves once per new batch, not on redraws.
    if (result.live)
        fullScale_.update(pipeline_.latestPort(), pipeline_.latestStarboard(),
                          pipeline_.newestSampleRate(), pipeline_.soundSpeed(), fullScaleSettings_);
    const int rows = std::min({static_cast<int>(std::min<std::uint32_t>(result.linesCovered,
                                                                        HistoryRing::kLines)),
                               ringRows_});
    const auto stride = static_cast<std::size_t>(layout_.rowWidth());
    if (result.redraw) clearRings();
    // The picture moves down by the new rows: only where its top lies in the ring changes ...
    if (result.live && rows > 0 && rows < ringRows_)
        head_ = (head_ + static_cast<std::uint64_t>(ringRows_ - rows)) %
                static_cast<std::uint64_t>(ringRows_);
    // ... and the new rows take the places of the oldest.
    for (int r = 0; r < rows; ++r) {
        const std::uint32_t* from = rows_.data() + static_cast<std::size_t>(r) * stride;
        const std::size_t at = ringRow(static_cast<std::uint64_t>(r));
        std::memcpy(bitmapRing_.row(static_cast<int>(at)), from, stride * 4);
        screenRow(from, screenRing_.row(static_cast<int>(at)));
    }
    passDone_ = true;
    bitmapValid_ = false;
    compose();
}

void Waterfall::compose() {
    const ViewLayout& l = layout_;
    if (l.width <= 0 || l.height <= 0) return;
    Overlay& o = overlay_;
    const DataWindow& w = pipeline_.dataWindow();
    const double fs = pipeline_.newestSampleRate();
    const double c = pipeline_.soundSpeed();
    o.ticks.clear();
    o.rangeKnown = fs > 0;
    if (o.rangeKnown) {
        o.r0 = w.left * c * 0.5 / fs;
        o.r1 = (static_cast<double>(w.left) + w.width) * c * 0.5 / fs;
        o.ticks = rangeTicks(o.r0, o.r1, l.width / 2);
    }
    o.fullScale = fullScale_.value();
    for (int side = 0; side < 2; ++side) {
        const auto samples = side == 0 ? pipeline_.latestPort() : pipeline_.latestStarboard();
        amplitudeTrace(samples, side == 0 ? l.portWidth : l.starboardWidth, o.fullScale,
                       o.traceX[static_cast<std::size_t>(side)],
                       o.traceH[static_cast<std::size_t>(side)]);
    }
    o.pen = tracePen();
    o.label = labelShown_ && labelInImage_ && !label_.empty();
    o.fullScaleTextScale = std::max(1, fullScaleSettings_.disSize / 7);
    o.bottomMarks = bottomOn_;
    o.bottomColumn[0] = bottomColumn_[0];
    o.bottomColumn[1] = bottomColumn_[1];
    o.windowTop = w.top;
    o.windowRows = w.height > 0 ? w.height : static_cast<std::uint32_t>(l.waterfallHeight);
    stripsValid_ = composedValid_ = false;
}

void Waterfall::drawScale() const {
    const ViewLayout& l = layout_;
    const Overlay& o = overlay_;
    strips_.fillRect(0, ViewLayout::kScaleTop, l.width - 1, ViewLayout::kScaleBottom, kScaleColour);
    strips_.line(l.centre, ViewLayout::kScaleTop, l.centre, ViewLayout::kScaleBottom, 0);
    if (!o.rangeKnown || o.ticks.size() >= 49) return;
    const int scale = 2;
    const int textY = ViewLayout::kScaleTop + 3;
    const int half = l.width / 2;
    int nextFreeRight = l.centre; // starboard labels grow rightward
    int nextFreeLeft = l.centre;  // port labels grow leftward
    const int unitRoom = 15;
    for (double t : o.ticks) {
        const auto offset = static_cast<int>(std::floor((t - o.r0) / (o.r1 - o.r0) * half));
        strips_.line(l.centre + offset, ViewLayout::kScaleTop, l.centre + offset,
                     ViewLayout::kScaleBottom, 0);
        strips_.line(l.centre - offset, ViewLayout::kScaleTop, l.centre - offset,
                     ViewLayout::kScaleBottom, 0);
        const std::string label = tickLabel(t);
        const int tw = RgbImage::textWidth(label, scale);
        const int sx = l.centre + offset + 2;
        if (sx >= nextFreeRight && sx + tw < l.width - unitRoom) {
            strips_.text(sx, textY, label, scale, 0);
            nextFreeRight = sx + tw + 4;
        }
        const int px = l.centre - offset - 2 - tw;
        if (px + tw <= nextFreeLeft && px >= 0) {
            strips_.text(px, textY, label, scale, 0);
            nextFreeLeft = px - 4;
        }
    }
    strips_.text(l.width - unitRoom + 2, textY, "m", scale, 0);
}

void Waterfall::drawAmplitude() const {
    const ViewLayout& l = layout_;
    const Overlay& o = overlay_;
    const int bottom = ViewLayout::kAmplitudeBottom;
    for (std::size_t side = 0; side < 2; ++side) {
        const std::vector<int>& x = o.traceX[side];
        const std::vector<int>& h = o.traceH[side];
        const int dir = side == 0 ? -1 : 1;
        for (std::size_t i = 1; i < x.size(); ++i)
            strips_.line(l.centre + dir * x[i - 1], bottom - h[i - 1], l.centre + dir * x[i],
                         bottom - h[i], o.pen);
    }
    if (o.label) strips_.text(5, 5, label_, 5, kTextColour);
    strips_.text(l.width - 150, 5, std::to_string(o.fullScale), o.fullScaleTextScale, kTextColour);
    if (o.bottomMarks) {
        constexpr unsigned kDashDot = 0x0C3F; // dash, gap, dot, gap
        strips_.line(l.centre - o.bottomColumn[0], 0, l.centre - o.bottomColumn[0], bottom,
                     rgb(0, 255, 255), kDashDot);
        strips_.line(l.centre + o.bottomColumn[1], 0, l.centre + o.bottomColumn[1], bottom,
                     rgb(0, 255, 255), kDashDot);
    }
}

void Waterfall::drawStrips() const {
    const Overlay& o = overlay_;
    // Black behind the amplitude strip (the scale strip is filled whole when
    // drawn); anything drawn past the strips' bottom would lie under the
    // waterfall rows.
    strips_.fillRect(0, 0, layout_.width - 1, ViewLayout::kAmplitudeBottom, 0);
    // The scale strip changes only with the range shown, unless the full-scale
    // number ran over it last time.
    const bool sameScale = scaleShown_ && shown_.rangeKnown == o.rangeKnown &&
                           shown_.r0 == o.r0 && shown_.r1 == o.r1 && shown_.ticks == o.ticks;
    if (!sameScale) {
        drawScale();
        shown_.rangeKnown = o.rangeKnown;
        shown_.r0 = o.r0;
        shown_.r1 = o.r1;
        shown_.ticks = o.ticks;
    }
    drawAmplitude();
    scaleShown_ = 5 + 7 * o.fullScaleTextScale <= ViewLayout::kScaleTop;
    strips_.line(layout_.centre, 0, layout_.centre, ViewLayout::kAmplitudeBottom, kScaleColour);
    stripsValid_ = true;
}

std::uint64_t Waterfall::source(int y) const {
    // The data window's rows stretched over the strip, dropping or repeating rows.
    const auto bigH = static_cast<std::uint64_t>(layout_.waterfallHeight);
    return overlay_.windowTop + static_cast<std::uint64_t>(y) * overlay_.windowRows / bigH;
}

void Waterfall::waterfallBlocks(std::vector<ImageBlock>& out) const {
    const ViewLayout& l = layout_;
    const auto width = static_cast<std::size_t>(l.width);
    const std::size_t first = out.size(); // rows merge only with the waterfall's own
    const auto ringEnd = static_cast<std::uint64_t>(ringRows_);
    int y = 0;
    while (y < l.waterfallHeight) {
        const int top = ViewLayout::kWaterfallTop + y;
        const std::uint64_t src = source(y);
        if (src >= ringEnd) {
            // Beyond the bitmap: no data down to the bottom (the rows only go further).
            out.push_back({top, l.waterfallHeight - y, blankRow_.data(), true});
            break;
        }
        int end = y + 1;
        while (end < l.waterfallHeight && source(end) == src)
            ++end;
        const std::uint32_t* row = screenRing_.row(static_cast<int>(ringRow(src)));
        ImageBlock* last = out.size() > first ? &out.back() : nullptr;
        if (end - y == 1 && last && !last->repeated &&
            last->pixels + static_cast<std::size_t>(last->rows) * width == row)
            ++last->rows; // the next ring row: one block as long as the ring runs on
        else
            out.push_back({top, end - y, row, end - y > 1});
        y = end;
    }
}

const RgbImage& Waterfall::image() const {
    const ViewLayout& l = layout_;
    if (composed_.width != l.width || composed_.height != l.height) {
        composed_.resize(l.width, l.height);
        composedValid_ = false;
    }
    // Black from a layout until a pass has drawn into it.
    if (!passDone_ || composedValid_ || l.width <= 0 || l.height <= 0) return composed_;
    // The same blocks the window paints, copied into one image.
    const ImageBlocks b = blocks();
    const auto width = static_cast<std::size_t>(l.width);
    for (const ImageBlock& block : b.blocks)
        for (int r = 0; r < block.rows; ++r)
            std::memcpy(composed_.row(block.y + r),
                        block.repeated ? block.pixels
                                       : block.pixels + static_cast<std::size_t>(r) * width,
                        width * 4);
    composedValid_ = true;
    return composed_;
}

ImageBlocks Waterfall::blocks() const {
    const ViewLayout& l = layout_;
    ImageBlocks b;
    b.width = l.width;
    b.height = l.height;
    if (!passDone_ || l.width <= 0 || l.height <= 0) return b;
    if (!stripsValid_) drawStrips();
    b.blocks.reserve(4);
    b.blocks.push_back({0, strips_.height, strips_.pixels.data(), false});
    waterfallBlocks(b.blocks);
    return b;
}

const RgbImage& Waterfall::waterfallBitmap() const {
    const ViewLayout& l = layout_;
    if (bitmap_.width != l.rowWidth() || bitmap_.height != ringRows_) {
        bitmap_.resize(l.rowWidth(), ringRows_);
        bitmapValid_ = false;
    }
    if (!bitmapValid_) {
        const auto stride = static_cast<std::size_t>(bitmap_.width);
        for (int y = 0; y < ringRows_; ++y)
            std::memcpy(bitmap_.row(y), bitmapRing_.row(static_cast<int>(ringRow(
                                            static_cast<std::uint64_t>(y)))),
                        stride * 4);
        bitmapValid_ = true;
    }
    return bitmap_;
}

} // namespace kestrova::display

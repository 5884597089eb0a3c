#pragma once
// The picture of one waterfall view over plain 32-bit RGB images, toolkit-free:
// layout of the client area, pixel rows built from the history lines through
// the palette (largest sample per pixel over the data window), the waterfall
// rows kept in a ring, the range scale and its ticks, the amplitude strip with the
// latest ping's traces and the full-scale number, the composition of the
// window image, zoom and the slant-range readout.

#include "display/palette.h"
#include "display/view_pipeline.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::display {

// Pixels 0x00RRGGBB, row after row.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    void resize(int w, int h);
    void fill(std::uint32_t c);
    std::uint32_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
    const std::uint32_t* row(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * width;
    }
    std::uint32_t at(int x, int y) const { return row(y)[x]; }
    void set(int x, int y, std::uint32_t c) {
        if (x >= 0 && y >= 0 && x < width && y < height) row(y)[x] = c;
    }
    void fillRect(int x0, int y0, int x1, int y1, std::uint32_t c); // inclusive
    void line(int x0, int y0, int x1, int y1, std::uint32_t c, unsigned pattern = ~0u);
    // Text in the built-in 5x7 font, `scale` pixels per font dot; returns the width.
    int text(int x, int y, const std::string& s, int scale, std::uint32_t c);
    static int textWidth(const std::string& s, int scale) {
        return s.empty() ? 0 : static_cast<int>(s.size()) * 6 * scale - scale;
    }
};

// Client area split into the amplitude strip, the scale strip and the waterfall.
struct ViewLayout {
    static constexpr int kAmplitudeBottom = 50;
    static constexpr int kScaleTop = 51;
    static constexpr int kScaleBottom = 70;
    static constexpr int kWaterfallTop = 71;

    int width = 0;          // client width (right edge, exclusive)
    int height = 0;         // client height
    int centre = 0;         // C
    int portWidth = 1;      // Wp
    int starboardWidth = 1; // Ws
    int waterfallHeight = 0;
    // Columns of one pixel row: the port half, then the starboard half sharing
    // the centre column.
    int rowWidth() const { return portWidth + starboardWidth - 1; }
};
ViewLayout computeLayout(int clientWidth, int clientHeight);

// Tick values of the range scale for the window R0 .. R1 shown over a half of
// `halfPixels` pixels (empty when none).
std::vector<double> rangeTicks(double r0, double r1, int halfPixels);
// "%.3f" without trailing zeros and point: 2.5, 10.
std::string tickLabel(double value);

// The "Max" section of SysCfg.ini.
struct FullScaleSettings {
    double blindMeter = 3.5;
    double newScale = 0.05;
    double oldScale = 0.95;
    double useScale = 0.7;
    int disSize = 20;
};

// The full-scale number of the amplitude strip, a running level of the peaks.
class FullScale {
  public:
    std::uint32_t update(std::span<const std::uint32_t> port,
                         std::span<const std::uint32_t> starboard, double fs, double c,
                         const FullScaleSettings& s);
    void reset() { have_ = false; }
    std::uint32_t value() const { return value_; }

  private:
    bool have_ = false;
    std::uint64_t level_ = 0;
    std::uint32_t value_ = 1;
};

// Heights (0 .. 47) of an amplitude trace over a half of `columns` pixels:
// one point per column (the largest sample on it) when the samples outnumber
// the columns, else one per sample spread over the half. `x` gets the column
// of each point counted from the centre outward.
void amplitudeTrace(std::span<const std::uint32_t> samples, int columns, std::uint32_t fullScale,
                    std::vector<int>& x, std::vector<int>& height);

// Slant range in metres under pointer column x of a waterfall `width` wide.
double slantUnderPointer(int x, int width, const DataWindow& w, double c, double fs);
std::string slantText(double metres, bool english);

// A finished zoom drag in waterfall coordinates (x from the left edge, y from
// the waterfall top).
struct ZoomDrag {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool leftUpward = false; // the pointer went above the waterfall meanwhile
};
// Applies the drag to the window; false when it changes nothing.
bool applyZoom(DataWindow& window, const ZoomDrag& drag, int waterfallWidth, int waterfallHeight,
               std::uint32_t samplesPerSide, bool& atMinimumWidth, bool& atMinimumHeight);

// Rows of the window image drawn by one copy: `rows` rows that lie one after
// the other in memory, `width` pixels apart, put at row `y`; or, repeated,
// one row of pixels put on each of the `rows` rows (a zoomed view's lines).
struct ImageBlock {
    int y = 0;
    int rows = 0;
    const std::uint32_t* pixels = nullptr;
    bool repeated = false;
};
struct ImageBlocks {
    int width = 0; // of the window image
    int height = 0;
    std::vector<ImageBlock> blocks; // top to bottom; none: the image is black
};

// One view's picture; the pipeline's pass target. The waterfall rows are kept
// in a ring, already in the form they take on screen, so that a new row costs
// its own width whatever the size of the window; the window image is put
// together from the ring when it is shown.
class Waterfall : public PassTarget {
  public:
    static constexpr std::uint32_t kBottomMark = 0x0000FFFF;
    static constexpr std::uint32_t kScaleColour = rgb(0xC8, 0xD5, 0xE3);
    static constexpr std::uint32_t kTextColour = rgb(0x0A, 0xAA, 0xFB);
    static constexpr std::uint32_t kTracePen = rgb(255, 0, 0);
    static constexpr std::uint32_t kTracePenRunning = rgb(255, 128, 0);

    explicit Waterfall(ViewPipeline& pipeline);

    void setPalette(const Palette& p) { palette_ = p; }
    Palette& palette() { return palette_; }
    void setFullScaleSettings(const FullScaleSettings& s) { fullScaleSettings_ = s; }
    void setLabel(std::string label) { label_ = std::move(label); }
    const std::string& label() const { return label_; }
    // The channel label is left out for the HF view of a one-frequency sonar.
    void setLabelShown(bool shown) { labelShown_ = shown; }
    bool labelShown() const { return labelShown_; }
    // A window that draws the label itself (in the interface's language and
    // font) keeps the built-in font's label out of the image.
    void setLabelInImage(bool inImage) { labelInImage_ = inImage; }
    // Traces are orange instead of red while the sonar state flag is set.
    void setSonarStateFlag(bool on) { sonarStateFlag_ = on; }
    std::uint32_t tracePen() const { return sonarStateFlag_ ? kTracePenRunning : kTracePen; }

    // New client size: new bitmaps (black), new layout.
    void layout(int clientWidth, int clientHeight);
    const ViewLayout& viewLayout() const { return layout_; }

    // PassTarget
    std::int64_t waterfallRows() const override { return layout_.waterfallHeight; }
    void buildRow(const HistoryRing& ring, std::uint32_t line, std::uint32_t row,
                  std::uint64_t colourScale, bool bottomMarks) override;
    void finishPass(const PassResult& result) override;

    // The window image after the last pass (put together on the first call
    // after it: snapshots, captures, tests).
    const RgbImage& image() const;
    // The same picture as blocks of rows straight from the ring, without
    // copying the waterfall first (what the window paints): the strips and,
    // showing the lines one to one, at most two blocks; zoomed, a block per line.
    ImageBlocks blocks() const;
    // The waterfall bitmap, newest row on top, port half unmirrored (on demand).
    const RgbImage& waterfallBitmap() const;
    // Pixel rows of the last pass and the display value behind each pixel.
    const std::uint32_t* pixelRow(std::uint32_t row) const {
        return rows_.data() + std::size_t{row} * static_cast<std::size_t>(layout_.rowWidth());
    }
    const std::uint16_t* valueRow(std::uint32_t row) const {
        return values_.data() + std::size_t{row} * static_cast<std::size_t>(layout_.rowWidth());
    }
    int portBottomColumn() const { return bottomColumn_[0]; }
    int starboardBottomColumn() const { return bottomColumn_[1]; }
    std::uint32_t fullScale() const { return fullScale_.value(); }
    const std::vector<double>& ticks() const { return overlay_.ticks; }
    // Takes the scale, traces and marks as they stand now for the next showing.
    void compose();

  private:
    // What the strips above the waterfall show, taken at the end of a pass.
    struct Overlay {
        bool rangeKnown = false;   // a ping with a sample rate has been drawn
        double r0 = 0.0, r1 = 0.0; // slant range across the data window
        std::vector<double> ticks;
        std::array<std::vector<int>, 2> traceX, traceH; // port, starboard
        std::uint32_t fullScale = 1;
        std::uint32_t pen = kTracePen;
        int fullScaleTextScale = 1;
        bool label = false;
        bool bottomMarks = false;
        int bottomColumn[2] = {0, 0};
        std::uint32_t windowTop = 0; // the data window's rows down the waterfall
        std::uint32_t windowRows = 0;
    };
    void drawScale() const;
    void drawAmplitude() const;
    void drawStrips() const;
    // One bitmap row as the waterfall strip shows it.
    void screenRow(const std::uint32_t* from, std::uint32_t* to) const;
    void clearRings();
    // Ring row of bitmap row i (0 the newest).
    std::size_t ringRow(std::uint64_t i) const {
        return static_cast<std::size_t>((head_ + i) % static_cast<std::uint64_t>(ringRows_));
    }
    // Screen row y of the waterfall strip shows bitmap row source(y) (or
    // nothing when that lies beyond the bitmap).
    std::uint64_t source(int y) const;
    void waterfallBlocks(std::vector<ImageBlock>& out) const;

    ViewPipeline& pipeline_;
    Palette palette_;
    FullScaleSettings fullScaleSettings_;
    FullScale fullScale_;
    std::string label_;
    bool sonarStateFlag_ = false;
    bool labelShown_ = true;
    bool labelInImage_ = true;
    bool bottomOn_ = false;

    ViewLayout layout_;
    std::vector<std::uint32_t> rows_;   // 1080 pixel rows
    std::vector<std::uint16_t> values_; // display value per pixel
    // The waterfall bitmap in a ring of rows: as built (row width) and as
    // shown (client width, port half mirrored, centre line drawn).
    RgbImage bitmapRing_;
    RgbImage screenRing_;
    std::vector<std::uint32_t> blankRow_; // a screen row of no data
    int ringRows_ = 0;
    std::uint64_t head_ = 0; // ring row of the newest bitmap row
    bool passDone_ = false;  // the image stays black from a layout to its first pass
    int bottomColumn_[2] = {0, 0};
    Overlay overlay_;

    // Put together when asked for.
    mutable RgbImage strips_; // client rows above the waterfall
    mutable Overlay shown_;   // the range its scale strip shows
    mutable bool scaleShown_ = false;
    mutable RgbImage composed_;
    mutable RgbImage bitmap_;
    mutable bool stripsValid_ = false;
    mutable bool composedValid_ = false;
    mutable bool bitmapValid_ = false;
};

} // namespace kestrova::display

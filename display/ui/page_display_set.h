#pragma once
// The "Display settings" page of the control panel: for "High Frequency" and
// "Low  Frequency" the waterfall strength slider, the "Color" list with the
// four palettes and the "Invert" box with the palette's preview beside it.
// All rules live in DisplaySetPage; this widget mirrors its state.

#include "display/display_set_page.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QSlider;

namespace kestrova::display::ui {

// One vertical 1-pixel line per second palette entry, 511 pixels wide when
// the pane gives it the room; a narrower pane gets the palette squeezed,
// rather than the waterfalls losing 511 pixels to it.
class PalettePreview : public QWidget {
    Q_OBJECT
  public:
    explicit PalettePreview(QWidget* parent = nullptr);
    void setColours(std::vector<std::uint32_t> colours);
    const std::vector<std::uint32_t>& colours() const { return colours_; }
    QSize sizeHint() const override { return {160, 16}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<std::uint32_t> colours_;
};

class CPageDisplaySet : public QWidget {
    Q_OBJECT
  public:
    CPageDisplaySet(app::Configuration& config, DisplayShared& shared, ControlPageHost& host,
                    QWidget* parent = nullptr);
    ~CPageDisplaySet() override;

    // Opening again: a project's settings were loaded.
    void reopen();
    // Message 0x608.
    void deviceIdentified();

    DisplaySetPage& rules() { return rules_; }
    QSlider* strengthSlider(Frequency f) const { return of(f).strength; }
    QLabel* strengthLabel(Frequency f) const { return of(f).value; }
    QComboBox* paletteList(Frequency f) const { return of(f).palette; }
    QCheckBox* invertBox(Frequency f) const { return of(f).invert; }
    PalettePreview* preview(Frequency f) const { return of(f).preview; }
    QLabel* caption(Frequency f) const { return of(f).caption; }

  private:
    struct Channel {
        QLabel* caption = nullptr;
        QLabel* low = nullptr;
        QSlider* strength = nullptr;
        QLabel* high = nullptr;
        QLabel* value = nullptr;
        QLabel* colorName = nullptr;
        QComboBox* palette = nullptr;
        QCheckBox* invert = nullptr;
        PalettePreview* preview = nullptr;
    };
    const Channel& of(Frequency f) const { return channels_[f == Frequency::HF ? 0 : 1]; }
    void build(Frequency f, const QString& caption, QGridLayout* grid, int line);
    void sync();

    app::Configuration& config_;
    DisplaySetPage rules_;
    std::array<Channel, 2> channels_;
    int observerId_ = 0;
    bool syncing_ = false;
};

} // namespace kestrova::display::ui

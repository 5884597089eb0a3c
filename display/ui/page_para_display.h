#pragma once
// The "Status information" page of the control panel: date, time and
// position of the newest fix, the towfish's attitude and sensors, the HF and
// LF ping parameters, and the altitude in large figures while bottom tracking
// is on. All rules live in StatusPage; the status display writes through it.

#include "display/status_page.h"

#include <QWidget>

#include <array>

class QGridLayout;
class QLabel;

namespace kestrova::display::ui {

class CPageParaDisplay : public QWidget {
    Q_OBJECT
  public:
    CPageParaDisplay(app::Configuration& config, const DisplayShared& shared,
                     QWidget* parent = nullptr);
    ~CPageParaDisplay() override;

    // Message 0x60A: the rows of the identified device, then 0x60F.
    void deviceIdentified();
    // Message 0x60F.
    void clear();
    // The status display's refresh.
    void update(const StatusPageInputs& in);

    StatusPage& rules() { return rules_; }
    // The readout beside a caption ("Date:", "Heading:", "Altitude(m):"; the
    // sonar rows by frequency and caption, "Ping:" ... "Absorption:").
    QLabel* readout(const QString& caption) const;
    QLabel* sonarReadout(Frequency f, const QString& caption) const;
    QLabel* sonarRowCaption(Frequency f) const { return rowCaption_[f == Frequency::HF ? 0 : 1]; }
    QLabel* altitudeFigure() const { return altitude_; }
    QLabel* altitudeCaption() const { return altitudeCaption_; }

  private:
    QLabel* addReadout(QGridLayout* grid, int line, int column, const QString& caption);
    void sync();

    app::Configuration& config_;
    StatusPage rules_;
    int observerId_ = 0;
    std::vector<std::pair<QLabel*, QLabel*>> readouts_; // caption, value
    std::array<std::vector<std::pair<QLabel*, QLabel*>>, 2> sonar_;
    std::array<QLabel*, 2> rowCaption_{};
    std::array<QWidget*, 2> rowBox_{};
    QLabel* altitudeCaption_ = nullptr;
    QLabel* altitude_ = nullptr;
};

} // namespace kestrova::display::ui

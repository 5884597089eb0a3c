#pragma once
// Draws the navigation map of a model with QPainter: the window and a
// headless picture go through this one path.

#include "navigation/navi_model.h"

#include <QImage>

class QPainter;

namespace kestrova::navigation::ui {

struct NaviPaintExtras {
    const QImage* boat = nullptr; // the vessel symbol, tinted; none draws no vessel
    // The line editor's working list and the add-point rubber band.
    const std::vector<SurveyLine>* editorLines = nullptr;
    int editorSelected = -1;
    std::optional<GridPoint> cursor;
    bool english = true; // the interface language of the speed text
};

// Paints everything in order; applies the follow mode to the model's view
// when the vessel is drawn (as the window does).
void paintNaviMap(QPainter& p, NaviModel& model, const NaviPaintExtras& extras);

// The boat image recoloured with the vessel colour (white parts take it).
QImage tintedBoat(const QImage& boat, int bgr);

// Where the boat image's antenna point lies.
constexpr int kBoatHotX = 23;
constexpr int kBoatHotY = 89;

} // namespace kestrova::navigation::ui

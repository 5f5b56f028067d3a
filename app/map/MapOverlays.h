// What the map view draws over the map: the grid of every 10 degrees, the
// squares of the places near the pointer, the listed places with their
// labels, the nearest place with its label, and the cross on the flight
// target. Where a mark lies it asks the viewport.
#pragma once

#include "app/locations/PlaceMarks.h"
#include "app/map/MapViewport.h"

#include <QFont>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QRegion>

#include <vector>

class QImage;
class QPainter;

namespace kiv {
struct TTimeZone;
}

namespace app {

// What a paint draws besides the map.
struct TViewOverlay {
    bool Highlight = false;       // places near the pointer, grid, listed places
    bool PointerInside = false;   // the pointer lies over the paint box
    bool FollowSelection = false; // the cross on the flight target
    const kiv::TTimeZone* Database = nullptr;
    std::vector<TViewPlace> Listed;
    QFont Font;
};

// One line of the grid as it lies in the view.
struct TGridLine {
    QLine Line;
    bool Major = false; // the equator and the meridians of 0 and 90 degrees
};

class TMapOverlays {
public:
    explicit TMapOverlays(const TMapViewport& view) : View(view) {}

    // Where the grid's lines of every 10 degrees fall in the view, visible or
    // not: x of each meridian, y of each parallel.
    std::vector<QPoint> GridPositions() const;
    // The grid's lines that cross the view.
    std::vector<TGridLine> GridLines() const;
    // Adds the grid's `lines` into `image` (the view's pixels), lines only,
    // in narrow bands around them.
    void AddGrid(QImage& image, const std::vector<TGridLine>& lines) const;
    // Lays `lines` (and before them the squares near the pointer when given)
    // over the view pixels of `area`, the sum saturating at white.
    void AddLayer(QPainter& target, const QRect& area, const std::vector<TGridLine>& lines,
                  const TViewOverlay* squares) const;

    // Where the squares near the pointer lie; empty when none is drawn.
    QRect NearSquaresRect(const TViewOverlay& overlay) const;
    // The pixels that the overlays following the pointer cover.
    QRegion PointerRegion(const TViewOverlay& overlay) const;

    // The listed places (labelled in detail) and the place nearest the pointer.
    void DrawPlaces(QPainter& painter, const TViewOverlay& overlay, bool detail) const;
    // The cross around the view pixel `centre`.
    static void DrawCross(QPainter& painter, QPoint centre);

private:
    void DrawGridLines(QPainter& painter, const std::vector<TGridLine>& lines,
                       const QRect& area) const;

    const TMapViewport& View;
};

} // namespace app

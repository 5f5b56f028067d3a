// The map view: a movable, zoomable section of the composed map, and the
// overlays drawn over it. It paints into any QPainter for a given paint-box
// size, zoom and offsets, so it works without a window.
#pragma once

#include "app/locations/PlaceMarks.h"
#include "kiv/KivFastDIB.h"
#include "solar/Limiter.h"

#include <QFont>
#include <QImage>
#include <QLine>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QString>

#include <cstdint>

#include <vector>

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

class TMapView {
public:
    TMapView();

    solar::TSingleLimiter OffsetX; // left edge of the visible part, map pixels
    solar::TSingleLimiter OffsetY; // top edge of the visible part, map pixels
    solar::TSingleLimiter Zoom;    // map pixels per view pixel

    // Flight target on the 1024 x 512 place grid (Y northward) and its zoom.
    float TargetX = 0;
    float TargetY = 0;
    float TargetZoom = 1;

    // The map shown (the composed day image); it must outlive its use here.
    void SetMap(const kiv::TFastDIB* map);
    // Takes up the map's pixels again after they changed.
    void RefreshMap();
    // Lets go of the buffers derived from the map (its copy in the painter's
    // format, the view image) while the view is idle; the next paint or
    // layout makes them again from the map.
    void ReleaseBuffers();
    bool HoldsBuffers() const { return !FViewImage.isNull() || !FMapImage.isNull(); }
    const kiv::TFastDIB* MapImage() const { return Map; }
    int MapW() const { return Map ? Map->Width() : 0; }
    int MapH() const { return Map ? Map->Height() : 0; }
    int PW() const { return FPW; }
    // Counts the layouts and map refreshes: what the view image shows changes
    // only with this count.
    std::uint64_t LayoutCount() const { return FLayoutCount; }
    int PH() const { return FPH; }

    // Recomputes the bounds for a paint box of pw x ph and resamples the visible
    // part of the map into the view image.
    void LayoutView(int pw, int ph);
    // Changes Zoom by delta, keeping the view's centre.
    void ZoomBy(float delta);
    // Opens all bounds wide and stores the three values; the next LayoutView clamps.
    void SetView(float offsetX, float offsetY, float zoom);
    // Stores a flight target, its zoom clamped to Zoom's range.
    void SetTarget(float x, float y, float zoom);
    // One step of the flight toward the target; false when the flight is over.
    // The caller lays out and repaints after a step that returns true.
    bool FlightStep();
    // The largest zoom at which the map still fills a view of pw x ph.
    float FillZoom(int pw, int ph) const;

    // Paint-box pixel to map pixel.
    QPointF ViewToMap(int x, int y) const;
    // A latitude and longitude to a paint-box pixel.
    QPoint PlaceToView(double latitude, double longitude) const;
    // A point of the place grid (Y northward) to a paint-box pixel.
    QPoint GridToView(float x, float y) const;

    // The map resampled at the paint box's size (top row first); after a paint
    // with the grid, the grid is added into it.
    QImage ViewImage() const;

    // Paints the view image with the overlays, as one picture of PW x PH. A
    // painter clipped to part of the view costs in proportion to that part.
    void Paint(QPainter& painter, const TViewOverlay& overlay) const;

    // The pixels that the overlays following the pointer (the places near it,
    // the nearest place's square and label) cover in a paint with `overlay`;
    // nothing else in the picture changes when only the pointer moves.
    QRegion PointerRegion(const TViewOverlay& overlay) const;

    // The map resampled into `out` for the view pixels of `part` (within the
    // view), exactly as the view image holds them without the grid.
    void ResamplePart(QImage& out, const QRect& part) const;

    // How the view samples the map, in 16.16 fixed point of map pixels: the
    // centre of view column i lies at ((OriginX + 64 i + 32) * StepX) / 64 on
    // the map, and rows alike. Two layouts whose origins differ by a whole
    // number of view pixels (64 units) sample the same map points, shifted:
    // a pan moves the kept view image instead of resampling it.
    struct TSampling {
        std::int64_t StepX = 0; // map pixels per view pixel, 16.16
        std::int64_t StepY = 0;
        std::int64_t OriginX = 0; // the view's left edge, in 1/64 view pixels
        std::int64_t OriginY = 0;
        bool Smooth = false; // bilinear; otherwise the nearest map pixel
    };
    const TSampling& Sampling() const { return FSampling; }

private:
    struct TGridLine {
        QLine Line;
        bool Major = false;
    };
    // Keeps the map rectangle the view shows and how it is sampled.
    void PlanSamples(float x0, float y0, float vw, float vh);
    // The whole view image, without the grid.
    void ResampleAll() const;
    // Writes the view pixels of `part` into `dest` at `at`.
    void SampleInto(QImage& dest, QPoint at, const QRect& part) const;
    // Calls f(piece, at) for the pieces of the view rectangle `part` and where
    // each lies in the rolled view image.
    template <class F> void ForStored(const QRect& part, F&& f) const;
    // After a layout that only moved the view by whole view pixels: shifts the
    // view image and resamples (and grids) only the strips that came into view.
    // False, with nothing changed, when the layout is not such a move.
    bool ScrollView(const TSampling& before);
    // Where the grid's lines of every 10 degrees fall in the view, visible or
    // not: x of each meridian, y of each parallel.
    std::vector<QPoint> GridPositions() const;
    std::vector<TGridLine> GridLines() const;
    void DrawGridLines(QPainter& painter, const std::vector<TGridLine>& lines,
                       const QRect& area) const;
    // The grid added into the view image, lines only, in small pieces.
    void AddGrid() const;
    // Lays `lines` (and before them the squares near the pointer when given)
    // over the view pixels of `area`, the sum saturating at white.
    void AddLayer(QPainter& target, const QRect& area, const std::vector<TGridLine>& lines,
                  const TViewOverlay* squares) const;
    QRect NearSquaresRect(const TViewOverlay& overlay) const;

    const kiv::TFastDIB* Map = nullptr;
    // The map, top row first, as the painter reads it.
    mutable QImage FMapImage;
    void ConvertMap() const;
    // Makes the buffers let go of again.
    void RestoreBuffers() const;
    int FPW = 0;
    int FPH = 0;
    QRectF FSource; // the visible map rectangle, map pixels from the top-left
    bool FSmooth = false;
    bool FHasSource = false;
    TSampling FSampling;
    // The resampled map; the grid is added into it by the first paint that
    // draws the grid and removed (by resampling again) by one that does not.
    mutable QImage FViewImage;
    mutable bool FGridAdded = false;
    // The view image holds the map as FSampling samples it (and the grid at
    // FGridPositions when added); false after the map changed.
    mutable bool FViewCurrent = false;
    // The view image is rolled: view pixel (x, y) is stored at
    // ((x + FRollX) mod PW, (y + FRollY) mod PH), so a pan only moves the roll.
    mutable int FRollX = 0;
    mutable int FRollY = 0;
    mutable std::vector<QPoint> FGridPositions;
    std::uint64_t FLayoutCount = 0;
};

} // namespace app

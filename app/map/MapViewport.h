// The map view's viewport: which part of the map a paint box of PW x PH shows
// (the offsets and the zoom with their bounds), the flight toward a target,
// and the mapping between view pixels, map pixels and places.
#pragma once

#include "kiv/KivFastDIB.h"
#include "solar/Limiter.h"

#include <QPoint>
#include <QPointF>

namespace app {

class TMapViewport {
public:
    TMapViewport();

    solar::TSingleLimiter OffsetX; // left edge of the visible part, map pixels
    solar::TSingleLimiter OffsetY; // top edge of the visible part, map pixels
    solar::TSingleLimiter Zoom;    // map pixels per view pixel

    // Flight target on the 1024 x 512 place grid (Y northward) and its zoom.
    float TargetX = 0;
    float TargetY = 0;
    float TargetZoom = 1;

    const kiv::TFastDIB* MapImage() const { return Map; }
    int MapW() const { return Map ? Map->Width() : 0; }
    int MapH() const { return Map ? Map->Height() : 0; }
    int PW() const { return FPW; }
    int PH() const { return FPH; }

    // Changes Zoom by delta, keeping the view's centre.
    void ZoomBy(float delta);
    // Opens all bounds wide and stores the three values; the next layout clamps.
    void SetView(float offsetX, float offsetY, float zoom);
    // Stores a flight target, its zoom clamped to Zoom's range.
    void SetTarget(float x, float y, float zoom);
    // The largest zoom at which the map still fills a view of pw x ph.
    float FillZoom(int pw, int ph) const;

    // Paint-box pixel to map pixel.
    QPointF ViewToMap(int x, int y) const;
    // A latitude and longitude to a paint-box pixel.
    QPoint PlaceToView(double latitude, double longitude) const;
    // A point of the place grid (Y northward) to a paint-box pixel.
    QPoint GridToView(float x, float y) const;

protected:
    // The map looked at; it must outlive its use here.
    void LookAt(const kiv::TFastDIB* map) { Map = map; }
    // Takes a paint box of pw x ph (negative sizes count as 0) and bounds the
    // zoom and offsets so that the view stays on the map. False, with the
    // bounds as they were, when the paint box or the map is empty.
    bool FitPaintBox(int pw, int ph);
    // Moves one step of the flight toward the target, unbounded; false, with
    // nothing moved, when the view has arrived.
    bool StepTowardTarget();
    // The visible part's width and height in map pixels.
    float VisibleW() const { return static_cast<float>(FPW) * Zoom.Value; }
    float VisibleH() const { return static_cast<float>(FPH) * Zoom.Value; }

private:
    const kiv::TFastDIB* Map = nullptr;
    int FPW = 0;
    int FPH = 0;
};

} // namespace app

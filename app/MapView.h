// The map view: a movable, zoomable section of the composed map, and the
// overlays drawn over it. It paints into any QPainter for a given paint-box
// size, zoom and offsets, so it works without a window.
#pragma once

#include "kiv/KivFastDIB.h"
#include "solar/Limiter.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>

#include <vector>

class QPainter;

namespace kiv {
struct TTimeZone;
}

namespace app {

// A listed place as the view marks it.
struct TViewPlace {
    QString Name;
    double Latitude = 0;
    double Longitude = 0;
};

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
    const kiv::TFastDIB* MapImage() const { return Map; }
    int MapW() const { return Map ? Map->Width() : 0; }
    int MapH() const { return Map ? Map->Height() : 0; }
    int PW() const { return FPW; }
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

    // The map resampled at the paint box's size (top row first).
    const QImage& ViewImage() const { return FViewImage; }

    // Paints the view image with the overlays, as one picture of PW x PH.
    void Paint(QPainter& painter, const TViewOverlay& overlay) const;

private:
    void Resample(float x0, float y0, float vw, float vh);

    const kiv::TFastDIB* Map = nullptr;
    QImage FMapImage; // the map, top row first, as the painter reads it
    int FPW = 0;
    int FPH = 0;
    QImage FViewImage;
    mutable QImage FLayer; // the additive overlay, reused between paints
};

} // namespace app

// The map view: a movable, zoomable section of the composed map, and the
// overlays drawn over it. It paints into any QPainter for a given paint-box
// size, zoom and offsets, so it works without a window. It ties together the
// viewport (which part of the map is shown), the resampler (the view image
// made from the map) and the overlays; it keeps the grid in the view image
// while the layout allows, and lets go of the buffers while the view is idle.
#pragma once

#include "app/locations/PlaceMarks.h"
#include "app/map/MapOverlays.h"
#include "app/map/MapResampler.h"
#include "app/map/MapViewport.h"
#include "kiv/KivFastDIB.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>

#include <cstdint>
#include <vector>

class QPainter;

namespace app {

class TMapView : public TMapViewport {
public:
    using TSampling = TMapResampler::TSampling;

    // The map shown (the composed day image); it must outlive its use here.
    void SetMap(const kiv::TFastDIB* map);
    // Takes up the map's pixels again after they changed.
    void RefreshMap();
    // Lets go of the buffers derived from the map (its copy in the painter's
    // format, the view image) while the view is idle; the next paint or
    // layout makes them again from the map.
    void ReleaseBuffers();
    bool HoldsBuffers() const { return FResampler.HoldsBuffers(); }
    // Counts the layouts and map refreshes: what the view image shows changes
    // only with this count.
    std::uint64_t LayoutCount() const { return FLayoutCount; }

    // Recomputes the bounds for a paint box of pw x ph and resamples the visible
    // part of the map into the view image.
    void LayoutView(int pw, int ph);
    // One step of the flight toward the target; false when the flight is over.
    // The caller lays out and repaints after a step that returns true.
    bool FlightStep();

    // The map resampled at the paint box's size (top row first); after a paint
    // with the grid, the grid is added into it.
    QImage ViewImage() const { return FResampler.ViewImage(); }

    // Paints the view image with the overlays, as one picture of PW x PH. A
    // painter clipped to part of the view costs in proportion to that part.
    void Paint(QPainter& painter, const TViewOverlay& overlay) const;

    // The pixels that the overlays following the pointer (the places near it,
    // the nearest place's square and label) cover in a paint with `overlay`;
    // nothing else in the picture changes when only the pointer moves.
    QRegion PointerRegion(const TViewOverlay& overlay) const {
        return TMapOverlays(*this).PointerRegion(overlay);
    }

    // The map resampled into `out` for the view pixels of `part` (within the
    // view), exactly as the view image holds them without the grid.
    void ResamplePart(QImage& out, const QRect& part) const { FResampler.ResamplePart(out, part); }

    // How the view samples the map (see TMapResampler::TSampling).
    const TSampling& Sampling() const { return FResampler.Sampling(); }

private:
    // The whole view image sampled afresh, without the grid.
    void Resample() const;
    // After a layout that only moved the view by whole view pixels: rolls the
    // view image and resamples (and grids) only the strips that came into
    // view. False, with nothing changed, when the layout is not such a move.
    bool ScrollView(const TSampling& before);
    // The grid added into the view image.
    void AddGrid() const;
    // Makes the buffers let go of again.
    void RestoreBuffers() const;

    TMapResampler FResampler;
    // The grid is added into the view image by the first paint that draws the
    // grid and removed (by resampling again) by one that does not; it lies at
    // FGridPositions.
    mutable bool FGridAdded = false;
    mutable std::vector<QPoint> FGridPositions;
    std::uint64_t FLayoutCount = 0;
};

} // namespace app

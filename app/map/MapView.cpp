#include "app/map/MapView.h"

#include <QPainter>

#include <cmath>
#include <optional>

namespace app {

namespace {

constexpr float kSmoothBelow = 0.6f; // bilinear resampling below this zoom
constexpr float kDetailBelow = 0.7f; // grid and labels below this zoom

} // namespace

void TMapView::SetMap(const kiv::TFastDIB* map) {
    LookAt(map);
    RefreshMap();
}

void TMapView::RefreshMap() {
    ++FLayoutCount;
    FResampler.MapChanged();
    FResampler.TakeMap(MapImage());
}

void TMapView::ReleaseBuffers() {
    FResampler.Release();
    FGridAdded = false;
}

void TMapView::RestoreBuffers() const {
    if (FResampler.Restore(MapImage())) {
        FGridAdded = false;
    }
}

void TMapView::Resample() const {
    FGridAdded = false;
    FResampler.ResampleAll();
}

void TMapView::LayoutView(int pw, int ph) {
    if (!FResampler.HoldsMap()) {
        FResampler.TakeMap(MapImage());
    }
    const bool fits = FitPaintBox(pw, ph);
    FResampler.Resize(PW(), PH());
    ++FLayoutCount;
    if (!fits) {
        FGridAdded = false;
        FResampler.ClearSource();
        return;
    }
    const TSampling before = FResampler.Sampling();
    const bool kept = FResampler.Current();
    // Close up, where single map pixels would show as blocks, the view is
    // smoothed (bilinear); farther out each view pixel takes its map pixel.
    FResampler.Plan(OffsetX.Value, OffsetY.Value, VisibleW(), VisibleH(), MapW(), MapH(),
                    Zoom.Value < kSmoothBelow);
    if (!(kept && ScrollView(before))) {
        Resample();
    }
}

bool TMapView::ScrollView(const TSampling& before) {
    const std::optional<QPoint> move = FResampler.WholeMove(before);
    if (!move) {
        return false;
    }
    const TMapOverlays overlays(*this);
    std::vector<TGridLine> lines;
    if (FGridAdded) {
        // The grid lines kept in the image must lie where this layout draws them.
        const std::vector<QPoint> grid = overlays.GridPositions();
        if (grid.size() != FGridPositions.size()) {
            return false;
        }
        for (std::size_t k = 0; k < grid.size(); ++k) {
            if (grid[k] != FGridPositions[k] - *move) {
                return false;
            }
        }
        FGridPositions = grid;
        if (!move->isNull()) {
            lines = overlays.GridLines();
        }
    }
    FResampler.Roll(*move, [&](QImage& image, const QRect& piece, QPoint at) {
        if (FGridAdded) {
            QPainter target(&image);
            target.setCompositionMode(QPainter::CompositionMode_Plus);
            target.translate(at - piece.topLeft());
            overlays.AddLayer(target, piece, lines, nullptr);
        }
    });
    return true;
}

void TMapView::AddGrid() const {
    const TMapOverlays overlays(*this);
    // The bands are drawn in view coordinates.
    QImage& image = FResampler.Unrolled();
    FGridPositions = overlays.GridPositions();
    overlays.AddGrid(image, overlays.GridLines());
}

bool TMapView::FlightStep() {
    const float beforeX = OffsetX.Value;
    const float beforeY = OffsetY.Value;
    const float beforeZ = Zoom.Value;
    if (!StepTowardTarget()) {
        return false;
    }
    LayoutView(PW(), PH());
    // Held at a bound: nothing moves any more.
    return !(std::fabs(OffsetX.Value - beforeX) < 0.01f &&
             std::fabs(OffsetY.Value - beforeY) < 0.01f && std::fabs(Zoom.Value - beforeZ) < 0.01f);
}

void TMapView::Paint(QPainter& painter, const TViewOverlay& overlay) const {
    RestoreBuffers();
    const TMapOverlays overlays(*this);
    const bool detail = Zoom.Value < kDetailBelow;
    // The grid is part of the cached view image: added once per layout.
    const bool grid = overlay.Highlight && detail;
    if (grid != FGridAdded) {
        if (grid) {
            AddGrid();
        } else {
            Resample();
        }
        FGridAdded = grid;
    }
    FResampler.Draw(painter);

    if (overlay.Highlight) {
        // The squares near the pointer: that part of the view is composed again
        // from the map, the squares and the grid over it.
        const QRect near = overlays.NearSquaresRect(overlay);
        if (!near.isEmpty()) {
            QImage part;
            FResampler.ResamplePart(part, near);
            QPainter target(&part);
            target.translate(-near.topLeft());
            target.setCompositionMode(QPainter::CompositionMode_Plus);
            overlays.AddLayer(target, near, grid ? overlays.GridLines() : std::vector<TGridLine>{},
                              &overlay);
            target.end();
            painter.drawImage(near.topLeft(), part);
        }
        overlays.DrawPlaces(painter, overlay, detail);
    }

    if (overlay.FollowSelection) {
        TMapOverlays::DrawCross(painter, GridToView(TargetX, TargetY));
    }
}

} // namespace app

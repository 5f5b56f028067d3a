#include "app/map/MapViewport.h"

#include "kiv/KivTimeZone.h"

#include <algorithm>
#include <cmath>

namespace app {

namespace {

constexpr float kFlightStepMax = 50.f; // units per flight tick

} // namespace

TMapViewport::TMapViewport() {
    Zoom.SetMax(100.0f);
    Zoom.SetMin(0.1f);
    Zoom.SetValue(1.7f);
}

float TMapViewport::FillZoom(int pw, int ph) const {
    const float mapW = static_cast<float>(MapW());
    const float mapH = static_cast<float>(MapH());
    if (pw <= 0 || ph <= 0 || mapW <= 0 || mapH <= 0) {
        return Zoom.Max;
    }
    const float w = static_cast<float>(pw);
    const float h = static_cast<float>(ph);
    return mapW / mapH > w / h ? mapH / h : mapW / w;
}

bool TMapViewport::FitPaintBox(int pw, int ph) {
    FPW = std::max(pw, 0);
    FPH = std::max(ph, 0);
    if (FPW == 0 || FPH == 0 || MapW() == 0 || MapH() == 0) {
        return false;
    }
    Zoom.SetMin(0.15f);
    Zoom.SetMax(FillZoom(FPW, FPH));
    OffsetX.SetMin(0);
    OffsetX.SetMax(std::max(0.f, static_cast<float>(MapW()) - VisibleW()));
    OffsetY.SetMin(0);
    OffsetY.SetMax(std::max(0.f, static_cast<float>(MapH()) - VisibleH()));
    return true;
}

void TMapViewport::ZoomBy(float delta) {
    const float oldW = VisibleW();
    const float oldH = VisibleH();
    Zoom.SetValue(Zoom.Value + delta);
    OffsetX.SetValue(OffsetX.Value + (oldW - VisibleW()) / 2);
    OffsetY.SetValue(OffsetY.Value + (oldH - VisibleH()) / 2);
}

void TMapViewport::SetView(float offsetX, float offsetY, float zoom) {
    for (solar::TSingleLimiter* l : {&OffsetX, &OffsetY, &Zoom}) {
        l->SetMin(-99999.f);
        l->SetMax(99999.f);
    }
    OffsetX.SetValue(offsetX);
    OffsetY.SetValue(offsetY);
    Zoom.SetValue(zoom);
}

void TMapViewport::SetTarget(float x, float y, float zoom) {
    TargetX = x;
    TargetY = y;
    TargetZoom = std::clamp(zoom, Zoom.Min, std::max(Zoom.Min, Zoom.Max));
}

bool TMapViewport::StepTowardTarget() {
    const float dx = TargetX - static_cast<float>(FPW) * TargetZoom / 2 - OffsetX.Value;
    const float dy = (static_cast<float>(MapH()) - TargetY) -
                     static_cast<float>(FPH) * TargetZoom / 2 - OffsetY.Value;
    const float dz = TargetZoom - Zoom.Value;
    const float g = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(g >= 0.01f)) {
        return false;
    }
    const float s = std::min(g, kFlightStepMax) / g;
    SetView(OffsetX.Value + dx * s, OffsetY.Value + dy * s, Zoom.Value + dz * s);
    return true;
}

QPointF TMapViewport::ViewToMap(int x, int y) const {
    return {static_cast<double>(Zoom.Value) * x + OffsetX.Value,
            static_cast<double>(Zoom.Value) * y + OffsetY.Value};
}

QPoint TMapViewport::GridToView(float x, float y) const {
    const float flipped = static_cast<float>(MapH()) - y - 1;
    return {static_cast<int>(std::nearbyint((x - OffsetX.Value) / Zoom.Value)),
            static_cast<int>(std::nearbyint((flipped - OffsetY.Value) / Zoom.Value))};
}

QPoint TMapViewport::PlaceToView(double latitude, double longitude) const {
    kiv::TLatLongRecord r;
    kiv::SetLatLong(r, latitude, longitude);
    const kiv::TMapPoint p = kiv::LatLongToMapPoint(r);
    return GridToView(p.X, p.Y);
}

} // namespace app

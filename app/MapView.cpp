#include "app/MapView.h"

#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace app {

namespace {

constexpr float kSmoothBelow = 0.6f;   // bilinear resampling below this zoom
constexpr float kDetailBelow = 0.7f;   // grid and labels below this zoom
constexpr float kFlightStepMax = 50.f; // units per flight tick

} // namespace

TMapView::TMapView() {
    Zoom.SetMax(100.0f);
    Zoom.SetMin(0.1f);
    Zoom.SetValue(1.7f);
}

float TMapView::FillZoom(int pw, int ph) const {
    const float mapW = static_cast<float>(MapW());
    const float mapH = static_cast<float>(MapH());
    if (pw <= 0 || ph <= 0 || mapW <= 0 || mapH <= 0) {
        return Zoom.Max;
    }
    const float w = static_cast<float>(pw);
    const float h = static_cast<float>(ph);
    return mapW / mapH > w / h ? mapH / h : mapW / w;
}

void TMapView::LayoutView(int pw, int ph) {
    FPW = std::max(pw, 0);
    FPH = std::max(ph, 0);
    if (FViewImage.width() != FPW || FViewImage.height() != FPH) {
        FViewImage = QImage(FPW, FPH, QImage::Format_RGB32);
        FViewImage.fill(Qt::black);
    }
    if (FPW == 0 || FPH == 0 || MapW() == 0 || MapH() == 0) {
        return;
    }
    Zoom.SetMin(0.15f);
    Zoom.SetMax(FillZoom(FPW, FPH));
    const float vw = static_cast<float>(FPW) * Zoom.Value;
    const float vh = static_cast<float>(FPH) * Zoom.Value;
    OffsetX.SetMin(0);
    OffsetX.SetMax(std::max(0.f, static_cast<float>(MapW()) - vw));
    OffsetY.SetMin(0);
    OffsetY.SetMax(std::max(0.f, static_cast<float>(MapH()) - vh));
    Resample(OffsetX.Value, OffsetY.Value, vw, vh);
}

void TMapView::SetMap(const kiv::TFastDIB* map) {
    Map = map;
    RefreshMap();
}

void TMapView::RefreshMap() {
    const int w = MapW();
    const int h = MapH();
    if (FMapImage.width() != w || FMapImage.height() != h) {
        FMapImage = QImage(w, h, QImage::Format_RGB32);
    }
    for (int y = 0; y < h; ++y) {
        // Stored rows run bottom-up.
        const std::uint8_t* src = Map->Row(h - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(FMapImage.scanLine(y));
        if (Map->Bpp() == 24) {
            for (int x = 0; x < w; ++x) {
                out[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            }
        } else {
            for (int x = 0; x < w; ++x) {
                const kiv::TBgr c = Map->Palette[src[x]];
                out[x] = qRgb(c.R, c.G, c.B);
            }
        }
    }
}

void TMapView::Resample(float x0, float y0, float vw, float vh) {
    const float mapW = static_cast<float>(MapW());
    const float mapH = static_cast<float>(MapH());
    // Float rounding of the bounds must never reach outside the map.
    x0 = std::clamp(x0, 0.f, mapW);
    y0 = std::clamp(y0, 0.f, mapH);
    vw = std::clamp(vw, 0.f, mapW - x0);
    vh = std::clamp(vh, 0.f, mapH - y0);
    kiv::KivAssert(x0 >= 0 && y0 >= 0 && x0 + vw <= mapW && y0 + vh <= mapH,
                   "Map view rectangle outside the map");
    QPainter painter(&FViewImage);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Close up, where single map pixels would show as blocks, the view is
    // smoothed (bilinear); farther out each view pixel takes its map pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, Zoom.Value < kSmoothBelow);
    painter.drawImage(QRectF(0, 0, FPW, FPH), FMapImage, QRectF(x0, y0, vw, vh));
}

void TMapView::ZoomBy(float delta) {
    const float oldW = static_cast<float>(FPW) * Zoom.Value;
    const float oldH = static_cast<float>(FPH) * Zoom.Value;
    Zoom.SetValue(Zoom.Value + delta);
    const float newW = static_cast<float>(FPW) * Zoom.Value;
    const float newH = static_cast<float>(FPH) * Zoom.Value;
    OffsetX.SetValue(OffsetX.Value + (oldW - newW) / 2);
    OffsetY.SetValue(OffsetY.Value + (oldH - newH) / 2);
}

void TMapView::SetView(float offsetX, float offsetY, float zoom) {
    for (solar::TSingleLimiter* l : {&OffsetX, &OffsetY, &Zoom}) {
        l->SetMin(-99999.f);
        l->SetMax(99999.f);
    }
    OffsetX.SetValue(offsetX);
    OffsetY.SetValue(offsetY);
    Zoom.SetValue(zoom);
}

void TMapView::SetTarget(float x, float y, float zoom) {
    TargetX = x;
    TargetY = y;
    TargetZoom = std::clamp(zoom, Zoom.Min, std::max(Zoom.Min, Zoom.Max));
}

bool TMapView::FlightStep() {
    const float dx = TargetX - static_cast<float>(FPW) * TargetZoom / 2 - OffsetX.Value;
    const float dy = (static_cast<float>(MapH()) - TargetY) -
                     static_cast<float>(FPH) * TargetZoom / 2 - OffsetY.Value;
    const float dz = TargetZoom - Zoom.Value;
    const float g = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(g >= 0.01f)) {
        return false;
    }
    const float s = std::min(g, kFlightStepMax) / g;
    const float beforeX = OffsetX.Value;
    const float beforeY = OffsetY.Value;
    const float beforeZ = Zoom.Value;
    SetView(OffsetX.Value + dx * s, OffsetY.Value + dy * s, Zoom.Value + dz * s);
    LayoutView(FPW, FPH);
    // Held at a bound: nothing moves any more.
    return !(std::fabs(OffsetX.Value - beforeX) < 0.01f &&
             std::fabs(OffsetY.Value - beforeY) < 0.01f && std::fabs(Zoom.Value - beforeZ) < 0.01f);
}

QPointF TMapView::ViewToMap(int x, int y) const {
    return {static_cast<double>(Zoom.Value) * x + OffsetX.Value,
            static_cast<double>(Zoom.Value) * y + OffsetY.Value};
}

QPoint TMapView::GridToView(float x, float y) const {
    const float flipped = static_cast<float>(MapH()) - y - 1;
    return {static_cast<int>(std::nearbyint((x - OffsetX.Value) / Zoom.Value)),
            static_cast<int>(std::nearbyint((flipped - OffsetY.Value) / Zoom.Value))};
}

QPoint TMapView::PlaceToView(double latitude, double longitude) const {
    kiv::TLatLongRecord r;
    kiv::SetLatLong(r, latitude, longitude);
    const kiv::TMapPoint p = kiv::LatLongToMapPoint(r);
    return GridToView(p.X, p.Y);
}

namespace {

// A filled square of side 2 * half + 1 around p with a one-pixel outline.
void Square(QPainter& painter, QPoint p, int half, QColor fill, QColor outline) {
    const QRect r(p.x() - half, p.y() - half, 2 * half + 1, 2 * half + 1);
    painter.fillRect(r, fill);
    painter.setPen(QPen(outline, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
}

void Label(QPainter& painter, QPoint p, const QString& text) {
    painter.drawText(QRect(p.x() + 5, p.y() + 5, 4000, 400), Qt::AlignLeft | Qt::AlignTop, text);
}

} // namespace

void TMapView::Paint(QPainter& painter, const TViewOverlay& overlay) const {
    painter.drawImage(0, 0, FViewImage);
    const kiv::TTimeZone* db = overlay.Database;
    const bool detail = Zoom.Value < kDetailBelow;

    if (overlay.Highlight) {
        // What is drawn here lightens the map: it is painted on black and added
        // to the view channel by channel, saturating at white.
        if (FLayer.size() != FViewImage.size()) {
            FLayer = QImage(FViewImage.size(), QImage::Format_ARGB32_Premultiplied);
        }
        FLayer.fill(Qt::transparent);
        QPainter layer(&FLayer);
        if (overlay.PointerInside && db != nullptr) {
            for (const auto& place : db->Places) {
                if (!place.InRange) {
                    continue;
                }
                const int d = std::min(255, static_cast<int>(std::nearbyint(15 * place.Distance)));
                Square(layer, PlaceToView(place.Latitude, place.Longitude), 2,
                       QColor(255 - d, 255 - d, 0), QColor(255 - d, 0, 0));
            }
        }
        if (detail) {
            for (int k = -18; k <= 18; ++k) {
                const double v = 10.0 * k;
                const bool major = k % 9 == 0;
                layer.setPen(major ? QPen(QColor(128, 0, 0), 2) : QPen(QColor(50, 50, 50), 0));
                const QPoint p = PlaceToView(v, v);
                if (p.x() >= 0 && p.x() < FPW) {
                    layer.drawLine(p.x(), 0, p.x(), FPH - 1);
                }
                if (p.y() >= 0 && p.y() < FPH) {
                    layer.drawLine(0, p.y(), FPW - 1, p.y());
                }
            }
        }
        layer.end();
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
        painter.drawImage(0, 0, FLayer);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

        QFont font = overlay.Font;
        font.setPixelSize(std::max(1, overlay.Font.pointSize()));
        painter.setFont(font);
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(QColor(0, 0, 255));
        for (const TViewPlace& place : overlay.Listed) {
            const QPoint p = PlaceToView(place.Latitude, place.Longitude);
            if (detail) {
                painter.setPen(Qt::white);
                Label(painter, p, place.Name.section(QLatin1Char(','), 0, 0));
            }
            Square(painter, p, 3, QColor(0, 255, 0), Qt::black);
        }
        if (overlay.PointerInside && db != nullptr && db->Nearest >= 0 &&
            db->Nearest < static_cast<int>(db->Places.size())) {
            const auto& nearest = db->Places[static_cast<std::size_t>(db->Nearest)];
            const QPoint p = PlaceToView(nearest.Latitude, nearest.Longitude);
            painter.setBackground(QColor(255, 0, 0));
            painter.setPen(Qt::white);
            Label(painter, p, QString::fromStdString(nearest.Name));
            Square(painter, p, 3, Qt::white, QColor(0, 0, 255));
        }
        painter.setBackgroundMode(Qt::TransparentMode);
    }

    if (overlay.FollowSelection) {
        const QPoint c = GridToView(TargetX, TargetY);
        const int x = c.x();
        const int y = c.y();
        painter.setPen(QPen(QColor(255, 0, 0), 0));
        painter.drawLine(x, y - 8, x, y - 15);
        painter.drawLine(x, y + 8, x, y + 15);
        painter.drawLine(x - 8, y, x - 15, y);
        painter.drawLine(x + 8, y, x + 15, y);
        const QPoint diamond[] = {{x - 8, y}, {x, y + 8}, {x + 8, y}, {x, y - 8}, {x - 8, y}};
        painter.drawPolyline(diamond, 5);
    }
}

} // namespace app

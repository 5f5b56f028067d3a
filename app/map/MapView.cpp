#include "app/map/MapView.h"

#include "app/map/ViewMix.h"

#include "kiv/KivBands.h"
#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace app {

namespace {

constexpr float kSmoothBelow = 0.6f;   // bilinear resampling below this zoom
constexpr float kDetailBelow = 0.7f;   // grid and labels below this zoom
constexpr float kFlightStepMax = 50.f; // units per flight tick
// A resampling of at least this many view pixels runs on both cores.
constexpr std::int64_t kBandPixels = 300000;

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
    if (FMapImage.isNull()) {
        ConvertMap();
    }
    FPW = std::max(pw, 0);
    FPH = std::max(ph, 0);
    if (FViewImage.width() != FPW || FViewImage.height() != FPH) {
        // Every pixel is written below: by the resampling, or black.
        FViewImage = QImage(FPW, FPH, QImage::Format_RGB32);
        FViewCurrent = false;
        FRollX = 0;
        FRollY = 0;
    }
    ++FLayoutCount;
    if (FPW == 0 || FPH == 0 || MapW() == 0 || MapH() == 0) {
        FHasSource = false;
        FGridAdded = false;
        FViewCurrent = false;
        FViewImage.fill(Qt::black);
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
    const TSampling before = FSampling;
    const bool kept = FViewCurrent && FHasSource;
    PlanSamples(OffsetX.Value, OffsetY.Value, vw, vh);
    if (!(kept && ScrollView(before))) {
        ResampleAll();
    }
}

void TMapView::SetMap(const kiv::TFastDIB* map) {
    Map = map;
    RefreshMap();
}

void TMapView::RefreshMap() {
    ++FLayoutCount;
    FViewCurrent = false;
    ConvertMap();
}

void TMapView::ReleaseBuffers() {
    FViewImage = QImage();
    FMapImage = QImage();
    FViewCurrent = false;
    FGridAdded = false;
    FRollX = 0;
    FRollY = 0;
}

void TMapView::RestoreBuffers() const {
    if (FMapImage.isNull()) {
        ConvertMap();
    }
    if (FViewImage.isNull() && FPW > 0 && FPH > 0) {
        FViewImage = QImage(FPW, FPH, QImage::Format_RGB32);
        ResampleAll();
    }
}

void TMapView::ConvertMap() const {
    if (Map == nullptr) {
        return;
    }
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

// ---------------------------------------------------------------- resampling

void TMapView::PlanSamples(float x0, float y0, float vw, float vh) {
    const float mapW = static_cast<float>(MapW());
    const float mapH = static_cast<float>(MapH());
    // Float rounding of the bounds must never reach outside the map.
    x0 = std::clamp(x0, 0.f, mapW);
    y0 = std::clamp(y0, 0.f, mapH);
    vw = std::clamp(vw, 0.f, mapW - x0);
    vh = std::clamp(vh, 0.f, mapH - y0);
    kiv::KivAssert(x0 >= 0 && y0 >= 0 && x0 + vw <= mapW && y0 + vh <= mapH,
                   "Map view rectangle outside the map");
    FSource = QRectF(x0, y0, vw, vh);
    // Close up, where single map pixels would show as blocks, the view is
    // smoothed (bilinear); farther out each view pixel takes its map pixel.
    FSmooth = Zoom.Value < kSmoothBelow;
    FHasSource = true;
    // The source rectangle is stretched over the whole view (per axis: a map
    // smaller than the view fills it).
    const double stepX = static_cast<double>(vw) / FPW;
    const double stepY = static_cast<double>(vh) / FPH;
    FSampling.StepX = std::llround(stepX * 65536);
    FSampling.StepY = std::llround(stepY * 65536);
    FSampling.OriginX = stepX > 0 ? std::llround(x0 / stepX * 64) : 0;
    FSampling.OriginY = stepY > 0 ? std::llround(y0 / stepY * 64) : 0;
    FSampling.Smooth = FSmooth;
}

namespace {

// Where a view pixel's samples lie along one axis: the two map pixels and the
// weight (0..256) of the second. Nearest sampling has both the same.
struct TTap {
    int First = 0;
    int Second = 0;
    unsigned Weight = 0;
};

TTap Tap(std::int64_t origin, std::int64_t step, int at, int size, bool smooth) {
    const std::int64_t centre = (origin + 64 * std::int64_t(at) + 32) * step / 64;
    TTap tap;
    if (!smooth) {
        tap.First = tap.Second =
            static_cast<int>(std::clamp<std::int64_t>(centre >> 16, 0, size - 1));
        return tap;
    }
    // Bilinear: between the pixel centres on either side.
    const std::int64_t p = centre - 32768;
    const std::int64_t first = p >> 16;
    if (first < 0) {
        return tap;
    }
    if (first >= size - 1) {
        tap.First = tap.Second = size - 1;
        return tap;
    }
    tap.First = static_cast<int>(first);
    tap.Second = tap.First + 1;
    tap.Weight = static_cast<unsigned>((p >> 8) & 0xff);
    return tap;
}

} // namespace

void TMapView::SampleInto(QImage& dest, QPoint at, const QRect& part) const {
    static_assert(std::is_same_v<QRgb, std::uint32_t>, "the mixes read QRgb rows");
    if (part.isEmpty()) {
        return;
    }
    const int w = part.width();
    const int mapW = FMapImage.width();
    const int mapH = FMapImage.height();
    const bool smooth = FSampling.Smooth;
    std::vector<TTap> columns(static_cast<std::size_t>(w));
    for (int i = 0; i < w; ++i) {
        columns[static_cast<std::size_t>(i)] =
            Tap(FSampling.OriginX, FSampling.StepX, part.left() + i, mapW, smooth);
    }
    // Columns only grow from left to right.
    const int first = columns.front().First;
    const int last = columns.back().Second;
    // Smoothed, each view pixel mixes a pair of neighbours in the rows' mix:
    // the second of a pair is First + 1, or any pixel where the weight is 0
    // (at the map's edges).
    TColumnMix pairs;
    if (smooth) {
        pairs.Reserve(w);
        for (const TTap& c : columns) {
            pairs.Add(c.First - first, c.Weight);
        }
    }
    // Pointers taken here: the bands below must not detach either image.
    uchar* const destBits = dest.bits();
    const qsizetype destLine = dest.bytesPerLine();
    const uchar* const mapBits = FMapImage.constBits();
    const qsizetype mapLine = FMapImage.bytesPerLine();
    const auto rows = [&](int top, int bottom) {
        // The two map rows are mixed once over the columns this part reads.
        std::optional<TRowMix> mix;
        if (smooth) {
            mix.emplace(pairs, last - first + 1);
        }
        for (int r = top; r < bottom; ++r) {
            const TTap row = Tap(FSampling.OriginY, FSampling.StepY, part.top() + r, mapH, smooth);
            auto* out = reinterpret_cast<QRgb*>(destBits + (at.y() + r) * destLine) + at.x();
            const auto* upper = reinterpret_cast<const QRgb*>(mapBits + row.First * mapLine);
            if (!smooth) {
                for (int i = 0; i < w; ++i) {
                    out[i] = upper[columns[static_cast<std::size_t>(i)].First];
                }
                continue;
            }
            const auto* lower = reinterpret_cast<const QRgb*>(mapBits + row.Second * mapLine);
            mix->Mix(upper + first, lower + first, row.Weight, out);
        }
    };
    const bool large = std::int64_t(w) * part.height() >= kBandPixels;
    kiv::RunInBands(
        part.height(),
        large ? static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 2u)) : 1,
        rows);
}

void TMapView::ResamplePart(QImage& out, const QRect& part) const {
    if (out.size() != part.size() || out.format() != QImage::Format_RGB32) {
        out = QImage(part.size(), QImage::Format_RGB32);
    }
    if (!FHasSource || part.isEmpty()) {
        out.fill(Qt::black);
        return;
    }
    SampleInto(out, QPoint(0, 0), part);
}

void TMapView::ResampleAll() const {
    FGridAdded = false;
    FRollX = 0;
    FRollY = 0;
    if (!FHasSource || FViewImage.isNull()) {
        FViewImage.fill(Qt::black);
        FViewCurrent = false;
        return;
    }
    SampleInto(FViewImage, QPoint(0, 0), QRect(0, 0, FPW, FPH));
    FViewCurrent = true;
}

bool TMapView::ScrollView(const TSampling& before) {
    const TSampling& now = FSampling;
    if (before.StepX != now.StepX || before.StepY != now.StepY || before.Smooth != now.Smooth) {
        return false;
    }
    const std::int64_t moveX = now.OriginX - before.OriginX;
    const std::int64_t moveY = now.OriginY - before.OriginY;
    if (moveX % 64 != 0 || moveY % 64 != 0) {
        return false;
    }
    // View pixel (i, j) now shows what (i + kx, j + ky) showed.
    const int kx = static_cast<int>(moveX / 64);
    const int ky = static_cast<int>(moveY / 64);
    if (std::abs(kx) >= FPW || std::abs(ky) >= FPH) {
        return false;
    }
    std::vector<QPoint> grid;
    if (FGridAdded) {
        // The grid lines kept in the image must lie where this layout draws them.
        grid = GridPositions();
        if (grid.size() != FGridPositions.size()) {
            return false;
        }
        for (std::size_t k = 0; k < grid.size(); ++k) {
            if (grid[k] != FGridPositions[k] - QPoint(kx, ky)) {
                return false;
            }
        }
        FGridPositions = grid;
    }
    if (kx == 0 && ky == 0) {
        return true;
    }
    FRollX = (FRollX + kx + FPW) % FPW;
    FRollY = (FRollY + ky + FPH) % FPH;
    const int toX = std::max(-kx, 0);
    // The strips that came into view: whole columns, then the rest of the rows.
    const QRect columns = kx > 0   ? QRect(FPW - kx, 0, kx, FPH)
                          : kx < 0 ? QRect(0, 0, -kx, FPH)
                                   : QRect();
    const QRect rows = (ky > 0   ? QRect(0, FPH - ky, FPW, ky)
                        : ky < 0 ? QRect(0, 0, FPW, -ky)
                                 : QRect()) &
                       QRect(toX, 0, FPW - std::abs(kx), FPH);
    std::vector<TGridLine> lines;
    if (FGridAdded) {
        lines = GridLines();
    }
    for (const QRect& strip : {columns, rows}) {
        if (strip.isEmpty()) {
            continue;
        }
        ForStored(strip, [&](const QRect& piece, QPoint at) {
            SampleInto(FViewImage, at, piece);
            if (FGridAdded) {
                QPainter target(&FViewImage);
                target.setCompositionMode(QPainter::CompositionMode_Plus);
                target.translate(at - piece.topLeft());
                AddLayer(target, piece, lines, nullptr);
            }
        });
    }
    return true;
}

template <class F> void TMapView::ForStored(const QRect& part, F&& f) const {
    const int x = (part.left() + FRollX) % FPW;
    const int y = (part.top() + FRollY) % FPH;
    const int w1 = std::min(part.width(), FPW - x);
    const int h1 = std::min(part.height(), FPH - y);
    const int w2 = part.width() - w1;
    const int h2 = part.height() - h1;
    f(QRect(part.left(), part.top(), w1, h1), QPoint(x, y));
    if (w2 > 0) {
        f(QRect(part.left() + w1, part.top(), w2, h1), QPoint(0, y));
    }
    if (h2 > 0) {
        f(QRect(part.left(), part.top() + h1, w1, h2), QPoint(x, 0));
        if (w2 > 0) {
            f(QRect(part.left() + w1, part.top() + h1, w2, h2), QPoint(0, 0));
        }
    }
}

QImage TMapView::ViewImage() const {
    if (FRollX == 0 && FRollY == 0) {
        return FViewImage;
    }
    QImage unrolled(FViewImage.size(), FViewImage.format());
    QPainter painter(&unrolled);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    ForStored(QRect(0, 0, FPW, FPH), [&](const QRect& piece, QPoint at) {
        painter.drawImage(piece.topLeft(), FViewImage, QRect(at, piece.size()));
    });
    return unrolled;
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

// The labels' font: the window font's face, its point size taken as pixels.
QFont LabelFont(const QFont& windowFont) {
    QFont font = windowFont;
    font.setPixelSize(std::max(1, windowFont.pointSize()));
    return font;
}

void Label(QPainter& painter, QPoint p, const QString& text) {
    painter.drawText(QRect(p.x() + 5, p.y() + 5, 4000, 400), Qt::AlignLeft | Qt::AlignTop, text);
}

} // namespace

std::vector<QPoint> TMapView::GridPositions() const {
    std::vector<QPoint> positions;
    for (int k = -18; k <= 18; ++k) {
        positions.push_back(PlaceToView(10.0 * k, 10.0 * k));
    }
    return positions;
}

std::vector<TMapView::TGridLine> TMapView::GridLines() const {
    std::vector<TGridLine> lines;
    for (int k = -18; k <= 18; ++k) {
        const double v = 10.0 * k;
        const bool major = k % 9 == 0;
        const QPoint p = PlaceToView(v, v);
        if (p.x() >= 0 && p.x() < FPW) {
            lines.push_back({QLine(p.x(), 0, p.x(), FPH - 1), major});
        }
        if (p.y() >= 0 && p.y() < FPH) {
            lines.push_back({QLine(0, p.y(), FPW - 1, p.y()), major});
        }
    }
    return lines;
}

namespace {

// Every pixel a grid line's pen may touch lies within this many pixels of it.
constexpr int kLineReach = 3;

QRect LineBounds(const QLine& line) {
    return QRect(line.p1(), line.p2())
        .normalized()
        .adjusted(-kLineReach, -kLineReach, kLineReach, kLineReach);
}

} // namespace

void TMapView::DrawGridLines(QPainter& painter, const std::vector<TGridLine>& lines,
                             const QRect& area) const {
    for (const TGridLine& line : lines) {
        if (!LineBounds(line.Line).intersects(area)) {
            continue;
        }
        painter.setPen(line.Major ? QPen(QColor(128, 0, 0), 2) : QPen(QColor(50, 50, 50), 0));
        painter.drawLine(line.Line);
    }
}

void TMapView::AddLayer(QPainter& target, const QRect& area, const std::vector<TGridLine>& lines,
                        const TViewOverlay* squares) const {
    // What is drawn here lightens the map: it is painted on black, in the
    // order of the whole picture, and added channel by channel.
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter painter(&layer);
    painter.translate(-area.topLeft());
    if (squares != nullptr) {
        for (const auto& place : squares->Database->Places) {
            if (!place.InRange) {
                continue;
            }
            const int d = std::min(255, static_cast<int>(std::nearbyint(15 * place.Distance)));
            Square(painter, PlaceToView(place.Latitude, place.Longitude), 2,
                   QColor(255 - d, 255 - d, 0), QColor(255 - d, 0, 0));
        }
    }
    DrawGridLines(painter, lines, area);
    painter.end();
    target.drawImage(area.topLeft(), layer);
}

void TMapView::AddGrid() const {
    if (FRollX != 0 || FRollY != 0) {
        // The bands below are drawn in view coordinates.
        ResampleAll();
    }
    FGridPositions = GridPositions();
    const std::vector<TGridLine> lines = GridLines();
    // The grid covers narrow bands around its lines: the horizontal lines'
    // bands of rows, then the vertical lines' bands of columns outside them.
    std::vector<std::pair<int, int>> rows;
    std::vector<std::pair<int, int>> cols;
    const auto addBand = [](std::vector<std::pair<int, int>>& bands, int at, int size) {
        const int first = std::max(0, at - kLineReach);
        const int last = std::min(size, at + kLineReach + 1);
        if (!bands.empty() && first <= bands.back().second) {
            bands.back().second = std::max(bands.back().second, last);
        } else {
            bands.emplace_back(first, last);
        }
    };
    std::vector<int> ys;
    std::vector<int> xs;
    for (const TGridLine& line : lines) {
        if (line.Line.y1() == line.Line.y2()) {
            ys.push_back(line.Line.y1());
        } else {
            xs.push_back(line.Line.x1());
        }
    }
    std::sort(ys.begin(), ys.end());
    std::sort(xs.begin(), xs.end());
    for (int y : ys) {
        addBand(rows, y, FPH);
    }
    for (int x : xs) {
        addBand(cols, x, FPW);
    }
    QPainter target(&FViewImage);
    target.setCompositionMode(QPainter::CompositionMode_Plus);
    QRegion rowBands;
    for (const auto& [first, last] : rows) {
        const QRect band(0, first, FPW, last - first);
        AddLayer(target, band, lines, nullptr);
        rowBands += band;
    }
    target.setClipRegion(QRegion(0, 0, FPW, FPH).subtracted(rowBands));
    for (const auto& [first, last] : cols) {
        AddLayer(target, QRect(first, 0, last - first, FPH), lines, nullptr);
    }
}

QRect TMapView::NearSquaresRect(const TViewOverlay& overlay) const {
    QRect near;
    if (!overlay.Highlight || !overlay.PointerInside || overlay.Database == nullptr) {
        return near;
    }
    for (const auto& place : overlay.Database->Places) {
        // A square of distance 17 or more is black and adds nothing by itself.
        if (!place.InRange || 15 * place.Distance >= 254.5) {
            continue;
        }
        const QPoint p = PlaceToView(place.Latitude, place.Longitude);
        near |= QRect(p.x() - 2, p.y() - 2, 5, 5);
    }
    return near & QRect(0, 0, FPW, FPH);
}

QRegion TMapView::PointerRegion(const TViewOverlay& overlay) const {
    QRegion region(NearSquaresRect(overlay));
    const kiv::TTimeZone* db = overlay.Database;
    if (!overlay.Highlight || !overlay.PointerInside || db == nullptr || db->Nearest < 0 ||
        db->Nearest >= static_cast<int>(db->Places.size())) {
        return region;
    }
    const auto& nearest = db->Places[static_cast<std::size_t>(db->Nearest)];
    const QPoint p = PlaceToView(nearest.Latitude, nearest.Longitude);
    region += QRect(p.x() - 3, p.y() - 3, 7, 7);
    const QFontMetrics metrics(LabelFont(overlay.Font));
    const QRect text =
        metrics.boundingRect(QRect(p.x() + 5, p.y() + 5, 4000, 400), Qt::AlignLeft | Qt::AlignTop,
                             QString::fromStdString(nearest.Name));
    // A margin for glyphs that reach past their advance.
    region += text.adjusted(-4, -4, 4, 4);
    return region & QRect(0, 0, FPW, FPH);
}

void TMapView::Paint(QPainter& painter, const TViewOverlay& overlay) const {
    RestoreBuffers();
    const kiv::TTimeZone* db = overlay.Database;
    const bool detail = Zoom.Value < kDetailBelow;
    // The grid is part of the cached view image: added once per layout.
    const bool grid = overlay.Highlight && detail;
    if (grid != FGridAdded) {
        if (grid) {
            AddGrid();
        } else {
            ResampleAll();
        }
        FGridAdded = grid;
    }
    if (FPW > 0 && FPH > 0) {
        ForStored(QRect(0, 0, FPW, FPH), [&](const QRect& piece, QPoint at) {
            painter.drawImage(piece.topLeft(), FViewImage, QRect(at, piece.size()));
        });
    }

    if (overlay.Highlight) {
        // The squares near the pointer: that part of the view is composed again
        // from the map, the squares and the grid over it.
        const QRect near = NearSquaresRect(overlay);
        if (!near.isEmpty()) {
            QImage part;
            ResamplePart(part, near);
            QPainter target(&part);
            target.translate(-near.topLeft());
            target.setCompositionMode(QPainter::CompositionMode_Plus);
            AddLayer(target, near, grid ? GridLines() : std::vector<TGridLine>{}, &overlay);
            target.end();
            painter.drawImage(near.topLeft(), part);
        }

        painter.setFont(LabelFont(overlay.Font));
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

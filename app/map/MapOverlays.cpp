#include "app/map/MapOverlays.h"

#include "kiv/KivTimeZone.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace app {

namespace {

// Every pixel a grid line's pen may touch lies within this many pixels of it.
constexpr int kLineReach = 3;

QRect LineBounds(const QLine& line) {
    return QRect(line.p1(), line.p2())
        .normalized()
        .adjusted(-kLineReach, -kLineReach, kLineReach, kLineReach);
}

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

// The database's place nearest the pointer, when the overlay shows it.
const kiv::TTimeZonePlaces* NearestShown(const TViewOverlay& overlay) {
    const kiv::TTimeZone* db = overlay.Database;
    if (!overlay.Highlight || !overlay.PointerInside || db == nullptr || db->Nearest < 0 ||
        db->Nearest >= static_cast<int>(db->Places.size())) {
        return nullptr;
    }
    return &db->Places[static_cast<std::size_t>(db->Nearest)];
}

} // namespace

std::vector<QPoint> TMapOverlays::GridPositions() const {
    std::vector<QPoint> positions;
    for (int k = -18; k <= 18; ++k) {
        positions.push_back(View.PlaceToView(10.0 * k, 10.0 * k));
    }
    return positions;
}

std::vector<TGridLine> TMapOverlays::GridLines() const {
    const int pw = View.PW();
    const int ph = View.PH();
    std::vector<TGridLine> lines;
    for (int k = -18; k <= 18; ++k) {
        const double v = 10.0 * k;
        const bool major = k % 9 == 0;
        const QPoint p = View.PlaceToView(v, v);
        if (p.x() >= 0 && p.x() < pw) {
            lines.push_back({QLine(p.x(), 0, p.x(), ph - 1), major});
        }
        if (p.y() >= 0 && p.y() < ph) {
            lines.push_back({QLine(0, p.y(), pw - 1, p.y()), major});
        }
    }
    return lines;
}

void TMapOverlays::DrawGridLines(QPainter& painter, const std::vector<TGridLine>& lines,
                                 const QRect& area) const {
    for (const TGridLine& line : lines) {
        if (!LineBounds(line.Line).intersects(area)) {
            continue;
        }
        painter.setPen(line.Major ? QPen(QColor(128, 0, 0), 2) : QPen(QColor(50, 50, 50), 0));
        painter.drawLine(line.Line);
    }
}

void TMapOverlays::AddLayer(QPainter& target, const QRect& area,
                            const std::vector<TGridLine>& lines,
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
            Square(painter, View.PlaceToView(place.Latitude, place.Longitude), 2,
                   QColor(255 - d, 255 - d, 0), QColor(255 - d, 0, 0));
        }
    }
    DrawGridLines(painter, lines, area);
    painter.end();
    target.drawImage(area.topLeft(), layer);
}

void TMapOverlays::AddGrid(QImage& image, const std::vector<TGridLine>& lines) const {
    const int pw = View.PW();
    const int ph = View.PH();
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
        addBand(rows, y, ph);
    }
    for (int x : xs) {
        addBand(cols, x, pw);
    }
    QPainter target(&image);
    target.setCompositionMode(QPainter::CompositionMode_Plus);
    QRegion rowBands;
    for (const auto& [first, last] : rows) {
        const QRect band(0, first, pw, last - first);
        AddLayer(target, band, lines, nullptr);
        rowBands += band;
    }
    target.setClipRegion(QRegion(0, 0, pw, ph).subtracted(rowBands));
    for (const auto& [first, last] : cols) {
        AddLayer(target, QRect(first, 0, last - first, ph), lines, nullptr);
    }
}

QRect TMapOverlays::NearSquaresRect(const TViewOverlay& overlay) const {
    QRect near;
    if (!overlay.Highlight || !overlay.PointerInside || overlay.Database == nullptr) {
        return near;
    }
    for (const auto& place : overlay.Database->Places) {
        // A square of distance 17 or more is black and adds nothing by itself.
        if (!place.InRange || 15 * place.Distance >= 254.5) {
            continue;
        }
        const QPoint p = View.PlaceToView(place.Latitude, place.Longitude);
        near |= QRect(p.x() - 2, p.y() - 2, 5, 5);
    }
    return near & QRect(0, 0, View.PW(), View.PH());
}

QRegion TMapOverlays::PointerRegion(const TViewOverlay& overlay) const {
    QRegion region(NearSquaresRect(overlay));
    const auto* nearest = NearestShown(overlay);
    if (nearest == nullptr) {
        return region;
    }
    const QPoint p = View.PlaceToView(nearest->Latitude, nearest->Longitude);
    region += QRect(p.x() - 3, p.y() - 3, 7, 7);
    const QFontMetrics metrics(LabelFont(overlay.Font));
    const QRect text =
        metrics.boundingRect(QRect(p.x() + 5, p.y() + 5, 4000, 400), Qt::AlignLeft | Qt::AlignTop,
                             QString::fromStdString(nearest->Name));
    // A margin for glyphs that reach past their advance.
    region += text.adjusted(-4, -4, 4, 4);
    return region & QRect(0, 0, View.PW(), View.PH());
}

void TMapOverlays::DrawPlaces(QPainter& painter, const TViewOverlay& overlay, bool detail) const {
    painter.setFont(LabelFont(overlay.Font));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor(0, 0, 255));
    for (const TViewPlace& place : overlay.Listed) {
        const QPoint p = View.PlaceToView(place.Latitude, place.Longitude);
        if (detail) {
            painter.setPen(Qt::white);
            Label(painter, p, place.Name.section(QLatin1Char(','), 0, 0));
        }
        Square(painter, p, 3, QColor(0, 255, 0), Qt::black);
    }
    if (const auto* nearest = NearestShown(overlay)) {
        const QPoint p = View.PlaceToView(nearest->Latitude, nearest->Longitude);
        painter.setBackground(QColor(255, 0, 0));
        painter.setPen(Qt::white);
        Label(painter, p, QString::fromStdString(nearest->Name));
        Square(painter, p, 3, Qt::white, QColor(0, 0, 255));
    }
    painter.setBackgroundMode(Qt::TransparentMode);
}

void TMapOverlays::DrawCross(QPainter& painter, QPoint centre) {
    const int x = centre.x();
    const int y = centre.y();
    painter.setPen(QPen(QColor(255, 0, 0), 0));
    painter.drawLine(x, y - 8, x, y - 15);
    painter.drawLine(x, y + 8, x, y + 15);
    painter.drawLine(x - 8, y, x - 15, y);
    painter.drawLine(x + 8, y, x + 15, y);
    const QPoint diamond[] = {{x - 8, y}, {x, y + 8}, {x + 8, y}, {x, y - 8}, {x - 8, y}};
    painter.drawPolyline(diamond, 5);
}

} // namespace app

#include "app/icons/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {

namespace {

constexpr int kSide = 16;

QPixmap Blank(int side = kSide) {
    QPixmap p(side, side);
    p.fill(Qt::transparent);
    return p;
}

// A magnifying glass with a plus or a minus.
QIcon Magnifier(bool plus) {
    QPixmap pix = Blank();
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(90, 60, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    p.setPen(QPen(QColor(20, 20, 120), 1.4));
    p.drawLine(QPointF(3.8, 6), QPointF(8.2, 6));
    if (plus) {
        p.drawLine(QPointF(6, 3.8), QPointF(6, 8.2));
    }
    return QIcon(pix);
}

QIcon Options() {
    QPixmap pix = Blank();
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 100));
    for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-1.3, -7.5, 2.6, 4));
        p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 5, 5);
    p.setBrush(QColor(235, 235, 235));
    p.drawEllipse(QPointF(0, 0), 2, 2);
    return QIcon(pix);
}

QIcon About() {
    QPixmap pix = Blank();
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 140), 1));
    p.setBrush(QColor(60, 120, 210));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.5), 1.3, 1.3);
    p.drawRect(QRectF(6.9, 6.8, 2.2, 6));
    return QIcon(pix);
}

QIcon Add() {
    QPixmap pix = GlobePixmap(kSide);
    QPainter p(&pix);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 150, 40));
    p.drawRect(9, 5, 3, 11);
    p.drawRect(5, 9, 11, 3);
    return QIcon(pix);
}

} // namespace

QPixmap GlobePixmap(int side) {
    QPixmap pix = Blank(side);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = side;
    const QRectF disc(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QRadialGradient sea(disc.center() - QPointF(s * 0.18, s * 0.18), s * 0.6);
    sea.setColorAt(0, QColor(90, 160, 235));
    sea.setColorAt(1, QColor(20, 60, 140));
    p.setPen(Qt::NoPen);
    p.setBrush(sea);
    p.drawEllipse(disc);
    // Land masses, loosely shaped, clipped to the disc.
    QPainterPath clip;
    clip.addEllipse(disc);
    p.setClipPath(clip);
    p.setBrush(QColor(70, 150, 70));
    p.drawEllipse(QRectF(s * 0.15, s * 0.18, s * 0.35, s * 0.28));
    p.drawEllipse(QRectF(s * 0.30, s * 0.45, s * 0.18, s * 0.38));
    p.drawEllipse(QRectF(s * 0.58, s * 0.22, s * 0.34, s * 0.22));
    p.drawEllipse(QRectF(s * 0.66, s * 0.58, s * 0.2, s * 0.16));
    // Night over the eastern side.
    p.setBrush(QColor(0, 0, 30, 110));
    p.drawRect(QRectF(s * 0.62, 0, s, s));
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(10, 30, 80), std::max(1.0, s / 48)));
    p.drawEllipse(disc);
    return pix;
}

const std::vector<QIcon>& ImageList() {
    static const std::vector<QIcon> list = {
        Magnifier(false), Magnifier(true), QIcon(GlobePixmap(kSide)), About(), Options(), Add()};
    return list;
}

QIcon AppIcon() {
    QIcon icon;
    for (int side : {16, 32, 48, 64}) {
        icon.addPixmap(GlobePixmap(side));
    }
    return icon;
}

} // namespace app

#include "app/map/MapWidget.h"

#include "app/map/PointTip.h"
#include "app/text/Messages.h"
#include "kiv/KivClock.h"
#include "kiv/KivTimeZone.h"
#include "platform/ProcessMemory.h"
#include "solar/ShadowMap.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QTimer>
#include <QToolTip>

#include <cmath>
#include <utility>

namespace app {

TMapWidget::TMapWidget(QWidget* parent)
    : QWidget(parent), TimerZoomTo(new QTimer(this)), ReleaseTimer(new QTimer(this)),
      ZoneTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("PaintBox"));
    setMinimumSize(8, 8);
    setMouseTracking(true);
    // Every pixel is painted here: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    TimerZoomTo->setObjectName(QStringLiteral("TimerZoomTo"));
    TimerZoomTo->setInterval(50);
    connect(TimerZoomTo, &QTimer::timeout, this,
            [this] { Guarded(window(), [this] { TimerZoomToTimer(); }); });
    // An idle map holds no screen-sized buffers.
    ReleaseTimer->setSingleShot(true);
    connect(ReleaseTimer, &QTimer::timeout, this, [this] {
        View.ReleaseBuffers();
        // The toolkit's cached pixmaps are drawn again when needed.
        QPixmapCache::clear();
        platform::ReturnFreeMemory();
    });
    ZoneTimer->setSingleShot(true);
    connect(ZoneTimer, &QTimer::timeout, this, [this] {
        if (ZonesIdle) {
            ZonesIdle();
        }
    });
}

void TMapWidget::SetWorld(const kiv::TFastDIB* zoneImage, solar::TShadowMap* shadowMap) {
    ZoneImage = zoneImage;
    ShadowMap = shadowMap;
    if (zoneImage != nullptr) {
        ZoneTimer->start(ReleaseZonesAfterMs);
    }
}

bool TMapWidget::MapShown() const {
    return isVisibleTo(window());
}

// ---------------------------------------------------------------- events

bool TMapWidget::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    QString tip;
    if (ShadowMap && !TimerZoomTo->isActive()) {
        Guarded(window(), [&] {
            tip =
                PointLocalTimeTip(ReadoutWorld(), View.ViewToMap(help->pos().x(), help->pos().y()),
                                  ShownUtc ? ShownUtc() : kiv::CurrentClock().UtcNow());
        });
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), tip, this);
    }
    return true;
}

void TMapWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    try {
        PaintBoxPaint(painter);
        ShownPointerRegion = ShownPointerRegion.subtracted(event->region())
                                 .united(PaintedPointerRegion.intersected(event->region()));
        if (event->region().contains(rect())) {
            ShownScene = PaintedScene;
        }
        ReleaseTimer->start(ReleaseAfterMs);
    } catch (const std::exception& e) {
        // Never a box from inside a paint: report after it, once per text.
        const QString text = QString::fromUtf8(e.what());
        if (text != LastPaintError) {
            LastPaintError = text;
            QTimer::singleShot(0, this, [this, text] { ShowError(window(), text); });
        }
    }
}

void TMapWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    PointerPos = p;
    PointerInside = rect().contains(p);
    Guarded(window(), [&] { PanelPaintBoxMouseMove(event->buttons(), p.x(), p.y()); });
}

void TMapWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    Guarded(window(), [&] { PanelPaintBoxMouseDown(event->button(), p.x(), p.y()); });
}

void TMapWidget::mouseReleaseEvent(QMouseEvent* event) {
    Guarded(window(), [&] { PanelPaintBoxMouseUp(event->button()); });
}

void TMapWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Guarded(window(), [&] { PanelPaintBoxDblClick(); });
    }
}

void TMapWidget::resizeEvent(QResizeEvent*) {
    PanelPaintBoxResize();
}

void TMapWidget::enterEvent(QEnterEvent* event) {
    PointerPos = event->position().toPoint();
    PointerInside = true;
}

void TMapWidget::leaveEvent(QEvent*) {
    PointerInside = false;
    update();
}

void TMapWidget::TakePointerFromCursor() {
    PointerPos = mapFromGlobal(QCursor::pos());
    PointerInside = rect().contains(PointerPos);
    update();
}

// ---------------------------------------------------------------- the view

void TMapWidget::LayoutView(bool repaint) {
    View.LayoutView(width(), height());
    if (repaint) {
        this->repaint();
    }
}

void TMapWidget::ZoomTo(float x, float y, float zoom) {
    TimerZoomTo->stop();
    View.SetTarget(x, y, zoom);
    TimerZoomTo->start();
}

void TMapWidget::TimerZoomToTimer() {
    if (!View.FlightStep()) {
        TimerZoomTo->stop();
    }
    repaint();
}

TViewOverlay TMapWidget::Overlay() const {
    TViewOverlay overlay;
    overlay.Highlight = FHighlight;
    overlay.PointerInside = PointerInside && rect().contains(PointerPos);
    overlay.FollowSelection = FFollowSelection;
    overlay.Database = &kiv::ZoneDB;
    overlay.Font = font();
    return overlay;
}

TReadoutWorld TMapWidget::ReadoutWorld() const {
    if (ZonesNeeded) {
        ZonesNeeded();
    }
    ZoneTimer->start(ReleaseZonesAfterMs);
    TReadoutWorld world;
    world.Database = &kiv::ZoneDB;
    world.ZoneImage = ZoneImage;
    world.ShadowMap = ShadowMap;
    world.MapW = View.MapW();
    world.MapH = View.MapH();
    return world;
}

void TMapWidget::UpdateNearest(bool pointerInside) {
    QString title;
    if (pointerInside && ShadowMap &&
        NearestPlaceReadout(kiv::ZoneDB, *ShadowMap, View.ViewToMap(PointerPos.x(), PointerPos.y()),
                            title)) {
        emit NearestPlaceChanged(title);
    }
}

void TMapWidget::PaintBoxPaint(QPainter& painter) {
    TViewOverlay overlay = Overlay();
    if (ListedPlaces) {
        overlay.Listed = ListedPlaces();
    }
    if (!std::exchange(NearestFresh, false)) {
        UpdateNearest(overlay.PointerInside);
    }
    View.Paint(painter, overlay);
    PaintedPointerRegion = View.PointerRegion(overlay);
    PaintedScene = Scene(overlay);
}

TMapWidget::TScene TMapWidget::Scene(const TViewOverlay& overlay) const {
    return {View.LayoutCount(),      overlay.Highlight,
            overlay.FollowSelection, QPointF(View.TargetX, View.TargetY),
            overlay.Listed,          overlay.Font};
}

void TMapWidget::RepaintPointer() {
    TViewOverlay overlay = Overlay();
    if (ListedPlaces) {
        overlay.Listed = ListedPlaces();
    }
    if (!(Scene(overlay) == ShownScene)) {
        repaint();
        return;
    }
    UpdateNearest(overlay.PointerInside);
    const QRegion dirty = ShownPointerRegion.united(View.PointerRegion(overlay));
    if (!dirty.isEmpty()) {
        NearestFresh = true;
        repaint(dirty);
    }
    NearestFresh = false;
}

void TMapWidget::PanelPaintBoxMouseMove(Qt::MouseButtons buttons, int x, int y) {
    if (TimerZoomTo->isActive()) {
        return;
    }
    if (buttons & Qt::LeftButton) {
        setCursor(Qt::SizeAllCursor);
    }
    EmitReadouts(x, y);
    const float zoom = View.Zoom.Value;
    if (buttons & Qt::LeftButton) {
        TimerZoomTo->stop();
        View.OffsetX.SetValue(View.OffsetX.Value - static_cast<float>(x - LastPointer.x()) * zoom);
        View.OffsetY.SetValue(View.OffsetY.Value - static_cast<float>(y - LastPointer.y()) * zoom);
        LayoutView(false);
        repaint();
    } else if (buttons & Qt::MiddleButton) {
        TimerZoomTo->stop();
        View.ZoomBy(static_cast<float>(y - LastPointer.y()) / 100.f);
        LayoutView(false);
        repaint();
    } else {
        RepaintPointer();
    }
    LastPointer = QPoint(x, y);
}

void TMapWidget::EmitReadouts(int x, int y) {
    if (!ShadowMap) {
        return;
    }
    // The moment shown, with the machine's offset in force then.
    kiv::TClock& clock = kiv::CurrentClock();
    const kiv::TDateTime utc = ShownUtc ? ShownUtc() : clock.UtcNow();
    emit ReadoutsChanged(
        PointReadouts(ReadoutWorld(), View.ViewToMap(x, y), utc, clock.OffsetMinutesAt(utc)));
}

void TMapWidget::RefreshReadouts() {
    if (PointerInside && rect().contains(PointerPos) && !TimerZoomTo->isActive()) {
        EmitReadouts(PointerPos.x(), PointerPos.y());
    }
}

void TMapWidget::PanelPaintBoxMouseDown(Qt::MouseButton, int x, int y) {
    LastPointer = QPoint(x, y);
}

void TMapWidget::PanelPaintBoxMouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        unsetCursor();
    }
}

void TMapWidget::PanelPaintBoxDblClick() {
    if (kiv::ZoneDB.Places.empty()) {
        return;
    }
    emit PlaceDoubleClicked(kiv::ZoneDB.Nearest);
}

void TMapWidget::PanelPaintBoxResize() {
    View.SetView(View.OffsetX.Value, View.OffsetY.Value, View.FillZoom(width(), height()));
    LayoutView(false);
}

void TMapWidget::ZoomStep(float delta) {
    TimerZoomTo->stop();
    View.ZoomBy(delta);
    LayoutView(true);
}

void TMapWidget::FormKeyDown(const QKeyEvent& event) {
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    const float x = View.OffsetX.Value;
    const float y = View.OffsetY.Value;
    const float zoom = View.Zoom.Value;
    switch (event.key()) {
    case Qt::Key_Minus:
        if (keypad) {
            FormMouseWheelDown();
        }
        break;
    case Qt::Key_Plus:
        if (keypad) {
            FormMouseWheelUp();
        }
        break;
    case Qt::Key_Left:
        View.SetView(x - 10, y, zoom);
        break;
    case Qt::Key_Right:
        View.SetView(x + 10, y, zoom);
        break;
    case Qt::Key_Up:
        View.SetView(x, y - 10, zoom);
        break;
    case Qt::Key_Down:
        View.SetView(x, y + 10, zoom);
        break;
    default:
        break;
    }
    LayoutView(true);
}

void TMapWidget::keyPressEvent(QKeyEvent* event) {
    Guarded(window(), [&] { FormKeyDown(*event); });
}

void TMapWidget::FormMouseWheelDown() {
    if (MapShown()) {
        ZoomStep(0.1f);
    }
}

void TMapWidget::FormMouseWheelUp() {
    if (MapShown()) {
        ZoomStep(-0.1f);
    }
}

void TMapWidget::MIZoomInClick() {
    if (FFollowSelection) {
        ZoomTo(View.TargetX, View.TargetY, View.Zoom.Value - 0.5f);
    } else {
        ZoomStep(-0.25f);
    }
}

void TMapWidget::MIZoomOutClick() {
    if (FFollowSelection) {
        ZoomTo(View.TargetX, View.TargetY, View.Zoom.Value + 0.5f);
    } else {
        ZoomStep(0.25f);
    }
}

void TMapWidget::N4Click() {
    const float mapW = static_cast<float>(View.MapW());
    const float mapH = static_cast<float>(View.MapH());
    const float pw = static_cast<float>(width());
    const float ph = static_cast<float>(height());
    if (mapW <= 0 || mapH <= 0 || pw <= 0 || ph <= 0) {
        return;
    }
    const float z = mapW / mapH >= pw / ph ? mapW / pw : mapH / ph;
    if (z > View.Zoom.Max) {
        View.Zoom.SetMax(z);
    }
    View.Zoom.SetValue(z);
    LayoutView(true);
    const float vw = pw * View.Zoom.Value;
    const float vh = ph * View.Zoom.Value;
    int growW = 0;
    int growH = 0;
    if (mapW + 1 > vw) {
        growW = static_cast<int>(std::nearbyint((mapW - vw) / View.Zoom.Value));
    }
    if (mapH + 1 > vh) {
        growH = static_cast<int>(std::nearbyint((mapH - vh) / View.Zoom.Value));
    }
    if (growW != 0 || growH != 0) {
        emit GrowWindow(growW, growH);
    }
}

} // namespace app

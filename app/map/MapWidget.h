// The map on screen: the paint box that shows the map view and owns the input
// over it (pointer, buttons, wheel, the flight timer), with the zoom commands.
// It paints and changes the view through TMapView and tells the window what to
// show through signals: the read-outs, the nearest place, a place to add.
#pragma once

#include "app/map/MapView.h"
#include "app/map/Readouts.h"
#include "kiv/KivDateTime.h"

#include <QFont>
#include <QPoint>
#include <QPointF>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QKeyEvent;
class QTimer;

namespace kiv {
class TFastDIB;
}
namespace solar {
class TShadowMap;
}

namespace app {

class TMapWidget : public QWidget {
    Q_OBJECT
public:
    explicit TMapWidget(QWidget* parent);

    TMapView View;
    // The flight toward a target (50 milliseconds a step).
    QTimer* TimerZoomTo;
    // The view's buffers are let go this long after the last paint.
    int ReleaseAfterMs = 3000;
    // Called before the read-outs look at the zone image, and after this long
    // without read-outs: the window reads the image again or lets it go.
    std::function<void()> ZonesNeeded;
    std::function<void()> ZonesIdle;
    int ReleaseZonesAfterMs = 30000;

    // What the read-outs look at; either may be missing (a failed start-up).
    void SetWorld(const kiv::TFastDIB* zoneImage, solar::TShadowMap* shadowMap);
    // The listed places the map marks.
    std::function<std::vector<TViewPlace>()> ListedPlaces;
    // The moment (UTC) the read-outs are for; the clock's present when unset.
    std::function<kiv::TDateTime()> ShownUtc;
    // The read-outs at the pointer again, for another moment.
    void RefreshReadouts();

    // Places near the pointer, the grid and the listed places are drawn.
    bool Highlight() const { return FHighlight; }
    void SetHighlight(bool on) { FHighlight = on; }
    // A list row is selected: the cross is drawn and the zoom commands fly.
    bool FollowSelection() const { return FFollowSelection; }
    void SetFollowSelection(bool on) { FFollowSelection = on; }

    // The pointer as the view last saw it.
    QPoint PointerPos;
    bool PointerInside = false;
    // Takes the pointer's position from the screen cursor and repaints: after
    // a menu closed, the pointer is no longer where the last move left it.
    void TakePointerFromCursor();

    // The view's operations.
    void LayoutView(bool repaint);
    void ZoomTo(float x, float y, float zoom);
    // Handlers, named after their component and event.
    void TimerZoomToTimer();
    void PaintBoxPaint(QPainter& painter);
    void PanelPaintBoxMouseMove(Qt::MouseButtons buttons, int x, int y);
    void PanelPaintBoxMouseDown(Qt::MouseButton button, int x, int y);
    void PanelPaintBoxMouseUp(Qt::MouseButton button);
    void PanelPaintBoxDblClick();
    void PanelPaintBoxResize();
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    // A key on the window: keypad minus and plus zoom as the wheel does, the
    // arrows pan by 10 map pixels; after every key, listed or not, the view is
    // laid out again and repainted.
    void FormKeyDown(const QKeyEvent& event);
    void MIZoomInClick();
    void MIZoomOutClick();
    void N4Click();

signals:
    // The read-outs at the pointer changed.
    void ReadoutsChanged(const app::TPointReadouts& readouts);
    // Another place is the nearest to the pointer.
    void NearestPlaceChanged(const QString& title);
    // A double click asks for the database's place with that index.
    void PlaceDoubleClicked(int placeIndex);
    // "Fit to Screen" wants the window this much larger.
    void GrowWindow(int width, int height);

protected:
    // Tooltips: the time clocks show under the pointer.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ZoomStep(float delta);
    bool MapShown() const;
    // Tells the window the read-outs at a point of the view.
    void EmitReadouts(int x, int y);
    TViewOverlay Overlay() const;
    // What the read-outs at the pointer look at.
    TReadoutWorld ReadoutWorld() const;
    // Queries the nearest place for the pointer; tells the window when it changed.
    void UpdateNearest(bool pointerInside);
    // Repaints after a pointer move that left the view as it was: only where
    // the overlays following the pointer were or now are.
    void RepaintPointer();

    const kiv::TFastDIB* ZoneImage = nullptr;
    solar::TShadowMap* ShadowMap = nullptr;
    QTimer* ReleaseTimer;
    QTimer* ZoneTimer;
    bool FHighlight = false;
    bool FFollowSelection = false;
    QPoint LastPointer;
    QString LastPaintError;
    // Where the pointer's overlays lie on screen, and where the last paint
    // drew them; the nearest place already queried for the coming paint.
    QRegion ShownPointerRegion;
    QRegion PaintedPointerRegion;
    bool NearestFresh = false;
    // Everything but the pointer that decides the picture: a pointer move
    // repaints all of it when this differs from the last whole paint.
    struct TScene {
        std::uint64_t Layout = 0;
        bool Highlight = false;
        bool FollowSelection = false;
        QPointF Target;
        std::vector<TViewPlace> Listed;
        QFont Font;
        bool operator==(const TScene&) const = default;
    };
    TScene Scene(const TViewOverlay& overlay) const;
    TScene PaintedScene;
    TScene ShownScene;
};

} // namespace app

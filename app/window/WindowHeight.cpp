#include "app/window/WindowHeight.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>

namespace app {

bool TWindowHeight::MapHidden() const {
    return MapPanel.isHidden();
}

void TWindowHeight::ShowMap(bool show) {
    if (show) {
        LiftHeightLock();
        MapPanel.show();
        StatusBar.show();
        Window.resize(Window.width(), Window.height() + 200);
        return;
    }
    // Only the height shrinks to the content: the user's width stays, so the
    // rows and the clock line keep their room.
    const int keepWidth = Window.width();
    MapPanel.hide();
    StatusBar.hide();
    Window.setMinimumHeight(0);
    Window.centralWidget()->adjustSize();
    Window.adjustSize();
    QCoreApplication::processEvents();
    const int h = Window.sizeHint().height();
    Window.resize(keepWidth, h);
    Window.setMinimumHeight(h);
    Window.setMaximumHeight(h);
    Window.setMaximumWidth(QWIDGETSIZE_MAX);
    Window.setMinimumWidth(320);
}

void TWindowHeight::ListHeightChanged(int delta) {
    if (MapHidden()) {
        // The height lock is set again once the window fits the new content.
        LiftHeightLock();
    }
    // The list's new height is laid out before the window follows it, so the
    // map is never briefly taller (the flight to the new row would take that
    // moment's zoom for its own). The window grows or shrinks with the list;
    // the map keeps its size and every resize leaves it zoomed fully out.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (delta != 0 && !ListPanel.isHidden() &&
        !(Window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        Window.resize(Window.width(), Window.height() + delta);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
}

void TWindowHeight::RowsChanged() {
    if (MapHidden()) {
        LockHeight();
    }
}

void TWindowHeight::LiftHeightLock() {
    Window.setMinimumHeight(0);
    Window.setMaximumHeight(QWIDGETSIZE_MAX);
    Window.setMinimumWidth(320);
}

void TWindowHeight::LockHeight() {
    QCoreApplication::processEvents();
    const int h = Window.height();
    Window.setMinimumHeight(h);
    Window.setMaximumHeight(h);
    Window.setMaximumWidth(QWIDGETSIZE_MAX);
    Window.setMinimumWidth(320);
}

} // namespace app

// The window benchmarks reach the parts they measure by object name, as a user
// of the window sees them.
#pragma once

#include "app/locations/LocationList.h"
#include "app/map/MapComposer.h"
#include "app/map/MapController.h"
#include "app/map/MapWidget.h"
#include "app/moment/ClockTick.h"
#include "app/moment/MomentControl.h"
#include "app/window/WindowSettings.h"

#include <QAction>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace benchsupport {

template <class T> T* Part(const QObject& window, const char* name) {
    T* part = window.findChild<T*>(QLatin1String(name));
    if (part == nullptr) {
        std::fprintf(stderr, "The window has no %s\n", name);
        std::abort();
    }
    return part;
}

inline app::TMapWidget* PaintBoxOf(const QObject& w) {
    return Part<app::TMapWidget>(w, "PaintBox");
}
inline app::TLocationList* LocationsOf(const QObject& w) {
    return Part<app::TLocationList>(w, "LocationList");
}
inline app::TMapController* MapOf(const QObject& w) {
    return Part<app::TMapController>(w, "MapController");
}
inline app::TDisplaySettings& DisplayOf(const QObject& w) {
    return Part<app::TWindowSettings>(w, "WindowSettings")->Display;
}
inline QAction* ActionOf(const QObject& w, const char* name) {
    return Part<QAction>(w, name);
}
inline QTimer* TimerOf(const QObject& w) {
    return Part<QTimer>(w, "Timer");
}

} // namespace benchsupport

// The main window's parts, controls and commands found by their object names,
// as the window tests and the window benchmarks reach them: the window keeps
// its members to itself.
#pragma once

#include "app/locations/LocationList.h"
#include "app/map/MapComposer.h"
#include "app/map/MapController.h"
#include "app/map/MapWidget.h"
#include "app/moment/ClockTick.h"
#include "app/moment/MomentControl.h"
#include "app/moment/MomentShadow.h"
#include "app/moment/ShownMoment.h"
#include "app/window/DesktopIntegration.h"
#include "app/window/StatusPanel.h"
#include "app/window/TrayIcon.h"
#include "app/window/WindowSettings.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QStatusBar>
#include <QTimer>

namespace apptest {

// A part or control of the window by its object name; the run stops
// where there is none.
template <class T> T* Part(const QObject& form, const char* name) {
    T* part = form.findChild<T*>(QLatin1String(name));
    if (part == nullptr) {
        qFatal("The window has no %s", name);
    }
    return part;
}
// The only part of its kind.
template <class T> T* Part(const QObject& form) {
    T* part = form.findChild<T*>();
    if (part == nullptr) {
        qFatal("The window has no part of the kind asked for");
    }
    return part;
}
inline QAction* ActionOf(const QObject& form, const char* name) {
    return Part<QAction>(form, name);
}
inline QMenu* MenuOf(const QObject& form, const char* name) {
    return Part<QMenu>(form, name);
}
inline QWidget* WidgetOf(const QObject& form, const char* name) {
    return Part<QWidget>(form, name);
}
inline app::TMapWidget* PaintBoxOf(const QObject& form) {
    return Part<app::TMapWidget>(form, "PaintBox");
}
inline app::TLocationList* LocationsOf(const QObject& form) {
    return Part<app::TLocationList>(form, "LocationList");
}
inline app::TMapController* MapOf(const QObject& form) {
    return Part<app::TMapController>(form, "MapController");
}
// The present's shadow map (none after a failed start).
inline solar::TShadowMap* ShadowMapOf(const QObject& form) {
    return MapOf(form)->ShadowMap();
}
inline app::TClockTick* TickOf(const QObject& form) {
    return Part<app::TClockTick>(form, "ClockTick");
}
// One tick of the window's one-second timer.
inline void RunTick(const QObject& form) {
    TickOf(form)->Second();
}
inline app::TWindowSettings* SettingsOf(const QObject& form) {
    return Part<app::TWindowSettings>(form, "WindowSettings");
}
// The display values the tick, the map and the wallpaper read.
inline app::TDisplaySettings& DisplayOf(const QObject& form) {
    return SettingsOf(form)->Display;
}
inline QLabel* ClockLabelOf(const QObject& form) {
    return Part<QLabel>(form, "ClockLabel");
}
inline app::TTrayIcon* TrayOf(const QObject& form) {
    return Part<app::TTrayIcon>(form, "TrayIcon");
}
inline app::TShownMoment* MomentOf(const QObject& form) {
    return Part<app::TShownMoment>(form, "ShownMoment");
}
inline app::TMomentControl* MomentBarOf(const QObject& form) {
    return Part<app::TMomentControl>(form, "MomentControl");
}
inline QTimer* TimerOf(const QObject& form) {
    return Part<QTimer>(form, "Timer");
}
// The text of status-bar panel n.
inline QString StatusText(const QObject& form, int n) {
    return Part<app::TStatusPanel>(form, qPrintable(QStringLiteral("StatusPanel%1").arg(n)))
        ->text();
}
// The map is hidden ("Show Map" off): its panel is.
inline bool MapHidden(const QObject& form) {
    return WidgetOf(form, "PanelClient")->isHidden();
}
// The first activation has run: the settings are loaded and the clock runs.
inline bool Activated(const QObject& form) {
    return TimerOf(form)->isActive();
}

} // namespace apptest

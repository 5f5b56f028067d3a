// What the main window shows: the location list or the single location, the
// map, the clock line and the highlighted cities. Each command's handler sets
// the check mark and applies the state, for the menus and the stored settings
// alike; the commands that depend on the list follow it.
#pragma once

#include "app/window/WindowHeight.h"

#include <QObject>

class QAction;
class QMainWindow;
class QWidget;

namespace app {

class TMapWidget;
class TStatusBar;

class TWindowModes : public QObject {
    Q_OBJECT
public:
    // The commands and controls, by their object names.
    struct TParts {
        QMainWindow* Window = nullptr;
        QWidget* PanelLocations = nullptr;
        QWidget* PanelClient = nullptr;
        QWidget* PanelClock = nullptr;
        TStatusBar* StatusBar = nullptr;
        TMapWidget* PaintBox = nullptr;
        QAction* MultiMode = nullptr;
        QAction* ShowClock = nullptr;
        QAction* MIHighlightCities = nullptr;
        QAction* AddLocationsoverMap1 = nullptr;
        QAction* PIShowMap = nullptr;
        QAction* ShowMap1 = nullptr;
        QAction* PIRemoveLocation = nullptr;
        QAction* AddLocationWizard1 = nullptr;
    };
    TWindowModes(const TParts& parts, QObject* parent);

    // "Highlight Cities": the map marks places near the pointer; off, the
    // status bar shows the pan hint again.
    void SetHighlightCities(bool on);
    void SetShowClock(bool on);
    // "Show Location List": off, the single location replaces the list, and
    // the clock line and the highlighting are switched on (a hidden map shows
    // first: only the map and the clock are left).
    void SetMultiMode(bool on);
    // "Show Map" after its check mark changed; without the list the map
    // cannot be hidden and the mark goes back.
    void ShowMapClick();

    TWindowHeight& Height() { return WindowHeight; }

private:
    TParts Parts;
    TWindowHeight WindowHeight;
};

} // namespace app

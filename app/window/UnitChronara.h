// The main window: it lays out the controls (the list panel, the map, the time
// control, the clock line, the toolbar, the status bar, both context menus and
// the tray icon) and wires each command to the part that does the work: the
// location list, the map widget and its controller, the clock tick, the
// desktop integration, the stored settings. Every control and part carries an
// object name, by which translations and tests find it.
#pragma once

#include "platform/Desktop.h"
#include "platform/TrayHost.h"

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace app {

class TClockTick;
class TDesktopIntegration;
class TLocationList;
class TMapController;
class TMapWidget;
class TMomentControl;
class TShownMoment;
class TStatusBar;
class TTrayIcon;
class TWindowModes;
class TWindowSettings;
class TWizard1;
class TWizard2;

// What the command line asks of the window.
struct TStartOptions {
    bool Max = false; // come to the front at the first activation
    // The data directory root (the program's directory when empty); tests point
    // it at their own files.
    std::string ProgramDir;
    // The settings store's folder (the user's configuration folder when empty).
    std::string SettingsDir;
    // The folder of the machine's zone database ($TZDIR or /usr/share/zoneinfo
    // when empty); "-" reads none, so the shipped tables answer alone.
    std::string ZoneFolder;
    // The desktop service; when empty, the one of this session's desktop.
    std::shared_ptr<platform::TDesktop> Desktop;
    // Where the tray is looked for; when empty, on the user's session bus and
    // (on an X11 display) the display's tray.
    std::shared_ptr<platform::TTrayHost> TrayHost;
};

class TFormChronara : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormChronara(const TStartOptions& options = {}, QWidget* parent = nullptr);
    ~TFormChronara() override;

    // Runs a dialog modally and returns its result. Tests replace it to drive
    // the dialogs without a nested event loop.
    using TShowModal = std::function<int(QDialog&)>;
    static int DefaultShowModal(QDialog& dialog);
    void SetShowModal(TShowModal showModal) { ShowModal = std::move(showModal); }

    // The error a creation step raised, if any.
    QString CreationError() const { return FirstCreationError; }

    // Minimised: into the tray, where there is one. Restored: from the tray or
    // from behind other windows.
    void ApplicationEventsMinimize();
    void ApplicationEventsRestore();
    // A quit signal (SIGTERM from a session manager, Ctrl+C): closes as the
    // user would, but a failed save is reported without waiting for an answer,
    // since nobody may be there to give one.
    void CloseOnSignal();

signals:
    // The window has closed: the program ends.
    void Closed();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Building the controls (UnitChronaraLayout.cpp).
    void CreateActions();
    void CreateMenus();
    void CreateLayout();
    void CreateMoment();
    void CreateStatusBar();
    void CreateTray();
    // Creating the parts and wiring the commands and the parts' signals.
    void CreateParts();
    void ConnectCommands();
    void ConnectParts();
    void ConnectMoment();
    void FormCreate();
    void FormShow(bool intoTray);

    // "Add Location..." / "Change Location...": page 1, then page 2 ("<< Back"
    // returns to page 1), then the place is added.
    void MIAddLocationClick();
    void PIOptionsClick();
    void PIExitClick();

    // The window lives in the tray: there is one and the icon stands in it.
    bool InTray() const;

    // Controls, named as their object names.
    QWidget* PanelLocations = nullptr;
    QLabel* LabelTop = nullptr;
    QWidget* PanelClient = nullptr;
    QToolBar* ToolBar = nullptr;
    QFrame* PanelPaintBox = nullptr;
    TMapWidget* PaintBox = nullptr;
    QFrame* PanelClock = nullptr;
    QLabel* ClockLabel = nullptr;
    // The mark on the clock line while the moment shown is not the present.
    QLabel* MomentMark = nullptr;
    TStatusBar* StatusBar = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    // The places of the map menu, behind "E&xit" and a separator.
    QAction* CityPopupBreak = nullptr;
    QMenu* CityPopupMenu = nullptr;
    TTrayIcon* TrayIcon = nullptr;
    QTimer* Timer = nullptr;

    // List menu (also the tray menu).
    QAction* MIAddLocation = nullptr;
    QAction* PIRemoveLocation = nullptr;
    QAction* PIClearList = nullptr;
    QAction* PIOptions = nullptr;
    QAction* PIAbout = nullptr;
    QAction* MIHighlightCities = nullptr;
    QAction* PIShowMap = nullptr;
    QAction* PIStayOnTop = nullptr;
    QAction* PIExit = nullptr;
    // Map menu.
    QAction* AddLocationWizard1 = nullptr;
    QAction* MIZoomIn = nullptr;
    QAction* MIZoomOut = nullptr;
    QAction* FitToScreen = nullptr; // "N4"
    QAction* PISetDesktopIconTextColor = nullptr;
    QAction* MIOptions = nullptr;
    QAction* MIAbout = nullptr;
    QAction* MultiMode = nullptr;
    QAction* AddLocationsoverMap1 = nullptr;
    QAction* ShowMap1 = nullptr;
    QAction* ShowSM1 = nullptr;
    QAction* ShowClock = nullptr;
    QAction* ShowClouds = nullptr;
    QAction* StayOnTopOfMap = nullptr; // "Stayontop1"
    QAction* Wallpaper = nullptr;
    QAction* TranspDesk = nullptr;
    QAction* ExitOfMap = nullptr; // "Shutdown2"

    // The parts that do the work.
    TLocationList* Locations = nullptr;
    TClockTick* Tick = nullptr;
    TDesktopIntegration* Desktop = nullptr;
    TShownMoment* Moment = nullptr;
    TMomentControl* MomentBar = nullptr;
    TMapController* Map = nullptr;
    TWindowSettings* Settings = nullptr;
    // The list, the map, the clock line, the highlighting; the window's height.
    TWindowModes* Modes = nullptr;
    // The add-location wizard's two pages, created once after the database is
    // loaded and kept for the whole run.
    TWizard1* Wizard1 = nullptr;
    TWizard2* Wizard2 = nullptr;
    TShowModal ShowModal = DefaultShowModal;

    TStartOptions Options;
    QString FirstCreationError;
    bool SettingsLoaded = false;
    // Set when the window closes (cleared when it is shown): the program ends.
    bool WindowClosed = false;
    // The close under way comes from a quit signal.
    bool ClosingOnSignal = false;
};

} // namespace app

// The main window: it builds the controls (the list panel, the map, the clock
// line, the toolbar, the status bar, both context menus and the tray icon) and
// wires each command to the unit that does the work: the location list, the
// map widget, the clock tick. It owns the images, the shadow map and the
// stored settings.
#pragma once

#include "app/locations/LocationList.h"
#include "app/map/MapWidget.h"
#include "app/map/Readouts.h"
#include "app/moment/ClockTick.h"
#include "app/settings/DisplaySettings.h"
#include "app/text/RepeatedErrors.h"
#include "app/window/DesktopIntegration.h"
#include "kiv/KivFastDIB.h"
#include "platform/PostedCalls.h"
#include "platform/TrayHost.h"
#include "solar/ShadowMap.h"

#include <QList>
#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;

namespace app {

class TMomentControl;
class TMapComposer;
class TMomentShadow;
class TShownMoment;
class TStatusPanel;
class TTrayIcon;
class Toptions;
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

    // Controls, named as their object names.
    QWidget* PanelTop = nullptr;
    QWidget* PanelLocations = nullptr;
    QLabel* LabelTop = nullptr;
    QWidget* PanelClient = nullptr;
    QToolBar* ToolBar = nullptr;
    QFrame* PanelPaintBox = nullptr;
    TMapWidget* PaintBox = nullptr;
    QFrame* PanelClock = nullptr;
    QLabel* ClockLabel = nullptr;
    QStatusBar* StatusBar = nullptr;
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
    QAction* N4 = nullptr;
    QAction* PISetDesktopIconTextColor = nullptr;
    QAction* MIOptions = nullptr;
    QAction* MIAbout = nullptr;
    QAction* MultiMode = nullptr;
    QAction* AddLocationsoverMap1 = nullptr;
    QAction* ShowMap1 = nullptr;
    QAction* ShowSM1 = nullptr;
    QAction* ShowClock = nullptr;
    QAction* ShowClouds = nullptr;
    QAction* Stayontop1 = nullptr;
    QAction* Wallpaper = nullptr;
    QAction* TranspDesk = nullptr;
    QAction* Shutdown2 = nullptr;
    // Toolbar buttons act as these actions.
    QAction* TBZoomIn = nullptr;
    QAction* TBZoomOut = nullptr;
    QAction* TBAddLocation = nullptr;
    QAction* TBOptions = nullptr;
    QAction* TBAbout = nullptr;

    // The parts that do the work.
    TLocationList* Locations = nullptr;
    TClockTick* Tick = nullptr;
    TDesktopIntegration* Desktop = nullptr;
    // The moment shown, the time control beside the map that picks it, the
    // mark on the clock line while it is not the present, and its map: its
    // shadow, mixed by a composer of its own into MomentImage, which the view
    // shows instead of DayImage (UnitChronaraMoment.cpp).
    TShownMoment* Moment = nullptr;
    TMomentControl* MomentBar = nullptr;
    QLabel* MomentMark = nullptr;
    TMomentShadow* MomentShadow = nullptr;
    TMapComposer* MomentComposer = nullptr;
    kiv::TFastDIB MomentImage;
    kiv::TDateTime MomentImageMoment = 0;

    // Window state: the stored display settings, and what is not stored.
    TDisplaySettings Settings;
    bool MapHidden = false;
    bool SettingsLoaded = false;

    // Images: zone colours, day (after each rebuild the composed map); the
    // composer and the shadow map keep their own buffers.
    kiv::TFastDIB ZoneImage;
    kiv::TFastDIB DayImage;
    std::unique_ptr<solar::TShadowMap> ShadowMap;
    TMapComposer* MapComposer = nullptr;

    // The add-location wizard's two pages, created once after the database is
    // loaded and kept for the whole run (owned by the window).
    TWizard1* Wizard1 = nullptr;
    TWizard2* Wizard2 = nullptr;
    // Runs a dialog modally and returns its result. Tests replace it to drive
    // the wizard pages without a nested event loop.
    std::function<int(QDialog&)> ShowModal = DefaultShowModal;
    static int DefaultShowModal(QDialog& dialog);

    // The stored settings (WindowSettings.cpp): the window as the settings code
    // sees it, the options dialog that loads and saves them.
    std::unique_ptr<TWindowSettings> StoredSettings;
    Toptions* OptionsDialog = nullptr;
    // The hidden cloud switch keeps only its state: no cloud image is fetched
    // or drawn. Switching on starts CloudDownloadTimer, which ticks once a
    // second later and stops; switching off stops it. Either way the map is
    // rebuilt.
    QTimer* CloudDownloadTimer = nullptr;
    void ShowCloudsClick();
    void PIOptionsClick();
    // Closing, for every way of closing: the settings are saved first. Gives
    // the failed save's message (empty when saved), for closing to report
    // once the desktop is put back.
    QString FormCloseQuery();
    // A quit signal (SIGTERM from a session manager, Ctrl+C): closes as the
    // user would, but a failed save is reported without waiting for an answer,
    // since nobody may be there to give one.
    void CloseOnSignal();

    // The error a creation step raised, if any (tests read it).
    QString CreationError;

    // The text of status-bar panel n.
    QString StatusPanelText(int n) const;

    // Handlers, named after their component and event.
    void FormCreate();
    void FormShow(bool intoTray);
    // The map rebuild (WindowMapRebuild.cpp): composed at once, or on the
    // composer's worker after a shadow refresh (the newest request wins).
    void MapRebuild();
    void RequestMapRebuild();
    // Takes up the composed map: wallpaper, view.
    void ShowComposedMap();
    void TimerTimer();
    // "Add Location..." / "Change Location...": page 1, then page 2 ("<< Back"
    // returns to page 1), then AddLocation with the result.
    void MIAddLocationClick();
    // "About...": a new About box, shown modally and destroyed when it closes.
    void MIAboutClick();
    void MIHighlightCitiesClick();
    void PIShowMapClick();
    void ShowSM1Click();
    void ShowClockClick();
    void MultiModeClick();
    void PopupMenu2Popup();
    void PIExitClick();
    void ApplicationEventsMinimize();
    void ApplicationEventsRestore();

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
    void CreateStatusBar();
    void CreateTray();
    // Wiring the commands and the parts' signals.
    void ConnectCommands();
    void ConnectParts();
    void ConnectDesktop();
    void CreateDialogs();
    void CreateSettings();
    // The moment shown (UnitChronaraMoment.cpp): the control, the mark and the
    // moment's map; a rewrite of every time text for the moment shown (a tick
    // of the timer also counts toward the shadow refresh).
    void CreateMoment();
    void MomentChanged();
    void MomentShadowReady();
    void MomentComposed();
    void RunTick(bool counts);
    // The moment the composer is mixing the map of (0: none wanted).
    kiv::TDateTime MomentComposing = 0;
    QString ReportedMomentError;
    void CreateMapComposer();
    // The shadow the map is composed through: none when the shadow is off.
    const kiv::TFastDIB* MapShadow() const;

    // A shadow computation completed (WindowShadow.cpp): a refused date said
    // once, the map rebuild requested.
    void ShadowReady();
    void ReportRefusedDate();
    void SetStatusPanel(int n, const QString& text);
    void ShowReadouts(const TPointReadouts& readouts);
    QString LoadImageInto(kiv::TFastDIB& image, const char* relativeName);
    // The zone image, read whole and reduced to its palette, or left empty.
    void LoadZoneImage();
    // The dispatcher the shadow map hands its completion to: runs it on this
    // window's thread, and never after the window is gone.
    std::function<void(std::function<void()>)> WindowDispatcher();
    // The window's height follows the list while the map is hidden.
    void ListHeightChanged(int delta);
    void LiftHeightLock();
    // The window lives in the tray: there is one and the icon stands in it.
    bool InTray() const;
    void DisableTrayItems();
    // The list menu's items that minimising disabled, enabled again (those of
    // the list stay off while the list is switched off).
    void EnableTrayItems();
    void LockHeight();
    // Shows an error raised by a handler and goes on.
    void ReportError(const std::exception& e);

    std::array<TStatusPanel*, 8> StatusPanels{};
    TStartOptions Options;
    // The last errors shown of the map rebuild and of the solar library.
    TRepeatedErrors RebuildErrors;
    TRepeatedErrors RefusedDates;
    // Set when the window closes (cleared when it is shown): the program ends.
    bool WindowClosed = false;
    // The close under way comes from a quit signal.
    bool ClosingOnSignal = false;
    // Shared with the dispatcher: cleared when the window goes, so a late
    // completion is dropped instead of reaching a destroyed window.
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
    // The shadow worker's completions, onto the window thread.
    platform::TPostedCalls* Posted = new platform::TPostedCalls(this);
};

} // namespace app

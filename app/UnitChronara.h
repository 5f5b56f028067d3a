// The main window: the map view, the list of places, the clock line, the
// toolbar, the status bar read-outs, both context menus and the tray icon.
#pragma once

#include "app/ClockText.h"
#include "app/LocationList.h"
#include "app/MapView.h"
#include "kiv/KivFastDIB.h"
#include "solar/shadow.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QMenu;
class QStatusBar;
class QSystemTrayIcon;
class QTimer;
class QToolBar;

namespace app {

class TFormChronara;
class TWizard1;
class TWizard2;

// What the command line asks of the window.
struct TStartOptions {
    bool Max = false; // come to the front at the first activation
    // The data directory root (the program's directory when empty); tests point
    // it at their own files.
    std::string ProgramDir;
};

// The paint box: paints through the form's map view and hands mouse events to
// the form's handlers.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(TFormChronara* form, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TFormChronara* Form;
    QString LastPaintError;
};

// The place shown when the list is switched off.
struct TSingleLocation {
    QString Name = QStringLiteral("Melbourne, Australia");
    QString ZoneName = QStringLiteral("Australia/Melbourne");
    double Latitude = -37.81667;
    double Longitude = 144.96667;
    int UtcOffset = 0;
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
    TPaintBox* PaintBox = nullptr;
    QFrame* PanelClock = nullptr;
    QLabel* ClockLabel = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 8> StatusPanels{};
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;
    QTimer* Timer = nullptr;
    QTimer* TimerZoomTo = nullptr;

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

    // Window state.
    int ShadowRefreshCounter = 599;
    int SMUpdate = 600;
    int WallpaperWidth = 1024;
    bool ShowDate = true, ShowZA = true, ShowSA = false;
    bool CShowDate = true, CShowZA = false, CShowSA = false, CShowCty = false;
    bool ShowSM = true;
    bool MapHidden = false;
    bool TickBusy = false;
    bool SettingsLoaded = false;
    int MachineUtcOffset = 0; // minutes east of UTC, standard time
    TSingleLocation SingleLocation;
    QString SavedWallpaper[3];

    // Images: zone colours, day (after each rebuild the composed map), night,
    // and the shadow-map's own buffers live in ShadowMap.
    kiv::TFastDIB ZoneImage;
    kiv::TFastDIB DayImage;
    kiv::TFastDIB NightImage;
    std::unique_ptr<solar::TShadowMap> ShadowMap;
    TMapView View;

    bool MultiModeOn() const;
    // A list row is selected: the cross is drawn and the zoom commands fly.
    bool FollowSelection = false;
    // The listed places the map marks.
    std::vector<TViewPlace> ListedPlaces() const;
    // Commands that stay disabled until the work behind them exists.
    QList<QAction*> NotYetBuilt;

    // The listed places in display order (row 0 at the top).
    std::vector<TLocationEntry> LocationList;
    // Adds a place to the list (or, with the list switched off, makes it the
    // single location); a place already listed is selected instead.
    void AddLocation(const QString& name, const QString& zoneName, double latitude,
                     double longitude);
    // Selects the row (-1: none), flies the view to it and finds the places near it.
    void SelectLocation(int index);
    void DeleteLocation(int index);
    // Adds the database's place with that index.
    void AddPlace(int placeIndex);
    void PIRemoveLocationClick();
    void PIClearListClick();
    void PopupMenu1Popup();
    void PopupMenu2Popup();
    // A click on row `row`'s name or time label; -1 is a double click on the
    // clock line.
    void ClockLabelDblClick(int row = -1);
    void LabelTopMouseEnter(int row);
    void LabelTopMouseLeave(int row);
    void CityPopupClick(int placeIndex);
    void MultiModeClick();

    // The add-location wizard's two pages, created once after the database is
    // loaded and kept for the whole run (owned by the window).
    TWizard1* Wizard1 = nullptr;
    TWizard2* Wizard2 = nullptr;
    // Runs a dialog modally and returns its result. Tests replace it to drive
    // the wizard pages without a nested event loop.
    std::function<int(QDialog&)> ShowModal = DefaultShowModal;
    static int DefaultShowModal(QDialog& dialog);
    // "Add Location..." / "Change Location...": page 1, then page 2 ("<< Back"
    // returns to page 1), then AddLocation with the result.
    void MIAddLocationClick();
    // The row of the label the list menu was last opened on; -1 when it was
    // opened elsewhere (the hint label, the tray icon).
    int PopupRow() const;

    // Handlers, named after their component and event.
    void FormCreate();
    void FormShow();
    void MapRebuild();
    void TimerTimer();
    void TimerZoomToTimer();
    void LayoutView(bool repaint);
    void ZoomTo(float x, float y, float zoom);
    void PaintBoxPaint(QPainter& painter);
    void PanelPaintBoxMouseMove(Qt::MouseButtons buttons, int x, int y);
    void PanelPaintBoxMouseDown(Qt::MouseButton button, int x, int y);
    void PanelPaintBoxMouseUp(Qt::MouseButton button);
    void PanelPaintBoxDblClick();
    void PanelPaintBoxResize();
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    void MIZoomInClick();
    void MIZoomOutClick();
    void N4Click();
    void MIHighlightCitiesClick();
    void PIShowMapClick();
    void ShowSM1Click();
    void ShowClockClick();
    void PIExitClick();
    void ApplicationEventsMinimize();
    void ApplicationEventsRestore();

    // The text of status-bar panel n.
    QString StatusPanelText(int n) const;
    // The pointer as the view last saw it, in paint-box coordinates.
    QPoint PointerPos;
    bool PointerInside = false;
    // The dispatcher the shadow map hands its completion to: runs it on this
    // window's thread, and never after the window is gone.
    std::function<void(std::function<void()>)> WindowDispatcher();

    // Called once per error a creation step raised (tests read it).
    QString CreationError;

    // Shows an error raised by a handler and goes on.
    void ReportError(const std::exception& e);
    // Runs a handler; an error it raises is shown and the window goes on.
    template <class F> void Guarded(F&& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            ReportError(e);
        }
    }

signals:
    // The window has closed: the program ends.
    void Closed();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateLayout();
    void CreateTray();
    void CreateDialogs();
    void SetStatusPanel(int n, const QString& text);
    void UpdateReadouts(int x, int y);
    void RefreshShadow();
    QString LoadImageInto(kiv::TFastDIB& image, const char* relativeName);
    // The location list's helpers.
    void CreateLocationRow(TLocationEntry& entry);
    void OpenRowMenu(TLocationRow* row, const QPoint& globalPos);
    int RowIndexOf(const TLocationRow* row) const;
    void FitWindowToList();
    void LiftHeightLock();
    void LockHeight();
    // The clock line for a place: its name (before the first comma unless
    // CShowCty), a colon and its time text.
    QString ClockLineText(const QString& name, double latitude, double longitude,
                          kiv::TDateTime local, const QString& abbreviation,
                          const TSunAnglePiece& sunAngle, const TClockFormats& formats);
    // Reports a zone error after the tick (each text once per tick).
    void ReportZoneError(const QString& text);
    QStringList PendingZoneErrors;
    // Remembered text widths of the rows' font and of the clock line's.
    TTextWidthCache RowWidths;
    TTextWidthCache ClockWidths;

    TStartOptions Options;
    QPoint LastPointer;
    // Shared with the dispatcher: cleared when the window goes, so a late
    // completion is dropped instead of reaching a destroyed window.
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
    // The row whose label opens the list menu, set just before it opens, and
    // the row of the menu's last opening (null when it opened elsewhere).
    QPointer<TLocationRow> RowOfNextPopup;
    QPointer<TLocationRow> PopupRowShape;
    // The list panel's height: the hint label's 17 pixels or the rows'.
    int ListPanelHeight = 17;
    // The zone error the single location last reported.
    QString SingleZoneError;
};

} // namespace app

#include "app/window/UnitChronara.h"

#include "app/commandline/ZoneRulesText.h"
#include "app/dialogs/AboutBox.h"
#include "app/dialogs/AddLocationPage1.h"
#include "app/dialogs/AddLocationPage2.h"
#include "app/locations/LocationList.h"
#include "app/locations/PlacesMenu.h"
#include "app/map/MapController.h"
#include "app/map/MapWidget.h"
#include "app/moment/ClockTick.h"
#include "app/moment/MomentControl.h"
#include "app/moment/ShownMoment.h"
#include "app/text/Messages.h"
#include "app/text/Translation.h"
#include "app/window/DesktopIntegration.h"
#include "app/window/DoubleClickFilter.h"
#include "app/window/StatusBar.h"
#include "app/window/TrayIcon.h"
#include "app/window/WindowModes.h"
#include "app/window/WindowSettings.h"
#include "kiv/KivTimeZone.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QSessionManager>
#include <QTimer>
#include <QWheelEvent>

#include <clocale>

namespace app {

TFormChronara::TFormChronara(const TStartOptions& options, QWidget* parent)
    : QMainWindow(parent), Options(options) {
    setObjectName(QStringLiteral("FormChronara"));
    CreateActions();
    CreateMenus();
    CreateLayout();
    CreateStatusBar();
    CreateTray();
    CreateMoment();
    CreateParts();
    ConnectCommands();
    ConnectParts();
    ConnectMoment();
    FormCreate();
    TranslateWindow(this);
}

TFormChronara::~TFormChronara() {
    // The controller lets go of the map's world before the map goes.
    delete Map;
}

// ---------------------------------------------------------------- the parts

void TFormChronara::CreateParts() {
    Locations = new TLocationList(PanelLocations, LabelTop, this);
    Modes = new TWindowModes({this, PanelLocations, PanelClient, PanelClock, StatusBar, PaintBox,
                              MultiMode, ShowClock, MIHighlightCities, AddLocationsoverMap1,
                              PIShowMap, ShowMap1, PIRemoveLocation, AddLocationWizard1},
                             this);
    Tick = new TClockTick(this, this);
    Desktop = new TDesktopIntegration(
        this, {Wallpaper, TranspDesk, PISetDesktopIconTextColor, StayOnTopOfMap, PIStayOnTop},
        Options.Desktop, Options.ProgramDir);
    Settings = new TWindowSettings({this, PanelClock, ClockLabel, Locations, Desktop, ShowClock,
                                    MultiMode, Wallpaper, TranspDesk, ShowClouds, MIHighlightCities,
                                    ShowSM1, QString::fromStdString(Options.SettingsDir)},
                                   this);
    Map =
        new TMapController({this, PaintBox, Moment, &Settings->Display, Options.ProgramDir}, this);
    // The wallpaper is made from every new map of the present.
    connect(Map, &TMapController::DayMapComposed, Desktop, [this](const kiv::TFastDIB& day) {
        Desktop->BuildWallpaper(day, Settings->Display.WallpaperWidth);
    });
    Desktop->ShadowBusy = [this] { return Map->Busy(); };
    Desktop->RefreshSoon = [this] {
        Settings->Display.ShadowRefreshCounter = Settings->Display.SMUpdate - 1;
    };
    TrayIcon->SetWindowItems(
        {MIAddLocation, MIHighlightCities, PIRemoveLocation, PIShowMap, PIStayOnTop}, MultiMode,
        {PIRemoveLocation, MIHighlightCities, PIShowMap});
}

void TFormChronara::ConnectCommands() {
    auto on = [this](QAction* a, auto handler) {
        connect(a, &QAction::triggered, this, [this, handler] { Guarded(this, handler); });
    };
    auto onChecked = [this](QAction* a, void (TWindowModes::*apply)(bool)) {
        connect(a, &QAction::triggered, Modes, [this, apply](bool checked) {
            TWindowModes* modes = Modes;
            Guarded(this, [modes, apply, checked] { (modes->*apply)(checked); });
        });
    };
    on(MIZoomIn, [this] { PaintBox->MIZoomInClick(); });
    on(MIZoomOut, [this] { PaintBox->MIZoomOutClick(); });
    on(FitToScreen, [this] { PaintBox->N4Click(); });
    onChecked(MIHighlightCities, &TWindowModes::SetHighlightCities);
    onChecked(ShowClock, &TWindowModes::SetShowClock);
    onChecked(MultiMode, &TWindowModes::SetMultiMode);
    on(PIShowMap, [this] { Modes->ShowMapClick(); });
    // The twin items flip the master item, which does the work; a twin is
    // usable exactly when its master is.
    for (auto [master, twin] :
         {std::pair{MIHighlightCities, AddLocationsoverMap1}, std::pair{PIShowMap, ShowMap1}}) {
        connect(twin, &QAction::triggered, this, [master, twin] {
            twin->setChecked(!twin->isChecked());
            master->trigger();
        });
        twin->setEnabled(master->isEnabled());
        connect(master, &QAction::enabledChanged, twin, &QAction::setEnabled);
    }
    on(ShowSM1, [this] { Map->ApplyShowShadow(); });
    connect(ShowClouds, &QAction::triggered, Settings, &TWindowSettings::SetShowClouds);
    // The toolbar's add button triggers MIAddLocation.
    on(MIAddLocation, [this] { MIAddLocationClick(); });
    on(AddLocationWizard1, [this] { MIAddLocationClick(); });
    on(PIExit, [this] { PIExitClick(); });
    on(PIAbout, [this] { TFormAboutBox::Execute(this, ShowModal); });
    on(MIAbout, [this] { TFormAboutBox::Execute(this, ShowModal); });
    connect(ExitOfMap, &QAction::triggered, PIExit, &QAction::trigger);
    on(PIRemoveLocation, [this] { Locations->PIRemoveLocationClick(); });
    on(PIClearList, [this] { Locations->PIClearListClick(); });
    on(PIOptions, [this] { PIOptionsClick(); });
    on(MIOptions, [this] { PIOptionsClick(); });
    connect(Timer, &QTimer::timeout, Tick, [this] { Guarded(this, [this] { Tick->Second(); }); });

    // The stored states, applied as their commands.
    connect(Settings, &TWindowSettings::ShowClockSet, Modes, &TWindowModes::SetShowClock);
    connect(Settings, &TWindowSettings::MultiModeSet, Modes, &TWindowModes::SetMultiMode);
    connect(Settings, &TWindowSettings::HighlightCitiesSet, Modes,
            &TWindowModes::SetHighlightCities);
    connect(Settings, &TWindowSettings::MapChanged, this,
            [this] { Guarded(this, [this] { Map->MapRebuild(); }); });
    // The end of the desktop session closes the window as the user would, so
    // the settings and the list are saved.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { close(); });

    // The list menu: over the hint label, a row or the tray icon.
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        Guarded(this, [this] {
            PIRemoveLocation->setVisible(!Locations->IsEmpty());
            Locations->MenuOpening();
        });
    });
    // The row of this opening is forgotten once its command (which runs right
    // after the menu hides) is done, so a later opening from the tray never
    // acts on it.
    connect(PopupMenu1, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, Locations, &TLocationList::MenuClosed); });
    // Once a menu closes, the map paints from where the pointer is now.
    for (QMenu* menu : {PopupMenu1, PopupMenu2}) {
        connect(menu, &QMenu::aboutToHide, PaintBox, &TMapWidget::TakePointerFromCursor);
    }
    connect(LabelTop, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(LabelTop->mapToGlobal(p)); });
    // The map menu, over the map and its frame.
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] {
        Guarded(this,
                [this] { FillPlacesMenu(*CityPopupMenu, *CityPopupBreak, *Locations, this); });
    });
    for (QWidget* w : {static_cast<QWidget*>(PanelPaintBox), static_cast<QWidget*>(PaintBox)}) {
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint& p) { PopupMenu2->popup(w->mapToGlobal(p)); });
    }
    ClockLabel->installEventFilter(new TDoubleClickFilter(
        ClockLabel, [this] { Guarded(this, [this] { Locations->ClockLabelDblClick(); }); }));
    connect(TrayIcon, &TTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    ApplicationEventsRestore();
                }
            });
}

void TFormChronara::ConnectParts() {
    // The map mirrors "Highlight Cities"; the list follows "Show Location List".
    connect(MIHighlightCities, &QAction::toggled, PaintBox, &TMapWidget::SetHighlight);
    connect(MultiMode, &QAction::toggled, Locations, &TLocationList::SetListMode);

    // The list tells the map where to fly and the window how to fit.
    connect(Locations, &TLocationList::FlyToRow, PaintBox, [this](float x, float y, bool closest) {
        const solar::TSingleLimiter& zoom = PaintBox->View.Zoom;
        PaintBox->ZoomTo(x, y, closest ? zoom.Min : zoom.Value);
    });
    connect(Locations, &TLocationList::FlyTo, PaintBox, &TMapWidget::ZoomTo);
    connect(Locations, &TLocationList::SelectionChanged, PaintBox, &TMapWidget::SetFollowSelection);
    connect(Locations, &TLocationList::HeightChanged, this,
            [this](int delta) { Modes->Height().ListHeightChanged(delta); });
    connect(Locations, &TLocationList::RowsChanged, this, [this](bool added) {
        Modes->Height().RowsChanged();
        if (added) {
            update();
        }
    });
    connect(Locations, &TLocationList::ShowMapRequested, this, [this] {
        if (Modes->Height().MapHidden()) {
            // As "Show Map" does.
            PIShowMap->setChecked(true);
            Modes->ShowMapClick();
        }
    });
    connect(Locations, &TLocationList::RowMenuRequested, PopupMenu1,
            [this](const QPoint& p) { PopupMenu1->popup(p); });

    // The map shows the listed places and reports what lies under the pointer.
    PaintBox->ListedPlaces = [this] { return Locations->ListedPlaces(); };
    connect(PaintBox, &TMapWidget::ReadoutsChanged, StatusBar, &TStatusBar::ShowReadouts);
    connect(PaintBox, &TMapWidget::NearestPlaceChanged, StatusBar, [this](const QString& title) {
        StatusBar->SetPanel(0, title);
        StatusBar->update();
    });
    connect(PaintBox, &TMapWidget::PlaceDoubleClicked, this, [this](int placeIndex) {
        // The new row shows its time at once.
        Locations->AddPlace(placeIndex);
        Tick->Second();
    });
    connect(PaintBox, &TMapWidget::GrowWindow, this,
            [this](int w, int h) { resize(width() + w, height() + h); });
}

// The moment picked on the time control goes to the map and to the clock
// tick; the tick reads the rest of its scene from the window's parts.
void TFormChronara::ConnectMoment() {
    connect(Moment, &TShownMoment::Changed, Map,
            [this] { Guarded(this, [this] { Map->MomentChanged(); }); });
    connect(Moment, &TShownMoment::Changed, Tick,
            [this] { Guarded(this, [this] { Tick->Rewrite(); }); });
    // The view shows the moment's shadow only while shadows are shown at all.
    connect(ShowSM1, &QAction::toggled, Map,
            [this](bool on) { Guarded(this, [&] { Map->SetShowShadow(on); }); });
    connect(ShowSM1, &QAction::toggled, Tick,
            [this] { Guarded(this, [this] { Tick->Rewrite(); }); });
    // Without the map the control is out of sight: the present comes back.
    connect(PIShowMap, &QAction::toggled, Moment, [this](bool shown) {
        if (!shown) {
            Moment->ShowPresent();
        }
    });
    connect(Tick, &TClockTick::PresentShown, MomentBar, &TMomentControl::Synchronise);
    Tick->Attach(Moment, MomentMark, [this] {
        TTickScene scene;
        scene.Settings = &Settings->Display;
        scene.List = Locations;
        scene.ClockLabel = ClockLabel;
        scene.TrayIcon = TrayIcon;
        scene.ShadowMap = Map->ShadowMap();
        scene.ShowClock = ShowClock->isChecked();
        scene.MapHidden = Modes->Height().MapHidden();
        scene.WindowVisible = isVisible();
        return scene;
    });
}

// ---------------------------------------------------------------- life cycle

void TFormChronara::FormCreate() {
    // Numbers are read and written with "." whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    setWindowTitle(ApplicationTitle);
    // Each step stands alone: what fails is reported, and only what needs it
    // goes without (no zone image: no zone read-outs; no day image: no map).
    auto step = [this](auto&& work) {
        try {
            work();
        } catch (const std::exception& e) {
            if (FirstCreationError.isEmpty()) {
                FirstCreationError = QString::fromUtf8(e.what());
            }
            ShowError(this, QString::fromUtf8(e.what()));
        }
    };
    step([this] { Map->LoadZoneImage(); });
    step([this] { Map->LoadDayImage(); });
    step([this] {
        try {
            kiv::ZoneDB.LoadDatabase(Options.ProgramDir);
            UseZoneFolder(kiv::ZoneDB, Options.ZoneFolder);
        } catch (...) {
            // A half-loaded database would fail on every pointer move: the
            // window goes on without one.
            kiv::ZoneDB.Clear();
            throw;
        }
    });
    Locations->SingleLocation = TSingleLocation{};
    // After the database: page 1 lists its countries once, here.
    Wizard1 = new TWizard1(kiv::ZoneDB, this);
    Wizard2 = new TWizard2(*Wizard1, kiv::ZoneDB, this);
}

void TFormChronara::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    WindowClosed = false;
    Map->SetWindowClosed(false);
    // Whether the start goes into the tray is settled as the window shows: a
    // tray that comes while the settings load only gets the icon, and the
    // window the user already sees stays.
    const bool intoTray = !Options.Max && InTray();
    // Deferred, so the window is on screen before the first activation runs.
    QTimer::singleShot(0, this, [this, intoTray] { FormShow(intoTray); });
}

void TFormChronara::FormShow(bool intoTray) {
    if (SettingsLoaded) {
        return;
    }
    SettingsLoaded = true;
    Desktop->ReadUserWallpaper();
    Settings->Load();
    QCoreApplication::processEvents();
    Timer->start();
    if (Options.Max) {
        raise();
        activateWindow();
    } else if (intoTray) {
        // Straight into the tray, hidden without being minimised first: the
        // window system then holds no minimised state that the first click on
        // the icon would have to undo.
        TrayIcon->DisableWindowItems();
        hide();
    }
    // Without a tray the window stays as shown: hidden or minimised, nothing
    // would bring it back (a tray that comes later only gets the icon).
}

void TFormChronara::wheelEvent(QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    Guarded(this, [&] {
        if (dy < 0) {
            PaintBox->FormMouseWheelDown();
        } else if (dy > 0) {
            PaintBox->FormMouseWheelUp();
        }
    });
    event->accept();
}

void TFormChronara::keyPressEvent(QKeyEvent* event) {
    Guarded(this, [&] { PaintBox->FormKeyDown(*event); });
}

void TFormChronara::closeEvent(QCloseEvent* event) {
    WindowClosed = true;
    // Every way of closing saves the settings first.
    const QString saveError = Settings->SaveOnClose();
    Timer->stop();
    PaintBox->TimerZoomTo->stop();
    TrayIcon->hide();
    // The user's wallpaper goes back before anything waits for an answer.
    Desktop->FormClose(!ClosingOnSignal);
    if (!saveError.isEmpty()) {
        if (ClosingOnSignal) {
            ReportWithoutWaiting(TMessageKind::Error, saveError);
        } else {
            ShowError(this, saveError);
        }
    }
    ClosingOnSignal = false;
    event->accept();
    // Closing ends the program.
    Map->SetWindowClosed(true);
    emit Closed();
}

void TFormChronara::CloseOnSignal() {
    ClosingOnSignal = true;
    close();
    ClosingOnSignal = false;
}

void TFormChronara::PIExitClick() {
    // Wait for a running shadow computation, keeping the window responsive. A
    // close by another way meanwhile (a quit signal, the end of the session,
    // the close box) ends the wait: the program is ending, its event loops
    // return at once from then on, and the completion would never come.
    while (Map->ShadowMap() && Map->ShadowMap()->Busy() && !WindowClosed) {
        QEventLoop wait;
        QTimer::singleShot(500, &wait, &QEventLoop::quit);
        wait.exec();
    }
    if (!WindowClosed) {
        close();
    }
}

void TFormChronara::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        const auto oldState = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        if (isMinimized()) {
            ApplicationEventsMinimize();
        } else if (oldState & Qt::WindowMinimized) {
            // Restored by any way (the window manager, the taskbar, the tray).
            TrayIcon->EnableWindowItems();
        }
    }
}

void TFormChronara::ApplicationEventsMinimize() {
    TrayIcon->DisableWindowItems();
    // Into the tray: no taskbar button while an icon stands for the window.
    if (InTray()) {
        QTimer::singleShot(0, this, [this] { hide(); });
    }
}

void TFormChronara::ApplicationEventsRestore() {
    TrayIcon->EnableWindowItems();
    showNormal();
    raise();
    activateWindow();
}

bool TFormChronara::InTray() const {
    return TrayIcon->isVisible();
}

// ---------------------------------------------------------------- commands

void TFormChronara::PIOptionsClick() {
    if (Settings->RunOptions(ShowModal)) {
        Map->MapRebuild();
    }
}

// ---------------------------------------------------------------- the wizard

int TFormChronara::DefaultShowModal(QDialog& dialog) {
    return dialog.exec();
}

void TFormChronara::MIAddLocationClick() {
    if (RunAddLocationPages(*Wizard1, *Wizard2, ShowModal)) {
        Locations->AddLocation(Wizard2->DisplayName, Wizard2->ZoneName, Wizard2->Latitude,
                               Wizard2->Longitude);
    }
}

} // namespace app

#include "app/window/UnitChronara.h"

#include "app/commandline/DataFiles.h"
#include "app/commandline/ZoneRulesText.h"
#include "app/dialogs/AboutBox.h"
#include "app/dialogs/AddLocationPage1.h"
#include "app/dialogs/AddLocationPage2.h"
#include "app/dialogs/OptionsDialog.h"
#include "app/map/MapComposer.h"
#include "app/text/LocaleText.h"
#include "app/text/Messages.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "app/window/StatusPanel.h"
#include "app/window/TrayIcon.h"
#include "app/window/WindowSettings.h"
#include "kiv/KivClock.h"
#include "kiv/KivData.h"
#include "kiv/KivFastDibLoaders.h"
#include "kiv/KivPalette.h"
#include "kiv/KivTimeZone.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProcessEnvironment>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWheelEvent>

#include <clocale>

namespace app {

namespace {

// Calls a function on every left double click on the widget it filters.
class TDoubleClickFilter : public QObject {
public:
    TDoubleClickFilter(QObject* parent, std::function<void()> onDoubleClick)
        : QObject(parent), OnDoubleClick(std::move(onDoubleClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OnDoubleClick();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> OnDoubleClick;
};

} // namespace

TFormChronara::TFormChronara(const TStartOptions& options, QWidget* parent)
    : QMainWindow(parent), Options(options) {
    setObjectName(QStringLiteral("FormChronara"));
    CreateActions();
    CreateMenus();
    CreateLayout();
    CreateStatusBar();
    Locations = new TLocationList(PanelLocations, LabelTop, this);
    Tick = new TClockTick(this, this);
    CreateTray();
    CreateMoment();
    ConnectCommands();
    ConnectParts();
    ConnectDesktop();
    FormCreate();
    CreateDialogs();
    CreateSettings();
    TranslateWindow(this);
}

TFormChronara::~TFormChronara() {
    *Alive = false;
    // The worker's completion can no longer reach this window; a worker still
    // running is detached by the shadow map's own destructor.
    PaintBox->SetWorld(nullptr, nullptr);
    ShadowMap.reset();
}

// ---------------------------------------------------------------- wiring

void TFormChronara::ConnectCommands() {
    auto on = [this](QAction* a, auto handler) {
        connect(a, &QAction::triggered, this, [this, handler] { Guarded(this, handler); });
    };
    on(MIZoomIn, [this] { PaintBox->MIZoomInClick(); });
    on(MIZoomOut, [this] { PaintBox->MIZoomOutClick(); });
    on(N4, [this] { PaintBox->N4Click(); });
    on(MIHighlightCities, [this] { MIHighlightCitiesClick(); });
    // The twin items flip the master item, which does the work.
    connect(AddLocationsoverMap1, &QAction::triggered, this, [this] {
        AddLocationsoverMap1->setChecked(!AddLocationsoverMap1->isChecked());
        MIHighlightCities->trigger();
    });
    on(PIShowMap, [this] { PIShowMapClick(); });
    connect(ShowMap1, &QAction::triggered, this, [this] {
        ShowMap1->setChecked(!ShowMap1->isChecked());
        PIShowMap->trigger();
    });
    // A twin is usable exactly when its master is.
    for (auto [master, twin] :
         {std::pair{MIHighlightCities, AddLocationsoverMap1}, std::pair{PIShowMap, ShowMap1}}) {
        twin->setEnabled(master->isEnabled());
        connect(master, &QAction::enabledChanged, twin, &QAction::setEnabled);
    }
    on(ShowSM1, [this] { ShowSM1Click(); });
    on(ShowClock, [this] { ShowClockClick(); });
    // The toolbar's add button triggers MIAddLocation.
    on(MIAddLocation, [this] { MIAddLocationClick(); });
    on(AddLocationWizard1, [this] { MIAddLocationClick(); });
    on(PIExit, [this] { PIExitClick(); });
    on(PIAbout, [this] { MIAboutClick(); });
    on(MIAbout, [this] { MIAboutClick(); });
    connect(Shutdown2, &QAction::triggered, PIExit, &QAction::trigger);
    on(PIRemoveLocation, [this] { Locations->PIRemoveLocationClick(); });
    on(PIClearList, [this] { Locations->PIClearListClick(); });
    on(MultiMode, [this] { MultiModeClick(); });
    on(PIOptions, [this] { PIOptionsClick(); });
    on(MIOptions, [this] { PIOptionsClick(); });

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
    connect(PopupMenu2, &QMenu::aboutToShow, this,
            [this] { Guarded(this, [this] { PopupMenu2Popup(); }); });
    for (QWidget* w : {static_cast<QWidget*>(PanelPaintBox), static_cast<QWidget*>(PaintBox)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
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
    connect(Timer, &QTimer::timeout, this, [this] { Guarded(this, [this] { TimerTimer(); }); });
}

void TFormChronara::ConnectDesktop() {
    std::shared_ptr<platform::TDesktop> service = Options.Desktop;
    if (!service) {
        QStringList screens;
        for (const QScreen* screen : QGuiApplication::screens()) {
            screens << screen->name();
        }
        service = platform::CreateDesktop(QProcessEnvironment::systemEnvironment(), screens);
    }
    Desktop = new TDesktopIntegration(
        this, {Wallpaper, TranspDesk, PISetDesktopIconTextColor, Stayontop1, PIStayOnTop},
        std::move(service), Options.ProgramDir);
    Desktop->ShadowBusy = [this] {
        return (ShadowMap && ShadowMap->Busy()) || (MapComposer && MapComposer->Busy());
    };
    Desktop->RefreshSoon = [this] { Settings.ShadowRefreshCounter = Settings.SMUpdate - 1; };
}

void TFormChronara::ConnectParts() {
    // The map mirrors "Highlight Cities"; the list follows "Show Location List".
    connect(MIHighlightCities, &QAction::toggled, PaintBox, &TMapWidget::SetHighlight);
    connect(MultiMode, &QAction::toggled, Locations, &TLocationList::SetListMode);

    // The list tells the map where to fly and the window how to fit.
    connect(Locations, &TLocationList::FlyToRow, this, [this](float x, float y, bool closest) {
        const solar::TSingleLimiter& zoom = PaintBox->View.Zoom;
        PaintBox->ZoomTo(x, y, closest ? zoom.Min : zoom.Value);
    });
    connect(Locations, &TLocationList::FlyTo, PaintBox, &TMapWidget::ZoomTo);
    connect(Locations, &TLocationList::SelectionChanged, PaintBox, &TMapWidget::SetFollowSelection);
    connect(Locations, &TLocationList::HeightChanged, this, &TFormChronara::ListHeightChanged);
    connect(Locations, &TLocationList::RowsChanged, this, [this](bool added) {
        if (MapHidden) {
            LockHeight();
        }
        if (added) {
            update();
        }
    });
    connect(Locations, &TLocationList::ShowMapRequested, this, [this] {
        if (MapHidden) {
            // As "Show Map" does.
            PIShowMap->setChecked(true);
            PIShowMapClick();
        }
    });
    connect(Locations, &TLocationList::RowMenuRequested, PopupMenu1,
            [this](const QPoint& p) { PopupMenu1->popup(p); });

    // The map shows the listed places and reports what lies under the pointer.
    PaintBox->ListedPlaces = [this] { return Locations->ListedPlaces(); };
    connect(PaintBox, &TMapWidget::ReadoutsChanged, this, &TFormChronara::ShowReadouts);
    connect(PaintBox, &TMapWidget::NearestPlaceChanged, this, [this](const QString& title) {
        SetStatusPanel(0, title);
        StatusBar->update();
    });
    connect(PaintBox, &TMapWidget::PlaceDoubleClicked, this, [this](int placeIndex) {
        // The new row shows its time at once.
        Locations->AddPlace(placeIndex);
        TimerTimer();
    });
    connect(PaintBox, &TMapWidget::GrowWindow, this,
            [this](int w, int h) { resize(width() + w, height() + h); });
}

void TFormChronara::SetStatusPanel(int n, const QString& text) {
    StatusPanels[static_cast<std::size_t>(n)]->SetText(text);
}

QString TFormChronara::StatusPanelText(int n) const {
    return StatusPanels[static_cast<std::size_t>(n)]->text();
}

void TFormChronara::ShowReadouts(const TPointReadouts& readouts) {
    SetStatusPanel(7, readouts.LatLong);
    SetStatusPanel(2, readouts.SunRise);
    SetStatusPanel(3, readouts.SunSet);
    SetStatusPanel(4, readouts.DayLength);
    SetStatusPanel(5, readouts.SunAngle);
    if (readouts.ZoneFound) {
        SetStatusPanel(6, readouts.UtcOffset);
        SetStatusPanel(1, readouts.LocalTime);
    }
}

void TFormChronara::ReportError(const std::exception& e) {
    ShowError(this, QString::fromUtf8(e.what()));
}

std::function<void(std::function<void()>)> TFormChronara::WindowDispatcher() {
    return [this, alive = std::weak_ptr<bool>(Alive)](std::function<void()> step) {
        // Queued onto this window's thread; the flag catches a window being
        // torn down.
        Posted->Post([alive, step = std::move(step)] {
            const auto flag = alive.lock();
            if (flag && *flag) {
                step();
            }
        });
    };
}

QString TFormChronara::LoadImageInto(kiv::TFastDIB& image, const char* relativeName) {
    const std::string path = kiv::ProgramPath(relativeName, Options.ProgramDir);
    if (QLatin1String(relativeName).endsWith(QLatin1String(".jpg"))) {
        kiv::LoadJpegImage(image, path);
    } else {
        kiv::LoadPngImage(image, path);
    }
    return QString::fromStdString(path);
}

void TFormChronara::LoadZoneImage() {
    // A half-read image would show wrong zones.
    datafiles::LoadOrClear(ZoneImage, [this](kiv::TFastDIB& image) {
        LoadImageInto(image, datafiles::ZoneImage);
        kiv::ReduceToPalette(image);
    });
}

// ---------------------------------------------------------------- life cycle

void TFormChronara::FormCreate() {
    // Numbers are read and written with "." whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    setWindowTitle(ApplicationTitle);
    CreateMapComposer();
    // Each step stands alone: what fails is reported, and only what needs it
    // goes without (no zone image: no zone read-outs; no day image: no map).
    auto step = [this](auto&& work) {
        try {
            work();
        } catch (const std::exception& e) {
            if (CreationError.isEmpty()) {
                CreationError = QString::fromUtf8(e.what());
            }
            ShowError(this, QString::fromUtf8(e.what()));
        }
    };
    step([this] { LoadZoneImage(); });
    step([this] {
        LoadImageInto(DayImage, datafiles::DayImage);
        ShadowMap = std::make_unique<solar::TShadowMap>(DayImage.Width(), DayImage.Height(),
                                                        WindowDispatcher());
        ShadowMap->OnShadowReady = [this](solar::TShadowMap&) { ShadowReady(); };
        PaintBox->SetWorld(&ZoneImage, ShadowMap.get());
        TMapView& view = PaintBox->View;
        view.SetMap(&DayImage);
        view.Zoom.SetMax(100.0f);
        view.Zoom.SetMin(0.1f);
        view.Zoom.SetValue(1.7f);
        PaintBox->LayoutView(false);
    });
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
}

void TFormChronara::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    WindowClosed = false;
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
    Guarded(this, [this] { OptionsDialog->LoadSettings(); });
    QCoreApplication::processEvents();
    Timer->start();
    if (Options.Max) {
        raise();
        activateWindow();
    } else if (intoTray) {
        // Straight into the tray, hidden without being minimised first: the
        // window system then holds no minimised state that the first click on
        // the icon would have to undo.
        DisableTrayItems();
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
    const QString saveError = FormCloseQuery();
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
    emit Closed();
}

void TFormChronara::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        const auto oldState = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        if (isMinimized()) {
            ApplicationEventsMinimize();
        } else if (oldState & Qt::WindowMinimized) {
            // Restored by any way (the window manager, the taskbar, the tray).
            EnableTrayItems();
        }
    }
}

void TFormChronara::ApplicationEventsMinimize() {
    DisableTrayItems();
    // Into the tray: no taskbar button while an icon stands for the window.
    if (InTray()) {
        QTimer::singleShot(0, this, [this] { hide(); });
    }
}

bool TFormChronara::InTray() const {
    return TrayIcon->isVisible();
}

void TFormChronara::DisableTrayItems() {
    for (QAction* a :
         {MIAddLocation, MIHighlightCities, PIRemoveLocation, PIShowMap, PIStayOnTop}) {
        a->setEnabled(false);
    }
}

void TFormChronara::ApplicationEventsRestore() {
    EnableTrayItems();
    showNormal();
    raise();
    activateWindow();
}

void TFormChronara::EnableTrayItems() {
    for (QAction* a :
         {MIAddLocation, MIHighlightCities, PIRemoveLocation, PIShowMap, PIStayOnTop}) {
        a->setEnabled(true);
    }
    if (!MultiMode->isChecked()) {
        // Without the list these stay off, as switching the list off left them.
        for (QAction* a : {PIRemoveLocation, MIHighlightCities, PIShowMap}) {
            a->setEnabled(false);
        }
    }
}

// ---------------------------------------------------------------- commands

void TFormChronara::MIHighlightCitiesClick() {
    // The action has flipped its own check.
    const bool on = MIHighlightCities->isChecked();
    AddLocationsoverMap1->setChecked(on);
    if (!on) {
        SetStatusPanel(0, TranslateMessage(QString::fromUtf8(strings::PanHint)));
    }
    PaintBox->LayoutView(true);
}

void TFormChronara::PIShowMapClick() {
    if (!MultiMode->isChecked()) {
        // Without the list the map is all there is: it cannot be hidden.
        PIShowMap->setChecked(!PIShowMap->isChecked());
        return;
    }
    const bool show = PIShowMap->isChecked();
    ShowMap1->setChecked(show);
    if (show) {
        LiftHeightLock();
        PanelClient->show();
        StatusBar->show();
        resize(width(), height() + 200);
        MapHidden = false;
    } else {
        MapHidden = true;
        // Only the height shrinks to the content: the user's width stays, so
        // the rows and the clock line keep their room.
        const int keepWidth = width();
        PanelClient->hide();
        StatusBar->hide();
        setMinimumHeight(0);
        centralWidget()->adjustSize();
        adjustSize();
        QCoreApplication::processEvents();
        const int h = sizeHint().height();
        resize(keepWidth, h);
        setMinimumHeight(h);
        setMaximumHeight(h);
        setMaximumWidth(QWIDGETSIZE_MAX);
        setMinimumWidth(320);
    }
}

void TFormChronara::ShowSM1Click() {
    Settings.ShowSM = ShowSM1->isChecked();
    if (Settings.ShowSM) {
        Settings.ShadowRefreshCounter = Settings.SMUpdate;
    } else {
        MapComposer->ComposeNow(nullptr);
        MapComposer->TakeMap(DayImage);
        PaintBox->View.RefreshMap();
    }
    PaintBox->LayoutView(true);
}

void TFormChronara::ShowClockClick() {
    PanelClock->setVisible(ShowClock->isChecked());
}

void TFormChronara::MultiModeClick() {
    // The action has flipped its own check.
    const QList<QAction*> listItems = {PIRemoveLocation, MIHighlightCities, PIShowMap};
    if (MultiMode->isChecked()) {
        AddLocationWizard1->setText(TranslateMessage(QString::fromUtf8(strings::AddLocation)));
        PanelLocations->show();
        for (QAction* a : listItems) {
            a->setEnabled(true);
        }
        ShowClock->setEnabled(true);
        return;
    }
    if (MapHidden) {
        // Without the list only the map and the clock are left to show, so a
        // hidden map comes back first (while the list is still on, as "Show
        // Map" requires).
        MultiMode->setChecked(true);
        PIShowMap->setChecked(true);
        PIShowMapClick();
        MultiMode->setChecked(false);
    }
    AddLocationWizard1->setText(TranslateMessage(QString::fromUtf8(strings::ChangeLocation)));
    PanelLocations->hide();
    for (QAction* a : listItems) {
        a->setEnabled(false);
    }
    if (!ShowClock->isChecked()) {
        ShowClock->setChecked(true);
        ShowClockClick();
    }
    if (!MIHighlightCities->isChecked()) {
        MIHighlightCities->setChecked(true);
        MIHighlightCitiesClick();
    }
    ShowClock->setEnabled(false);
}

void TFormChronara::PopupMenu2Popup() {
    // The place items of the last opening go first.
    const QList<QAction*> items = CityPopupMenu->actions();
    for (QAction* item : items) {
        CityPopupMenu->removeAction(item);
        delete item;
    }
    const std::vector<int> order = kiv::ZoneDB.PlaceMenuOrder(LocaleCompare());
    CityPopupBreak->setVisible(!order.empty());
    CityPopupMenu->menuAction()->setVisible(!order.empty());
    for (const int index : order) {
        QString caption =
            QString::fromStdString(kiv::ZoneDB.Places[static_cast<std::size_t>(index)].Name);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(caption, CityPopupMenu);
        item->setObjectName(QStringLiteral("CityPopup"));
        item->setData(index);
        // CityPopupClick: the place is added.
        connect(item, &QAction::triggered, this,
                [this, index] { Guarded(this, [&] { Locations->AddPlace(index); }); });
        CityPopupMenu->addAction(item);
    }
}

// ---------------------------------------------------------------- fitting the list

void TFormChronara::ListHeightChanged(int delta) {
    if (MapHidden) {
        // The height lock is set again once the window fits the new content.
        LiftHeightLock();
    }
    // The list's new height is laid out before the window follows it, so the
    // map is never briefly taller (the flight to the new row would take that
    // moment's zoom for its own). The window grows or shrinks with the list;
    // the map keeps its size and every resize leaves it zoomed fully out.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (delta != 0 && !PanelLocations->isHidden() &&
        !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        resize(width(), height() + delta);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
}

void TFormChronara::LiftHeightLock() {
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    setMinimumWidth(320);
}

void TFormChronara::LockHeight() {
    QCoreApplication::processEvents();
    const int h = height();
    setMinimumHeight(h);
    setMaximumHeight(h);
    setMaximumWidth(QWIDGETSIZE_MAX);
    setMinimumWidth(320);
}

// ---------------------------------------------------------------- the wizard

int TFormChronara::DefaultShowModal(QDialog& dialog) {
    return dialog.exec();
}

void TFormChronara::CreateDialogs() {
    // After the database: page 1 lists its countries once, here.
    Wizard1 = new TWizard1(kiv::ZoneDB, this);
    Wizard2 = new TWizard2(*Wizard1, kiv::ZoneDB, this);
}

void TFormChronara::MIAboutClick() {
    TFormAboutBox::Execute(this, ShowModal);
}

void TFormChronara::MIAddLocationClick() {
    // A second start while the pages are open (from the tray menu) would
    // re-enter a running page.
    if (Wizard1->isVisible() || Wizard2->isVisible()) {
        return;
    }
    for (;;) {
        if (ShowModal(*Wizard1) != QDialog::Accepted) {
            return;
        }
        const int result = ShowModal(*Wizard2);
        if (result == QDialog::Accepted) {
            break;
        }
        if (result != TWizard2::Back) {
            return;
        }
    }
    Locations->AddLocation(Wizard2->DisplayName, Wizard2->ZoneName, Wizard2->Latitude,
                           Wizard2->Longitude);
}

} // namespace app

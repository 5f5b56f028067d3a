#include "app/UnitChronara.h"

#include "app/Icons.h"
#include "app/LocaleText.h"
#include "app/Messages.h"
#include "app/Wiz1.h"
#include "app/wiz2.h"
#include "kiv/KivClock.h"
#include "kiv/KivData.h"
#include "kiv/KivErrors.h"
#include "kiv/KivFastDibLoaders.h"
#include "kiv/KivTimeZone.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <clocale>
#include <cmath>

namespace app {

namespace {

constexpr int kStatusWidths[8] = {150, 40, 55, 55, 55, 60, 55, 140};
constexpr double kStatusCharWidth = 5.5;
const char* const kHintText = "Double Click on Map or select from PopUp Menu";
constexpr double kNearestRadius = 20.0;

QAction* MakeAction(QObject* owner, const char* name, const QString& caption,
                    bool checkable = false, bool checked = false) {
    auto* a = new QAction(caption, owner);
    a->setObjectName(QLatin1String(name));
    a->setCheckable(checkable);
    a->setChecked(checked);
    return a;
}

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

// Calls a function after every resize of the widget it filters.
class TResizeFilter : public QObject {
public:
    TResizeFilter(QObject* parent, std::function<void()> onResize)
        : QObject(parent), OnResize(std::move(onResize)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            OnResize();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> OnResize;
};

// The tray tooltip holds at most this many characters.
constexpr qsizetype MaxTrayTipLength = 63;

// A zone's local time at the UTC instant; false, with the error's text, when
// the database does not know the zone or its rules.
bool LocalTimeOf(const QString& zoneName, kiv::TDateTime utc, kiv::TDateTime& local,
                 QString& abbreviation, std::int32_t& minutes, QString& error) {
    try {
        std::string letters;
        local = kiv::ZoneDB.ZoneLocalTime(zoneName.toStdString(), utc, letters, minutes);
        abbreviation = QString::fromStdString(letters);
        return true;
    } catch (const kiv::EKivError& e) {
        error = QString::fromUtf8(e.what());
        return false;
    }
}

// What a row or the clock line shows in place of a time its zone cannot give.
QString ZoneErrorMark(const QString& error) {
    return error.startsWith(QLatin1String("Could not locate Zone"))
               ? QStringLiteral("unknown zone")
               : QStringLiteral("zone rules missing");
}

// A place's name as the clock line shows it: the part before the first comma
// unless the whole name is asked for.
QString ShownName(const QString& name, bool wholeName) {
    return wholeName ? name : name.section(QLatin1Char(','), 0, 0);
}

} // namespace

// ---------------------------------------------------------------- paint box

TPaintBox::TPaintBox(TFormChronara* form, QWidget* parent) : QWidget(parent), Form(form) {
    setObjectName(QStringLiteral("PaintBox"));
    setMinimumSize(8, 8);
    setMouseTracking(true);
    // Every pixel is painted here: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    try {
        Form->PaintBoxPaint(painter);
    } catch (const std::exception& e) {
        // Never a box from inside a paint: report after it, once per text.
        const QString text = QString::fromUtf8(e.what());
        if (text != LastPaintError) {
            LastPaintError = text;
            QTimer::singleShot(0, Form, [form = Form, text] { ShowError(form, text); });
        }
    }
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    Form->PointerPos = p;
    Form->PointerInside = rect().contains(p);
    Form->Guarded([&] { Form->PanelPaintBoxMouseMove(event->buttons(), p.x(), p.y()); });
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    Form->Guarded([&] { Form->PanelPaintBoxMouseDown(event->button(), p.x(), p.y()); });
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    Form->Guarded([&] { Form->PanelPaintBoxMouseUp(event->button()); });
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Form->Guarded([&] { Form->PanelPaintBoxDblClick(); });
    }
}

void TPaintBox::resizeEvent(QResizeEvent*) {
    Form->PanelPaintBoxResize();
}

void TPaintBox::enterEvent(QEnterEvent* event) {
    Form->PointerPos = event->position().toPoint();
    Form->PointerInside = true;
}

void TPaintBox::leaveEvent(QEvent*) {
    Form->PointerInside = false;
    update();
}

// ---------------------------------------------------------------- the window

TFormChronara::TFormChronara(const TStartOptions& options, QWidget* parent)
    : QMainWindow(parent), Options(options) {
    setObjectName(QStringLiteral("FormChronara"));
    CreateActions();
    CreateMenus();
    CreateLayout();
    CreateTray();
    FormCreate();
    CreateDialogs();
}

TFormChronara::~TFormChronara() {
    *Alive = false;
    // The worker's completion can no longer reach this window; a worker still
    // running is detached by the shadow map's own destructor.
    ShadowMap.reset();
}

bool TFormChronara::MultiModeOn() const {
    return MultiMode->isChecked();
}

void TFormChronara::CreateActions() {
    MIAddLocation = MakeAction(this, "MIAddLocation", QStringLiteral("Add Location..."));
    PIRemoveLocation = MakeAction(this, "PIRemoveLocation", QStringLiteral("Remove Location"));
    PIClearList = MakeAction(this, "PIClearList", QStringLiteral("Clear List"));
    PIOptions = MakeAction(this, "PIOptions", QStringLiteral("Options..."));
    PIAbout = MakeAction(this, "PIAbout", QStringLiteral("About..."));
    MIHighlightCities =
        MakeAction(this, "MIHighlightCities", QStringLiteral("Highlight Cities"), true);
    PIShowMap = MakeAction(this, "PIShowMap", QStringLiteral("Show Map"), true, true);
    PIStayOnTop = MakeAction(this, "PIStayOnTop", QStringLiteral("Stay on Top"), true);
    PIExit = MakeAction(this, "PIExit", QStringLiteral("E&xit"));

    AddLocationWizard1 = MakeAction(this, "AddLocationWizard1", QStringLiteral("Add Location..."));
    MIZoomIn = MakeAction(this, "MIZoomIn", QStringLiteral("Zoom In"));
    MIZoomOut = MakeAction(this, "MIZoomOut", QStringLiteral("Zoom Out"));
    N4 = MakeAction(this, "N4", QStringLiteral("Fit to Screen"));
    PISetDesktopIconTextColor = MakeAction(this, "PISetDesktopIconTextColor",
                                           QStringLiteral("Set Desktop Icon Text Color..."));
    MIOptions = MakeAction(this, "MIOptions", QStringLiteral("Options..."));
    MIAbout = MakeAction(this, "MIAbout", QStringLiteral("About..."));
    MultiMode = MakeAction(this, "MultiMode", QStringLiteral("Show Location List"), true, true);
    AddLocationsoverMap1 =
        MakeAction(this, "AddLocationsoverMap1", QStringLiteral("Highlight Cities"), true);
    ShowMap1 = MakeAction(this, "ShowMap1", QStringLiteral("Show Map"), true, true);
    ShowSM1 = MakeAction(this, "ShowSM1", QStringLiteral("Show Shadow Map"), true, true);
    ShowClock = MakeAction(this, "ShowClock", QStringLiteral("Show Clock"), true);
    ShowClouds = MakeAction(this, "ShowClouds", QStringLiteral("Show Clouds"), true);
    ShowClouds->setVisible(false);
    Stayontop1 = MakeAction(this, "Stayontop1", QStringLiteral("Stay on Top"), true);
    Wallpaper = MakeAction(this, "Wallpaper", QStringLiteral("Wallpaper Mode"), true);
    TranspDesk = MakeAction(this, "TranspDesk", QStringLiteral("Transparent Desktop Icons"), true);
    Shutdown2 = MakeAction(this, "Shutdown2", QStringLiteral("E&xit"));

    const std::vector<QIcon> icons = ImageList();
    MIZoomIn->setIcon(icons[1]);
    MIZoomOut->setIcon(icons[0]);

    // Commands whose dialogs and desktop services come with later work stay
    // visible but disabled until then.
    NotYetBuilt = {PIOptions,   MIOptions,  PIAbout,   MIAbout,    PISetDesktopIconTextColor,
                   PIStayOnTop, Stayontop1, Wallpaper, TranspDesk, ShowClouds};
    for (QAction* a : NotYetBuilt) {
        a->setEnabled(false);
    }

    auto on = [this](QAction* a, void (TFormChronara::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    on(MIZoomIn, &TFormChronara::MIZoomInClick);
    on(MIZoomOut, &TFormChronara::MIZoomOutClick);
    on(N4, &TFormChronara::N4Click);
    on(MIHighlightCities, &TFormChronara::MIHighlightCitiesClick);
    // The twin items flip the master item, which does the work.
    connect(AddLocationsoverMap1, &QAction::triggered, this, [this] {
        AddLocationsoverMap1->setChecked(!AddLocationsoverMap1->isChecked());
        MIHighlightCities->trigger();
    });
    on(PIShowMap, &TFormChronara::PIShowMapClick);
    connect(ShowMap1, &QAction::triggered, this, [this] {
        ShowMap1->setChecked(!ShowMap1->isChecked());
        PIShowMap->trigger();
    });
    on(ShowSM1, &TFormChronara::ShowSM1Click);
    on(ShowClock, &TFormChronara::ShowClockClick);
    // The toolbar's add button triggers MIAddLocation.
    on(MIAddLocation, &TFormChronara::MIAddLocationClick);
    on(AddLocationWizard1, &TFormChronara::MIAddLocationClick);
    on(PIExit, &TFormChronara::PIExitClick);
    connect(Shutdown2, &QAction::triggered, PIExit, &QAction::trigger);
    on(PIRemoveLocation, &TFormChronara::PIRemoveLocationClick);
    on(PIClearList, &TFormChronara::PIClearListClick);
    on(MultiMode, &TFormChronara::MultiModeClick);
}

void TFormChronara::CreateMenus() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(MIAddLocation);
    PopupMenu1->addAction(PIRemoveLocation);
    PopupMenu1->addAction(PIClearList);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(PIOptions);
    PopupMenu1->addAction(PIAbout);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(MIHighlightCities);
    PopupMenu1->addAction(PIShowMap);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(PIStayOnTop);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(PIExit);
    connect(PopupMenu1, &QMenu::aboutToShow, this,
            [this] { Guarded([this] { PopupMenu1Popup(); }); });
    // The row of this opening is forgotten once its command (which runs right
    // after the menu hides) is done, so a later opening from the tray never
    // acts on it.
    connect(PopupMenu1, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, [this] { PopupRowShape = nullptr; }); });

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->addAction(AddLocationWizard1);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(MIZoomIn);
    PopupMenu2->addAction(MIZoomOut);
    PopupMenu2->addAction(N4);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(PISetDesktopIconTextColor);
    PopupMenu2->addAction(MIOptions);
    PopupMenu2->addAction(MIAbout);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(MultiMode);
    PopupMenu2->addAction(AddLocationsoverMap1);
    PopupMenu2->addAction(ShowMap1);
    PopupMenu2->addAction(ShowSM1);
    PopupMenu2->addAction(ShowClock);
    PopupMenu2->addAction(ShowClouds);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(Stayontop1);
    PopupMenu2->addAction(Wallpaper);
    PopupMenu2->addAction(TranspDesk);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(Shutdown2);
    connect(PopupMenu2, &QMenu::aboutToShow, this,
            [this] { Guarded([this] { PopupMenu2Popup(); }); });
}

void TFormChronara::CreateLayout() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    PanelTop = new QWidget(central);
    PanelTop->setObjectName(QStringLiteral("PanelTop"));
    auto* topLayout = new QVBoxLayout(PanelTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    PanelLocations = new QWidget(PanelTop);
    PanelLocations->setObjectName(QStringLiteral("PanelLocations"));
    auto* locLayout = new QVBoxLayout(PanelLocations);
    locLayout->setContentsMargins(0, 0, 0, 0);
    locLayout->setSpacing(0);
    LabelTop = new QLabel(
        QStringLiteral("To add or remove locations, right click here and follow the menu."),
        PanelLocations);
    LabelTop->setObjectName(QStringLiteral("LabelTop"));
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPixelSize(11);
    LabelTop->setFont(verdana);
    LabelTop->setFixedHeight(17);
    LabelTop->setContentsMargins(4, 0, 0, 0);
    LabelTop->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelTop->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LabelTop, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(LabelTop->mapToGlobal(p)); });
    locLayout->addWidget(LabelTop);
    // The rows lie over the hint label from the top of the panel down, as
    // wide as the panel.
    locLayout->setAlignment(LabelTop, Qt::AlignTop);
    PanelLocations->installEventFilter(new TResizeFilter(PanelLocations, [this] {
        for (const TLocationEntry& entry : LocationList) {
            entry.RowShape->resize(PanelLocations->width(), LocationRowHeight);
        }
    }));
    topLayout->addWidget(PanelLocations);
    column->addWidget(PanelTop);

    PanelClient = new QWidget(central);
    PanelClient->setObjectName(QStringLiteral("PanelClient"));
    auto* clientColumn = new QVBoxLayout(PanelClient);
    clientColumn->setContentsMargins(0, 0, 0, 0);
    clientColumn->setSpacing(0);
    auto* mapRow = new QHBoxLayout();
    mapRow->setContentsMargins(0, 0, 0, 0);
    mapRow->setSpacing(0);

    PanelPaintBox = new QFrame(PanelClient);
    PanelPaintBox->setObjectName(QStringLiteral("PanelPaintBox"));
    PanelPaintBox->setFrameStyle(QFrame::Box | QFrame::Plain);
    PanelPaintBox->setLineWidth(1);
    PanelPaintBox->setAutoFillBackground(true);
    QPalette black = PanelPaintBox->palette();
    black.setColor(QPalette::Window, Qt::black);
    PanelPaintBox->setPalette(black);
    PanelPaintBox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(PanelPaintBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu2->popup(PanelPaintBox->mapToGlobal(p)); });
    auto* paintLayout = new QVBoxLayout(PanelPaintBox);
    paintLayout->setContentsMargins(1, 1, 1, 1);
    PaintBox = new TPaintBox(this, PanelPaintBox);
    PaintBox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(PaintBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu2->popup(PaintBox->mapToGlobal(p)); });
    paintLayout->addWidget(PaintBox);
    mapRow->addWidget(PanelPaintBox, 1);

    ToolBar = new QToolBar(PanelClient);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setOrientation(Qt::Vertical);
    ToolBar->setMovable(false);
    ToolBar->setIconSize(QSize(16, 16));
    const std::vector<QIcon> icons = ImageList();
    auto button = [&](const char* name, const QString& hint, int image, QAction* actsAs) {
        auto* a = MakeAction(this, name, QString());
        a->setIcon(icons[static_cast<std::size_t>(image)]);
        a->setToolTip(hint);
        a->setEnabled(actsAs->isEnabled());
        connect(a, &QAction::triggered, actsAs, &QAction::trigger);
        connect(actsAs, &QAction::enabledChanged, a, &QAction::setEnabled);
        ToolBar->addAction(a);
        return a;
    };
    TBZoomIn = button("TBZoomIn", QStringLiteral("Zoom Into Location"), 1, MIZoomIn);
    TBZoomOut = button("TBZoomOut", QStringLiteral("Zoom out from location"), 0, MIZoomOut);
    ToolBar->addSeparator();
    TBAddLocation = button("TBAddLocation", QStringLiteral("Add New Location"), 5, MIAddLocation);
    ToolBar->addSeparator();
    TBOptions = button("TBOptions", QStringLiteral("Options"), 4, MIOptions);
    TBAbout = button("TBAbout", QStringLiteral("About"), 3, MIAbout);
    mapRow->addWidget(ToolBar);
    clientColumn->addLayout(mapRow, 1);

    PanelClock = new QFrame(PanelClient);
    PanelClock->setObjectName(QStringLiteral("PanelClock"));
    PanelClock->setFixedHeight(25);
    PanelClock->setAutoFillBackground(true);
    auto* clockLayout = new QHBoxLayout(PanelClock);
    clockLayout->setContentsMargins(3, 3, 3, 3);
    ClockLabel = new QLabel(QLatin1String(kHintText), PanelClock);
    ClockLabel->setObjectName(QStringLiteral("ClockLabel"));
    QFont clockFont(QStringLiteral("Verdana"));
    clockFont.setPixelSize(16);
    clockFont.setBold(true);
    ClockLabel->setFont(clockFont);
    ClockLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ClockLabel->setAutoFillBackground(true);
    ClockLabel->installEventFilter(
        new TDoubleClickFilter(ClockLabel, [this] { Guarded([this] { ClockLabelDblClick(); }); }));
    clockLayout->addWidget(ClockLabel);
    PanelClock->setVisible(false);
    clientColumn->addWidget(PanelClock);
    column->addWidget(PanelClient, 1);
    setCentralWidget(central);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setToolTip(
        QStringLiteral("SR = Sunrise; SS = Sunset; DL = Daylength; SA = Sun Angle"));
    StatusBar->setSizeGripEnabled(false);
    // The panel widths suit a font whose characters average 5.5 pixels; a
    // wider desktop font widens them in proportion, so the read-outs still fit.
    const double widthScale =
        std::max(1.0, StatusBar->fontMetrics().averageCharWidth() / kStatusCharWidth);
    for (int i = 0; i < 8; ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(static_cast<int>(kStatusWidths[i] * widthScale));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar->addWidget(panel);
        StatusPanels[static_cast<std::size_t>(i)] = panel;
    }
    setStatusBar(StatusBar);
    SetStatusPanel(0, QStringLiteral("Use left Button to pan!"));

    resize(556, 468);
    setMinimumWidth(320);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, [this] { Guarded([this] { TimerTimer(); }); });
    TimerZoomTo = new QTimer(this);
    TimerZoomTo->setObjectName(QStringLiteral("TimerZoomTo"));
    TimerZoomTo->setInterval(50);
    connect(TimerZoomTo, &QTimer::timeout, this,
            [this] { Guarded([this] { TimerZoomToTimer(); }); });
}

void TFormChronara::CreateTray() {
    TrayIcon = new QSystemTrayIcon(AppIcon(), this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setContextMenu(PopupMenu1);
    TrayIcon->setToolTip(ApplicationTitle);
    connect(TrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    ApplicationEventsRestore();
                }
            });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        TrayIcon->show();
    }
}

void TFormChronara::SetStatusPanel(int n, const QString& text) {
    StatusPanels[static_cast<std::size_t>(n)]->setText(text);
}

QString TFormChronara::StatusPanelText(int n) const {
    return StatusPanels[static_cast<std::size_t>(n)]->text();
}

void TFormChronara::ReportError(const std::exception& e) {
    ShowError(this, QString::fromUtf8(e.what()));
}

std::function<void(std::function<void()>)> TFormChronara::WindowDispatcher() {
    return [this, alive = std::weak_ptr<bool>(Alive)](std::function<void()> step) {
        // Queued onto this window's thread; Qt drops the call if the window is
        // destroyed first, and the flag catches a window being torn down.
        QMetaObject::invokeMethod(
            this,
            [alive, step = std::move(step)] {
                const auto flag = alive.lock();
                if (flag && *flag) {
                    step();
                }
            },
            Qt::QueuedConnection);
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

void TFormChronara::FormCreate() {
    // Numbers are read and written with "." whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    setWindowTitle(ApplicationTitle);
    MachineUtcOffset = kiv::CurrentClock().StandardOffsetMinutes();
    try {
        LoadImageInto(ZoneImage, "data\\earth_tz.png");
        LoadImageInto(DayImage, "data\\earth_day.png");
        ShadowMap = std::make_unique<solar::TShadowMap>(DayImage.Width(), DayImage.Height(),
                                                        WindowDispatcher());
        ShadowMap->OnShadowReady = [this](solar::TShadowMap&) {
            try {
                MapRebuild();
            } catch (const std::exception& e) {
                ReportError(e);
            }
        };
        View.SetMap(&DayImage);
        View.Zoom.SetMax(100.0f);
        View.Zoom.SetMin(0.1f);
        View.Zoom.SetValue(1.7f);
        LayoutView(false);
        try {
            kiv::ZoneDB.LoadDatabase(Options.ProgramDir);
        } catch (...) {
            // A half-loaded database would fail on every pointer move: the
            // window goes on without one.
            kiv::ZoneDB.Clear();
            throw;
        }
    } catch (const std::exception& e) {
        CreationError = QString::fromUtf8(e.what());
        ShowError(this, CreationError);
    }
    SingleLocation = TSingleLocation{};
}

void TFormChronara::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Deferred, so the window is on screen before the first activation runs.
    QTimer::singleShot(0, this, [this] { FormShow(); });
}

void TFormChronara::FormShow() {
    if (SettingsLoaded) {
        return;
    }
    SettingsLoaded = true;
    QCoreApplication::processEvents();
    Timer->start();
    if (Options.Max) {
        raise();
        activateWindow();
    } else {
        showMinimized();
    }
}

void TFormChronara::MapRebuild() {
    QCoreApplication::processEvents();
    LoadImageInto(DayImage, "data\\earth_day.png");
    QCoreApplication::processEvents();
    LoadImageInto(NightImage, "data\\earth_night.jpg");
    QCoreApplication::processEvents();
    if (ShowSM1->isChecked() && ShadowMap) {
        kiv::BlendThroughShadow(DayImage, DayImage, NightImage, ShadowMap->Shadow);
    }
    View.RefreshMap();
    LayoutView(true);
}

void TFormChronara::LayoutView(bool repaint) {
    View.LayoutView(PaintBox->width(), PaintBox->height());
    if (repaint) {
        PaintBox->repaint();
    }
}

void TFormChronara::ZoomTo(float x, float y, float zoom) {
    TimerZoomTo->stop();
    View.SetTarget(x, y, zoom);
    TimerZoomTo->start();
}

void TFormChronara::TimerZoomToTimer() {
    const bool flying = View.FlightStep();
    if (!flying) {
        TimerZoomTo->stop();
    }
    PaintBox->repaint();
}

std::vector<TViewPlace> TFormChronara::ListedPlaces() const {
    std::vector<TViewPlace> places;
    places.reserve(LocationList.size());
    for (const TLocationEntry& entry : LocationList) {
        places.push_back({entry.Name, entry.Latitude, entry.Longitude});
    }
    return places;
}

void TFormChronara::PaintBoxPaint(QPainter& painter) {
    TViewOverlay overlay;
    overlay.Highlight = MIHighlightCities->isChecked();
    overlay.PointerInside = PointerInside && PaintBox->rect().contains(PointerPos);
    overlay.FollowSelection = FollowSelection;
    overlay.Database = &kiv::ZoneDB;
    overlay.Listed = ListedPlaces();
    overlay.Font = font();
    if (overlay.PointerInside && ShadowMap && !kiv::ZoneDB.Places.empty()) {
        const QPointF m = View.ViewToMap(PointerPos.x(), PointerPos.y());
        double latitude = 0;
        double longitude = 0;
        ShadowMap->PixelToLatLong(static_cast<float>(m.x()), static_cast<float>(m.y()), latitude,
                                  longitude);
        if (kiv::ZoneDB.FindNearestPlace(latitude, longitude, kNearestRadius)) {
            SetStatusPanel(0, QString::fromStdString(kiv::ZoneDB.NearestPlaceTitle()));
            StatusBar->update();
        }
    }
    View.Paint(painter, overlay);
}

void TFormChronara::UpdateReadouts(int x, int y) {
    const QPointF m = View.ViewToMap(x, y);
    double latitude = 0;
    double longitude = 0;
    ShadowMap->PixelToLatLong(static_cast<float>(m.x()), static_cast<float>(m.y()), latitude,
                              longitude);
    SetStatusPanel(7, QString::asprintf("Lat: %3.2f Long: %3.2f", latitude, longitude));

    // The sun at the pointer, at the machine's own wall-clock time with the
    // offset actually in force (daylight saving included), so sunrise and
    // sunset read in the user's own time.
    kiv::TClock& clock = kiv::CurrentClock();
    const kiv::TDateTime utc = clock.UtcNow();
    const int offset = clock.OffsetMinutesAt(utc);
    solar::SetRecordTime(ShadowMap->Record, kiv::IncMinute(utc, offset), offset / 60.0);
    ShadowMap->QueryPoint(latitude, longitude);
    const TPosData& r = ShadowMap->Record;
    if (r.sretr > 2000 || r.sretr < -2000) {
        SetStatusPanel(2, QStringLiteral("SR --:--"));
        SetStatusPanel(3, QStringLiteral("SS --:--"));
        SetStatusPanel(4, QStringLiteral("DL > 24h"));
    } else {
        SetStatusPanel(2, QStringLiteral("SR ") + MinutesToClock(r.sretr));
        SetStatusPanel(3, QStringLiteral("SS ") + MinutesToClock(r.ssetr));
        SetStatusPanel(4, QStringLiteral("DL ") + MinutesToClock(r.ssetr - r.sretr));
    }
    if (r.zenetr > 90) {
        SetStatusPanel(5, QStringLiteral("Night"));
    } else {
        SetStatusPanel(5, QString::asprintf("SA %2.1f", r.zenetr) + QChar(0xB0));
    }

    // The zone under the pointer, from the zone image's colour.
    const int mapW = View.MapW();
    const int mapH = View.MapH();
    const double zx = m.x() - 2;
    const double yb = mapH - m.y();
    if (yb >= 0 && yb < mapH && zx >= 0 && zx < mapW && ZoneImage.Width() > 0) {
        const int column = static_cast<int>(zx * ZoneImage.Width() / mapW);
        const int row = static_cast<int>(ZoneImage.Height() * yb / mapH);
        const kiv::TBgr pixel = ZoneImage.GetPixel(column, row);
        for (const kiv::TTimeZoneColor& entry : kiv::ZoneDB.Colors) {
            if (entry.Red == pixel.R && entry.Green == pixel.G && entry.Blue == pixel.B) {
                const QString number = QString::number(entry.UtcOffset, 'g', 15);
                SetStatusPanel(6, entry.UtcOffset >= 0 ? QStringLiteral("UTC +") + number
                                                       : QStringLiteral("UTC ") + number);
                const kiv::TDateTime local = kiv::ColorLocalTime(entry, utc);
                SetStatusPanel(
                    1, QString::asprintf("%.2d:%.2d", kiv::HourOf(local), kiv::MinuteOf(local)));
                break;
            }
        }
    }
}

void TFormChronara::PanelPaintBoxMouseMove(Qt::MouseButtons buttons, int x, int y) {
    if (TimerZoomTo->isActive()) {
        return;
    }
    if (buttons & Qt::LeftButton) {
        PaintBox->setCursor(Qt::SizeAllCursor);
    }
    if (ShadowMap) {
        UpdateReadouts(x, y);
    }
    const float zoom = View.Zoom.Value;
    if (buttons & Qt::LeftButton) {
        TimerZoomTo->stop();
        View.OffsetX.SetValue(View.OffsetX.Value - static_cast<float>(x - LastPointer.x()) * zoom);
        View.OffsetY.SetValue(View.OffsetY.Value - static_cast<float>(y - LastPointer.y()) * zoom);
        LayoutView(false);
    } else if (buttons & Qt::MiddleButton) {
        TimerZoomTo->stop();
        View.ZoomBy(static_cast<float>(y - LastPointer.y()) / 100.f);
        LayoutView(false);
    }
    PaintBox->repaint();
    LastPointer = QPoint(x, y);
}

void TFormChronara::PanelPaintBoxMouseDown(Qt::MouseButton, int x, int y) {
    LastPointer = QPoint(x, y);
}

void TFormChronara::PanelPaintBoxMouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        PaintBox->unsetCursor();
    }
}

void TFormChronara::PanelPaintBoxDblClick() {
    if (kiv::ZoneDB.Places.empty()) {
        return;
    }
    AddPlace(kiv::ZoneDB.Nearest);
    TimerTimer();
}

void TFormChronara::PanelPaintBoxResize() {
    View.SetView(View.OffsetX.Value, View.OffsetY.Value,
                 View.FillZoom(PaintBox->width(), PaintBox->height()));
    LayoutView(false);
}

void TFormChronara::wheelEvent(QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    Guarded([&] {
        if (dy < 0) {
            FormMouseWheelDown();
        } else if (dy > 0) {
            FormMouseWheelUp();
        }
    });
    event->accept();
}

void TFormChronara::FormMouseWheelDown() {
    if (!ShowMap1->isChecked()) {
        return;
    }
    TimerZoomTo->stop();
    View.ZoomBy(0.1f);
    LayoutView(true);
}

void TFormChronara::FormMouseWheelUp() {
    if (!ShowMap1->isChecked()) {
        return;
    }
    TimerZoomTo->stop();
    View.ZoomBy(-0.1f);
    LayoutView(true);
}

void TFormChronara::MIZoomInClick() {
    if (FollowSelection) {
        ZoomTo(View.TargetX, View.TargetY, View.Zoom.Value - 0.5f);
    } else {
        TimerZoomTo->stop();
        View.ZoomBy(-0.25f);
        LayoutView(true);
    }
}

void TFormChronara::MIZoomOutClick() {
    if (FollowSelection) {
        ZoomTo(View.TargetX, View.TargetY, View.Zoom.Value + 0.5f);
    } else {
        TimerZoomTo->stop();
        View.ZoomBy(0.25f);
        LayoutView(true);
    }
}

void TFormChronara::N4Click() {
    const float mapW = static_cast<float>(View.MapW());
    const float mapH = static_cast<float>(View.MapH());
    const float pw = static_cast<float>(PaintBox->width());
    const float ph = static_cast<float>(PaintBox->height());
    if (mapW <= 0 || mapH <= 0 || pw <= 0 || ph <= 0) {
        return;
    }
    const float z = mapW / mapH >= pw / ph ? mapW / pw : mapH / ph;
    if (z > View.Zoom.Max) {
        View.Zoom.SetMax(z);
    }
    View.Zoom.SetValue(z);
    LayoutView(true);
    const float vw = pw * View.Zoom.Value;
    const float vh = ph * View.Zoom.Value;
    int growW = 0;
    int growH = 0;
    if (mapW + 1 > vw) {
        growW = static_cast<int>(std::nearbyint((mapW - vw) / View.Zoom.Value));
    }
    if (mapH + 1 > vh) {
        growH = static_cast<int>(std::nearbyint((mapH - vh) / View.Zoom.Value));
    }
    if (growW != 0 || growH != 0) {
        resize(width() + growW, height() + growH);
    }
}

void TFormChronara::MIHighlightCitiesClick() {
    // The action has flipped its own check.
    const bool on = MIHighlightCities->isChecked();
    AddLocationsoverMap1->setChecked(on);
    if (!on) {
        SetStatusPanel(0, QStringLiteral("Hint: Hold left button down to pan!"));
    }
    LayoutView(true);
}

void TFormChronara::PIShowMapClick() {
    if (!MultiModeOn()) {
        // Without the list the map is all there is: it cannot be hidden.
        PIShowMap->setChecked(!PIShowMap->isChecked());
        return;
    }
    const bool show = PIShowMap->isChecked();
    ShowMap1->setChecked(show);
    if (show) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setMinimumWidth(320);
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
    ShowSM = ShowSM1->isChecked();
    if (ShowSM) {
        ShadowRefreshCounter = SMUpdate;
    } else {
        LoadImageInto(DayImage, "data\\earth_day.png");
        View.RefreshMap();
    }
    LayoutView(true);
}

void TFormChronara::ShowClockClick() {
    PanelClock->setVisible(ShowClock->isChecked());
}

void TFormChronara::PIExitClick() {
    // Wait for a running shadow computation, keeping the window responsive.
    while (ShadowMap && ShadowMap->Busy()) {
        QEventLoop wait;
        QTimer::singleShot(500, &wait, &QEventLoop::quit);
        wait.exec();
    }
    close();
}

void TFormChronara::closeEvent(QCloseEvent* event) {
    Timer->stop();
    TimerZoomTo->stop();
    TrayIcon->hide();
    event->accept();
    emit Closed();
}

void TFormChronara::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized()) {
            ApplicationEventsMinimize();
        }
    }
}

void TFormChronara::ApplicationEventsMinimize() {
    for (QAction* a :
         {MIAddLocation, MIHighlightCities, PIRemoveLocation, PIShowMap, PIStayOnTop}) {
        a->setEnabled(false);
    }
    // Into the tray: no taskbar button while an icon stands for the window.
    if (QSystemTrayIcon::isSystemTrayAvailable() && TrayIcon->isVisible()) {
        QTimer::singleShot(0, this, [this] { hide(); });
    }
}

void TFormChronara::ApplicationEventsRestore() {
    for (QAction* a :
         {MIAddLocation, MIHighlightCities, PIRemoveLocation, PIShowMap, PIStayOnTop}) {
        a->setEnabled(!NotYetBuilt.contains(a));
    }
    if (!MultiModeOn()) {
        // Without the list these stay off, as switching the list off left them.
        for (QAction* a : {PIRemoveLocation, MIHighlightCities, PIShowMap}) {
            a->setEnabled(false);
        }
    }
    showNormal();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------- location list

void TFormChronara::AddLocation(const QString& name, const QString& zoneName, double latitude,
                                double longitude) {
    if (!MultiModeOn()) {
        SingleLocation.Name = name;
        SingleLocation.ZoneName = zoneName;
        SingleLocation.Latitude = latitude;
        SingleLocation.Longitude = longitude;
        SingleZoneError.clear();
        return;
    }
    for (std::size_t i = 0; i < LocationList.size(); ++i) {
        const TLocationEntry& entry = LocationList[i];
        if (SamePlace(entry.Latitude, entry.Longitude, latitude, longitude)) {
            SelectLocation(static_cast<int>(i));
            return;
        }
    }
    if (static_cast<int>(LocationList.size()) >= MaxLocations) {
        ShowWarning(this, QStringLiteral("The List is limited to 15 entrys.\nPlease delete an "
                                         "entry first!"));
        return;
    }
    if (MapHidden) {
        LiftHeightLock();
    }
    TLocationEntry entry;
    entry.RowNumber = static_cast<int>(LocationList.size());
    entry.Name = name;
    entry.ZoneName = zoneName;
    entry.Latitude = latitude;
    entry.Longitude = longitude;
    LocationList.push_back(entry);
    CreateLocationRow(LocationList.back());
    FitWindowToList();
    SelectLocation(LocationList.back().RowNumber);
    if (MapHidden) {
        LockHeight();
    }
    update();
}

void TFormChronara::CreateLocationRow(TLocationEntry& entry) {
    // The time label starts 30 pixels left of the window's outer right edge.
    auto* row = new TLocationRow(PanelLocations, entry.RowNumber, LabelTop->font(),
                                 frameGeometry().width() - 30);
    entry.RowShape = row;
    entry.NameLabel = row->NameLabel;
    entry.TimeLabel = row->TimeLabel;
    entry.NameLabel->setText(entry.Name);
    // The handlers find the row's index when they run: rows move up as others go.
    auto atRow = [this, row](void (TFormChronara::*handler)(int)) {
        return [this, row, handler] {
            Guarded([&] {
                const int index = RowIndexOf(row);
                if (index >= 0) {
                    (this->*handler)(index);
                }
            });
        };
    };
    for (TRowLabel* label : {row->NameLabel, row->TimeLabel}) {
        connect(label, &TRowLabel::Clicked, this, atRow(&TFormChronara::ClockLabelDblClick));
        connect(label, &QWidget::customContextMenuRequested, this,
                [this, row, label](const QPoint& p) { OpenRowMenu(row, label->mapToGlobal(p)); });
    }
    connect(row->NameLabel, &TRowLabel::Entered, this, atRow(&TFormChronara::LabelTopMouseEnter));
    connect(row->NameLabel, &TRowLabel::Left, this, atRow(&TFormChronara::LabelTopMouseLeave));
    row->show();
}

int TFormChronara::RowIndexOf(const TLocationRow* row) const {
    for (std::size_t i = 0; i < LocationList.size(); ++i) {
        if (row != nullptr && LocationList[i].RowShape == row) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TFormChronara::SelectLocation(int index) {
    FollowSelection = false;
    for (std::size_t i = 0; i < LocationList.size(); ++i) {
        TLocationEntry& entry = LocationList[i];
        const bool wasSelected = entry.Selected;
        entry.Selected = static_cast<int>(i) == index;
        if (!entry.Selected) {
            continue;
        }
        kiv::TLatLongRecord point;
        kiv::SetLatLong(point, entry.Latitude, entry.Longitude);
        const kiv::TMapPoint target = kiv::LatLongToMapPoint(point);
        // A second selection of the same row zooms all the way in.
        ZoomTo(target.X, target.Y, wasSelected ? View.Zoom.Min : View.Zoom.Value);
        kiv::ZoneDB.FindNearestPlace(entry.Latitude, entry.Longitude, kNearestRadius);
        FollowSelection = true;
    }
    StyleAllRows(LocationList);
}

void TFormChronara::DeleteLocation(int index) {
    if (index < 0 || index >= static_cast<int>(LocationList.size())) {
        return;
    }
    delete LocationList[static_cast<std::size_t>(index)].RowShape;
    LocationList.erase(LocationList.begin() + index);
    for (std::size_t i = static_cast<std::size_t>(index); i < LocationList.size(); ++i) {
        TLocationRow* row = LocationList[i].RowShape;
        row->move(row->x(), row->y() - LocationRowPitch);
    }
    SelectLocation(-1);
    FitWindowToList();
    if (MapHidden) {
        LockHeight();
    }
}

void TFormChronara::AddPlace(int placeIndex) {
    kiv::KivAssert(placeIndex >= 0 && placeIndex < static_cast<int>(kiv::ZoneDB.Places.size()),
                   "Place index out of range");
    const kiv::TTimeZonePlaces& place = kiv::ZoneDB.Places[static_cast<std::size_t>(placeIndex)];
    AddLocation(QString::fromStdString(kiv::ZoneDB.PlaceTitle(placeIndex)),
                QString::fromStdString(kiv::ZoneDB.ZoneNameOfPlace(placeIndex)), place.Latitude,
                place.Longitude);
}

void TFormChronara::FitWindowToList() {
    // The panel fits its content: the hint label alone, or the rows over it.
    const int rows = static_cast<int>(LocationList.size());
    const int wanted = std::max(17, rows * LocationRowPitch - 1);
    const int delta = wanted - ListPanelHeight;
    ListPanelHeight = wanted;
    PanelLocations->setFixedHeight(wanted);
    if (MapHidden) {
        // The height lock is set again once the window fits the new content.
        LiftHeightLock();
    }
    // The window grows or shrinks with the list; the map keeps its size.
    if (delta != 0 && !PanelLocations->isHidden() &&
        !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        resize(width(), height() + delta);
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

void TFormChronara::OpenRowMenu(TLocationRow* row, const QPoint& globalPos) {
    RowOfNextPopup = row;
    PopupMenu1->popup(globalPos);
}

int TFormChronara::PopupRow() const {
    return RowIndexOf(PopupRowShape.data());
}

void TFormChronara::PopupMenu1Popup() {
    // Opened over a row only when a row label asked for it just now; the hint
    // label and the tray icon open it over no row.
    PopupRowShape = RowOfNextPopup;
    RowOfNextPopup = nullptr;
    PIRemoveLocation->setVisible(!LocationList.empty());
    const int row = PopupRow();
    if (row >= 0) {
        LocationList[static_cast<std::size_t>(row)].Hovered = false;
        SelectLocation(row);
    }
}

void TFormChronara::PIRemoveLocationClick() {
    if (LocationList.empty()) {
        return;
    }
    if (MapHidden) {
        LiftHeightLock();
    }
    const int row = PopupRow();
    DeleteLocation(row >= 0 ? row : static_cast<int>(LocationList.size()) - 1);
}

void TFormChronara::PIClearListClick() {
    if (LocationList.empty()) {
        return;
    }
    if (ShowMessage(this, TMessageKind::Warning,
                    QStringLiteral("This will empty your city list. Are you sure?"),
                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::No) {
        return;
    }
    for (int i = static_cast<int>(LocationList.size()) - 1; i >= 0; --i) {
        DeleteLocation(i);
    }
}

void TFormChronara::PopupMenu2Popup() {
    // The place items of the last opening go first.
    const QList<QAction*> items = PopupMenu2->actions();
    for (qsizetype i = items.indexOf(Shutdown2) + 1; i > 0 && i < items.size(); ++i) {
        PopupMenu2->removeAction(items[i]);
        delete items[i];
    }
    const std::vector<int> order = kiv::ZoneDB.PlaceMenuOrder(LocaleCompare());
    if (order.empty()) {
        return;
    }
    // Menus here have no column break: a separator sets the places apart.
    QAction* bar = PopupMenu2->addSeparator();
    bar->setObjectName(QStringLiteral("CityPopupBreak"));
    for (const int index : order) {
        QString caption =
            QString::fromStdString(kiv::ZoneDB.Places[static_cast<std::size_t>(index)].Name);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(caption, PopupMenu2);
        item->setObjectName(QStringLiteral("CityPopup"));
        item->setData(index);
        connect(item, &QAction::triggered, this,
                [this, index] { Guarded([&] { CityPopupClick(index); }); });
        PopupMenu2->addAction(item);
    }
}

void TFormChronara::CityPopupClick(int placeIndex) {
    AddPlace(placeIndex);
}

void TFormChronara::ClockLabelDblClick(int row) {
    if (row >= 0) {
        if (MapHidden) {
            // As "Show Map" does.
            PIShowMap->setChecked(true);
            PIShowMapClick();
        }
        SelectLocation(row);
        return;
    }
    if (MultiModeOn()) {
        if (!LocationList.empty()) {
            ClockLabelDblClick(static_cast<int>(LocationList.size()) - 1);
        }
        return;
    }
    kiv::TLatLongRecord point;
    kiv::SetLatLong(point, SingleLocation.Latitude, SingleLocation.Longitude);
    const kiv::TMapPoint target = kiv::LatLongToMapPoint(point);
    ZoomTo(target.X, target.Y, 0.3f);
}

void TFormChronara::LabelTopMouseEnter(int row) {
    TLocationEntry& entry = LocationList[static_cast<std::size_t>(row)];
    entry.Hovered = true;
    StyleLocationRow(entry, row);
}

void TFormChronara::LabelTopMouseLeave(int row) {
    TLocationEntry& entry = LocationList[static_cast<std::size_t>(row)];
    entry.Hovered = false;
    StyleLocationRow(entry, row);
}

int TFormChronara::DefaultShowModal(QDialog& dialog) {
    return dialog.exec();
}

void TFormChronara::CreateDialogs() {
    // After the database: page 1 lists its countries once, here.
    Wizard1 = new TWizard1(kiv::ZoneDB, this);
    Wizard2 = new TWizard2(*Wizard1, kiv::ZoneDB, this);
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
    AddLocation(Wizard2->DisplayName, Wizard2->ZoneName, Wizard2->Latitude, Wizard2->Longitude);
}

void TFormChronara::MultiModeClick() {
    // The action has flipped its own check.
    const QList<QAction*> listItems = {PIRemoveLocation, MIHighlightCities, PIShowMap};
    if (MultiModeOn()) {
        AddLocationWizard1->setText(QStringLiteral("Add Location..."));
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
    AddLocationWizard1->setText(QStringLiteral("Change Location..."));
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

void TFormChronara::ReportZoneError(const QString& text) {
    if (PendingZoneErrors.contains(text)) {
        return;
    }
    PendingZoneErrors.append(text);
    if (PendingZoneErrors.size() == 1) {
        // After the tick: a box must not hold the tick open.
        QTimer::singleShot(0, this, [this] {
            const QStringList texts = std::exchange(PendingZoneErrors, {});
            for (const QString& text : texts) {
                ShowError(this, text);
            }
        });
    }
}

QString TFormChronara::ClockLineText(const QString& name, double latitude, double longitude,
                                     kiv::TDateTime local, const QString& abbreviation,
                                     const TSunAnglePiece& sunAngle, const TClockFormats& formats) {
    ClockWidths.UseFont(ClockLabel->font());
    const auto width = [this](const QString& text) { return ClockWidths.Width(text); };
    // The whole name is subtracted even when only the city is shown.
    const int available = ClockLabel->width() - width(name) - 10;
    return ShownName(name, CShowCty) + QStringLiteral(": ") +
           FormatClockText(width, available, CShowSA, CShowZA, CShowDate, latitude, longitude,
                           local, abbreviation, sunAngle, formats);
}

void TFormChronara::TimerTimer() {
    if (SMUpdate > 0) {
        ++ShadowRefreshCounter;
    }
    if (TickBusy) {
        return;
    }
    TickBusy = true;
    try {
        // One instant for the whole tick: every row, the clock line and the sun
        // angles read the same moment.
        kiv::TClock& clock = kiv::CurrentClock();
        const kiv::TDateTime utc = clock.UtcNow();
        const int machineOffset = clock.OffsetMinutesAt(utc);
        const kiv::TDateTime machineLocal = kiv::IncMinute(utc, machineOffset);
        const TClockFormats formats = TClockFormats::Current();
        // The sun at the machine's wall-clock time, daylight saving included.
        const TSunAnglePiece sunAngle = [this, machineLocal, machineOffset](double latitude,
                                                                            double longitude) {
            return ShadowMap ? SunAnglePieceAt(*ShadowMap, latitude, longitude, machineLocal,
                                               machineOffset / 60.0)
                             : QString();
        };
        // The rows' labels all have the hint label's font.
        RowWidths.UseFont(LabelTop->font());
        const auto rowWidth = [this](const QString& text) { return RowWidths.Width(text); };
        // 3. The hint stands unless a time replaces it below.
        QString clockLine = QLatin1String(kHintText);
        QString trayTip;
        if (MultiModeOn()) {
            // 4. Every row, first to last.
            for (TLocationEntry& entry : LocationList) {
                std::int32_t minutes = 0;
                QString error;
                if (!LocalTimeOf(entry.ZoneName, utc, entry.LocalTime, entry.Abbreviation, minutes,
                                 error)) {
                    // The row shows the fault; the other rows and the clock go on.
                    entry.TimeValid = false;
                    const QString mark = ZoneErrorMark(error);
                    entry.RowShape->SetTimeText(mark, rowWidth(mark));
                    entry.TimeLabel->setToolTip(error);
                    if (entry.ZoneError != error) {
                        entry.ZoneError = error;
                        ReportZoneError(error);
                    }
                    continue;
                }
                if (!entry.ZoneError.isEmpty()) {
                    entry.ZoneError.clear();
                    entry.TimeLabel->setToolTip(QString());
                }
                entry.TimeValid = true;
                const int available =
                    entry.RowShape->width() - rowWidth(entry.NameLabel->text()) - 30;
                int textWidth = 0;
                const QString text = FormatClockText(
                    rowWidth, available, ShowSA, ShowZA, ShowDate, entry.Latitude, entry.Longitude,
                    entry.LocalTime, entry.Abbreviation, sunAngle, formats, &textWidth);
                entry.RowShape->SetTimeText(text, textWidth);
                entry.UtcOffset = minutes;
                if (kiv::SecondOf(entry.LocalTime) == 0) {
                    // Rows reaching second 0 together: the last one stays.
                    trayTip =
                        entry.NameLabel->text() + QStringLiteral(": ") + entry.TimeLabel->text();
                }
            }
            // 5. The clock line shows the last row.
            if (ShowClock->isChecked() && !LocationList.empty() && !MapHidden) {
                const TLocationEntry& last = LocationList.back();
                clockLine = last.TimeValid ? ClockLineText(last.Name, last.Latitude, last.Longitude,
                                                           last.LocalTime, last.Abbreviation,
                                                           sunAngle, formats)
                                           : ShownName(last.Name, CShowCty) + QStringLiteral(": ") +
                                                 ZoneErrorMark(last.ZoneError);
            }
        } else if (!SingleLocation.ZoneName.isEmpty() && ShowClock->isChecked()) {
            // 6. The single location on the clock line.
            kiv::TDateTime local = 0;
            QString abbreviation;
            std::int32_t minutes = 0;
            QString error;
            if (LocalTimeOf(SingleLocation.ZoneName, utc, local, abbreviation, minutes, error)) {
                SingleZoneError.clear();
                clockLine =
                    ClockLineText(SingleLocation.Name, SingleLocation.Latitude,
                                  SingleLocation.Longitude, local, abbreviation, sunAngle, formats);
                SingleLocation.UtcOffset = minutes;
                if (kiv::SecondOf(local) == 0) {
                    trayTip = clockLine;
                }
            } else {
                clockLine = ShownName(SingleLocation.Name, CShowCty) + QStringLiteral(": ") +
                            ZoneErrorMark(error);
                if (SingleZoneError != error) {
                    SingleZoneError = error;
                    ReportZoneError(error);
                }
            }
        }
        if (ClockLabel->text() != clockLine) {
            ClockLabel->setText(clockLine);
        }
        if (!trayTip.isEmpty()) {
            trayTip.truncate(MaxTrayTipLength);
            if (TrayIcon->toolTip() != trayTip) {
                TrayIcon->setToolTip(trayTip);
            }
        }
        // 7. The shadow map's periodic refresh.
        RefreshShadow();
    } catch (const std::exception& e) {
        TickBusy = false;
        ReportError(e);
        return;
    }
    TickBusy = false;
}

void TFormChronara::RefreshShadow() {
    if (ShadowRefreshCounter > SMUpdate && ShowSM && !MapHidden && SMUpdate > 0 && isVisible() &&
        ShadowMap) {
        ShadowRefreshCounter = 0;
        // The terminator of this moment: the machine's wall-clock time with the
        // offset in force now, daylight saving included.
        kiv::TClock& clock = kiv::CurrentClock();
        const kiv::TDateTime utc = clock.UtcNow();
        const int offset = clock.OffsetMinutesAt(utc);
        ShadowMap->SetDateTime(offset / 60.0, kiv::IncMinute(utc, offset));
    }
}

} // namespace app

// The main window's controls: actions, menus, panels, the time control,
// toolbar, status bar and tray icon, with their names, captions and geometry.
// The wiring is in UnitChronara.cpp.
#include "app/window/UnitChronara.h"

#include "app/icons/Icons.h"
#include "app/map/MapWidget.h"
#include "app/moment/MomentControl.h"
#include "app/moment/ShownMoment.h"
#include "app/text/Messages.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "app/window/Accessibility.h"
#include "app/window/StatusBar.h"
#include "app/window/TrayIcon.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace app {

namespace {

QAction* MakeAction(QObject* owner, const char* name, const QString& caption,
                    bool checkable = false, bool checked = false) {
    auto* a = new QAction(caption, owner);
    a->setObjectName(QLatin1String(name));
    a->setCheckable(checkable);
    a->setChecked(checked);
    return a;
}

} // namespace

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
    FitToScreen = MakeAction(this, "N4", QStringLiteral("Fit to Screen"));
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
    StayOnTopOfMap = MakeAction(this, "Stayontop1", QStringLiteral("Stay on Top"), true);
    Wallpaper = MakeAction(this, "Wallpaper", QStringLiteral("Wallpaper Mode"), true);
    TranspDesk = MakeAction(this, "TranspDesk", QStringLiteral("Transparent Desktop Icons"), true);
    ExitOfMap = MakeAction(this, "Shutdown2", QStringLiteral("E&xit"));

    const std::vector<QIcon> icons = ImageList();
    MIZoomIn->setIcon(icons[1]);
    MIZoomOut->setIcon(icons[0]);
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

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->addAction(AddLocationWizard1);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(MIZoomIn);
    PopupMenu2->addAction(MIZoomOut);
    PopupMenu2->addAction(FitToScreen);
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
    PopupMenu2->addAction(StayOnTopOfMap);
    PopupMenu2->addAction(Wallpaper);
    PopupMenu2->addAction(TranspDesk);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(ExitOfMap);
    // The places near the pointer, filled at each opening. A menu here has no
    // column break, so they open beside the menu as a column of their own
    // rather than lengthen it past the screen.
    CityPopupBreak = PopupMenu2->addSeparator();
    CityPopupBreak->setObjectName(QStringLiteral("CityPopupBreak"));
    CityPopupMenu = new QMenu(QStringLiteral("Places Nearby"), PopupMenu2);
    CityPopupMenu->setObjectName(QStringLiteral("CityPopupMenu"));
    PopupMenu2->addMenu(CityPopupMenu)->setObjectName(QStringLiteral("CityPopups"));
    // Shown once an opening finds places.
    CityPopupBreak->setVisible(false);
    CityPopupMenu->menuAction()->setVisible(false);
}

void TFormChronara::CreateLayout() {
    InstallAccessibility();
    // The window starts minimised: a screen reader's window list reads it then.
    NameWhileMinimized(this);
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* panelTop = new QWidget(central);
    panelTop->setObjectName(QStringLiteral("PanelTop"));
    auto* topLayout = new QVBoxLayout(panelTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    // Named before it has a parent: its accessibility interface (a list) is
    // chosen by that name.
    PanelLocations = new QWidget();
    PanelLocations->setObjectName(QStringLiteral("PanelLocations"));
    PanelLocations->setParent(panelTop);
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
    locLayout->addWidget(LabelTop);
    // The rows lie over the hint label from the top of the panel down, as
    // wide as the panel.
    locLayout->setAlignment(LabelTop, Qt::AlignTop);
    topLayout->addWidget(PanelLocations);
    column->addWidget(panelTop);

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
    auto* paintLayout = new QVBoxLayout(PanelPaintBox);
    paintLayout->setContentsMargins(1, 1, 1, 1);
    PaintBox = new TMapWidget(PanelPaintBox);
    PaintBox->setAccessibleName(QStringLiteral("World map"));
    PaintBox->setContextMenuPolicy(Qt::CustomContextMenu);
    paintLayout->addWidget(PaintBox);
    mapRow->addWidget(PanelPaintBox, 1);

    ToolBar = new QToolBar(PanelClient);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setOrientation(Qt::Vertical);
    ToolBar->setMovable(false);
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const std::vector<QIcon> icons = ImageList();
    // The buttons show their icons only; the hint is their caption, which
    // screen readers read and the tooltip follows.
    auto button = [&](const char* name, const QString& hint, int image, QAction* actsAs) {
        auto* a = MakeAction(this, name, hint);
        a->setIcon(icons[static_cast<std::size_t>(image)]);
        a->setEnabled(actsAs->isEnabled());
        connect(a, &QAction::triggered, actsAs, &QAction::trigger);
        connect(actsAs, &QAction::enabledChanged, a, &QAction::setEnabled);
        ToolBar->addAction(a);
        return a;
    };
    button("TBZoomIn", QStringLiteral("Zoom Into Location"), 1, MIZoomIn);
    button("TBZoomOut", QStringLiteral("Zoom out from location"), 0, MIZoomOut);
    ToolBar->addSeparator();
    button("TBAddLocation", QStringLiteral("Add New Location"), 5, MIAddLocation);
    ToolBar->addSeparator();
    button("TBOptions", QStringLiteral("Options"), 4, MIOptions);
    button("TBAbout", QStringLiteral("About"), 3, MIAbout);
    // The button that offers the buttons a short window has no room for.
    for (auto* more : ToolBar->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        if (more->defaultAction() == nullptr) {
            more->setAccessibleName(QStringLiteral("More Buttons"));
            more->setToolTip(QStringLiteral("More Buttons"));
        }
    }
    mapRow->addWidget(ToolBar);
    clientColumn->addLayout(mapRow, 1);

    PanelClock = new QFrame(PanelClient);
    PanelClock->setObjectName(QStringLiteral("PanelClock"));
    PanelClock->setFixedHeight(25);
    PanelClock->setAutoFillBackground(true);
    auto* clockLayout = new QHBoxLayout(PanelClock);
    clockLayout->setContentsMargins(3, 3, 3, 3);
    ClockLabel =
        new QLabel(QStringLiteral("Double Click on Map or select from PopUp Menu"), PanelClock);
    ClockLabel->setObjectName(QStringLiteral("ClockLabel"));
    QFont clockFont(QStringLiteral("Verdana"));
    clockFont.setPixelSize(16);
    clockFont.setBold(true);
    ClockLabel->setFont(clockFont);
    ClockLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ClockLabel->setAutoFillBackground(true);
    clockLayout->addWidget(ClockLabel);
    PanelClock->setVisible(false);
    clientColumn->addWidget(PanelClock);
    column->addWidget(PanelClient, 1);

    setCentralWidget(central);
}

// The status bar with its eight panels, then the window's size and place and
// the one-second timer.
void TFormChronara::CreateStatusBar() {
    StatusBar = new TStatusBar(this);
    setStatusBar(StatusBar);
    // The window starts wide enough for every panel, and can be narrowed below
    // it; from then on the first panel has what the others leave.
    resize(std::max(556, StatusBar->FullWidth()), 468);
    setMinimumWidth(320);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(1000);
}

// The moment shown: the time control under the map, above the clock line, and
// the mark at the clock line's start while the moment is not the present.
void TFormChronara::CreateMoment() {
    Moment = new TShownMoment(this);
    MomentBar = new TMomentControl(*Moment, PanelClient);
    if (auto* column = qobject_cast<QBoxLayout*>(PanelClient->layout())) {
        column->insertWidget(1, MomentBar);
    }
    MomentMark = new QLabel(PanelClock);
    MomentMark->setObjectName(QStringLiteral("MomentMark"));
    MomentMark->setAutoFillBackground(true);
    // Dark text on amber, whatever colours the user gave the clock line.
    QPalette look = MomentMark->palette();
    look.setColor(QPalette::Window, QColor(255, 191, 0));
    look.setColor(QPalette::WindowText, Qt::black);
    MomentMark->setPalette(look);
    QFont bold = MomentMark->font();
    bold.setBold(true);
    MomentMark->setFont(bold);
    MomentMark->setContentsMargins(4, 0, 4, 0);
    // As wide as its text: the clock line keeps the rest.
    MomentMark->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    MomentMark->hide();
    if (auto* line = qobject_cast<QBoxLayout*>(PanelClock->layout())) {
        line->insertWidget(0, MomentMark);
    }
    // A click on the map takes the keys back from the control (the map's keys
    // are the window's).
    PaintBox->setFocusPolicy(Qt::ClickFocus);
}

void TFormChronara::CreateTray() {
    std::shared_ptr<platform::TTrayHost> host = Options.TrayHost;
    if (!host) {
        // The display's own tray only where the windows are on an X11 display.
        platform::TTrayHost::TWhere where;
        where.SessionBus = true;
        where.X11 = QGuiApplication::platformName() == QLatin1String("xcb");
        host = std::make_shared<platform::TTrayHost>(where);
    }
    TrayIcon = new TTrayIcon(AppIcon(), std::move(host), this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setContextMenu(PopupMenu1);
    TrayIcon->setToolTip(ApplicationTitle);
    // In the tray for the whole run, as soon as there is one.
    TrayIcon->show();
}

} // namespace app

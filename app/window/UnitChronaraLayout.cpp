// The main window's controls: actions, menus, panels, toolbar, status bar and
// tray icon, with their names, captions and geometry. The wiring is in
// UnitChronara.cpp.
#include "app/window/UnitChronara.h"

#include "app/text/Messages.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "app/window/Accessibility.h"
#include "app/window/Icons.h"
#include "app/window/StatusPanel.h"
#include "app/window/TrayIcon.h"

#include <QAction>
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

// The widest texts each status panel shows: it is made wide enough for them
// in the status bar's font.
const QStringList& WidestStatusTexts(int panel) {
    static const QStringList widest[8] = {
        // Place names vary; the window starts wide enough for the first hint.
        {QStringLiteral("Use left Button to pan!")},
        {QStringLiteral("23:59")},
        {QStringLiteral("SR 23:59"), QStringLiteral("SR --:--")},
        {QStringLiteral("SS 23:59"), QStringLiteral("SS --:--")},
        {QStringLiteral("DL 23:59"), QStringLiteral("DL > 24h")},
        {QStringLiteral("SA 90.0") + QChar(0xB0), QStringLiteral("Night")},
        {QStringLiteral("UTC +12.75"), QStringLiteral("UTC -10.5")},
        {QStringLiteral("Lat: -89.99 Long: -179.99")}};
    return widest[panel];
}

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

    PanelTop = new QWidget(central);
    PanelTop->setObjectName(QStringLiteral("PanelTop"));
    auto* topLayout = new QVBoxLayout(PanelTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    // Named before it has a parent: its accessibility interface (a list) is
    // chosen by that name.
    PanelLocations = new QWidget();
    PanelLocations->setObjectName(QStringLiteral("PanelLocations"));
    PanelLocations->setParent(PanelTop);
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
    TBZoomIn = button("TBZoomIn", QStringLiteral("Zoom Into Location"), 1, MIZoomIn);
    TBZoomOut = button("TBZoomOut", QStringLiteral("Zoom out from location"), 0, MIZoomOut);
    ToolBar->addSeparator();
    TBAddLocation = button("TBAddLocation", QStringLiteral("Add New Location"), 5, MIAddLocation);
    ToolBar->addSeparator();
    TBOptions = button("TBOptions", QStringLiteral("Options"), 4, MIOptions);
    TBAbout = button("TBAbout", QStringLiteral("About"), 3, MIAbout);
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
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setToolTip(
        QStringLiteral("SR = Sunrise; SS = Sunset; DL = Daylength; SA = Sun Angle"));
    StatusBar->setSizeGripEnabled(false);
    // Each read-out panel is as wide as its widest text; the first panel (the
    // place's name, the hints) takes the rest of the bar. In a window too
    // narrow for them the panels shorten their texts rather than widen the bar.
    for (int i = 0; i < 8; ++i) {
        auto* panel = new TStatusPanel(StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        const QFontMetrics metrics = panel->fontMetrics();
        int textWidth = 0;
        for (const QString& text : WidestStatusTexts(i)) {
            textWidth = std::max(textWidth, metrics.horizontalAdvance(text));
        }
        // The frame on both sides and the label's indent of half an "x" each.
        const int width =
            textWidth + 2 * panel->frameWidth() + metrics.horizontalAdvance(QLatin1Char('x')) + 2;
        panel->SetPreferredWidth(width);
        if (i != 0) {
            panel->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
        }
        StatusBar->addWidget(panel, i == 0 ? 1 : 0);
        StatusPanels[static_cast<std::size_t>(i)] = panel;
    }
    setStatusBar(StatusBar);
    SetStatusPanel(0, QStringLiteral("Use left Button to pan!"));
    // The window starts wide enough for every panel, and can be narrowed below
    // it; from then on the first panel has what the others leave.
    const int wanted = StatusBar->sizeHint().width();
    StatusPanels[0]->SetPreferredWidth(0);

    resize(std::max(556, wanted), 468);
    setMinimumWidth(320);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(1000);
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

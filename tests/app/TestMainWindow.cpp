// The main window and its map view, driven through object names offscreen.
#include "../platform/FakeTrayWatcher.h"
#include "../platform/PrivateSession.h"
#include "AppTestSupport.h"

#include "app/map/MapComposer.h"

#include "app/dialogs/AddLocationPage1.h"
#include "app/map/Readouts.h"
#include "app/text/Translation.h"
#include "app/window/WindowProgram.h"

#include <QAccessible>
#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>

using namespace apptest;
using app::TFormChronara;

namespace {

// Counts the minimised states a window enters.
class TStateWatcher : public QObject {
public:
    explicit TStateWatcher(QWidget* window) : QObject(window) { window->installEventFilter(this); }
    int Minimised = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange &&
            static_cast<QWidget*>(watched)->isMinimized()) {
            ++Minimised;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestMainWindow : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    void Open() { QVERIFY(OpenWindow()); }

    // A private session bus for the window's tray (the settings stay in World).
    std::unique_ptr<testsupport::TPrivateSession> TraySession() {
        auto session = std::make_unique<testsupport::TPrivateSession>();
        session->Set("XDG_CONFIG_HOME", World->ConfigHome());
        if (session->Ok()) {
            platform::TTrayHost::TWhere where;
            where.BusAddress = session->Address;
            TrayHost = std::make_shared<platform::TTrayHost>(where);
        }
        return session;
    }

    // Moves the pointer over the paint box without buttons.
    void Hover(int x, int y) {
        PaintBoxOf(*Form)->PointerPos = QPoint(x, y);
        PaintBoxOf(*Form)->PointerInside = true;
        PaintBoxOf(*Form)->PanelPaintBoxMouseMove(Qt::NoButton, x, y);
    }

    // The view point of a latitude and longitude.
    QPoint ViewOf(double lat, double lon) { return PaintBoxOf(*Form)->View.PlaceToView(lat, lon); }

    QImage PaintNow() {
        QImage image(PaintBoxOf(*Form)->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        PaintBoxOf(*Form)->PaintBoxPaint(painter);
        return image;
    }

private slots:
    void init() { StartFixture(); }
    void cleanup() {
        EndFixture();
        app::SetLangTable({});
    }

    // The hidden cloud switch only keeps its state: one timer tick after
    // switching on, none after switching off, and the map shown either way.
    void cloudSwitch() {
        Open();
        TFormChronara& form = *Form;
        QAction* showClouds = FindAction(&form, "ShowClouds");
        auto* timer = form.findChild<QTimer*>(QStringLiteral("CloudDownloadTimer"));
        QVERIFY(timer);
        int ticks = 0;
        connect(timer, &QTimer::timeout, this, [&] { ++ticks; });
        QVERIFY(!timer->isActive());

        showClouds->trigger();
        QVERIFY(showClouds->isChecked());
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QTRY_COMPARE(ticks, 1);
        QVERIFY(!timer->isActive());
        QVERIFY(!MapOf(form)->DayImage().Empty());

        showClouds->trigger();
        QVERIFY(!showClouds->isChecked());
        QVERIFY(!timer->isActive());
        QVERIFY(!MapOf(form)->DayImage().Empty());
        QVERIFY(Messages->Texts.isEmpty());
    }

    void creationStateAndMenus() {
        Open();
        TFormChronara& form = *Form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Chronara"));
        QVERIFY2(form.CreationError().isEmpty(), qPrintable(form.CreationError()));
        QVERIFY(Messages->Texts.isEmpty());
        QCOMPARE(kiv::ZoneDB.Zones.size(), std::size_t{4});
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, 599);
        QCOMPARE(DisplayOf(form).SMUpdate, 600);
        QVERIFY(DisplayOf(form).ShowDate && DisplayOf(form).ShowZA && !DisplayOf(form).ShowSA);
        QVERIFY(DisplayOf(form).CShowDate && !DisplayOf(form).CShowZA && !DisplayOf(form).CShowSA &&
                !DisplayOf(form).CShowCty);
        QCOMPARE(LocationsOf(form)->SingleLocation.Name, QStringLiteral("Melbourne, Australia"));
        QCOMPARE(StatusText(form, 0), QStringLiteral("Use left Button to pan!"));
        QCOMPARE(
            Part<QLabel>(form, "LabelTop")->text(),
            QStringLiteral("To add or remove locations, right click here and follow the menu."));
        QCOMPARE(ClockLabelOf(form)->text(),
                 QStringLiteral("Double Click on Map or select from PopUp Menu"));
        QVERIFY(!WidgetOf(form, "PanelClock")->isVisible());
        QCOMPARE(Part<QStatusBar>(form, "StatusBar")->toolTip(),
                 QStringLiteral("SR = Sunrise; SS = Sunset; DL = Daylength; SA = Sun Angle"));

        auto layout = [](QMenu* menu) {
            QStringList items;
            for (QAction* a : menu->actions()) {
                items << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
            }
            return items.join(QLatin1Char(' '));
        };
        QCOMPARE(layout(MenuOf(form, "PopupMenu1")),
                 QStringLiteral("MIAddLocation PIRemoveLocation PIClearList - PIOptions PIAbout - "
                                "MIHighlightCities PIShowMap - PIStayOnTop - PIExit"));
        QCOMPARE(layout(MenuOf(form, "PopupMenu2")),
                 QStringLiteral("AddLocationWizard1 - MIZoomIn MIZoomOut N4 - "
                                "PISetDesktopIconTextColor MIOptions MIAbout - MultiMode "
                                "AddLocationsoverMap1 ShowMap1 ShowSM1 ShowClock ShowClouds - "
                                "Stayontop1 Wallpaper TranspDesk - Shutdown2 - CityPopups"));
        for (const char* checked : {"PIShowMap", "ShowMap1", "ShowSM1", "MultiMode"}) {
            QVERIFY2(FindAction(&form, checked)->isChecked(), checked);
        }
        for (const char* unchecked : {"MIHighlightCities", "ShowClock", "Wallpaper"}) {
            QVERIFY2(!FindAction(&form, unchecked)->isChecked(), unchecked);
        }
        QVERIFY(!ActionOf(form, "ShowClouds")->isVisible());
        QCOMPARE(ActionOf(form, "PIExit")->text(), QStringLiteral("E&xit"));
        QCOMPARE(ActionOf(form, "N4")->text(), QStringLiteral("Fit to Screen"));
        QCOMPARE(ActionOf(form, "TBZoomIn")->toolTip(), QStringLiteral("Zoom Into Location"));
        QCOMPARE(ActionOf(form, "TBZoomOut")->toolTip(), QStringLiteral("Zoom out from location"));
        QCOMPARE(ActionOf(form, "TBAddLocation")->toolTip(), QStringLiteral("Add New Location"));
        QCOMPARE(TrayOf(form)->contextMenu(), MenuOf(form, "PopupMenu1"));
        for (int i = 0; i < 8; ++i) {
            QVERIFY(Part<QStatusBar>(form, "StatusBar")
                        ->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i)));
        }
    }

    void missingDataFileIsReportedAndTheWindowLives() {
        QFile::remove(World->DataFile(QStringLiteral("earth_tz.png")));
        TMessageRecorder messages;
        Open();
        TFormChronara& form = *Form;
        QCOMPARE(messages.Texts.size(), 1);
        QVERIFY2(messages.Texts[0].contains(QStringLiteral("earth_tz.png")),
                 qPrintable(messages.Texts[0]));
        QCOMPARE(form.CreationError(), messages.Texts[0]);
        // No later tick, paint, pointer move or command fails.
        for (int i = 0; i < 3; ++i) {
            RunTick(form);
        }
        Hover(100, 100);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::LeftButton, 120, 110);
        PaintNow();
        QVERIFY(TriggerAction(&form, "MIZoomIn"));
        QVERIFY(TriggerAction(&form, "N4"));
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        PaintNow();
        QCOMPARE(messages.Texts.size(), 1);
    }

    void zoomLimitsOfASmallPaintBox() {
        Open();
        TFormChronara& form = *Form;
        QCOMPARE(PaintBoxOf(form)->size(), QSize(544, 342));
        QVERIFY(qAbs(PaintBoxOf(form)->View.Zoom.Value - 512.f / 342.f) < 1e-4);
        QVERIFY(TriggerAction(&form, "MIZoomIn"));
        QVERIFY(qAbs(PaintBoxOf(form)->View.Zoom.Value - (512.f / 342.f - 0.25f)) < 1e-4);
        for (int i = 0; i < 10; ++i) {
            PaintBoxOf(form)->MIZoomInClick();
        }
        QCOMPARE(PaintBoxOf(form)->View.Zoom.Value, 0.15f);
        PaintBoxOf(form)->FormMouseWheelDown();
        QVERIFY(qAbs(PaintBoxOf(form)->View.Zoom.Value - 0.25f) < 1e-5);
    }

    void gridAndLabelsOnlyBelowPointSeven() {
        Open();
        TFormChronara& form = *Form;
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        LocationsOf(form)->AddLocation(QStringLiteral("St. John's, Canada"),
                                       QStringLiteral("America/St_Johns"), 47.56, -52.71);
        PaintBoxOf(form)->TimerZoomTo->stop();
        PaintBoxOf(form)->SetFollowSelection(false);
        // Pixels of the label's blue background beside a listed place.
        auto labelPixels = [&](const QImage& image) {
            const QPoint p = ViewOf(47.56, -52.71);
            int n = 0;
            for (int y = p.y() + 5; y < p.y() + 16; ++y) {
                for (int x = p.x() + 5; x < p.x() + 60; ++x) {
                    n += image.valid(x, y) && QColor(image.pixel(x, y)) == QColor(0, 0, 255);
                }
            }
            return n;
        };
        PaintBoxOf(form)->View.SetView(0, 0, 1.0f);
        PaintBoxOf(form)->LayoutView(false);
        QVERIFY(PaintBoxOf(form)->View.Zoom.Value >= 0.7f);
        const QPoint equator = ViewOf(0, 0);
        const int col = 5;
        QImage far = PaintNow();
        QCOMPARE(QColor(far.pixel(col, equator.y())), QColor(60, 60, 60));
        QCOMPARE(labelPixels(far), 0);
        // The listed place's green square shows at every zoom.
        QCOMPARE(QColor(far.pixel(ViewOf(47.56, -52.71))), QColor(0, 255, 0));

        PaintBoxOf(form)->View.SetView(100, 50, 0.65f);
        PaintBoxOf(form)->LayoutView(false);
        QImage near = PaintNow();
        // The equator (a 90-degree line) adds 128 red, a 10-degree line 50 grey.
        QCOMPARE(QColor(near.pixel(col, ViewOf(0, 0).y())), QColor(60 + 128, 60, 60));
        QCOMPARE(QColor(near.pixel(col, ViewOf(10, 10).y())), QColor(110, 110, 110));
        QVERIFY(labelPixels(near) > 20);
    }

    void fitToScreenWidensTheWindowBy140() {
        Open();
        TFormChronara& form = *Form;
        const QSize before = form.size();
        QVERIFY(TriggerAction(&form, "N4"));
        QCOMPARE(form.size(), before + QSize(140, 0));
    }

    void readoutsUnderThePointer() {
        Open();
        TFormChronara& form = *Form;
        // India in the zone image: 5.5 hours, 17:30 at 12:00 UTC.
        const QPoint india = ViewOf(22, 80);
        Hover(india.x(), india.y());
        QCOMPARE(StatusText(form, 6), QStringLiteral("UTC +5.5"));
        QCOMPARE(StatusText(form, 1), QStringLiteral("17:30"));
        QVERIFY(StatusText(form, 7).startsWith(QStringLiteral("Lat: 2")));
        QVERIFY(StatusText(form, 2).startsWith(QStringLiteral("SR ")));
        // Sunset has passed in India at 17:30.
        QCOMPARE(StatusText(form, 5), QStringLiteral("Night"));
        // The Pacific square's colour is not in the table: panels 1 and 6 stay.
        const QPoint unknown = ViewOf(0, -150);
        Hover(unknown.x(), unknown.y());
        QCOMPARE(StatusText(form, 6), QStringLiteral("UTC +5.5"));
        QCOMPARE(StatusText(form, 1), QStringLiteral("17:30"));

        // West of Greenwich: a whole negative offset.
        const QPoint brazil = ViewOf(-10, -45);
        Hover(brazil.x(), brazil.y());
        QCOMPARE(StatusText(form, 6), QStringLiteral("UTC -3"));
        QCOMPARE(StatusText(form, 1), QStringLiteral("09:00"));

        // Polar night in the far north at the December solstice.
        const QPoint arctic = ViewOf(80, 20);
        Hover(arctic.x(), arctic.y());
        QCOMPARE(StatusText(form, 2), QStringLiteral("SR --:--"));
        QCOMPARE(StatusText(form, 3), QStringLiteral("SS --:--"));
        QCOMPARE(StatusText(form, 4), QStringLiteral("DL > 24h"));
        QCOMPARE(StatusText(form, 5), QStringLiteral("Night"));

        // On the Greenwich meridian at noon the sun stands 23.4 degrees from
        // the zenith at the December solstice.
        const QPoint noon = ViewOf(0, 0);
        Hover(noon.x(), noon.y());
        // (A view pixel spans half a degree here.)
        QVERIFY2(QRegularExpression(QStringLiteral("^SA 2[34]\\.\\d\u00B0$"))
                     .match(StatusText(form, 5))
                     .hasMatch(),
                 qPrintable(StatusText(form, 5)));
    }

    void sunTimesReadInTheMachinesWallClock() {
        // The machine in summer time one hour ahead of its standard offset:
        // sunrise and sunset shift by that hour, not by the standard offset.
        Clock->SetOffsets(0, 60);
        Clock->SetDstActive(false);
        Open();
        TFormChronara& form = *Form;
        // On the equator 5 degrees west, the sun rises at about 06:18 UTC.
        const QPoint equator = ViewOf(0, -5);
        Hover(equator.x(), equator.y());
        const QString standard = StatusText(form, 2);
        Clock->SetDstActive(true);
        Hover(equator.x(), equator.y());
        const QString summer = StatusText(form, 2);
        QVERIFY2(standard.startsWith(QStringLiteral("SR 06")), qPrintable(standard));
        QVERIFY2(summer.startsWith(QStringLiteral("SR 07")), qPrintable(summer));
    }

    void minutesAsClockTexts() {
        QCOMPARE(app::MinutesToClock(-30), QStringLiteral("23:30"));
        QCOMPARE(app::MinutesToClock(1440), QStringLiteral("24:00"));
        QCOMPARE(app::MinutesToClock(1500), QStringLiteral("01:00"));
        QCOMPARE(app::MinutesToClock(365.9), QStringLiteral("06:05"));
    }

    void panningAndItsBounds() {
        Open();
        TFormChronara& form = *Form;
        PaintBoxOf(form)->View.SetView(200, 100, 0.5f);
        PaintBoxOf(form)->LayoutView(false);
        PaintBoxOf(form)->PanelPaintBoxMouseDown(Qt::LeftButton, 100, 100);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::LeftButton, 110, 100);
        QCOMPARE(PaintBoxOf(form)->View.OffsetX.Value, 195.f);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::LeftButton, 110, 80);
        QCOMPARE(PaintBoxOf(form)->View.OffsetY.Value, 110.f);
        PaintBoxOf(form)->View.SetView(0, 0, 0.5f);
        PaintBoxOf(form)->LayoutView(false);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::NoButton, 100, 100);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::LeftButton, 110, 110);
        QCOMPARE(PaintBoxOf(form)->View.OffsetX.Value, 0.f);
        QCOMPARE(PaintBoxOf(form)->View.OffsetY.Value, 0.f);
        // Far beyond the right edge: held at mapW - visible width.
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::LeftButton, -5000, 110);
        QCOMPARE(PaintBoxOf(form)->View.OffsetX.Value, 1024.f - 544 * 0.5f);
    }

    void middleButtonDragZooms() {
        Open();
        TFormChronara& form = *Form;
        PaintBoxOf(form)->View.SetView(100, 100, 0.3f);
        PaintBoxOf(form)->LayoutView(false);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::NoButton, 200, 50);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::MiddleButton, 200, 150);
        QVERIFY(qAbs(PaintBoxOf(form)->View.Zoom.Value - 1.3f) < 1e-5);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::MiddleButton, 200, 450);
        QVERIFY(qAbs(PaintBoxOf(form)->View.Zoom.Value - 512.f / 342.f) < 1e-5);
    }

    void flightEndsCentredOnItsTarget() {
        Open();
        TFormChronara& form = *Form;
        PaintBoxOf(form)->ZoomTo(512, 256, 0.5f);
        QVERIFY(PaintBoxOf(form)->TimerZoomTo->isActive());
        // Pointer moves are ignored while flying.
        const QString before = StatusText(form, 7);
        Hover(10, 10);
        QCOMPARE(StatusText(form, 7), before);
        QTRY_VERIFY_WITH_TIMEOUT(!PaintBoxOf(form)->TimerZoomTo->isActive(), 10000);
        QVERIFY(qAbs(PaintBoxOf(form)->View.Zoom.Value - 0.5f) < 0.01f);
        QVERIFY(qAbs(PaintBoxOf(form)->View.OffsetX.Value + 544 * 0.5f / 2 - 512) < 0.05f);
        QVERIFY(qAbs(PaintBoxOf(form)->View.OffsetY.Value + 342 * 0.5f / 2 - 256) < 0.05f);
    }

    void paintedPlaceSquaresAndCross() {
        Open();
        TFormChronara& form = *Form;
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        PaintBoxOf(form)->View.SetView(850, 300, 0.3f);
        PaintBoxOf(form)->LayoutView(false);
        // Over Melbourne: it is the nearest place (white square, blue outline);
        // Geelong lies in range (a yellowish square added to the map).
        const QPoint melbourne = ViewOf(-37.81667, 144.96667);
        const QPoint geelong = ViewOf(-38.15, 144.35);
        // The title changes with the nearest place, so come from Geelong.
        Hover(geelong.x() - 3, geelong.y() + 3);
        QCOMPARE(StatusText(form, 0), QStringLiteral("Geelong, Australia"));
        Hover(melbourne.x(), melbourne.y());
        QCOMPARE(StatusText(form, 0), QStringLiteral("Melbourne, Australia"));
        QImage image = PaintNow();
        QCOMPARE(QColor(image.pixel(melbourne)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(melbourne + QPoint(3, 0))), QColor(0, 0, 255));
        kiv::ZoneDB.FindNearestPlace(-37.81667, 144.96667, 20);
        const int d = static_cast<int>(std::nearbyint(15 * kiv::ZoneDB.Places[1].Distance));
        QCOMPARE(QColor(image.pixel(geelong)),
                 QColor(qMin(255, 60 + 255 - d), qMin(255, 60 + 255 - d), 60));

        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        PaintBoxOf(form)->SetFollowSelection(true);
        PaintBoxOf(form)->View.TargetX = 900;
        PaintBoxOf(form)->View.TargetY = 150;
        image = PaintNow();
        const QPoint target = PaintBoxOf(form)->View.GridToView(900, 150);
        QCOMPARE(QColor(image.pixel(target + QPoint(0, -12))), QColor(255, 0, 0));
        QCOMPARE(QColor(image.pixel(target + QPoint(12, 0))), QColor(255, 0, 0));
        QCOMPARE(QColor(image.pixel(target + QPoint(-4, 4))), QColor(255, 0, 0));
        QVERIFY(QColor(image.pixel(target)) != QColor(255, 0, 0));
    }

    void shadowRefreshesOnTheSecondTick() {
        Open();
        TFormChronara& form = *Form;
        RunTick(form);
        QVERIFY(!ShadowMapOf(form)->Busy());
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, 600);
        RunTick(form);
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, 0);
        QVERIFY(ShadowMapOf(form)->Busy());
        // A tick inside a tick only counts.
        TickOf(form)->TickBusy = true;
        RunTick(form);
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, 1);
        TickOf(form)->TickBusy = false;
        QTRY_VERIFY(!ShadowMapOf(form)->Busy());
        QTRY_VERIFY(!Part<app::TMapComposer>(form, "MapComposer")->Busy());
        // Night lies over the sunless side of the rebuilt map: at 12:00 UTC in
        // December, the night side is around longitude 180.
        const kiv::TBgr night = MapOf(form)->DayImage().GetPixel(2, 256);
        const kiv::TBgr day = MapOf(form)->DayImage().GetPixel(512, 256);
        QVERIFY(night.B > night.R);
        QVERIFY(night.R < 10);
        QVERIFY(day.R >= 50);
        // With SMUpdate 0 nothing refreshes and the counter stays.
        DisplayOf(form).SMUpdate = 0;
        for (int i = 0; i < 3; ++i) {
            RunTick(form);
        }
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, 1);
        QVERIFY(!ShadowMapOf(form)->Busy());
    }

    // Resume from suspend or a manual change of the clock: the shadow is made
    // again at the next tick, not at the end of the interval.
    void shadowRefreshesAtOnceWhenTheWallClockJumps() {
        Open();
        TFormChronara& form = *Form;
        RunTick(form);
        RunTick(form);
        QTRY_VERIFY(!ShadowMapOf(form)->Busy());
        QTRY_VERIFY(!Part<app::TMapComposer>(form, "MapComposer")->Busy());
        Clock->AdvanceSeconds(1);
        RunTick(form);
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, 1);
        QVERIFY(!ShadowMapOf(form)->Busy());
        Clock->JumpMSecs(std::int64_t{3} * 3600 * 1000);
        RunTick(form);
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, 0);
        QVERIFY(ShadowMapOf(form)->Busy());
        QTRY_VERIFY(!ShadowMapOf(form)->Busy());
        QTRY_VERIFY(!Part<app::TMapComposer>(form, "MapComposer")->Busy());
    }

    void showMapHidesAndGrowsBy200() {
        Open();
        TFormChronara& form = *Form;
        const int width = form.width();
        QVERIFY(TriggerAction(&form, "PIShowMap"));
        QVERIFY(MapHidden(form));
        QCOMPARE(form.width(), width);
        QVERIFY(!WidgetOf(form, "PanelClient")->isVisible());
        QVERIFY(!Part<QStatusBar>(form, "StatusBar")->isVisible());
        QVERIFY(!ActionOf(form, "ShowMap1")->isChecked());
        QCOMPARE(form.minimumHeight(), form.maximumHeight());
        QCOMPARE(form.minimumWidth(), 320);
        const int hidden = form.height();
        // The shadow is not refreshed while the map is hidden.
        DisplayOf(form).ShadowRefreshCounter = 700;
        RunTick(form);
        QVERIFY(!ShadowMapOf(form)->Busy());
        QVERIFY(TriggerAction(&form, "ShowMap1"));
        QVERIFY(!MapHidden(form));
        QVERIFY(ActionOf(form, "PIShowMap")->isChecked());
        QVERIFY(WidgetOf(form, "PanelClient")->isVisible());
        QCOMPARE(form.height(), hidden + 200);
        // Without the list, the map cannot be hidden.
        ActionOf(form, "MultiMode")->setChecked(false);
        QVERIFY(TriggerAction(&form, "PIShowMap"));
        QVERIFY(ActionOf(form, "PIShowMap")->isChecked());
        QVERIFY(!MapHidden(form));
    }

    void showShadowMapAndClock() {
        Open();
        TFormChronara& form = *Form;
        QVERIFY(TriggerAction(&form, "ShowClock"));
        QVERIFY(WidgetOf(form, "PanelClock")->isVisible());
        QVERIFY(TriggerAction(&form, "ShowClock"));
        QVERIFY(!WidgetOf(form, "PanelClock")->isVisible());
        QVERIFY(TriggerAction(&form, "ShowSM1"));
        QVERIFY(!DisplayOf(form).ShowSM);
        DisplayOf(form).ShadowRefreshCounter = 700;
        RunTick(form);
        QVERIFY(!ShadowMapOf(form)->Busy());
        QVERIFY(TriggerAction(&form, "ShowSM1"));
        QCOMPARE(DisplayOf(form).ShadowRefreshCounter, DisplayOf(form).SMUpdate);
        RunTick(form);
        QVERIFY(ShadowMapOf(form)->Busy());
        QTRY_VERIFY(!ShadowMapOf(form)->Busy());
    }

    void highlightTwinsAndHint() {
        Open();
        TFormChronara& form = *Form;
        QVERIFY(TriggerAction(&form, "AddLocationsoverMap1"));
        QVERIFY(ActionOf(form, "MIHighlightCities")->isChecked());
        QVERIFY(ActionOf(form, "AddLocationsoverMap1")->isChecked());
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        QVERIFY(!ActionOf(form, "AddLocationsoverMap1")->isChecked());
        QCOMPARE(StatusText(form, 0), QStringLiteral("Hint: Hold left button down to pan!"));
    }

    void minimiseDisablesTrayItemsAndRestoreEnables() {
        Open();
        TFormChronara& form = *Form;
        form.ApplicationEventsMinimize();
        for (const char* name : {"MIHighlightCities", "PIRemoveLocation", "PIShowMap"}) {
            QVERIFY2(!FindAction(&form, name)->isEnabled(), name);
        }
        QVERIFY(FindAction(&form, "PIClearList")->isEnabled());
        QVERIFY(FindAction(&form, "PIExit")->isEnabled());
        form.ApplicationEventsRestore();
        for (const char* name : {"MIHighlightCities", "PIRemoveLocation", "PIShowMap"}) {
            QVERIFY2(FindAction(&form, name)->isEnabled(), name);
        }
    }

    void exitWaitsForARunningShadowComputation() {
        Open();
        TFormChronara& form = *Form;
        DisplayOf(form).ShadowRefreshCounter = 700;
        RunTick(form);
        QVERIFY(ShadowMapOf(form)->Busy());
        QSignalSpy closed(&form, &TFormChronara::Closed);
        QVERIFY(TriggerAction(&form, "PIExit"));
        QVERIFY(!ShadowMapOf(form)->Busy());
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form.isVisible());
    }

    void windowGoneBeforeItsShadowCompletes() {
        Open();
        TFormChronara& form = *Form;
        DisplayOf(form).ShadowRefreshCounter = 700;
        RunTick(form);
        QVERIFY(ShadowMapOf(form)->Busy());
        Form.reset();
        // Whatever the worker posted must find nothing to touch.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    // ------------------------------------------------------------ window states

    void restoringByTheWindowSystemEnablesTheTrayItems() {
        Open();
        TFormChronara& form = *Form;
        const char* items[] = {"MIAddLocation", "TBAddLocation",    "MIHighlightCities",
                               "PIShowMap",     "PIRemoveLocation", "AddLocationsoverMap1"};
        form.showMinimized();
        QTRY_VERIFY(form.isMinimized());
        for (const char* name : items) {
            QVERIFY2(!FindAction(&form, name)->isEnabled(), name);
        }
        // The window manager (or the taskbar) restores it, not the tray icon.
        form.showNormal();
        QTRY_VERIFY(!form.isMinimized());
        for (const char* name : items) {
            QVERIFY2(FindAction(&form, name)->isEnabled(), name);
        }
    }

    void oneTrayClickBringsBackAWindowStartedIntoTheTray_data() {
        QTest::addColumn<int>("reason");
        QTest::newRow("click") << static_cast<int>(QSystemTrayIcon::Trigger);
        QTest::newRow("double click") << static_cast<int>(QSystemTrayIcon::DoubleClick);
    }

    void oneTrayClickBringsBackAWindowStartedIntoTheTray() {
        QFETCH(int, reason);
        // A desktop with a tray.
        const auto session = TraySession();
        if (!session->Ok()) {
            QSKIP(session->Error.c_str());
        }
        testsupport::TFakeTrayWatcher tray(session->Address);
        QVERIFY(tray.Start());
        TStateWatcher* states = nullptr;
        app::TStartOptions options; // without "max"
        options.ProgramDir = World->ProgramDir();
        options.Desktop = Desktop;
        options.TrayHost = TrayHost;
        Form = std::make_unique<TFormChronara>(options);
        TFormChronara& form = *Form;
        states = new TStateWatcher(&form);
        form.show();
        QTRY_VERIFY(Activated(form) && !form.isVisible());
        TimerOf(form)->stop();
        QVERIFY(!ActionOf(form, "TBAddLocation")->isEnabled());
        // Hidden, never minimised: nothing for the first click to undo.
        QCOMPARE(states->Minimised, 0);
        emit TrayOf(form)->activated(static_cast<QSystemTrayIcon::ActivationReason>(reason));
        QTRY_VERIFY(form.isVisible());
        QVERIFY(!form.isMinimized());
        QVERIFY(ActionOf(form, "TBAddLocation")->isEnabled());
        QCOMPARE(states->Minimised, 0);
    }

    // A start without -max goes into the tray only where the desktop has one:
    // elsewhere the window shows as a normal window with all its commands, and
    // minimising it is normal; a tray that comes later gets the icon.
    void aStartWithoutMaxShowsTheWindowWhereThereIsNoTray_data() {
        QTest::addColumn<bool>("bus");
        QTest::addColumn<bool>("trayAtStart");
        QTest::addColumn<bool>("trayWhileStarting");
        QTest::newRow("no tray") << false << false << false;
        QTest::newRow("bus without a tray") << true << false << false;
        QTest::newRow("tray from the start") << true << true << false;
        QTest::newRow("tray while the settings load") << true << false << true;
    }
    void aStartWithoutMaxShowsTheWindowWhereThereIsNoTray() {
        QFETCH(bool, bus);
        QFETCH(bool, trayAtStart);
        QFETCH(bool, trayWhileStarting);
        std::unique_ptr<testsupport::TPrivateSession> session;
        std::unique_ptr<testsupport::TFakeTrayWatcher> tray;
        if (bus) {
            session = TraySession();
            if (!session->Ok()) {
                QSKIP(session->Error.c_str());
            }
            tray = std::make_unique<testsupport::TFakeTrayWatcher>(session->Address);
            if (trayAtStart) {
                QVERIFY(tray->Start());
            }
        }
        QVERIFY(StartWindow(false, [&] {
            if (trayWhileStarting) {
                QVERIFY(tray->Start());
            }
        }));
        TFormChronara& form = *Form;
        QCoreApplication::processEvents();
        if (trayWhileStarting) {
            // The window already on screen stays; the tray gets the icon.
            QTRY_VERIFY(TrayOf(form)->isVisible());
            QVERIFY(form.isVisible());
            return;
        }
        if (trayAtStart) {
            QVERIFY(TrayOf(form)->isVisible());
            QVERIFY(!form.isVisible());
            return;
        }
        QVERIFY(form.isVisible());
        QVERIFY(!form.isMinimized());
        QVERIFY(!TrayOf(form)->isVisible());
        // The tray menu's commands are the list menu's, over the hint label.
        QCOMPARE(Part<QLabel>(form, "LabelTop")->contextMenuPolicy(), Qt::CustomContextMenu);
        for (QAction* a : MenuOf(form, "PopupMenu1")->actions()) {
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        }
        // Minimised, the window stays on the taskbar.
        form.showMinimized();
        QTRY_VERIFY(form.isMinimized());
        QCoreApplication::processEvents();
        QVERIFY(form.isVisible());
        form.showNormal();
        QTRY_VERIFY(!form.isMinimized());
        if (bus) {
            // A panel with a tray starts after the program.
            QVERIFY(tray->Start());
            QTRY_VERIFY(TrayOf(form)->isVisible());
            QVERIFY(form.isVisible());
            QVERIFY(TrayOf(form)->SystemIcon() != nullptr);
            QCOMPARE(TrayOf(form)->SystemIcon()->toolTip(), TrayOf(form)->toolTip());
            QCOMPARE(TrayOf(form)->SystemIcon()->contextMenu(), MenuOf(form, "PopupMenu1"));
            // From now on minimising goes into the tray.
            form.showMinimized();
            QTRY_VERIFY(!form.isVisible());
        }
    }

    // Starting the program again brings the running copy's window to the
    // front: out of the tray, or back from the taskbar.
    void aLaterStartBringsTheWindowToTheFront_data() {
        QTest::addColumn<bool>("minimised");
        QTest::newRow("hidden") << false;
        QTest::newRow("minimised") << true;
    }
    void aLaterStartBringsTheWindowToTheFront() {
        QFETCH(bool, minimised);
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const platform::TSingleInstance instance(app::ApplicationTitle.toStdString(),
                                                 runtime.path().toStdString());
        QVERIFY(instance.IsFirst());
        QVERIFY(StartWindow(false));
        TFormChronara& form = *Form;
        const auto laterStarts = app::BringToFrontOnLaterStarts(instance, form);
        QVERIFY(laterStarts->Listening());
        if (minimised) {
            form.showMinimized();
            QTRY_VERIFY(form.isMinimized());
        } else {
            form.ApplicationEventsMinimize();
            form.hide();
        }
        // The program started again, by the same user.
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(CHRONARA_BIN_DIR "/chronara-window"), {});
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(form.isVisible() && !form.isMinimized());
        QVERIFY(ActionOf(form, "TBAddLocation")->isEnabled());
    }

    void mapMenuTwinsFollowTheirMasters() {
        Open();
        TFormChronara& form = *Form;
        // Without the list, highlighting is forced on and cannot be switched
        // off from either menu; the map cannot be hidden.
        QVERIFY(TriggerAction(&form, "MultiMode"));
        QVERIFY(ActionOf(form, "AddLocationsoverMap1")->isChecked());
        QVERIFY(!ActionOf(form, "AddLocationsoverMap1")->isEnabled());
        QVERIFY(!ActionOf(form, "ShowMap1")->isEnabled());
        QVERIFY(TriggerAction(&form, "MultiMode"));
        QVERIFY(TriggerAction(&form, "AddLocationsoverMap1"));
        QVERIFY(!ActionOf(form, "MIHighlightCities")->isChecked());
        QVERIFY(ActionOf(form, "ShowMap1")->isEnabled());
    }

    void captionsCarryNoApplicationName() {
        app::SetUpApplication();
        // A display name set by the program would be appended to every
        // caption; unset, it follows the application's name.
        QCoreApplication::setApplicationName(QStringLiteral("Another name"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Another name"));
        QCoreApplication::setApplicationName(app::ApplicationTitle);
        Open();
        QCOMPARE(Form->windowTitle(), QStringLiteral("Chronara"));
        QCOMPARE(Part<app::TWizard1>(*Form)->windowTitle(), QStringLiteral("Add Location Wizard"));
    }

    // ------------------------------------------------------------ the map

    void afterAMenuClosesTheMapPaintsFromThePointer() {
        Open();
        TFormChronara& form = *Form;
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        PaintBoxOf(form)->View.SetView(850, 300, 0.3f);
        PaintBoxOf(form)->LayoutView(false);
        const QPoint melbourne = ViewOf(-37.81667, 144.96667);
        const QPoint geelong = ViewOf(-38.15, 144.35);
        // The pointer stands over Melbourne now, but the map last saw it near
        // Geelong, where the map menu was opened: the window system sends no
        // move while a menu holds the pointer.
        QCursor::setPos(PaintBoxOf(form)->mapToGlobal(melbourne));
        QCoreApplication::processEvents();
        Hover(geelong.x() - 3, geelong.y() + 3);
        QCOMPARE(StatusText(form, 0), QStringLiteral("Geelong, Australia"));
        MenuOf(form, "PopupMenu2")->popup(PaintBoxOf(form)->mapToGlobal(geelong));
        MenuOf(form, "PopupMenu2")->hide();
        QTRY_COMPARE(StatusText(form, 0), QStringLiteral("Melbourne, Australia"));
    }

    void everyAddLeavesTheMapZoomedFullyOut() {
        Open();
        TFormChronara& form = *Form;
        const app::TMapWidget& map = *PaintBoxOf(form);
        for (int i = 0; i < 4; ++i) {
            LocationsOf(form)->AddLocation(QStringLiteral("Place %1").arg(i), "Europe/Berlin",
                                           10 * i, 10 * i);
            QTRY_VERIFY_WITH_TIMEOUT(!map.TimerZoomTo->isActive(), 10000);
            QCoreApplication::processEvents();
            const float fill = map.View.FillZoom(map.width(), map.height());
            QVERIFY2(qAbs(map.View.Zoom.Value - fill) < 1e-3,
                     qPrintable(QStringLiteral("add %1: zoom %2, fully out %3")
                                    .arg(i + 1)
                                    .arg(map.View.Zoom.Value)
                                    .arg(fill)));
        }
    }

    void statusPanelsAreReadableAtTheDefaultSize() {
        app::TStartOptions options;
        options.Max = true;
        options.ProgramDir = World->ProgramDir();
        Form = std::make_unique<TFormChronara>(options);
        TFormChronara& form = *Form;
        form.show();
        QTRY_VERIFY(Activated(form));
        TimerOf(form)->stop();
        QCoreApplication::processEvents();
        const QStringList widest[8] = {
            {"Use left Button to pan!"},      {"23:59"},
            {"SR 23:59", "SR --:--", "SR ?"}, {"SS 23:59", "SS --:--"},
            {"DL 23:59", "DL > 24h"},         {QStringLiteral("SA 90.0\u00B0"), "Night"},
            {"UTC +12.75", "UTC -10.5"},      {"Lat: -89.99 Long: -179.99"}};
        for (int i = 0; i < 8; ++i) {
            auto* panel = Part<QStatusBar>(form, "StatusBar")
                              ->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            QVERIFY(panel != nullptr);
            const int right = panel->mapTo(&form, QPoint(panel->width(), 0)).x();
            QVERIFY2(right <= form.width(), qPrintable(QStringLiteral("panel %1 ends at %2 of %3")
                                                           .arg(i)
                                                           .arg(right)
                                                           .arg(form.width())));
            for (const QString& text : widest[i]) {
                QVERIFY2(panel->fontMetrics().horizontalAdvance(text) <=
                             panel->contentsRect().width(),
                         qPrintable(text));
            }
        }
    }

    // A long place name never widens the status bar past the window: the
    // first panel shortens it and keeps it whole in its tooltip and in what a
    // screen reader reads; the read-out panels stay inside the window.
    void longNamesKeepTheStatusBarInTheWindow_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("width"); // 0: the size the window starts with
        QTest::newRow("English") << QString() << 0;
        QTest::newRow("German") << QStringLiteral("de") << 0;
        QTest::newRow("English, 420 pixels") << QString() << 420;
        QTest::newRow("German, 420 pixels") << QStringLiteral("de") << 420;
    }
    void longNamesKeepTheStatusBarInTheWindow() {
        QFETCH(QString, language);
        QFETCH(int, width);
        TWorldExtras extras;
        extras.Places = "Kolkata\t-7.3\t72.4\tChagos Archipelago, British Indian Ocean Territory\n";
        World = std::make_unique<TTestWorld>(extras);
        if (!language.isEmpty()) {
            kiv::TLangTable table;
            QVERIFY(table.LoadFile(CHRONARA_SHIPPED_DATA_DIR "/../lang/" + language.toStdString() +
                                   "/lang.txt"));
            app::SetLangTable(std::move(table));
        }
        Open();
        TFormChronara& form = *Form;
        const QPoint chagos = ViewOf(-7.3, 72.4);
        Hover(chagos.x(), chagos.y());
        if (width > 0) {
            form.resize(width, form.height());
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        QCOMPARE(form.width(), width > 0 ? width : form.width());
        const QString title = StatusText(form, 0);
        QVERIFY2(title.startsWith(QStringLiteral("Chagos Archipelago, British Indian Ocean")),
                 qPrintable(title));
        QVERIFY(Part<QStatusBar>(form, "StatusBar")->geometry().right() < form.width());
        for (int i = 0; i < 8; ++i) {
            auto* panel = Part<QStatusBar>(form, "StatusBar")
                              ->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            const int right = panel->mapTo(&form, QPoint(panel->width(), 0)).x();
            QVERIFY2(right <= form.width(), qPrintable(QStringLiteral("panel %1 ends at %2 of %3")
                                                           .arg(i)
                                                           .arg(right)
                                                           .arg(form.width())));
            QVERIFY2(panel->width() > 0, qPrintable(panel->objectName()));
        }
        auto* first =
            Part<QStatusBar>(form, "StatusBar")->findChild<QLabel*>(QStringLiteral("StatusPanel0"));
        QCOMPARE(first->toolTip(), title);
        QVERIFY(
            QAccessible::queryAccessibleInterface(first)->text(QAccessible::Name).contains(title));
    }

    void aBadImageLeavesTheZoneDatabaseOn_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("truncated");
        QTest::newRow("truncated zone image") << "earth_tz.png" << true;
        QTest::newRow("missing day image") << "earth_day.png" << false;
    }

    void aBadImageLeavesTheZoneDatabaseOn() {
        QFETCH(QString, file);
        QFETCH(bool, truncated);
        QFile image(World->DataFile(file));
        if (truncated) {
            QVERIFY(image.resize(image.size() / 2));
        } else {
            QVERIFY(image.remove());
        }
        TMessageRecorder messages;
        Open();
        TFormChronara& form = *Form;
        QCOMPARE(messages.Texts.size(), 1);
        QVERIFY2(messages.Texts[0].contains(file), qPrintable(messages.Texts[0]));
        QCOMPARE(kiv::ZoneDB.Zones.size(), std::size_t{4});
        LocationsOf(form)->AddLocation(QStringLiteral("Kolkata"), "Asia/Kolkata", 22.57, 88.36);
        RunTick(form);
        QVERIFY(LocationsOf(form)->Entries()[0].TimeValid);
        PaintBoxOf(form)->TimerZoomTo->stop();
        if (truncated) {
            // The map and its sun read-outs work; the zone read-outs are off.
            const QPoint india = ViewOf(22, 80);
            Hover(india.x(), india.y());
            QVERIFY(StatusText(form, 7).startsWith(QStringLiteral("Lat: 2")));
            QVERIFY(StatusText(form, 6).isEmpty());
        }
        PaintNow();
        QCOMPARE(messages.Texts.size(), 1);
    }

    void aDateTheSunCannotBeComputedForIsReportedOnce() {
        Clock->SetUtc(kiv::EncodeDateTime(2201, 6, 1, 12, 0, 0, 0));
        Open();
        TFormChronara& form = *Form;
        for (int refresh = 0; refresh < 2; ++refresh) {
            DisplayOf(form).ShadowRefreshCounter = 700;
            RunTick(form);
            QVERIFY(ShadowMapOf(form)->Busy());
            QTRY_VERIFY(!ShadowMapOf(form)->Busy());
            QCoreApplication::processEvents();
        }
        QCOMPARE(Messages->Texts.size(), 1);
        QVERIFY2(Messages->Texts[0].startsWith(
                     QStringLiteral("Cannot compute the position of the sun for this date")),
                 qPrintable(Messages->Texts[0]));
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"

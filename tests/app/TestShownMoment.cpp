// The moment shown: the time control, every read-out following a picked
// moment across a daylight-saving change, the mark, the way back to the
// present, the moment's map with stale requests dropped, and the wallpaper and
// stored settings keeping the present.
#include "AppTestSupport.h"

#include "app/map/Readouts.h"
#include "app/moment/MomentControl.h"
#include "app/moment/MomentShadow.h"
#include "app/moment/ShownMoment.h"
#include "solar/ShadowMap.h"

#include <QDateTimeEdit>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QWheelEvent>

#include <condition_variable>
#include <mutex>

using namespace apptest;
using app::TFormChronara;
using kiv::EncodeDateTime;

namespace {

bool SameInstant(kiv::TDateTime a, kiv::TDateTime b) {
    return kiv::DateTimeToMSecs(a) == kiv::DateTimeToMSecs(b);
}

// Holds the moment map's thread before each computation until released.
class TGate {
public:
    void Wait(kiv::TDateTime utc) {
        std::unique_lock guard(M);
        Arrived.push_back(utc);
        Changed.notify_all();
        Changed.wait(guard, [this] { return Open > 0; });
        --Open;
    }
    void Release() {
        const std::lock_guard guard(M);
        ++Open;
        Changed.notify_all();
    }
    bool Reached(std::size_t count) {
        std::unique_lock guard(M);
        return Changed.wait_for(guard, std::chrono::seconds(30),
                                [&] { return Arrived.size() >= count; });
    }
    std::vector<kiv::TDateTime> Arrived;

private:
    std::mutex M;
    std::condition_variable Changed;
    int Open = 0;
};

} // namespace

class TestShownMoment : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    void Open() { QVERIFY(OpenWindow()); }

    // Types a wall-clock date and time into the control's field.
    void Type(const QDateTime& local) {
        QDateTimeEdit* edit = MomentBarOf(*Form)->Edit;
        edit->setDateTime(local);
        emit edit->editingFinished();
    }

    // Types a date and time into the control's field as a user does: a click
    // into it, the keys, Enter.
    void TypeKeys(const QString& text) {
        QDateTimeEdit* edit = MomentBarOf(*Form)->Edit;
        Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        // The clicks land on the field's text, a line edit of its own; a
        // double click selects the year, and each section full moves on.
        auto* line = edit->findChild<QLineEdit*>();
        QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(6, line->height() / 2));
        QVERIFY(edit->hasFocus());
        QTest::mouseDClick(line, Qt::LeftButton, {}, QPoint(6, line->height() / 2));
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    void Hover(double lat, double lon) {
        const QPoint p = PaintBoxOf(*Form)->View.PlaceToView(lat, lon);
        PaintBoxOf(*Form)->PointerPos = p;
        PaintBoxOf(*Form)->PointerInside = true;
        PaintBoxOf(*Form)->PanelPaintBoxMouseMove(Qt::NoButton, p.x(), p.y());
    }

    // What the read-outs say at a point for a moment, asked directly.
    app::TPointReadouts ReadoutsAt(double lat, double lon, kiv::TDateTime utc) {
        app::TReadoutWorld world;
        world.Database = &kiv::ZoneDB;
        world.ZoneImage = &MapOf(*Form)->ZoneImage();
        world.ShadowMap = ShadowMapOf(*Form);
        world.MapW = PaintBoxOf(*Form)->View.MapW();
        world.MapH = PaintBoxOf(*Form)->View.MapH();
        const QPoint p = PaintBoxOf(*Form)->View.PlaceToView(lat, lon);
        return app::PointReadouts(world, PaintBoxOf(*Form)->View.ViewToMap(p.x(), p.y()), utc, 0);
    }

    // The darkness of the shadow of a moment at a map pixel, computed apart.
    static std::uint8_t DarknessAt(kiv::TDateTime utc, int x, int y) {
        solar::TShadowMap map(1024, 512);
        map.Synchronous = true;
        map.SetDateTime(0.0, utc);
        return map.Shadow.Row(y)[x];
    }

private slots:
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    void steppedMoments_data() {
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("expectedMinutes"); // from 10:00
        QTest::newRow("on the grid, forward") << 0 << 1 << 15;
        QTest::newRow("on the grid, back") << 0 << -1 << -15;
        QTest::newRow("between, forward") << 7 << 1 << 15;
        QTest::newRow("between, back") << 7 << -1 << 0;
        QTest::newRow("between, two back") << 7 << -2 << -15;
        QTest::newRow("no step keeps the anchor") << 7 << 0 << 7;
        QTest::newRow("a day") << 0 << 96 << 1440;
        QTest::newRow("over midnight back") << 0 << -41 << -615;
    }
    void steppedMoments() {
        QFETCH(int, minute);
        QFETCH(int, steps);
        QFETCH(int, expectedMinutes);
        const kiv::TDateTime ten = EncodeDateTime(2026, 3, 29, 10, 0, 0, 0);
        const kiv::TDateTime got = app::SteppedMoment(kiv::IncMinute(ten, minute), steps);
        QVERIFY(SameInstant(got, kiv::IncMinute(ten, expectedMinutes)));
    }

    void differencesFromNow_data() {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("now") << 0 << "now";
        QTest::newRow("quarter back") << -15 << "-15 min";
        QTest::newRow("whole hour") << 60 << "+1 h";
        QTest::newRow("days hours minutes") << (3 * 1440 + 6 * 60 + 15) << "+3 d 6 h 15 min";
        QTest::newRow("a day back") << -1440 << "-1 d";
    }
    void differencesFromNow() {
        QFETCH(int, minutes);
        QFETCH(QString, text);
        const kiv::TDateTime now = EncodeDateTime(2026, 12, 21, 12, 0, 0, 0);
        QCOMPARE(app::MomentDifferenceText(kiv::IncMinute(now, minutes), now), text);
    }

    // The wall clock read back across the machine's own change to summer time.
    void typedWallClockTimesAcrossTheMachinesChange() {
        Clock->SetOffsets(60, 120);
        Clock->SetDstActive(true);
        const kiv::TDateTime local = EncodeDateTime(2027, 7, 1, 14, 0, 0, 0);
        QVERIFY(
            SameInstant(app::UtcOfMachineLocal(local), EncodeDateTime(2027, 7, 1, 12, 0, 0, 0)));
        QVERIFY(SameInstant(app::MachineLocalAt(EncodeDateTime(2027, 7, 1, 12, 0, 0, 0)), local));
    }

    // The slider: arrows and each wheel notch a quarter-hour, pages a day; the
    // middle is the present again.
    void sliderStepsKeysAndWheel() {
        Open();
        app::TMomentControl& bar = *MomentBarOf(*Form);
        const kiv::TDateTime now = Clock->UtcNow();
        QTest::keyClick(bar.Slider, Qt::Key_Right);
        QVERIFY(!MomentOf(*Form)->IsPresent());
        QVERIFY(SameInstant(MomentOf(*Form)->Utc(), kiv::IncMinute(now, 15)));
        QTest::keyClick(bar.Slider, Qt::Key_PageUp);
        QVERIFY(SameInstant(MomentOf(*Form)->Utc(), kiv::IncMinute(now, 15 + 1440)));
        QWheelEvent notch(QPointF(5, 5), bar.Slider->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(bar.Slider, &notch);
        QVERIFY(SameInstant(MomentOf(*Form)->Utc(), kiv::IncMinute(now, 1440)));
        QTest::keyClick(bar.Slider, Qt::Key_PageDown);
        QVERIFY(MomentOf(*Form)->IsPresent());
        QVERIFY(!MomentBarOf(*Form)->MINow->isEnabled());
    }

    // Berlin is listed; the moment picked lies in its summer time, the present
    // in its winter time. Every read-out shows the moment, with CEST.
    void everyReadoutFollowsTheMomentAcrossAChange() {
        Open();
        TFormChronara& form = *Form;
        DisplayOf(form).ShowZA = true;
        DisplayOf(form).CShowZA = true;
        ActionOf(form, "ShowClock")->trigger();
        // Room on the clock line for the mark and the abbreviation.
        form.resize(1400, form.height());
        LocationsOf(form)->AddLocation(QStringLiteral("Berlin, Germany"),
                                       QStringLiteral("Europe/Berlin"), 52.5, 13.4);
        RunTick(form);
        const app::TLocationEntry& row = LocationsOf(form)->Entries().front();
        QCOMPARE(row.Abbreviation, QStringLiteral("CET"));
        QCOMPARE(row.UtcOffset, 60);

        const kiv::TDateTime moment = EncodeDateTime(2027, 7, 1, 0, 0, 0, 0);
        // The flight to the new row is over.
        PaintBoxOf(form)->TimerZoomTo->stop();
        Hover(0, 170);
        Type(QDateTime(QDate(2027, 7, 1), QTime(0, 0), Qt::UTC));
        QVERIFY(SameInstant(MomentOf(form)->Utc(), moment));

        // The row and the clock line: the moment's local time and its CEST.
        QVERIFY(SameInstant(row.LocalTime, EncodeDateTime(2027, 7, 1, 2, 0, 0, 0)));
        QCOMPARE(row.Abbreviation, QStringLiteral("CEST"));
        QVERIFY2(row.TimeLabel->text().contains(QStringLiteral("(CEST)")),
                 qPrintable(row.TimeLabel->text()));
        QVERIFY2(ClockLabelOf(form)->text().startsWith(QStringLiteral("Berlin: ")) &&
                     ClockLabelOf(form)->text().contains(QStringLiteral("(CEST)")),
                 qPrintable(ClockLabelOf(form)->text()));
        // What is stored stays the present's offset.
        QCOMPARE(row.UtcOffset, 60);
        // The tray tooltip, with the mark in front.
        QVERIFY2(TrayOf(form)->toolTip().startsWith(QStringLiteral("[+191 d 12 h] Berlin")),
                 qPrintable(TrayOf(form)->toolTip()));

        // The pointer read-outs, for the moment: it is noon near the date line
        // then, midnight now.
        Hover(0, 170);
        const app::TPointReadouts then = ReadoutsAt(0, 170, moment);
        const app::TPointReadouts present = ReadoutsAt(0, 170, Clock->UtcNow());
        QVERIFY(then.SunAngle != present.SunAngle);
        QCOMPARE(StatusText(form, 5), then.SunAngle);
        QCOMPARE(StatusText(form, 2), then.SunRise);
        QCOMPARE(StatusText(form, 1), then.LocalTime);

        // The shadow on the map: the moment's, at one point.
        QTRY_VERIFY_WITH_TIMEOUT(PaintBoxOf(form)->View.MapImage() == &MapOf(form)->MomentImage(),
                                 30000);
        const int x = 1000;
        const int y = 256;
        QCOMPARE(Part<app::TMomentShadow>(form, "MomentShadow")->Shadow.Row(y)[x],
                 DarknessAt(moment, x, y));
        QVERIFY(DarknessAt(moment, x, y) < 40);
        QVERIFY(DarknessAt(Clock->UtcNow(), x, y) > 200);
        QVERIFY(MapOf(form)->MomentImage().GetPixel(x, y).R >= 50);
    }

    // The mark comes with a picked moment typed into the field and goes with
    // "Now", with ten untouched minutes, and with hiding the map; the field
    // then shows the present, and Enter in it keeps the present.
    void theMarkShowsAndGoes_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("Now") << "now";
        QTest::newRow("ten untouched minutes") << "idle";
        QTest::newRow("the map hidden") << "hide";
    }
    void theMarkShowsAndGoes() {
        QFETCH(QString, way);
        Open();
        TFormChronara& form = *Form;
        ActionOf(form, "ShowClock")->trigger();
        LocationsOf(form)->AddLocation(QStringLiteral("Kolkata, India"),
                                       QStringLiteral("Asia/Kolkata"), 22.57, 88.36);
        QVERIFY(Part<QLabel>(form, "MomentMark")->isHidden());
        QVERIFY(!MomentBarOf(form)->MINow->isEnabled());
        TypeKeys(QStringLiteral("202612241800"));
        QVERIFY(Part<QLabel>(form, "MomentMark")->isVisible());
        QVERIFY2(
            Part<QLabel>(form, "MomentMark")->text().startsWith(QStringLiteral("Shown: ")) &&
                Part<QLabel>(form, "MomentMark")->text().endsWith(QStringLiteral("(+3 d 6 h)")),
            qPrintable(Part<QLabel>(form, "MomentMark")->text()));
        QVERIFY(MomentBarOf(form)->MINow->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(PaintBoxOf(form)->View.MapImage() == &MapOf(form)->MomentImage(),
                                 30000);

        if (way == QLatin1String("now")) {
            QTest::mouseClick(MomentBarOf(form)->NowButton, Qt::LeftButton);
        } else if (way == QLatin1String("idle")) {
            // Nine minutes and the difference moves on; the tenth brings the
            // present back.
            Clock->AdvanceSeconds(9 * 60);
            RunTick(form);
            QVERIFY(!MomentOf(form)->IsPresent());
            QVERIFY2(Part<QLabel>(form, "MomentMark")
                         ->text()
                         .endsWith(QStringLiteral("(+3 d 5 h 51 min)")),
                     qPrintable(Part<QLabel>(form, "MomentMark")->text()));
            Clock->AdvanceSeconds(60);
            RunTick(form);
        } else {
            ActionOf(form, "PIShowMap")->trigger();
        }
        QVERIFY(MomentOf(form)->IsPresent());
        QVERIFY(Part<QLabel>(form, "MomentMark")->isHidden());
        QVERIFY(!MomentBarOf(form)->MINow->isEnabled());
        QCOMPARE(MomentBarOf(form)->Slider->value(), 0);
        QDateTimeEdit* field = MomentBarOf(form)->Edit;
        QCOMPARE(field->dateTime(),
                 QDateTime(QDate(2026, 12, 21), QTime(12, way == "idle" ? 10 : 0), Qt::UTC));
        QCOMPARE(field->text(), field->dateTime().toString(field->displayFormat()));
        if (field->isVisible()) {
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY(MomentOf(form)->IsPresent());
        }
        const app::TLocationEntry& row = LocationsOf(form)->Entries().front();
        QVERIFY(SameInstant(row.LocalTime, kiv::IncMinute(Clock->UtcNow(), 330)));
        QVERIFY(!TrayOf(form)->toolTip().startsWith(QLatin1Char('[')));
        QCOMPARE(PaintBoxOf(form)->View.MapImage(), &MapOf(form)->DayImage());
        // The moment's map and shadow are let go until the next moment.
        QVERIFY(MapOf(form)->MomentImage().Empty());
        QVERIFY(Part<app::TMomentShadow>(form, "MomentShadow")->Shadow.Empty());
    }

    // Using the control restarts the ten minutes.
    void usingTheControlKeepsTheMoment() {
        Open();
        TFormChronara& form = *Form;
        QTest::keyClick(MomentBarOf(form)->Slider, Qt::Key_Right);
        Clock->AdvanceSeconds(8 * 60);
        QTest::keyClick(MomentBarOf(form)->Slider, Qt::Key_Right);
        Clock->AdvanceSeconds(8 * 60);
        RunTick(form);
        QVERIFY(!MomentOf(form)->IsPresent());
    }

    // A drag over many steps: the map ends at the moment the slider stopped on.
    void aDragEndsOnTheMapOfItsLastStep() {
        Open();
        TFormChronara& form = *Form;
        app::TMomentSlider* slider = MomentBarOf(form)->Slider;
        slider->setSliderDown(true);
        for (int step = 1; step <= 40; ++step) {
            slider->setValue(step);
        }
        slider->setSliderDown(false);
        const kiv::TDateTime last = kiv::IncMinute(Clock->UtcNow(), 40 * 15);
        QVERIFY(SameInstant(MomentOf(form)->Utc(), last));
        QTRY_VERIFY_WITH_TIMEOUT(SameInstant(MapOf(form)->MomentImageMoment(), last), 30000);
        QCOMPARE(PaintBoxOf(form)->View.MapImage(), &MapOf(form)->MomentImage());
        QVERIFY(Part<app::TMomentShadow>(form, "MomentShadow")->Computed.load() +
                    Part<app::TMomentShadow>(form, "MomentShadow")->Dropped.load() ==
                40);
    }

    // Requests made while a map is being computed: only the newest of them
    // is computed; a cancelled one is never delivered.
    void staleRequestsAreDropped() {
        TGate gate;
        app::TMomentShadow map;
        map.BeforeCompute = [&gate](kiv::TDateTime utc) { gate.Wait(utc); };
        map.SetSize(64, 32);
        QList<kiv::TDateTime> shown;
        connect(&map, &app::TMomentShadow::Ready, this, [&] { shown << map.ShadowMoment; });
        const kiv::TDateTime a = EncodeDateTime(2026, 12, 21, 12, 0, 0, 0);
        const kiv::TDateTime b = kiv::IncMinute(a, 15);
        const kiv::TDateTime c = kiv::IncMinute(a, 30);
        map.Request(a);
        QVERIFY(gate.Reached(1));
        map.Request(b);
        map.Request(c);
        gate.Release();
        QVERIFY(gate.Reached(2));
        gate.Release();
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, 30000);
        QVERIFY(SameInstant(shown[0], a));
        QVERIFY(SameInstant(shown[1], c));
        QVERIFY(SameInstant(gate.Arrived[1], c));
        QCOMPARE(map.Computed.load(), 2);
        QCOMPARE(map.Dropped.load(), 1);

        // Cancelled while computing: its map never shows; the next one does.
        const kiv::TDateTime d = kiv::IncMinute(a, 45);
        const kiv::TDateTime e = kiv::IncMinute(a, 60);
        map.Request(d);
        QVERIFY(gate.Reached(3));
        map.Cancel();
        gate.Release();
        map.Request(e);
        QVERIFY(gate.Reached(4));
        gate.Release();
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 3, 30000);
        QVERIFY(SameInstant(shown[2], e));
    }

    // With a picked moment on screen the present's shadow still refreshes:
    // the wallpaper is built from it, and the stored offsets are the present's.
    void wallpaperAndStoredSettingsKeepThePresent() {
        Open();
        TFormChronara& form = *Form;
        LocationsOf(form)->AddLocation(QStringLiteral("Berlin, Germany"),
                                       QStringLiteral("Europe/Berlin"), 52.5, 13.4);
        DisplayOf(form).WallpaperWidth = 256;
        ActionOf(form, "Wallpaper")->trigger();
        // Twelve hours on: the night lies over Greenwich then.
        Type(QDateTime(QDate(2027, 7, 1), QTime(0, 0), Qt::UTC));
        QTRY_VERIFY_WITH_TIMEOUT(PaintBoxOf(form)->View.MapImage() == &MapOf(form)->MomentImage(),
                                 30000);
        QSignalSpy built(Part<app::TDesktopIntegration>(form),
                         &app::TDesktopIntegration::WallpaperBuilt);
        RunTick(form);
        RunTick(form);
        QVERIFY(ShadowMapOf(form)->Busy());
        QVERIFY(built.wait(30000));
        // The composed present (what the wallpaper is made from) has daylight
        // at Greenwich; the view still shows the moment's night there.
        QVERIFY(MapOf(form)->DayImage().GetPixel(512, 256).R >= 50);
        QVERIFY(MapOf(form)->MomentImage().GetPixel(512, 256).R < 10);
        QCOMPARE(PaintBoxOf(form)->View.MapImage(), &MapOf(form)->MomentImage());

        form.close();
        QFile stored(World->SettingsFile());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QByteArray text = stored.readAll();
        QVERIFY2(text.contains("\"GMTOffset\"=\"60\""), text.constData());
    }
};

QTEST_MAIN(TestShownMoment)
#include "TestShownMoment.moc"

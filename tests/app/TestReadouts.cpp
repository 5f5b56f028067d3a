// The status-bar read-outs computed without a window: the made-up world's zone
// image and database, a shadow map of the map's size, and a fixed instant (21
// December 2026, 12:00 UTC, the machine at UTC).
#include "AppTestSupport.h"

#include "app/map/Readouts.h"
#include "kiv/KivFastDibLoaders.h"
#include "solar/ShadowMap.h"

#include <QRegularExpression>

#include <mutex>

using namespace apptest;

namespace {

const kiv::TDateTime Noon = kiv::EncodeDateTime(2026, 12, 21, 12, 0, 0, 0);

// The map pixel of a latitude and longitude on the 1024 x 512 map.
QPointF MapPoint(double latitude, double longitude) {
    return {(longitude + 180) * 1024 / 360, (90 - latitude) * 512 / 180};
}

} // namespace

class TestReadouts : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTestWorld> World;
    kiv::TFastDIB ZoneImage;
    std::unique_ptr<solar::TShadowMap> Map;

    app::TReadoutWorld Readouts() { return {&kiv::ZoneDB, &ZoneImage, Map.get(), 1024, 512}; }

private slots:
    void init() {
        World = std::make_unique<TTestWorld>();
        kiv::ZoneDB.Clear();
        kiv::ZoneDB.LoadDatabase(World->ProgramDir());
        kiv::LoadPngImage(ZoneImage, World->DataFile(QStringLiteral("earth_tz.png")).toStdString());
        Map = std::make_unique<solar::TShadowMap>(1024, 512);
    }
    void cleanup() {
        Map.reset();
        kiv::ZoneDB.Clear();
        World.reset();
    }

    void pointsOfTheMap_data() {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<QString>("latLong");
        QTest::addColumn<QString>("sun");  // sunrise, sunset, day length, angle (a pattern)
        QTest::addColumn<QString>("zone"); // UTC offset and local time; empty: not found
        const QString day = QStringLiteral("SR \\d\\d:\\d\\d SS \\d\\d:\\d\\d DL \\d\\d:\\d\\d ");
        QTest::newRow("land in a half-hour zone")
            << 22.0 << 80.0 << "Lat: 22.00 Long: 80.00" << day + "Night"
            << "UTC +5.5 17:30";
        QTest::newRow("sea: a colour the table lacks")
            << 0.0 << -150.0 << "Lat: 0.00 Long: -150.00" << day + "Night"
            << "";
        QTest::newRow("west of Greenwich")
            << -10.0 << -45.0 << "Lat: -10.00 Long: -45.00" << day + "SA \\d\\d\\.\\d\u00B0"
            << "UTC -3 09:00";
        QTest::newRow("east of the date line")
            << 0.0 << 179.5 << "Lat: 0.00 Long: 179.50" << day + "Night"
            << "UTC +12 00:00";
        QTest::newRow("west of the date line")
            << 0.0 << -179.0 << "Lat: 0.00 Long: -179.00" << day + "Night"
            << "UTC -12 00:00";
        // The zone image is read two pixels left of the pointer: nothing there.
        QTest::newRow("at the map's left edge")
            << 0.0 << -179.9 << "Lat: 0.00 Long: -179.90" << day + "Night"
            << "";
        QTest::newRow("north pole: polar night") << 90.0 << 0.0 << "Lat: 90.00 Long: 0.00"
                                                 << "SR --:-- SS --:-- DL > 24h Night"
                                                 << "";
        QTest::newRow("south pole: midnight sun") << -90.0 << 0.0 << "Lat: -90.00 Long: 0.00"
                                                  << "SR --:-- SS --:-- DL > 24h SA 66\\.\\d\u00B0"
                                                  << "UTC +0 12:00";
    }

    void pointsTheSunCannotBeAskedAbout_data() {
        QTest::addColumn<QPointF>("point");
        QTest::newRow("east of the map") << QPointF(1100, 256);
        QTest::newRow("north of the map") << QPointF(512, -20);
        QTest::newRow("south of the map") << QPointF(512, 540);
    }

    void pointsTheSunCannotBeAskedAbout() {
        QFETCH(QPointF, point);
        // The record holds another point's answers from before.
        app::PointReadouts(Readouts(), MapPoint(0, 0), Noon, 0);
        const app::TPointReadouts r = app::PointReadouts(Readouts(), point, Noon, 0);
        QVERIFY(!r.SunKnown);
        QCOMPARE(QStringList({r.SunRise, r.SunSet, r.DayLength, r.SunAngle}),
                 QStringList({"SR ?", "SS ?", "DL ?", "SA ?"}));
        QVERIFY(!r.ZoneFound);
    }

    void whileTheMapComputesTheSunIsUnknown() {
        // A map with a worker: busy until its completion is handed back.
        std::mutex lock;
        std::vector<std::function<void()>> completions;
        solar::TShadowMap busy(1024, 512, [&](std::function<void()> step) {
            const std::lock_guard<std::mutex> guard(lock);
            completions.push_back(std::move(step));
        });
        busy.OnShadowReady = [](solar::TShadowMap&) {};
        busy.SetDateTime(0, Noon);
        QVERIFY(busy.Busy());
        app::TReadoutWorld world = Readouts();
        world.ShadowMap = &busy;
        const app::TPointReadouts r = app::PointReadouts(world, MapPoint(22, 80), Noon, 0);
        QCOMPARE(r.SunRise, QStringLiteral("SR ?"));
        QCOMPARE(r.SunAngle, QStringLiteral("SA ?"));
        // The rest does not need the sun.
        QCOMPARE(r.LatLong, QStringLiteral("Lat: 22.00 Long: 80.00"));
        QCOMPARE(r.UtcOffset, QStringLiteral("UTC +5.5"));
        const auto completion = [&] {
            const std::lock_guard<std::mutex> guard(lock);
            return completions.empty() ? std::function<void()>() : completions.front();
        };
        QTRY_VERIFY(completion() != nullptr);
        completion()();
        QVERIFY(!busy.Busy());
    }

    void pointsOfTheMap() {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(QString, latLong);
        QFETCH(QString, sun);
        QFETCH(QString, zone);
        const app::TPointReadouts r =
            app::PointReadouts(Readouts(), MapPoint(latitude, longitude), Noon, 0);
        QCOMPARE(r.LatLong, latLong);
        const QString sunTexts =
            QStringList{r.SunRise, r.SunSet, r.DayLength, r.SunAngle}.join(' ');
        QVERIFY2(
            QRegularExpression(QRegularExpression::anchoredPattern(sun)).match(sunTexts).hasMatch(),
            qPrintable(sunTexts));
        QCOMPARE(r.ZoneFound, !zone.isEmpty());
        if (r.ZoneFound) {
            QCOMPARE(r.UtcOffset + ' ' + r.LocalTime, zone);
        }
    }

    void sunTimesInTheMachinesOwnTime() {
        // On the equator 5 degrees west the sun rises at about 06:18 UTC; an
        // hour ahead, the machine reads 07:18.
        const QPointF p = MapPoint(0, -5);
        QVERIFY(app::PointReadouts(Readouts(), p, Noon, 0).SunRise.startsWith("SR 06:"));
        QVERIFY(app::PointReadouts(Readouts(), p, Noon, 60).SunRise.startsWith("SR 07:"));
    }

    void placeExactlyUnderThePointer() {
        QString title;
        QVERIFY(app::NearestPlaceReadout(kiv::ZoneDB, *Map, MapPoint(52.4, 13.1), title));
        QCOMPARE(title, QStringLiteral("Potsdam, Germany"));
        // Exactly over a place: that place.
        QVERIFY(app::NearestPlaceReadout(kiv::ZoneDB, *Map, MapPoint(-37.81667, 144.96667), title));
        QCOMPARE(title, QStringLiteral("Melbourne, Australia"));
        // The same place again: nothing new to show.
        title.clear();
        QVERIFY(!app::NearestPlaceReadout(kiv::ZoneDB, *Map, MapPoint(-37.8, 144.9), title));
        QVERIFY(title.isEmpty());
        // Without places there is never one.
        kiv::ZoneDB.Clear();
        QVERIFY(!app::NearestPlaceReadout(kiv::ZoneDB, *Map, MapPoint(0, 0), title));
    }
};

QTEST_MAIN(TestReadouts)
#include "TestReadouts.moc"

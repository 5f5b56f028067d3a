// The map's tooltip: the time clocks show under the pointer, with daylight
// saving, and sunrise and sunset in that local time. Computed without a window
// over the made-up world and the shipped data, and shown by the map itself.
#include "AppTestSupport.h"

#include "app/map/PointTip.h"
#include "kiv/KivFastDibLoaders.h"
#include "kiv/KivZoneRules.h"
#include "solar/ShadowMap.h"

#include <QHelpEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QToolTip>

using namespace apptest;

namespace {

// The map pixel of a latitude and longitude on a 1024 x 512 map.
QPointF MapPoint(double latitude, double longitude) {
    return {(longitude + 180) * 1024 / 360, (90 - latitude) * 512 / 180};
}

kiv::TDateTime Utc(int y, int mo, int d, int h, int mi) {
    return kiv::EncodeDateTime(y, mo, d, h, mi, 0, 0);
}

} // namespace

class TestPointTip : public QObject, public TWindowFixture {
    Q_OBJECT

    kiv::TFastDIB ZoneImage;
    std::unique_ptr<solar::TShadowMap> Map;

    void CheckTip(const QString& dir, double latitude, double longitude, kiv::TDateTime utc,
                  const QString& pattern, const QString& database = {}) {
        kiv::ZoneDB.LoadDatabase(dir.toStdString(), 2026);
        if (!database.isEmpty()) {
            // The machine's database, made for the test with zic.
            const QString folder =
                QString::fromStdString(World->ProgramDir()) + QStringLiteral("/zoneinfo");
            QDir().mkpath(folder);
            QFile source(folder + QStringLiteral("/source.zi"));
            QVERIFY(source.open(QIODevice::WriteOnly));
            source.write(database.toUtf8());
            source.close();
            const QString zic = QFileInfo::exists(QStringLiteral("/usr/sbin/zic"))
                                    ? QStringLiteral("/usr/sbin/zic")
                                    : QStringLiteral("zic");
            QCOMPARE(QProcess::execute(zic, {QStringLiteral("-b"), QStringLiteral("fat"),
                                             QStringLiteral("-d"), folder, source.fileName()}),
                     0);
            kiv::ZoneDB.RunTimeRules = std::make_shared<kiv::TZoneRules>(folder.toStdString());
        }
        kiv::LoadPngImage(ZoneImage, (dir + QStringLiteral("/data/earth_tz.png")).toStdString());
        Map = std::make_unique<solar::TShadowMap>(1024, 512);
        const app::TReadoutWorld world{&kiv::ZoneDB, &ZoneImage, Map.get(), 1024, 512};
        const QString tip = app::PointLocalTimeTip(world, MapPoint(latitude, longitude), utc);
        const QRegularExpression expected(QLatin1Char('^') + pattern + QLatin1Char('$'));
        QVERIFY2(expected.match(tip).hasMatch(), qPrintable(tip));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() { StartFixture(); }
    void cleanup() {
        Map.reset();
        EndFixture();
        kiv::ZoneDB.Clear();
        kiv::ZoneDB.RunTimeRules.reset();
    }

    // The made-up world at 21 December 2026, 12:00 UTC (15-degree bands; St.
    // John's keeps half an hour off its band), and the shipped zone image and
    // data with the times of the system's zone database for the same instants.
    void tips_data() {
        QTest::addColumn<bool>("shipped");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<kiv::TDateTime>("utc");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("database");
        const kiv::TDateTime solstice = Utc(2026, 12, 21, 12, 0);
        QTest::newRow("southern summer")
            << false << -37.8 << 145.0 << solstice
            << "Melbourne area: 23:00 AEDT \\(UTC\\+11\\), daylight saving time; standard time "
               "22:00; sunrise 05:\\d\\d, sunset 20:\\d\\d local time"
            << QString();
        QTest::newRow("half-hour zone")
            << false << 22.6 << 88.4 << solstice
            << "Kolkata area: 17:30 IST \\(UTC\\+5:30\\), standard time; sunrise 06:\\d\\d, "
               "sunset 16:\\d\\d local time"
            << QString();
        QTest::newRow("nearest place keeps another offset")
            << false << 47.6 << -52.7 << solstice
            << "08:00 \\(UTC-4\\), standard time; no daylight-saving rule is known here; "
               "sunrise 07:\\d\\d, sunset 15:\\d\\d local time"
            << QString();
        // The band's offset predates the zone's rules, which the machine's
        // database gives: its clocks, not the band's.
        QTest::newRow("band outdated, database knows the zone")
            << false << 47.6 << -52.7 << solstice
            << "St. John's area: 08:30 NST \\(UTC-3:30\\), standard time; sunrise \\d\\d:\\d\\d, "
               "sunset \\d\\d:\\d\\d local time"
            << "Zone\tAmerica/St_Johns\t-3:30\t-\tNST\n";
        QTest::newRow("polar night") << false << 89.0 << 13.4 << solstice
                                     << "Berlin area: 13:00 CET \\(UTC\\+1\\), standard time; "
                                        "no sunrise or sunset today"
                                     << QString();
        QTest::newRow("a colour the table lacks")
            << false << 0.0 << -150.0 << solstice << "" << QString();
        QTest::newRow("Chicago in July")
            << true << 41.85 << -87.65 << Utc(2026, 7, 15, 19, 3)
            << "Chicago area: 14:03 CDT \\(UTC-5\\), daylight saving time; standard time 13:03; "
               "sunrise 05:\\d\\d, sunset 20:\\d\\d local time"
            << QString();
        QTest::newRow("Sydney in January")
            << true << -33.87 << 151.22 << Utc(2026, 1, 15, 3, 3)
            << "Sydney area: 14:03 AEDT \\(UTC\\+11\\), daylight saving time; standard time "
               "13:03; sunrise 06:\\d\\d, sunset 20:\\d\\d local time"
            << QString();
    }
    void tips() {
        QFETCH(bool, shipped);
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(kiv::TDateTime, utc);
        QFETCH(QString, pattern);
        QFETCH(QString, database);
        const QString dir =
            shipped ? QFileInfo(QStringLiteral(CHRONARA_SHIPPED_DATA_DIR)).absolutePath()
                    : QString::fromStdString(World->ProgramDir());
        CheckTip(dir, latitude, longitude, utc, pattern, database);
    }

    // The map shows the text when the pointer rests.
    void mapShowsTheTip() {
        QVERIFY(OpenWindow());
        const QPoint berlin = PaintBoxOf(*Form)->View.PlaceToView(52.5, 13.4);
        QHelpEvent help(QEvent::ToolTip, berlin, PaintBoxOf(*Form)->mapToGlobal(berlin));
        QCoreApplication::sendEvent(PaintBoxOf(*Form), &help);
        // Berlin or Potsdam, whichever lies nearer the pixel.
        const QRegularExpression expected(QStringLiteral(
            "^(Berlin|Potsdam) area: 13:00 CET \\(UTC\\+1\\), standard time; sunrise 08:\\d\\d, "
            "sunset 15:\\d\\d local time$"));
        QVERIFY2(expected.match(QToolTip::text()).hasMatch(), qPrintable(QToolTip::text()));
        QToolTip::hideText();
    }
};

QTEST_MAIN(TestPointTip)
#include "TestPointTip.moc"

// Places on both sides of a change of clocks, in both hemispheres and across
// New Year, with the shipped zone data: the tooltip texts as people read them,
// and the rows of a window (time, abbreviation, tooltip, the clock line)
// against the system's zone database for the same moments.
#include "AppTestSupport.h"

#include "app/ZoneTexts.h"

#include <QScopeGuard>

#include <ctime>

using namespace apptest;

namespace {

kiv::TDateTime Utc(int y, int mo, int d, int h, int mi) {
    return kiv::EncodeDateTime(y, mo, d, h, mi, 0, 0);
}

struct TPlace {
    const char* Name;
    const char* Zone;
    double Latitude;
    double Longitude;
};

// Both hemispheres, a zone without daylight saving and a half-hour zone.
const TPlace Places[] = {
    {"New York, United States", "America/New_York", 40.71, -74.01},
    {"Paris, France", "Europe/Paris", 48.87, 2.33},
    {"Sydney, Australia", "Australia/Sydney", -33.87, 151.22},
    {"Santiago, Chile", "America/Santiago", -33.45, -70.67},
    {"Tokyo, Japan", "Asia/Tokyo", 35.65, 139.74},
    {"Adelaide, Australia", "Australia/Adelaide", -34.92, 138.58},
};

// A minute before and the minute of each change of 2026, and the turn of the year.
const kiv::TDateTime Moments[] = {
    Utc(2026, 3, 8, 6, 59),   Utc(2026, 3, 8, 7, 0),    Utc(2026, 3, 29, 0, 59),
    Utc(2026, 3, 29, 1, 0),   Utc(2026, 4, 4, 15, 59),  Utc(2026, 4, 4, 16, 0),
    Utc(2026, 4, 4, 16, 29),  Utc(2026, 4, 4, 16, 30),  Utc(2026, 4, 5, 2, 59),
    Utc(2026, 4, 5, 3, 0),    Utc(2026, 9, 6, 3, 59),   Utc(2026, 9, 6, 4, 0),
    Utc(2026, 10, 3, 15, 59), Utc(2026, 10, 3, 16, 0),  Utc(2026, 10, 3, 16, 29),
    Utc(2026, 10, 3, 16, 30), Utc(2026, 10, 25, 0, 59), Utc(2026, 10, 25, 1, 0),
    Utc(2026, 11, 1, 5, 59),  Utc(2026, 11, 1, 6, 0),   Utc(2026, 12, 31, 23, 59),
    Utc(2027, 1, 1, 0, 0),
};

// Copies the shipped zone tables over a made-up world's.
bool UseShippedZones(const TTestWorld& world) {
    for (const char* name : {"tz_data.dat", "tz_dst.dat", "moreplaces.dat"}) {
        const QString target = world.DataFile(QLatin1String(name));
        QFile::remove(target);
        if (!QFile::copy(QStringLiteral(CHRONARA_SHIPPED_DATA_DIR "/") + QLatin1String(name),
                         target)) {
            return false;
        }
    }
    return true;
}

#if !defined(_WIN32)
// The system's zone database for the zone TZ names, through the C library.
std::tm SystemLocal(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

// The first second after `when` with another offset; 0 when none comes within
// two years.
std::time_t SystemNextChange(std::time_t when) {
    const long now = SystemLocal(when).tm_gmtoff;
    for (std::time_t later = when + 3600; later < when + 2 * 366 * 86400; later += 3600) {
        if (SystemLocal(later).tm_gmtoff != now) {
            std::time_t low = later - 3600;
            while (later - low > 1) {
                const std::time_t mid = low + (later - low) / 2;
                (SystemLocal(mid).tm_gmtoff == now ? low : later) = mid;
            }
            return later;
        }
    }
    return 0;
}

std::time_t UnixSeconds(kiv::TDateTime utc) {
    return static_cast<std::time_t>(kiv::DateTimeToMSecs(utc - kiv::UnixDateDelta) / 1000);
}

QString WallClock(const std::tm& t, bool seconds) {
    return seconds ? QString::asprintf("%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec)
                   : QString::asprintf("%02d:%02d", t.tm_hour, t.tm_min);
}
#endif

} // namespace

class TestClockChanges : public QObject, public TWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() { StartFixture(); }
    void cleanup() {
        EndFixture();
        kiv::ZoneDB.Clear();
    }

    // As people say it, in the C locale's words.
    void tooltipsReadAsPeopleSayIt() {
        kiv::ZoneDB.LoadDatabase(
            QFileInfo(QStringLiteral(CHRONARA_SHIPPED_DATA_DIR)).absolutePath().toStdString(),
            2026);
        QCOMPARE(app::ZoneTipText(kiv::ZoneDB, QStringLiteral("America/New_York"),
                                  Utc(2026, 7, 1, 0, 0), QLocale::c()),
                 QStringLiteral("America/New_York, UTC-4 (EDT)\n"
                                "Clocks go back 1 hour on Sun 1 Nov 2026 at 02:00 local time"));
        QCOMPARE(app::ZoneTipText(kiv::ZoneDB, QStringLiteral("Australia/Adelaide"),
                                  Utc(2026, 10, 3, 16, 0), QLocale::c()),
                 QStringLiteral("Australia/Adelaide, UTC+9:30 (ACST)\n"
                                "Clocks go forward 1 hour on Sun 4 Oct 2026 at 02:00 local time"));
        QCOMPARE(app::ZoneTipText(kiv::ZoneDB, QStringLiteral("Asia/Tokyo"), Utc(2026, 7, 1, 0, 0),
                                  QLocale::c()),
                 QStringLiteral("Asia/Tokyo, UTC+9 (JST)\nThe clocks keep one offset all year"));
    }

#if !defined(_WIN32)
    // Every row at every moment: the time and abbreviation the row shows, the
    // offset and the next change its tooltip gives, and the clock line's
    // tooltip and spoken text, each as the system's zone database has them.
    void rowsAgreeWithTheSystemZoneDatabase() {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/zoneinfo/Europe/Paris"))) {
            QSKIP("no system time-zone database");
        }
        QVERIFY(UseShippedZones(*World));
        QVERIFY(OpenWindow());
        for (const TPlace& place : Places) {
            Form->Locations->AddLocation(QString::fromUtf8(place.Name),
                                         QString::fromUtf8(place.Zone), place.Latitude,
                                         place.Longitude);
        }
        QCOMPARE(Form->Locations->Count(), 6);
        QVERIFY(TriggerAction(Form.get(), "ShowClock"));
        const QByteArray oldTz = qgetenv("TZ");
        const auto restoreTz = qScopeGuard([&] {
            oldTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldTz);
            tzset();
        });
        const QLocale locale;
        for (const kiv::TDateTime utc : Moments) {
            Clock->SetUtc(utc);
            Form->TimerTimer();
            const std::time_t now = UnixSeconds(utc);
            for (const app::TLocationEntry& entry : Form->Locations->Entries()) {
                qputenv("TZ", ":" + entry.ZoneName.toUtf8());
                tzset();
                const std::tm local = SystemLocal(now);
                const QString where = entry.ZoneName + QStringLiteral(" at ") +
                                      QString::fromStdString(std::asctime(std::gmtime(&now)));
                const QString text = entry.TimeLabel->text();
                QVERIFY2(text.endsWith(WallClock(local, true)), qPrintable(where + text));
                QVERIFY2(
                    text.contains(QStringLiteral("(%1)").arg(QString::fromUtf8(local.tm_zone))),
                    qPrintable(where + text));

                const QStringList tip = entry.RowShape->toolTip().split(QLatin1Char('\n'));
                QCOMPARE(tip.size(), 2);
                QCOMPARE(tip[0], entry.ZoneName + QStringLiteral(", ") +
                                     app::UtcOffsetText(static_cast<int>(local.tm_gmtoff / 60)) +
                                     QStringLiteral(" (%1)").arg(QString::fromUtf8(local.tm_zone)));
                const std::time_t change = SystemNextChange(now);
                if (change == 0) {
                    QVERIFY2(tip[1].contains(QStringLiteral("one offset all year")),
                             qPrintable(where + tip[1]));
                    continue;
                }
                // The clock just before the change, on the offset before it.
                const std::tm before = SystemLocal(change - 1);
                const std::tm after = SystemLocal(change);
                const std::time_t wall = change + before.tm_gmtoff;
                std::tm shown{};
                gmtime_r(&wall, &shown);
                const QDate day(shown.tm_year + 1900, shown.tm_mon + 1, shown.tm_mday);
                const QString expected =
                    QStringLiteral("Clocks go %1 %2 on %3 at %4 local time")
                        .arg(after.tm_gmtoff > before.tm_gmtoff ? QStringLiteral("forward")
                                                                : QStringLiteral("back"),
                             app::ClockShiftText(
                                 static_cast<int>((after.tm_gmtoff - before.tm_gmtoff) / 60)),
                             locale.toString(day, QStringLiteral("ddd d MMM yyyy")),
                             WallClock(shown, false));
                QCOMPARE(tip[1], expected);
            }
            // The clock line shows the last row.
            const app::TLocationEntry& last = Form->Locations->Entries().back();
            QCOMPARE(Form->ClockLabel->toolTip(), last.RowShape->toolTip());
            QVERIFY2(Form->ClockLabel->accessibleName().startsWith(
                         QStringLiteral("Adelaide: ") + last.TimeLabel->text().right(8).left(5)),
                     qPrintable(Form->ClockLabel->accessibleName()));
        }
    }
#endif
};

QTEST_MAIN(TestClockChanges)
#include "TestClockChanges.moc"

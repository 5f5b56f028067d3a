// Places on both sides of a change of clocks, in both hemispheres and across
// New Year, with the shipped zone data: the tooltip texts as people read them,
// and the rows of a window (time, abbreviation, tooltip, the clock line),
// read through the machine's zone database, against that database read by Qt
// for the same moments.
#include "AppTestSupport.h"
#include "IanaZones.h"

#include "app/moment/ZoneTexts.h"

using namespace apptest;

namespace {

kiv::TDateTime Utc(int y, int mo, int d, int h, int mi) {
    return kiv::EncodeDateTime(y, mo, d, h, mi, 0, 0);
}

// Both hemispheres, a zone without daylight saving and a half-hour zone.
const TZonePlace Places[] = {
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

    // Every row at every moment: the time, offset and abbreviation the row
    // shows, the offset and the next change its tooltip gives, and the clock
    // line's tooltip and spoken text, each as the system's zone database has them.
    void rowsAgreeWithTheSystemZoneDatabase() {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/zoneinfo/Europe/Paris"))) {
            QSKIP("no system time-zone database");
        }
        QVERIFY(UseShippedZones(*World));
        // The rows through the machine's database, which the comparison reads too.
        ZoneFolder.clear();
        QVERIFY(OpenWindow());
        AddPlaces(*LocationsOf(*Form), Places);
        QCOMPARE(LocationsOf(*Form)->Count(), 6);
        QVERIFY(TriggerAction(Form.get(), "ShowClock"));
        const QLocale locale;
        for (const kiv::TDateTime moment : Moments) {
            Clock->SetUtc(moment);
            RunTick(*Form);
            const QDateTime utc = ToUtc(moment);
            for (const app::TLocationEntry& entry : LocationsOf(*Form)->Entries()) {
                const QTimeZone zone(entry.ZoneName.toUtf8());
                const QString where =
                    entry.ZoneName + QStringLiteral(" at ") + utc.toString(Qt::ISODate) + ": ";
                const QString fault = RowMismatch(entry, zone, utc);
                QVERIFY2(fault.isEmpty(), qPrintable(where + fault));
                const QString abbreviation = zone.abbreviation(utc);
                const QString text = entry.TimeLabel->text();
                QVERIFY2(text.contains(QStringLiteral("(%1)").arg(abbreviation)),
                         qPrintable(where + text));

                const QStringList tip = entry.RowShape->toolTip().split(QLatin1Char('\n'));
                QCOMPARE(tip.size(), 2);
                QCOMPARE(tip[0], entry.ZoneName + QStringLiteral(", ") +
                                     app::UtcOffsetText(zone.offsetFromUtc(utc) / 60) +
                                     QStringLiteral(" (%1)").arg(abbreviation));
                const QDateTime change = NextOffsetChange(zone, utc);
                if (!change.isValid()) {
                    QVERIFY2(tip[1].contains(QStringLiteral("one offset all year")),
                             qPrintable(where + tip[1]));
                    continue;
                }
                // The clock just before the change, on the offset before it.
                const int before = zone.offsetFromUtc(change.addSecs(-1));
                const int after = zone.offsetFromUtc(change);
                const QDateTime shown = change.addSecs(before);
                const QString expected =
                    QStringLiteral("Clocks go %1 %2 on %3 at %4 local time")
                        .arg(after > before ? QStringLiteral("forward") : QStringLiteral("back"),
                             app::ClockShiftText((after - before) / 60),
                             locale.toString(shown.date(), QStringLiteral("ddd d MMM yyyy")),
                             shown.time().toString(QStringLiteral("HH:mm")));
                QCOMPARE(tip[1], expected);
            }
            // The clock line shows the last row.
            const app::TLocationEntry& last = LocationsOf(*Form)->Entries().back();
            QCOMPARE(ClockLabelOf(*Form)->toolTip(), last.RowShape->toolTip());
            QVERIFY2(ClockLabelOf(*Form)->accessibleName().startsWith(
                         QStringLiteral("Adelaide: ") + last.TimeLabel->text().right(8).left(5)),
                     qPrintable(ClockLabelOf(*Form)->accessibleName()));
        }
    }
};

QTEST_MAIN(TestClockChanges)
#include "TestClockChanges.moc"

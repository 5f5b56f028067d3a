// A month of the window's clock in a couple of minutes. The window runs over the
// shipped zone tables with fifteen places in both hemispheres while a fake clock
// jumps ahead: in coarse steps through quiet hours, and in steps shorter than a
// minute through every hour around a daylight-saving change or a local New
// Year, so each minute of those is ticked. At every tick each row's local time,
// UTC offset, abbreviation and time text are compared with the system's zone
// database. Memory, open files, threads, timers and objects after the first day
// are compared with the end.
//
// The simulated time is one window's life in two parts. First 31 days, 26
// September to 27 October 2026, with the spring changes of New Zealand and
// Australia and the autumn change of Europe. Then the clock leaps ahead (as
// after a machine's sleep) through a few days each around the changes no single
// month holds together: North America's autumn change, New Year, the spring
// changes of the north, the autumn changes of the south and Chile's spring.
#include "AppTestSupport.h"
#include "IanaZones.h"

#include "kiv/KivDateTime.h"

#include <QAbstractEventDispatcher>
#include <QDirIterator>
#include <QTimeZone>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocator replaces malloc's and keeps its own count (their
// runtimes export it; not every compiler ships the header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#define CHRONARA_SANITIZER_HEAP 1
#endif

using namespace apptest;

namespace {

// Fifteen places (the list's limit): whole, half and three-quarter hour
// offsets, changes at UTC, standard and wall-clock times, a half-hour saving,
// and zones without any.
const TZonePlace SoakPlaces[] = {
    {"London", "Europe/London", 51.51, -0.13},
    {"Berlin", "Europe/Berlin", 52.52, 13.40},
    {"Helsinki", "Europe/Helsinki", 60.17, 24.97},
    {"New York", "America/New_York", 40.71, -74.01},
    {"Los Angeles", "America/Los_Angeles", 34.05, -118.24},
    {"St. John's", "America/St_Johns", 47.57, -52.72},
    {"Kolkata", "Asia/Kolkata", 22.57, 88.36},
    {"Kathmandu", "Asia/Kathmandu", 27.72, 85.32},
    {"Sydney", "Australia/Sydney", -33.87, 151.22},
    {"Adelaide", "Australia/Adelaide", -34.92, 138.58},
    {"Lord Howe", "Australia/Lord_Howe", -31.55, 159.08},
    {"Auckland", "Pacific/Auckland", -36.87, 174.77},
    {"Chatham", "Pacific/Chatham", -43.95, -176.55},
    {"Santiago", "America/Santiago", -33.45, -70.67},
    {"Johannesburg", "Africa/Johannesburg", -26.25, 28.0},
};

constexpr std::int64_t MinuteMs = 60'000;
constexpr std::int64_t HourMs = 60 * MinuteMs;
constexpr std::int64_t DayMs = 24 * HourMs;
// Through quiet hours: a little over a quarter of an hour, so the seconds and
// minutes seen wander. Around a change: under a minute, so every minute is seen.
constexpr std::int64_t CoarseStepMs = 17 * MinuteMs + 13'000;
constexpr std::int64_t FineStepMs = 37'000;
// How far either side of a change or a New Year the fine steps reach.
constexpr std::int64_t FineReachMs = 40 * MinuteMs;

std::int64_t UnixMs(int year, int month, int day, int hour = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, 0), QTimeZone::utc()).toMSecsSinceEpoch();
}

struct TSpan {
    std::int64_t From; // UTC, ms since 1970
    std::int64_t To;
};

// The stretches of fine steps within a span: the hour around each zone's
// changes and around each zone's New Year, merged where they touch.
std::vector<TSpan> FineStretches(const TSpan& span) {
    std::vector<TSpan> stretches;
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(span.From, QTimeZone::utc());
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(span.To, QTimeZone::utc());
    for (const TZonePlace& place : SoakPlaces) {
        const QTimeZone zone(place.Zone);
        std::vector<std::int64_t> moments;
        for (const QTimeZone::OffsetData& change : zone.transitions(from, to)) {
            moments.push_back(change.atUtc.toMSecsSinceEpoch());
        }
        for (int year = from.date().year(); year <= to.date().year() + 1; ++year) {
            moments.push_back(QDateTime(QDate(year, 1, 1), QTime(0, 0), zone).toMSecsSinceEpoch());
        }
        for (const std::int64_t moment : moments) {
            if (moment > span.From && moment < span.To) {
                stretches.push_back({moment - FineReachMs, moment + FineReachMs});
            }
        }
    }
    std::sort(stretches.begin(), stretches.end(),
              [](const TSpan& a, const TSpan& b) { return a.From < b.From; });
    std::vector<TSpan> merged;
    for (const TSpan& s : stretches) {
        if (!merged.empty() && s.From <= merged.back().To) {
            merged.back().To = std::max(merged.back().To, s.To);
        } else {
            merged.push_back(s);
        }
    }
    return merged;
}

// What must not grow while the window runs.
struct TUsage {
    std::int64_t HeapBytes = -1; // bytes handed out by the allocator; -1: unknown
    std::int64_t ResidentKiB = -1;
    int OpenFiles = -1;
    int Threads = -1;
    qsizetype Objects = 0;
    qsizetype Timers = 0;
    qsizetype ActiveTimers = 0;
    qsizetype TopLevelWidgets = 0;
};

int CountEntries(const QString& dir) {
    if (!QFileInfo::exists(dir)) {
        return -1;
    }
    int n = 0;
    for (QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System); it.hasNext();
         it.next()) {
        ++n;
    }
    return n;
}

std::int64_t ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

std::int64_t HeapBytes() {
#if defined(CHRONARA_SANITIZER_HEAP)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__)
    return static_cast<std::int64_t>(mallinfo2().uordblks);
#else
    return -1;
#endif
}

TUsage MeasureUsage(QWidget& window) {
    TUsage usage;
    usage.HeapBytes = HeapBytes();
    usage.ResidentKiB = ResidentKiB();
    usage.OpenFiles = CountEntries(QStringLiteral("/proc/self/fd"));
    usage.Threads = CountEntries(QStringLiteral("/proc/self/task"));
    QList<QObject*> objects = window.findChildren<QObject*>();
    objects << &window << QCoreApplication::instance();
    usage.Objects = objects.size();
    usage.Timers = window.findChildren<QTimer*>().size();
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    for (QObject* object : objects) {
        usage.ActiveTimers += dispatcher->registeredTimers(object).size();
    }
    usage.TopLevelWidgets = QApplication::topLevelWidgets().size();
    return usage;
}

} // namespace

class TestSoak : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    std::vector<QTimeZone> Zones;
    qint64 Ticks = 0;
    qint64 FineTicks = 0;
    // The first mismatch found (the test stops at it).
    QString Mismatch;

    // The window's clock moves to the moment and ticks once; the shadow map's
    // completions are delivered. Then every row is compared with the zone
    // database of the system.
    bool TickAt(std::int64_t unixMs) {
        Clock->SetUtc(ToDateTime(unixMs));
        RunTick(*Form);
        QCoreApplication::processEvents();
        ++Ticks;
        const QDateTime utc = QDateTime::fromMSecsSinceEpoch(unixMs, QTimeZone::utc());
        const auto& entries = LocationsOf(*Form)->Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const app::TLocationEntry& entry = entries[i];
            const QString fault = RowMismatch(entry, Zones[i], utc);
            if (!fault.isEmpty()) {
                Mismatch = QStringLiteral("%1 at %2 UTC: %3")
                               .arg(entry.ZoneName, utc.toString(Qt::ISODate), fault);
                return false;
            }
        }
        return true;
    }

    // Ticks through a span: coarse steps, fine ones through the stretches
    // around changes and New Years. `onDayOne` is called once the first day of
    // the first span has passed.
    bool RunSpan(const TSpan& span, const std::function<void()>& onDayOne = {}) {
        const std::vector<TSpan> fine = FineStretches(span);
        std::size_t next = 0;
        bool dayOneDone = !onDayOne;
        for (std::int64_t t = span.From; t < span.To;) {
            if (!TickAt(t)) {
                return false;
            }
            if (!dayOneDone && t >= span.From + DayMs) {
                onDayOne();
                dayOneDone = true;
            }
            while (next < fine.size() && fine[next].To <= t) {
                ++next;
            }
            const bool inFine = next < fine.size() && fine[next].From <= t;
            if (inFine) {
                ++FineTicks;
                t += FineStepMs;
            } else {
                t += CoarseStepMs;
                // A coarse step never jumps over the start of a fine stretch.
                if (next < fine.size() && t > fine[next].From) {
                    t = fine[next].From;
                }
            }
        }
        return true;
    }

private slots:
    void init() {
        StartFixture();
        // The window over the shipped zone tables (the made-up images stay).
        QVERIFY(UseShippedZones(*World, {"tz_data.dat", "tz_dst.dat"}));
        // The rows through the machine's database, as Qt reads it for the checks.
        ZoneFolder.clear();
        Zones.clear();
        for (const TZonePlace& place : SoakPlaces) {
            Zones.emplace_back(place.Zone);
            QVERIFY2(Zones.back().isValid(),
                     qPrintable(QStringLiteral("the system's zone database (tzdata) lacks %1")
                                    .arg(QLatin1String(place.Zone))));
        }
    }
    void cleanup() { EndFixture(); }

    void aMonthOfTicksKeepsTimeAndResources() {
        QVERIFY(OpenWindow());
        // Rows wide enough for the whole time text; the shadow map refreshed
        // often, so its worker runs all month.
        Form->resize(900, Form->height());
        DisplayOf(*Form).SMUpdate = 30;
        AddPlaces(*LocationsOf(*Form), SoakPlaces);
        QCOMPARE(LocationsOf(*Form)->Count(), 15);
        QVERIFY(Messages->Texts.isEmpty());

        TUsage afterDayOne;
        // The shadow computation under way finishes and hands over.
        const auto settle = [this] {
            const bool idle = QTest::qWaitFor([this] { return !ShadowMapOf(*Form)->Busy(); });
            QCoreApplication::processEvents();
            return idle;
        };
        bool settledOnDayOne = false;
        const TSpan month{UnixMs(2026, 9, 26), UnixMs(2026, 10, 27)};
        const bool monthOk = RunSpan(month, [&] {
            settledOnDayOne = settle();
            afterDayOne = MeasureUsage(*Form);
        });
        QVERIFY2(monthOk, qPrintable(Mismatch));
        QVERIFY(settledOnDayOne);

        const TSpan leaps[] = {
            {UnixMs(2026, 10, 31, 12), UnixMs(2026, 11, 2)}, // North America's autumn
            {UnixMs(2026, 12, 31), UnixMs(2027, 1, 1, 12)},  // New Year everywhere
            {UnixMs(2027, 3, 13, 12), UnixMs(2027, 3, 15)},  // North America's spring
            {UnixMs(2027, 3, 27, 12), UnixMs(2027, 3, 29)},  // Europe's spring
            {UnixMs(2027, 4, 3), UnixMs(2027, 4, 5)},        // the south's autumn
            {UnixMs(2027, 9, 4), UnixMs(2027, 9, 6)},        // Chile's spring
        };
        for (const TSpan& span : leaps) {
            QVERIFY2(RunSpan(span), qPrintable(Mismatch));
        }
        QVERIFY(settle());
        const TUsage atEnd = MeasureUsage(*Form);

        qInfo(
            "%lld ticks (%lld in minute steps); heap after day one %lld bytes, at the end "
            "%lld; resident %lld KiB and %lld KiB; open files %d and %d; threads %d and %d; "
            "objects %lld and %lld; timers %lld and %lld (%lld and %lld active)",
            static_cast<long long>(Ticks), static_cast<long long>(FineTicks),
            static_cast<long long>(afterDayOne.HeapBytes), static_cast<long long>(atEnd.HeapBytes),
            static_cast<long long>(afterDayOne.ResidentKiB),
            static_cast<long long>(atEnd.ResidentKiB), afterDayOne.OpenFiles, atEnd.OpenFiles,
            afterDayOne.Threads, atEnd.Threads, static_cast<long long>(afterDayOne.Objects),
            static_cast<long long>(atEnd.Objects), static_cast<long long>(afterDayOne.Timers),
            static_cast<long long>(atEnd.Timers), static_cast<long long>(afterDayOne.ActiveTimers),
            static_cast<long long>(atEnd.ActiveTimers));

        QVERIFY(Messages->Texts.isEmpty());
        if (afterDayOne.HeapBytes >= 0) {
            QVERIFY2(atEnd.HeapBytes - afterDayOne.HeapBytes <= 1024 * 1024,
                     "the heap grew by more than 1 MiB");
        }
        // Fewer is no leak: a runtime's helper thread or file may have ended.
        if (afterDayOne.OpenFiles >= 0) {
            QVERIFY2(atEnd.OpenFiles <= afterDayOne.OpenFiles, "files were left open");
            // A worker that has handed over its result may still be ending.
            const bool threadsEnded =
                atEnd.Threads <= afterDayOne.Threads || QTest::qWaitFor([&] {
                    return CountEntries(QStringLiteral("/proc/self/task")) <= afterDayOne.Threads;
                });
            QVERIFY2(threadsEnded, "threads were left running");
        }
        QCOMPARE(atEnd.Objects, afterDayOne.Objects);
        QCOMPARE(atEnd.Timers, afterDayOne.Timers);
        // Which timers are running depends on wall time, not on the simulated month:
        // the map view and the composer let go of idle buffers a few real seconds
        // after their last use. The timer objects above are the leak check.
        QVERIFY(atEnd.ActiveTimers <= afterDayOne.Timers);
        QCOMPARE(atEnd.TopLevelWidgets, afterDayOne.TopLevelWidgets);
    }
};

QTEST_MAIN(TestSoak)
#include "TestSoak.moc"

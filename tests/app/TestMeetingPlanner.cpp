// Planning a meeting in the window: the calendar file (read back by libical
// and by a reader of the test's own), the overlap band along the time control,
// and the working-hours dialog.
#include "app/moment/MomentControl.h"
#include "app/moment/OverlapBand.h"
#include "app/moment/ShownMoment.h"
#include "app/planner/CalendarEvent.h"
#include "app/planner/MeetingPlanner.h"
#include "app/planner/WorkingHoursDialog.h"
#include "kiv/KivClock.h"
#include "kiv/KivErrors.h"
#include "kiv/KivMeetingPlanner.h"
#include "kiv/KivTimeZone.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <libical/ical.h>

#include <functional>
#include <map>
#include <vector>

namespace {

kiv::TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return kiv::EncodeDateTime(y, mo, d, h, mi, s, 0);
}

QString Text(kiv::TDateTime t) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    kiv::DecodeDateTime(t, y, mo, d, h, mi, s, ms);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d", y, mo, d, h, mi);
}

// Zones without daylight saving (as in December), made here.
kiv::TTimeZone Zones() {
    kiv::TTimeZone db;
    const auto zone = [&db](const char* name, double offset, const char* format) {
        kiv::TZoneData z;
        z.ZoneName = name;
        z.UtcOffset = offset;
        z.RuleName = "-";
        z.AbbrevFormat = format;
        db.Zones.push_back(z);
    };
    zone("Europe/London", 0, "GMT");
    zone("Asia/Tokyo", 9, "JST");
    zone("America/New_York", -5, "EST");
    zone("America/Sao_Paulo", -3, "-03");
    return db;
}

// A calendar file's content lines as RFC 5545 reads them: folds undone
// (a line break followed by a blank continues the line), each line split into
// its name (parameters dropped) and its value with the text escapes undone.
struct TContentLines {
    std::vector<std::pair<QByteArray, QByteArray>> Lines;
    QStringList Faults;

    explicit TContentLines(const QByteArray& file) {
        const QList<QByteArray> physical = file.split('\n');
        if (!file.endsWith("\r\n")) {
            Faults << "the file does not end with CRLF";
        }
        QByteArray logical;
        for (qsizetype i = 0; i + 1 < physical.size(); ++i) {
            QByteArray line = physical[i];
            if (!line.endsWith('\r')) {
                Faults << "a line without CR: " + QString::fromUtf8(line);
            }
            line.chop(1);
            if (line.size() > 75) {
                Faults << QStringLiteral("a line of %1 octets").arg(line.size());
            }
            if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
                logical += line.mid(1);
                continue;
            }
            Add(logical);
            logical = line;
        }
        Add(logical);
    }

    void Add(const QByteArray& line) {
        if (line.isEmpty()) {
            return;
        }
        const qsizetype colon = line.indexOf(':');
        QByteArray name = line.left(colon);
        name = name.left(name.indexOf(';') < 0 ? name.size() : name.indexOf(';'));
        QByteArray value;
        const QByteArray raw = line.mid(colon + 1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                ++i;
                value += (raw[i] == 'n' || raw[i] == 'N') ? '\n' : raw[i];
            } else {
                value += raw[i];
            }
        }
        Lines.emplace_back(name, value);
    }

    int Count(const QByteArray& name) const {
        return static_cast<int>(std::count_if(Lines.begin(), Lines.end(),
                                              [&](const auto& l) { return l.first == name; }));
    }
    QByteArray Value(const QByteArray& name) const {
        for (const auto& line : Lines) {
            if (line.first == name) {
                return line.second;
            }
        }
        return {};
    }
};

} // namespace

class TestMeetingPlanner : public QObject {
    Q_OBJECT

private slots:
    void calendarFileReadsBackWithLibicalAndByHand() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("meeting.ics"));
        kiv::TFakeClock clock(At(2026, 12, 8, 12, 34, 56));
        const kiv::TClockOverride useClock(clock);
        // Long lines, a comma, a semicolon, a backslash and letters beyond
        // ASCII: the file must fold and escape them, and give them back whole.
        const std::string description =
            "Tokyo, Japan: Wed 9 Dec 2026 09:00 JST\n"
            "S\xC3\xA3o Paulo, Brazil: Tue 8 Dec 2026 21:00 -03\n"
            "Llanfairpwllgwyngyll; a place with a long name \\ and more words so the line is long: "
            "Wed 9 Dec 2026 00:00 GMT\n";
        const app::TCalendarEvent event =
            app::MeetingEvent(At(2026, 12, 9), "Meeting", description);
        QVERIFY(event.Uid != app::MeetingEvent(At(2026, 12, 9), "Meeting", description).Uid);
        app::SaveCalendarEvent(path, event);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();

        // libical's own reading.
        icalcomponent* calendar = icalcomponent_new_from_string(bytes.constData());
        QVERIFY(calendar != nullptr);
        QCOMPARE(icalcomponent_isa(calendar), ICAL_VCALENDAR_COMPONENT);
        QCOMPARE(icalcomponent_count_components(calendar, ICAL_VEVENT_COMPONENT), 1);
        icalcomponent* vevent = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
        const icaltimetype start = icalcomponent_get_dtstart(vevent);
        QVERIFY(icaltime_is_utc(start));
        QCOMPARE(static_cast<long long>(icaltime_as_timet(start)), 1796774400LL);
        QCOMPARE(static_cast<long long>(icaltime_as_timet(icalcomponent_get_dtend(vevent)) -
                                        icaltime_as_timet(start)),
                 3600LL);
        QCOMPARE(static_cast<long long>(icaltime_as_timet(icalcomponent_get_dtstamp(vevent))),
                 1796733296LL);
        QCOMPARE(QByteArray(icalcomponent_get_uid(vevent)), QByteArray::fromStdString(event.Uid));
        QCOMPARE(QByteArray(icalcomponent_get_description(vevent)),
                 QByteArray::fromStdString(description));
        icalcomponent_free(calendar);

        // The test's own reading of the text.
        const TContentLines lines(bytes);
        QVERIFY2(lines.Faults.isEmpty(), qPrintable(lines.Faults.join('\n')));
        QCOMPARE(lines.Value("BEGIN"), QByteArray("VCALENDAR"));
        QCOMPARE(lines.Value("VERSION"), QByteArray("2.0"));
        QVERIFY(!lines.Value("PRODID").isEmpty());
        QCOMPARE(lines.Count("BEGIN"), 2);
        QCOMPARE(lines.Count("DTSTART"), 1);
        QCOMPARE(lines.Value("DTSTART"), QByteArray("20261209T000000Z"));
        QCOMPARE(lines.Value("DTEND"), QByteArray("20261209T010000Z"));
        QCOMPARE(lines.Value("DTSTAMP"), QByteArray("20261208T123456Z"));
        QCOMPARE(lines.Value("UID"), QByteArray::fromStdString(event.Uid));
        QCOMPARE(lines.Value("SUMMARY"), QByteArray("Meeting"));
        QCOMPARE(lines.Value("DESCRIPTION"), QByteArray::fromStdString(description));
        QCOMPARE(lines.Lines.back(), std::make_pair(QByteArray("END"), QByteArray("VCALENDAR")));
    }

    void calendarFileThatCannotBeWrittenSaysWhyAndKeepsNothingHalfDone() {
        QTemporaryDir dir;
        const app::TCalendarEvent event = app::MeetingEvent(At(2026, 12, 9), "Meeting", "x");
        const QString nowhere = dir.filePath(QStringLiteral("no such folder/meeting.ics"));
        try {
            app::SaveCalendarEvent(nowhere, event);
            QFAIL("no error for a folder that does not exist");
        } catch (const kiv::EFOpenError& e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(
                message.startsWith(
                    QStringLiteral("The calendar event could not be saved as '%1' (").arg(nowhere)),
                qPrintable(message));
            QVERIFY2(message.endsWith(QStringLiteral(").")) && message.size() > nowhere.size() + 50,
                     qPrintable(message));
        }
        // A folder where the file should be: nothing is put in its place.
        const QString folder = dir.filePath(QStringLiteral("taken.ics"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY_THROWS_EXCEPTION(kiv::EFOpenError, app::SaveCalendarEvent(folder, event));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("taken.ics")});
    }

    void bandShowsEachQuarterHoursCountInColourAndTooltip() {
        kiv::TFakeClock clock(At(2026, 12, 7), 0, 0);
        const kiv::TClockOverride useClock(clock);
        const kiv::TTimeZone db = Zones();
        app::TOverlapBand band(nullptr);
        band.resize(4 * 96, 8);
        // A day of quarter hours from Monday 00:00 UTC.
        band.SetMoments(kiv::QuartersAfter(At(2026, 12, 6, 23, 59), 96));
        band.SetPlaces(db, {{&db.FindZone("Europe/London"), {}, "London"},
                            {&db.FindZone("Asia/Tokyo"), {}, "Tokyo"}});
        QCOMPARE(band.accessibleName(), QStringLiteral("Places within working hours"));
        struct TRow {
            int Cell;
            int Count;
            app::TOverlapBand::TState State;
        };
        using S = app::TOverlapBand::TState;
        // Tokyo works from 00:00 to 08:00 UTC, London from 09:00 to 17:00.
        const TRow rows[] = {{0, 1, S::Some},  {31, 1, S::Some}, {32, 0, S::None},
                             {36, 1, S::Some}, {67, 1, S::Some}, {68, 0, S::None}};
        const QImage painted = band.grab().toImage();
        for (const TRow& row : rows) {
            QCOMPARE(band.Counts().at(static_cast<std::size_t>(row.Cell)), row.Count);
            QCOMPARE(app::TOverlapBand::StateOf(row.Count, 2), row.State);
            const int x = row.Cell * 4 + 2;
            QCOMPARE(band.CellAt(x), row.Cell);
            QCOMPARE(painted.pixelColor(x, 4), app::TOverlapBand::ColourOf(row.State));
        }
        QVERIFY(
            band.CellText(36).startsWith(QStringLiteral("1 of 2 places within working hours at ")));
        QVERIFY(band.CellText(36).contains(QStringLiteral("09:00")) ||
                band.CellText(36).contains(QStringLiteral("9:00")));
        // The three colours stay apart in brightness alone (as seen without hue).
        const auto luma = [](S state) {
            const QColor c = app::TOverlapBand::ColourOf(state);
            return 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue();
        };
        QVERIFY(luma(S::All) + 40 < luma(S::Some));
        QVERIFY(luma(S::Some) + 40 < luma(S::None));
        // Tokyo at any time: every London hour is everyone's.
        kiv::TWorkingHours always;
        always.AnyTime = true;
        band.SetPlaces(db, {{&db.FindZone("Europe/London"), {}, "London"},
                            {&db.FindZone("Asia/Tokyo"), always, "Tokyo"}});
        QCOMPARE(band.Counts().at(40), 2);
        QCOMPARE(band.Counts().at(0), 1);
        band.SetShown(At(2026, 12, 7, 10));
        QVERIFY(band.accessibleDescription().startsWith(
            QStringLiteral("2 of 2 places within working hours at ")));
    }

    void bandFollowsTheTimeControlsMoments() {
        kiv::TFakeClock clock(At(2026, 12, 7, 10, 7), 60, 60);
        const kiv::TClockOverride useClock(clock);
        app::TShownMoment moment;
        app::TMomentControl control(moment, nullptr);
        const auto& moments = control.Band->Moments();
        QCOMPARE(moments.size(), std::size_t{2 * app::TMomentControl::StepsEachWay + 1});
        const std::size_t middle = app::TMomentControl::StepsEachWay;
        QCOMPARE(Text(moments[middle]), QStringLiteral("2026-12-07 10:07"));
        QCOMPARE(Text(moments[middle + 1]), QStringLiteral("2026-12-07 10:15"));
        QCOMPARE(Text(moments[middle - 1]), QStringLiteral("2026-12-07 10:00"));
        QCOMPARE(Text(moments.front()), QStringLiteral("2026-11-30 10:15"));
        QCOMPARE(Text(moments.back()), QStringLiteral("2026-12-14 10:00"));
        // The present moves on: the cells move with its quarter hour, not before.
        clock.SetUtc(At(2026, 12, 7, 10, 14));
        control.Synchronise();
        QCOMPARE(Text(control.Band->Moments()[middle]), QStringLiteral("2026-12-07 10:07"));
        clock.SetUtc(At(2026, 12, 7, 10, 16));
        control.Synchronise();
        QCOMPARE(Text(control.Band->Moments()[middle]), QStringLiteral("2026-12-07 10:16"));
        // Leaving the present: the steps count from it.
        control.Slider->setValue(3);
        QCOMPARE(Text(moment.Utc()), QStringLiteral("2026-12-07 11:00"));
        QCOMPARE(Text(control.Band->Moments()[middle]), QStringLiteral("2026-12-07 10:16"));
        QCOMPARE(Text(control.Band->Moments()[middle + 3]), Text(control.MomentAtStep(3)));
    }

    void findATimeStepsOnWhileItsMomentIsShown() {
        kiv::TFakeClock clock(At(2026, 12, 7, 10, 7), 60, 60);
        const kiv::TClockOverride useClock(clock);
        const kiv::TTimeZone db = Zones();
        const app::TPlannerEntry atlantic[] = {
            {QStringLiteral("London, United Kingdom"), QStringLiteral("europe/london"), {}},
            {QStringLiteral("New York, USA"), QStringLiteral("America/New_York"), {}},
            {QStringLiteral("Sao Paulo, Brazil"), QStringLiteral("America/Sao_Paulo"), {}},
            {QStringLiteral("Nowhere"), QStringLiteral("Nowhere/At_All"), {}},
        };
        const std::vector<kiv::TPlannerPlace> places = app::PlannerPlaces(db, atlantic);
        QCOMPARE(places.size(), std::size_t{3});
        app::TShownMoment moment;
        app::TFindATime find;
        struct TStep {
            std::function<void()> Before;
            const char* Shown;
        };
        const TStep steps[] = {
            {[] {}, "2026-12-07 14:00"},
            {[] {}, "2026-12-07 14:15"},
            {[] {}, "2026-12-07 14:30"},
            // Another moment picked by hand, or the present: from now again.
            {[&] { moment.Show(At(2026, 12, 10, 14, 30)); }, "2026-12-07 14:00"},
            {[&] { moment.ShowPresent(); }, "2026-12-07 14:00"},
            {[&] {
                 clock.SetUtc(At(2026, 12, 7, 16, 50));
                 moment.ShowPresent();
             },
             "2026-12-08 14:00"},
        };
        for (const TStep& step : steps) {
            step.Before();
            const kiv::TMeetingSlot slot = find.FindAndShow(db, places, moment);
            QVERIFY(slot.All);
            QCOMPARE(Text(moment.Utc()), QString::fromUtf8(step.Shown));
            QVERIFY(!moment.IsPresent());
            QCOMPARE(app::FoundTimeMessage(slot, 3), QString());
        }
        // Tokyo's working day never meets London's and New York's.
        const app::TPlannerEntry aroundTheWorld[] = {
            {QStringLiteral("Tokyo, Japan"), QStringLiteral("Asia/Tokyo"), {}},
            {QStringLiteral("London, United Kingdom"), QStringLiteral("Europe/London"), {}},
            {QStringLiteral("New York, USA"), QStringLiteral("America/New_York"), {}},
        };
        moment.ShowPresent();
        const kiv::TMeetingSlot best =
            find.FindAndShow(db, app::PlannerPlaces(db, aroundTheWorld), moment);
        QCOMPARE(Text(moment.Utc()), QStringLiteral("2026-12-08 14:00"));
        QCOMPARE(app::FoundTimeMessage(best, 3),
                 QStringLiteral("No quarter hour in the next 14 days suits every place. Shown is "
                                "the first one that suits the most: 2 of 3."));
    }

    void rowStateTextsAndMeetingLines() {
        kiv::TFakeClock clock(At(2026, 12, 9), 60, 60);
        const kiv::TClockOverride useClock(clock);
        const kiv::TTimeZone db = Zones();
        QCOMPARE(app::DifferenceFromMachine(db, db.FindZone("Asia/Tokyo"), At(2026, 12, 9, 0, 30)),
                 QStringLiteral("+8 h"));
        QCOMPARE(
            app::DifferenceFromMachine(db, db.FindZone("America/New_York"), At(2026, 12, 9, 3)),
            QStringLiteral("-6 h, yesterday"));
        QCOMPARE(app::HoursStateText(true), QStringLiteral("within working hours"));
        const app::TPlannerEntry entries[] = {
            {QStringLiteral("Tokyo, Japan"), QStringLiteral("Asia/Tokyo"), {}},
            {QStringLiteral("New York, USA"), QStringLiteral("America/New_York"), {}},
        };
        QCOMPARE(app::MeetingText(db, app::PlannerPlaces(db, entries), At(2026, 12, 9),
                                  QLocale(QLocale::English, QLocale::UnitedStates)),
                 QStringLiteral("Tokyo, Japan: Wed 9 Dec 2026 09:00 JST\n"
                                "New York, USA: Tue 8 Dec 2026 19:00 EST\n"));
    }

    void workingHoursDialogGivesBackWhatItShowsAndRefusesNoDays() {
        kiv::TWorkingHours night;
        night.StartMinutes = 22 * 60;
        night.EndMinutes = 6 * 60 + 30;
        night.Days = 0;
        night.SetDay(5, true);
        app::TWorkingHoursDialog dialog(QStringLiteral("Tokyo, Japan"), night, nullptr);
        QCOMPARE(dialog.Hours(), night);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("PlaceLabel"))
                    ->text()
                    .contains(QStringLiteral("Tokyo, Japan")));
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>(QStringLiteral("Buttons"))
                              ->button(QDialogButtonBox::Ok);
        auto* friday = dialog.findChild<QCheckBox*>(QStringLiteral("DayBox5"));
        auto* anyTime = dialog.findChild<QCheckBox*>(QStringLiteral("AnyTimeBox"));
        auto* start = dialog.findChild<QTimeEdit*>(QStringLiteral("StartEdit"));
        QVERIFY(ok->isEnabled());
        friday->setChecked(false);
        QVERIFY(!ok->isEnabled());
        anyTime->setChecked(true);
        QVERIFY(ok->isEnabled());
        QVERIFY(!start->isEnabled());
        QVERIFY(dialog.Hours().AnyTime);
        anyTime->setChecked(false);
        friday->setChecked(true);
        start->setTime(QTime(6, 30));
        QVERIFY(!ok->isEnabled()); // the start is the end
        start->setTime(QTime(8, 0));
        QVERIFY(ok->isEnabled());
        QCOMPARE(kiv::WorkingHoursText(dialog.Hours()), std::string("08:00-06:30 Fri"));
    }
};

QTEST_MAIN(TestMeetingPlanner)
#include "TestMeetingPlanner.moc"

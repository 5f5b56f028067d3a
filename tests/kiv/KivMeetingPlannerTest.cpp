// Working hours and meeting planning over a zone database made here, with
// rules written out in the test, so no answer rests on the machine's zone files.
#include "kiv/KivMeetingPlanner.h"
#include "TimeZoneTestSupport.h"
#include "kiv/KivTimeZone.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace kiv;
using kivtest::At;
using kivtest::Text;

namespace {

// The zones the tests plan with. Their rules are the ones in force in 2026.
TTimeZone PlanningDb() {
    TTimeZone db;
    const auto zone = [&db](const char* name, double offset, const char* rule, const char* format) {
        kivtest::AddZone(db, name, offset, rule, format);
    };
    const auto rule = [&db](const char* line) { kivtest::AddRule(db, line, 2026); };
    zone("Europe/London", 0, "EU", "GMT/BST");
    zone("America/New_York", -5, "US", "E%sT");
    zone("America/Sao_Paulo", -3, "-", "-03");
    zone("Asia/Tokyo", 9, "-", "JST");
    zone("Asia/Kolkata", 5.5, "-", "IST");
    zone("Australia/Adelaide", 9.5, "AS", "AC%sT");
    zone("Pacific/Kiritimati", 14, "-", "+14");
    zone("Pacific/Honolulu", -10, "-", "HST");
    rule("EU\tlastSun\t7\t0\t3\t1\tS\t1:00u");
    rule("EU\tlastSun\t7\t0\t10\t0\t\t1:00u");
    rule("US\tSun>=8\t7\t8\t3\t1\tD\t2:00");
    rule("US\tSun>=1\t7\t1\t11\t0\tS\t2:00");
    rule("AS\tSun>=1\t7\t1\t10\t1\tD\t2:00s");
    rule("AS\tSun>=1\t7\t1\t4\t0\tS\t3:00s");
    return db;
}

TPlannerPlace Place(const TTimeZone& db, const char* zoneName, const char* title,
                    TWorkingHours hours = {}) {
    return {&db.FindZone(zoneName), hours, title};
}

TWorkingHours AnyTime() {
    TWorkingHours hours;
    hours.AnyTime = true;
    return hours;
}

} // namespace

TEST(KivWorkingHours, StoredTextReadsBackOrFallsBackToTheDefault) {
    struct TRow {
        const char* Text;
        bool Good;
        const char* Stored; // how the record read is written again
    };
    const TRow rows[] = {
        {"09:00-17:00 Mon,Tue,Wed,Thu,Fri", true, "09:00-17:00 Mon,Tue,Wed,Thu,Fri"},
        {"  8:30-12:15   sun , sat ", true, "08:30-12:15 Sat,Sun"},
        {"22:00-06:00 Mon", true, "22:00-06:00 Mon"},
        {"ANY", true, "any"},
        {"", false, nullptr},
        {"09:00-17:00", false, nullptr},
        {"09:00 Mon", false, nullptr},
        {"9-17 Mon", false, nullptr},
        {"24:00-17:00 Mon", false, nullptr},
        {"09:60-17:00 Mon", false, nullptr},
        {"09:00-09:00 Mon", false, nullptr},
        {"09:00-17:00 Mon,Mon", false, nullptr},
        {"09:00-17:00 Mon,", false, nullptr},
        {"09:00-17:00 Monday", false, nullptr},
        {"09:00-17:00 Mon\x01", false, nullptr},
    };
    for (const TRow& row : rows) {
        std::string damaged = "left over";
        const TWorkingHours hours = DecodeWorkingHours(row.Text, damaged);
        EXPECT_EQ(damaged.empty(), row.Good) << row.Text << ": " << damaged;
        if (row.Good) {
            EXPECT_EQ(WorkingHoursText(hours), row.Stored) << row.Text;
            EXPECT_TRUE(hours.IsValid()) << row.Text;
        } else {
            EXPECT_EQ(hours, TWorkingHours{}) << row.Text;
        }
    }
    EXPECT_EQ(WorkingHoursText(TWorkingHours{}), "09:00-17:00 Mon,Tue,Wed,Thu,Fri");
}

TEST(KivWorkingHours, LocalTimesWithinTheHours) {
    TWorkingHours night;
    night.StartMinutes = 22 * 60;
    night.EndMinutes = 6 * 60;
    night.Days = 0;
    night.SetDay(5, true); // Friday night into Saturday
    struct TRow {
        const TWorkingHours& Hours;
        TDateTime Local;
        bool Within;
    };
    const TWorkingHours office;
    const TRow rows[] = {
        // 2026-12-07 is a Monday.
        {office, At(2026, 12, 7, 8, 59, 59, 999), false},
        {office, At(2026, 12, 7, 9), true},
        {office, At(2026, 12, 7, 16, 59), true},
        {office, At(2026, 12, 7, 17), false},
        {office, At(2026, 12, 12, 10), false}, // Saturday
        {night, At(2026, 12, 11, 21, 59), false},
        {night, At(2026, 12, 11, 22), true},
        {night, At(2026, 12, 12, 5, 59), true},
        {night, At(2026, 12, 12, 6), false},
        {night, At(2026, 12, 11, 5), false}, // Friday morning: Thursday is not listed
    };
    for (const TRow& row : rows) {
        EXPECT_EQ(row.Hours.ContainsLocal(row.Local), row.Within) << Text(row.Local);
    }
}

// The band's counts over a fortnight of quarter hours, read at chosen ones.
// The expectations are worked out by hand from the rules above.
TEST(KivMeetingPlanner, OverlapCountsFollowHalfHourZonesClockChangesAndTheDateLine) {
    const TTimeZone db = PlanningDb();
    const std::vector<TPlannerPlace> southAndWest = {
        Place(db, "Asia/Kolkata", "Kolkata"),
        Place(db, "Australia/Adelaide", "Adelaide"),
        Place(db, "America/New_York", "New York"),
    };
    const std::vector<TPlannerPlace> dateLine = {
        Place(db, "Pacific/Kiritimati", "Kiritimati"),
        Place(db, "Pacific/Honolulu", "Honolulu"),
    };
    struct TRow {
        const std::vector<TPlannerPlace>& Places;
        TDateTime Utc;
        int Count;
        const char* Why;
    };
    const TRow rows[] = {
        // Adelaide goes to +10:30 at 02:00 standard time on Sunday 4 October.
        {southAndWest, At(2026, 10, 4, 22, 30), 1, "Adelaide Mon 09:00 on its new offset"},
        {southAndWest, At(2026, 10, 4, 22, 15), 0, "Adelaide Mon 08:45"},
        {southAndWest, At(2026, 9, 27, 23, 15), 0, "a week before: Adelaide Mon 08:45 at +9:30"},
        {southAndWest, At(2026, 9, 27, 23, 30), 1, "a week before: Adelaide Mon 09:00 at +9:30"},
        // Kolkata's half hour.
        {southAndWest, At(2026, 10, 5, 3, 15), 1, "Kolkata 08:45, Adelaide 13:45"},
        {southAndWest, At(2026, 10, 5, 3, 30), 2, "Kolkata 09:00, Adelaide 14:00"},
        {southAndWest, At(2026, 10, 5, 6, 15), 2, "Kolkata 11:45, Adelaide 16:45"},
        {southAndWest, At(2026, 10, 5, 6, 30), 1, "Adelaide 17:00 is after hours"},
        {southAndWest, At(2026, 10, 5, 11, 15), 1, "Kolkata 16:45"},
        {southAndWest, At(2026, 10, 5, 11, 30), 0, "Kolkata 17:00, New York 07:30"},
        {southAndWest, At(2026, 10, 5, 13), 1, "New York 09:00 daylight time"},
    };
    const std::vector<TDateTime> band = QuartersAfter(At(2026, 9, 26, 23, 59), 14 * 96);
    ASSERT_EQ(Text(band.front()), "2026-09-27 00:00:00.000");
    const std::vector<int> counts = OverlapCounts(db, southAndWest, band);
    const std::vector<TDateTime> later = QuartersAfter(At(2026, 10, 7, 12, 5), 14 * 96);
    const std::vector<int> laterCounts = OverlapCounts(db, dateLine, later);
    const std::vector<TDateTime> novemberBand = QuartersAfter(At(2026, 10, 26), 14 * 96);
    const std::vector<int> november = OverlapCounts(db, southAndWest, novemberBand);
    const auto countAt = [](const std::vector<TDateTime>& quarters, const std::vector<int>& values,
                            TDateTime utc) {
        const auto index = static_cast<std::size_t>(MinuteSpanSigned(quarters.front(), utc) / 15);
        EXPECT_EQ(Text(quarters.at(index)), Text(utc));
        return values.at(index);
    };
    for (const TRow& row : rows) {
        EXPECT_EQ(countAt(band, counts, row.Utc), row.Count) << Text(row.Utc) << ": " << row.Why;
    }
    struct TLaterRow {
        const std::vector<TDateTime>& Quarters;
        const std::vector<int>& Counts;
        TDateTime Utc;
        int Count;
        const char* Why;
    };
    const TLaterRow laterRows[] = {
        // Kiritimati is a day ahead of Honolulu at the same clock time.
        {later, laterCounts, At(2026, 10, 8, 19), 2, "Fri 09:00 and Thu 09:00"},
        {later, laterCounts, At(2026, 10, 9, 19), 1, "Sat 09:00 and Fri 09:00"},
        {later, laterCounts, At(2026, 10, 11, 19), 1, "Mon 09:00 and Sun 09:00"},
        {later, laterCounts, At(2026, 10, 10, 19), 0, "Sun 09:00 and Sat 09:00"},
        // New York back to -5 on Sunday 1 November.
        {novemberBand, november, At(2026, 10, 30, 13), 1, "Fri 09:00 EDT"},
        {novemberBand, november, At(2026, 11, 2, 13), 0, "Mon 08:00 EST"},
        {novemberBand, november, At(2026, 11, 2, 14), 1, "Mon 09:00 EST"},
    };
    for (const TLaterRow& row : laterRows) {
        EXPECT_EQ(countAt(row.Quarters, row.Counts, row.Utc), row.Count)
            << Text(row.Utc) << ": " << row.Why;
    }
    // Each count agrees with the one-moment question the rows ask.
    for (std::size_t i = 0; i < band.size(); i += 7) {
        int within = 0;
        for (const TPlannerPlace& place : southAndWest) {
            within += IsWithinHours(db, *place.Zone, place.Hours, band[i]) ? 1 : 0;
        }
        ASSERT_EQ(counts[i], within) << Text(band[i]);
    }
}

TEST(KivMeetingPlanner, FindsTheNextQuarterHourThatSuitsEveryPlace) {
    const TTimeZone db = PlanningDb();
    const std::vector<TPlannerPlace> atlantic = {
        Place(db, "Europe/London", "London, United Kingdom"),
        Place(db, "America/New_York", "New York, USA"),
        Place(db, "America/Sao_Paulo", "Sao Paulo, Brazil"),
    };
    const std::vector<TPlannerPlace> aroundTheWorld = {
        Place(db, "Asia/Tokyo", "Tokyo, Japan"),
        Place(db, "Europe/London", "London, United Kingdom"),
        Place(db, "America/New_York", "New York, USA"),
    };
    const std::vector<TPlannerPlace> tokyoAnyTime = {
        Place(db, "Asia/Tokyo", "Tokyo, Japan", AnyTime()),
        Place(db, "Europe/London", "London, United Kingdom"),
        Place(db, "America/New_York", "New York, USA"),
    };
    const std::vector<TPlannerPlace> londonAndAnyTime = {
        Place(db, "Europe/London", "London, United Kingdom"),
        Place(db, "Asia/Tokyo", "Tokyo, Japan", AnyTime()),
    };
    const std::vector<TPlannerPlace> onlyAnyTime = {
        Place(db, "Asia/Tokyo", "Tokyo, Japan", AnyTime()),
    };
    struct TRow {
        const std::vector<TPlannerPlace>& Places;
        TDateTime From;
        const char* Found;
        int Within;
        bool All;
    };
    const TRow rows[] = {
        // London 09-17, New York 14-22 and Sao Paulo 12-20 UTC in December:
        // from 14:00 in London on a weekday.
        {atlantic, At(2026, 12, 7), "2026-12-07 14:00:00.000", 3, true},
        {atlantic, At(2026, 12, 7, 14), "2026-12-07 14:15:00.000", 3, true},
        {atlantic, At(2026, 12, 7, 13, 52, 10), "2026-12-07 14:00:00.000", 3, true},
        {atlantic, At(2026, 12, 7, 16, 45), "2026-12-08 14:00:00.000", 3, true},
        {atlantic, At(2026, 12, 11, 17), "2026-12-14 14:00:00.000", 3, true},
        // New York is on daylight time three weeks before London.
        {atlantic, At(2026, 3, 18), "2026-03-18 13:00:00.000", 3, true},
        // Tokyo's day ends before London's begins: the best is two places.
        {aroundTheWorld, At(2026, 12, 7), "2026-12-07 14:00:00.000", 2, false},
        {aroundTheWorld, At(2026, 12, 12), "2026-12-14 14:00:00.000", 2, false},
        // A place at work any time never keeps the others apart.
        {tokyoAnyTime, At(2026, 12, 7), "2026-12-07 14:00:00.000", 3, true},
        {londonAndAnyTime, At(2026, 12, 12, 10), "2026-12-14 09:00:00.000", 2, true},
        {onlyAnyTime, At(2026, 12, 12, 10, 1), "2026-12-12 10:15:00.000", 1, true},
    };
    for (const TRow& row : rows) {
        const TMeetingSlot slot = FindMeetingTime(db, row.Places, row.From);
        EXPECT_EQ(Text(slot.Utc), row.Found) << "from " << Text(row.From);
        EXPECT_EQ(slot.Within, row.Within) << "from " << Text(row.From);
        EXPECT_EQ(slot.All, row.All) << "from " << Text(row.From);
    }
}

TEST(KivMeetingPlanner, DifferenceFromTheMachinesClock) {
    const TTimeZone db = PlanningDb();
    struct TRow {
        const char* Zone;
        TDateTime Utc;
        std::int32_t MachineMinutes;
        const char* Text;
    };
    const TRow rows[] = {
        {"Asia/Tokyo", At(2026, 12, 9, 0, 30), 60, "+8 h"},
        {"America/New_York", At(2026, 12, 9, 3), 60, "-6 h, yesterday"},
        {"America/New_York", At(2026, 7, 9, 3), 120, "-6 h, yesterday"},
        {"Europe/London", At(2026, 12, 9, 12), 330, "-5 h 30"},
        {"Asia/Kolkata", At(2026, 12, 9, 20), -300, "+10 h 30, tomorrow"},
        {"Australia/Adelaide", At(2026, 12, 9, 10), 0, "+10 h 30"},
        {"Pacific/Kiritimati", At(2026, 12, 9, 10), 0, "+14 h, tomorrow"},
        {"Europe/London", At(2026, 12, 9, 10), 0, "same time"},
    };
    for (const TRow& row : rows) {
        EXPECT_EQ(ClockDifferenceText(
                      ClockDifference(db, db.FindZone(row.Zone), row.Utc, row.MachineMinutes)),
                  row.Text)
            << row.Zone << " at " << Text(row.Utc);
    }
    TDifferenceWords german{"morgen", "gestern", "gleiche Zeit"};
    EXPECT_EQ(ClockDifferenceText({-360, -1}, german), "-6 h, gestern");
}

TEST(KivMeetingPlanner, MeetingLinesNameTheLocalDateTimeAndAbbreviation) {
    const TTimeZone db = PlanningDb();
    const std::vector<TPlannerPlace> places = {
        Place(db, "Asia/Tokyo", "Tokyo, Japan"),
        Place(db, "America/New_York", "New York, USA"),
        Place(db, "Australia/Adelaide", "Adelaide, Australia"),
    };
    EXPECT_EQ(MeetingLines(db, places, At(2026, 12, 9)),
              "Tokyo, Japan: Wed 9 Dec 2026 09:00 JST\n"
              "New York, USA: Tue 8 Dec 2026 19:00 EST\n"
              "Adelaide, Australia: Wed 9 Dec 2026 10:30 ACDT\n");
}

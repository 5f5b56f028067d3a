#include "kiv/KivDateTime.h"
#include "kiv/KivClock.h"
#include "kiv/KivErrors.h"

#include "TimeZoneTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

using namespace kiv;

namespace {

using kivtest::Text;
using kivtest::TzOverride;

} // namespace

TEST(KivDateTime, EpochAndKnownDays) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1970, 1, 1), UnixDateDelta);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDateTime(2024, 3, 31, 12, 0, 0, 0), EncodeDate(2024, 3, 31) + 0.5);
    EXPECT_EQ(Text(EncodeDate(1800, 2, 28) + 0.25), "1800-02-28 06:00:00.000");
}

TEST(KivDateTime, DecodeRoundTripsEveryDayOfFourCenturies) {
    for (std::int64_t day = DaysFromCivil(1800, 1, 1); day < DaysFromCivil(2200, 1, 1); ++day) {
        int y = 0, m = 0, d = 0;
        CivilFromDays(day, y, m, d);
        ASSERT_EQ(DaysFromCivil(y, m, d), day);
        ASSERT_GE(d, 1);
        ASSERT_LE(d, DaysInAMonth(y, m));
    }
}

TEST(KivDateTime, DatesThatDoNotExistRaiseNamingTheDate) {
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    EXPECT_THROW(EncodeDate(2024, 13, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2024, 4, 31), EConvertError);
    EXPECT_THROW(EncodeDate(2024, 1, 0), EConvertError);
    EXPECT_THROW(EncodeDateTime(2024, 1, 1, 24, 0, 0, 0), EConvertError);
    EXPECT_THROW(EncodeDateTime(2024, 1, 1, 0, 0, 60, 0), EConvertError);
    try {
        EncodeDate(2023, 2, 30);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'2023-02-30' is not a valid date");
    }
}

TEST(KivDateTime, PartsRoundToTheMillisecond) {
    const TDateTime t = EncodeDateTime(2024, 10, 27, 23, 59, 59, 999);
    EXPECT_EQ(Text(t), "2024-10-27 23:59:59.999");
    EXPECT_EQ(YearOf(t), 2024);
    EXPECT_EQ(MonthOf(t), 10);
    EXPECT_EQ(DayOf(t), 27);
    EXPECT_EQ(HourOf(t), 23);
    EXPECT_EQ(MinuteOf(t), 59);
    EXPECT_EQ(SecondOf(t), 59);
    EXPECT_EQ(MilliSecondOf(t), 999);
    // Less than half a millisecond before midnight reads as midnight.
    EXPECT_EQ(Text(EncodeDate(2024, 12, 31) + 1.0 - 0.0004 / SecsPerDay),
              "2025-01-01 00:00:00.000");
    EXPECT_EQ(DateOf(t), EncodeDate(2024, 10, 27));
}

TEST(KivDateTime, IsoWeekday) {
    EXPECT_EQ(DayOfTheWeek(EncodeDate(1899, 12, 30)), 6); // Saturday
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2024, 3, 1)), 5);   // Friday
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2024, 10, 1)), 2);  // Tuesday
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2024, 3, 31) + 0.99), 7);
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2024, 4, 1)), 1);
    EXPECT_EQ(DayOfTheWeek(EncodeDate(1800, 1, 1)), 3); // Wednesday, before the epoch
}

TEST(KivDateTime, NthWeekdayOfAMonth) {
    // Last Sunday of March 2024 is the fifth; October has only four.
    EXPECT_EQ(NthDayOfWeekDay(2024, 3, 5, 7), 31);
    EXPECT_EQ(NthDayOfWeekDay(2024, 10, 5, 7), 0);
    EXPECT_EQ(NthDayOfWeekDay(2024, 10, 4, 7), 27);
    EXPECT_EQ(NthDayOfWeekDay(2024, 3, 1, 7), 3);
    EXPECT_EQ(NthDayOfWeekDay(2024, 3, 2, 7), 10);
    // A month starting on the weekday asked for.
    EXPECT_EQ(NthDayOfWeekDay(2024, 3, 1, 5), 1);
    EXPECT_EQ(NthDayOfWeekDay(2024, 2, 5, 4), 29); // leap February has five Thursdays
    EXPECT_EQ(NthDayOfWeekDay(2023, 2, 5, 4), 0);
    TDateTime d = 0;
    ASSERT_TRUE(TryNthDayOfWeek(2024, 3, 5, 7, d));
    EXPECT_EQ(d, EncodeDate(2024, 3, 31));
    EXPECT_FALSE(TryNthDayOfWeek(2024, 13, 1, 7, d));
}

TEST(KivDateTime, HourAndMinuteStepsAreExact) {
    const TDateTime start = EncodeDateTime(2024, 3, 30, 23, 0, 0, 0);
    EXPECT_EQ(IncHour(start, 1), EncodeDate(2024, 3, 31));
    EXPECT_EQ(IncMinute(start, -60 * 24), EncodeDateTime(2024, 3, 29, 23, 0, 0, 0));
    // A million one-minute steps land exactly where one big step does.
    TDateTime walked = start;
    for (int i = 0; i < 1000000; ++i) {
        walked = IncMinute(walked, 1);
    }
    EXPECT_EQ(walked, IncMinute(start, 1000000));
    EXPECT_EQ(MinuteSpanSigned(start, IncMinute(start, 90)), 90.0);
    EXPECT_EQ(MinuteSpanSigned(start, IncMinute(start, -210)), -210.0);
}

TEST(KivDateTime, RoundHalfToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3.0);
    EXPECT_EQ(RoundHalfEven(-2.4999999), -2.0);
    EXPECT_EQ(RoundHalfEven(922.5), 922.0);
}

TEST(KivClock, FakeClockIsSetAndAdvancedByTheTest) {
    TFakeClock clock(EncodeDateTime(2024, 12, 31, 23, 59, 59, 500), 60, 120);
    EXPECT_EQ(clock.LocalNow(), EncodeDateTime(2025, 1, 1, 0, 59, 59, 500));
    EXPECT_EQ(clock.LocalYear(), 2025);
    EXPECT_EQ(clock.StandardOffsetMinutes(), 60);
    EXPECT_EQ(clock.StandardOffsetHours(), 1.0);
    clock.SetDstActive(true);
    EXPECT_EQ(clock.CurrentOffsetMinutes(), 120);
    EXPECT_EQ(clock.StandardOffsetMinutes(), 60);
    clock.AdvanceMSecs(500);
    EXPECT_EQ(clock.UtcNow(), EncodeDate(2025, 1, 1));
    clock.AdvanceSeconds(-3600);
    EXPECT_EQ(clock.UtcNow(), EncodeDateTime(2024, 12, 31, 23, 0, 0, 0));
    clock.SetLocal(EncodeDateTime(2024, 7, 1, 14, 0, 0, 0));
    EXPECT_EQ(clock.UtcNow(), EncodeDateTime(2024, 7, 1, 12, 0, 0, 0));
}

TEST(KivClock, CurrentClockIsReplacedForAScopeOnly) {
    TClock* system = &CurrentClock();
    TFakeClock fake(EncodeDate(2030, 6, 1));
    {
        TClockOverride use(fake);
        EXPECT_EQ(&CurrentClock(), &fake);
        EXPECT_EQ(CurrentClock().UtcNow(), EncodeDate(2030, 6, 1));
        TFakeClock inner(EncodeDate(2031, 1, 1));
        {
            TClockOverride nested(inner);
            EXPECT_EQ(CurrentClock().LocalYear(), 2031);
        }
        EXPECT_EQ(&CurrentClock(), &fake);
    }
    EXPECT_EQ(&CurrentClock(), system);
}

TEST(KivClock, SystemClockReadsUtcToTheMillisecond) {
    TSystemClock clock;
    const auto before = std::chrono::system_clock::now();
    const TDateTime utc = clock.UtcNow();
    const auto after = std::chrono::system_clock::now();
    const auto ms = [](auto tp) {
        return std::chrono::floor<std::chrono::milliseconds>(tp.time_since_epoch()).count();
    };
    const std::int64_t got = DateTimeToMSecs(utc) - DateTimeToMSecs(UnixDateDelta);
    EXPECT_GE(got, ms(before));
    EXPECT_LE(got, ms(after));
}

TEST(KivClock, SystemOffsetsFollowTheMachineZone) {
    if (!TzOverride::TakesZoneNames ||
        !std::filesystem::exists("/usr/share/zoneinfo/Australia/Melbourne")) {
        GTEST_SKIP() << "no system time-zone database";
    }
    TSystemClock clock;
    {
        TzOverride tz("Australia/Melbourne");
        EXPECT_EQ(clock.StandardOffsetMinutes(), 600);
        EXPECT_EQ(clock.OffsetMinutesAt(EncodeDate(2026, 1, 15)), 660);
        EXPECT_EQ(clock.OffsetMinutesAt(EncodeDate(2026, 7, 15)), 600);
        const int now = clock.CurrentOffsetMinutes();
        EXPECT_TRUE(now == 600 || now == 660);
        EXPECT_NEAR(MinuteSpanSigned(clock.UtcNow(), clock.LocalNow()), now, 0.1);
    }
    {
        TzOverride tz("America/St_Johns");
        EXPECT_EQ(clock.StandardOffsetMinutes(), -210);
        EXPECT_EQ(clock.OffsetMinutesAt(EncodeDate(2026, 7, 15)), -150);
    }
    {
        TzOverride tz("UTC");
        EXPECT_EQ(clock.StandardOffsetMinutes(), 0);
        EXPECT_EQ(clock.CurrentOffsetMinutes(), 0);
    }
}

TEST(KivClock, FixedMomentIsReadFromDigitsOnly) {
    struct Row {
        const char* Text;
        bool Valid;
        TDateTime Expected;
    };
    const Row rows[] = {
        {"0", true, UnixDateDelta},
        {"86400", true, UnixDateDelta + 1},
        {"1781006400", true, EncodeDate(2026, 6, 9) + 0.5},
        {"253402300799", true, EncodeDateTime(9999, 12, 31, 23, 59, 59, 0)},
        {"253402300800", false, 0},
        {"", false, 0},
        {"-1", false, 0},
        {"12a", false, 0},
        {" 12", false, 0},
        {"1.5", false, 0},
        {"99999999999999999999999", false, 0},
    };
    for (const Row& row : rows) {
        TDateTime utc = -1;
        EXPECT_EQ(kiv::ParseFixedNow(row.Text, utc), row.Valid) << '"' << row.Text << '"';
        if (row.Valid) {
            EXPECT_EQ(DateTimeToMSecs(utc), DateTimeToMSecs(row.Expected)) << row.Text;
        }
    }
    TDateTime untouched = 7;
    EXPECT_FALSE(kiv::ParseFixedNow(nullptr, untouched));
    EXPECT_EQ(untouched, 7);
}

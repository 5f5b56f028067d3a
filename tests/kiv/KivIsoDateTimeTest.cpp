// Reading ISO 8601 date-times and placing local ones on the UTC scale.
#include "kiv/KivClock.h"
#include "kiv/KivDateTime.h"

#include "TimeZoneTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace kiv;

namespace {

using kivtest::Text;

struct TAccepted {
    const char* Input;
    const char* Written; // the date and time as written
    bool HasOffset;
    int OffsetMinutes;
};

class IsoAccepted : public ::testing::TestWithParam<TAccepted> {};

TEST_P(IsoAccepted, IsReadAsWritten) {
    const TAccepted& row = GetParam();
    TIsoDateTime result;
    std::string reason;
    ASSERT_TRUE(TryParseIsoDateTime(row.Input, result, &reason)) << row.Input << ": " << reason;
    EXPECT_EQ(Text(result.Value), row.Written);
    EXPECT_EQ(result.HasOffset, row.HasOffset);
    EXPECT_EQ(result.OffsetMinutes, row.OffsetMinutes);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IsoAccepted,
    ::testing::Values(TAccepted{"2026-12-21T12:00Z", "2026-12-21 12:00:00.000", true, 0},
                      TAccepted{"2026-12-21T12:00+01:00", "2026-12-21 12:00:00.000", true, 60},
                      TAccepted{"2026-12-21T12:00", "2026-12-21 12:00:00.000", false, 0},
                      TAccepted{"2026-12-21T12:00:45", "2026-12-21 12:00:45.000", false, 0},
                      TAccepted{"2026-12-21t07:05:09z", "2026-12-21 07:05:09.000", true, 0},
                      TAccepted{"2026-12-21T12:00-05:30", "2026-12-21 12:00:00.000", true, -330},
                      TAccepted{"2026-12-21T12:00+0530", "2026-12-21 12:00:00.000", true, 330},
                      TAccepted{"2026-12-21T12:00-03", "2026-12-21 12:00:00.000", true, -180},
                      TAccepted{"2026-12-21T12:00-00:00", "2026-12-21 12:00:00.000", true, 0},
                      TAccepted{"2026-12-21T12:00+18:00", "2026-12-21 12:00:00.000", true, 1080},
                      TAccepted{"2024-02-29T23:59:59.9999Z", "2024-02-29 23:59:59.999", true, 0},
                      TAccepted{"2024-02-29T00:00:01,5", "2024-02-29 00:00:01.500", false, 0},
                      TAccepted{"0001-01-01T00:00Z", "0001-01-01 00:00:00.000", true, 0},
                      TAccepted{"9999-12-31T23:59:59Z", "9999-12-31 23:59:59.000", true, 0}));

class IsoRefused : public ::testing::TestWithParam<const char*> {};

TEST_P(IsoRefused, IsRefusedWithAReason) {
    TIsoDateTime result;
    result.Value = 123.0;
    std::string reason;
    EXPECT_FALSE(TryParseIsoDateTime(GetParam(), result, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(result.Value, 123.0) << "the result is left alone";
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IsoRefused,
    ::testing::Values("", "2026-12-21", "2026-12-21T", "2026-12-21T12", "2026-12-21 12:00Z",
                      " 2026-12-21T12:00Z", "2026-12-21T12:00Z ", "2026-12-21T12:00ZZ",
                      "20261221T1200Z", "2026-12-21T1200", "26-12-21T12:00", "2026-1-21T12:00",
                      "2026-12-21T2:00", "2026-12-21T12:0", "2026-12-21T12:00:5",
                      "2026-12-21T12:00:00.", "2026-12-21T12:00:00.1234567890",
                      "2026-12-21T12:00.5", "2026-12-21T24:00", "2026-12-21T12:60",
                      "2026-12-31T23:59:60Z", "2026-02-29T12:00", "2026-13-01T12:00",
                      "0000-01-01T00:00Z", "2026-12-21T12:00+1", "2026-12-21T12:00+01:",
                      "2026-12-21T12:00+013", "2026-12-21T12:00+01:60", "2026-12-21T12:00+18:01",
                      "2026-12-21T12:00+01:00Z", "2026-12-21T12:00UTC", "2026-12-21T12:00:00:00",
                      "tomorrow", "1781006400", "+2026-12-21T12:00Z", "２026-12-21T12:00Z"));

TEST(IsoDateTime, TheOffsetIsTakenOffForUtc) {
    TIsoDateTime result;
    ASSERT_TRUE(TryParseIsoDateTime("2027-01-01T00:30+01:00", result));
    EXPECT_EQ(Text(result.Utc()), "2026-12-31 23:30:00.000");
    ASSERT_TRUE(TryParseIsoDateTime("2026-12-31T20:00-05:30", result));
    EXPECT_EQ(Text(result.Utc()), "2027-01-01 01:30:00.000");
}

// A machine whose clocks go forward from +60 to +120 at 2027-03-28 01:00 UTC
// and back at 2027-10-31 01:00 UTC.
class TChangingClock final : public TClock {
public:
    TDateTime UtcNow() const override { return 0; }
    int OffsetMinutesAt(TDateTime utc) const override {
        return utc >= EncodeDateTime(2027, 3, 28, 1, 0, 0, 0) &&
                       utc < EncodeDateTime(2027, 10, 31, 1, 0, 0, 0)
                   ? 120
                   : 60;
    }
    int StandardOffsetMinutes() const override { return 60; }
};

struct TLocalRow {
    const char* Name;
    const char* Input;
    const char* Utc;
};

class LocalMoment : public ::testing::TestWithParam<TLocalRow> {};

TEST_P(LocalMoment, TakesTheMachineOffsetOfThatMoment) {
    const TChangingClock clock;
    TDateTime utc = 0;
    ASSERT_TRUE(TryParseMoment(GetParam().Input, clock, utc)) << GetParam().Input;
    EXPECT_EQ(Text(utc), GetParam().Utc);
}

INSTANTIATE_TEST_SUITE_P(
    AroundChanges, LocalMoment,
    ::testing::Values(TLocalRow{"Winter", "2027-01-15T12:00", "2027-01-15 11:00:00.000"},
                      TLocalRow{"Summer", "2027-07-15T12:00", "2027-07-15 10:00:00.000"},
                      TLocalRow{"JustBeforeForward", "2027-03-28T01:59", "2027-03-28 00:59:00.000"},
                      TLocalRow{"InTheGap", "2027-03-28T02:30", "2027-03-28 01:30:00.000"},
                      TLocalRow{"JustAfterForward", "2027-03-28T03:00", "2027-03-28 01:00:00.000"},
                      TLocalRow{"TwiceFirstOne", "2027-10-31T02:30", "2027-10-31 00:30:00.000"},
                      TLocalRow{"AfterBack", "2027-10-31T03:00", "2027-10-31 02:00:00.000"},
                      TLocalRow{"OffsetWins", "2027-07-15T12:00Z", "2027-07-15 12:00:00.000"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace

#include "kiv/KivTimeZone.h"
#include "kiv/KivClock.h"
#include "kiv/KivErrors.h"

#include "TimeZoneTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using namespace kiv;
using kivtest::At;
using kivtest::Text;
using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::StartsWith;

namespace {

const char* const ColorsText = "255\t0\t0\t1\n"
                               "0\t255\t0\t-3.5\n"
                               "0\t0\t255\t5.5\n";

const char* const PlacesText = "Berlin\t52.52\t13.405\tBerlin\n"
                               "Melbourne\t-37.81667\t144.96667\tMelbourne\n"
                               "Kolkata\t22.5726\t88.3639\tKolkata\n"
                               "St_Johns\t47.5615\t-52.7126\tSt. John's\n"
                               "Tehran\t35.6892\t51.389\tTehran";

const char* const ZonesText =
    "Country\tLatitude\tLongitude\tZone\tFormat\tOffset\tRule\tExtra\n"
    "Germany\t52.5\t13.4\tEurope/Berlin\tCE%sT\t1:00\tEU\tsome extra text\n"
    "Australia\t-37.8\t145\tAustralia/Melbourne\tAE%sT\t10:00\tAN\n"
    "India\t22.6\t88.4\tAsia/Kolkata\tI%sST\t5:30\t-\n"
    "Canada\t47.6\t-52.7\tAmerica/St_Johns\tN%sT\t-3:-30\tCN\n"
    "Iran\t35.7\t51.4\tAsia/Tehran\tIR%sT\t3:30\tIR\n"
    "Testland\t0\t0\tTest/Single\tS%sT\t2:00\tONCE\n"
    "Testland\t0\t0\tTest/EmptyRule\tE%sT\t2:00\t\n";

const char* const RulesText = "EU\tlastSun\t7\t0\t3\t1\tS\n"
                              "EU\tlastSun\t7\t0\t10\t0\n"
                              "AN\tSun>=1\t0\t1\t4\t0\tS\n" // the end first, Sunday as 0
                              "AN\tSun>=1\t0\t1\t10\t1\tD\n"
                              "CN\tSun>=8\t7\t8\t3\t1\tD\n"
                              "CN\tSun>=1\t7\t1\t11\t0\tS\n"
                              "IR\tON\t0\t21\t3\t1\tD\n"
                              "ir\ton\t0\t21\t9\t0\tS\n"
                              "EU\tlastSun\t7\t0\t1\t1\tX\n" // a third EU line, never used
                              "ONCE\tON\t0\t1\t5\t1\tD\n";

class ZoneDbTest : public ::testing::Test {
protected:
    void Write() {
        Dir.Write("tz_colors.dat", Colors);
        Dir.Write("moreplaces.dat", Places);
        Dir.Write("tz_data.dat", Zones);
        Dir.Write("tz_dst.dat", Rules);
    }
    void Load(int year = 2024) {
        Write();
        Db.LoadDatabase(Dir.Dir(), year);
    }
    // The local time, abbreviation and minutes of a zone at a UTC instant.
    std::string Ask(const char* zone, TDateTime utc) const {
        std::string abbreviation = "stale";
        std::int32_t minutes = 12345;
        const TDateTime local = Db.ZoneLocalTime(zone, utc, abbreviation, minutes);
        return Text(local) + " " + abbreviation + " " + std::to_string(minutes);
    }
    // The message of the error the load raises.
    template <class E> std::string LoadError() {
        Write();
        try {
            Db.LoadDatabase(Dir.Dir(), 2024);
        } catch (const E& e) {
            return e.what();
        } catch (const std::exception& e) {
            return std::string("wrong error type: ") + e.what();
        }
        return "no error";
    }

    kivtest::TempProgramDir Dir;
    std::string Colors = ColorsText;
    std::string Places = PlacesText;
    std::string Zones = ZonesText;
    std::string Rules = RulesText;
    TTimeZone Db;
};

template <class E, class F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("wrong error type: ") + e.what();
    }
    return "no error";
}

TTimeZoneDSTRule Compile(std::string_view line, int year) {
    TTimeZoneDSTRule rule;
    CompileRule(rule, line, year);
    return rule;
}

} // namespace

// ---------------------------------------------------------------------------
// Fields and line parsers

TEST(KivTimeZone, SplitFieldsFollowsTheLineRule) {
    EXPECT_EQ(SplitFields("a\tb"), (TStringList{"a", "b"}));
    EXPECT_EQ(SplitFields("a\t\tb"), (TStringList{"a", "", "b"}));
    EXPECT_EQ(SplitFields("a\t"), (TStringList{"a"}));
    EXPECT_EQ(SplitFields("a\t\t"), (TStringList{"a", ""}));
    EXPECT_EQ(SplitFields("\t"), (TStringList{""}));
    EXPECT_EQ(SplitFields(""), TStringList{});
    EXPECT_EQ(SplitFields(" spaced \t kept "), (TStringList{" spaced ", " kept "}));

    // Exactly the line splitting of a text whose TABs are line breaks.
    std::mt19937 random(7);
    const char alphabet[] = {'a', 'b', '\t', '\r', '\n', '\0'};
    for (int n = 0; n < 2000; ++n) {
        std::string line;
        const int length = static_cast<int>(random() % 8);
        for (int i = 0; i < length; ++i) {
            line += alphabet[random() % sizeof alphabet];
        }
        std::string replaced = line;
        std::replace(replaced.begin(), replaced.end(), '\t', '\n');
        TStringList expected;
        SplitLines(replaced, expected);
        ASSERT_EQ(SplitFields(line), expected) << "line of " << line.size() << " bytes";
    }
}

TEST(KivTimeZone, UtcOffsetPartsKeepTheirOwnSign) {
    EXPECT_EQ(ParseUtcOffset("5:30"), 5.5);
    EXPECT_EQ(ParseUtcOffset("-5:00"), -5.0);
    EXPECT_EQ(ParseUtcOffset("-3:-30"), -3.5);
    EXPECT_EQ(ParseUtcOffset("-3:30"), -2.5);
    EXPECT_EQ(ParseUtcOffset("12:45"), 12.75);
    EXPECT_EQ(ParseUtcOffset("+1:+15"), 1.25);
    EXPECT_THROW(ParseUtcOffset("5.5"), EAssertionFailed);
    EXPECT_THROW(ParseUtcOffset(""), EAssertionFailed);
    EXPECT_EQ(ErrorOf<EConvertError>([] { ParseUtcOffset("five:00"); }),
              "'five' is not a valid integer value");
    EXPECT_EQ(ErrorOf<EConvertError>([] { ParseUtcOffset("5:"); }),
              "'' is not a valid integer value");
    EXPECT_THROW(ParseUtcOffset("5: 30"), EConvertError);
    EXPECT_THROW(ParseUtcOffset("99999999999:00"), EConvertError);
}

TEST(KivTimeZone, LineParsersFillRecordsOrRaise) {
    TZoneData zone;
    ParseZone(zone, "Germany\t52.5\t13.4\tEurope/Berlin\tCE%sT\t1:00\tEU\textra", 3);
    EXPECT_EQ(zone.Country, "Germany");
    EXPECT_EQ(zone.Latitude, 52.5);
    EXPECT_EQ(zone.Longitude, 13.4);
    EXPECT_EQ(zone.ZoneName, "Europe/Berlin");
    EXPECT_EQ(zone.AbbrevFormat, "CE%sT");
    EXPECT_EQ(zone.UtcOffset, 1.0);
    EXPECT_EQ(zone.RuleName, "EU");
    EXPECT_EQ(zone.Extra, "extra");
    EXPECT_EQ(zone.Index, 3);
    EXPECT_EQ(zone.Distance, 0.0);

    // A zone line of four fields has no offset text: the missing ":" fails.
    TZoneData shortZone;
    EXPECT_THROW(ParseZone(shortZone, "Nowhere\t1\t2\tArea/Place", 0), EAssertionFailed);
    EXPECT_EQ(shortZone.ZoneName, "") << "a failed line leaves the record alone";

    TTimeZonePlaces place;
    ParsePlace(place, "Melbourne\t-37.81667\t144.96667\tMelbourne", 9);
    EXPECT_EQ(place.ZoneKey, "Melbourne");
    EXPECT_EQ(place.Latitude, -37.81667);
    EXPECT_EQ(place.Longitude, 144.96667);
    EXPECT_EQ(place.Name, "Melbourne");
    EXPECT_EQ(place.Index, 9);
    EXPECT_FALSE(place.InRange);
    EXPECT_THROW(ParsePlace(place, "Melbourne\t-37.8\t144.9", 0), EListError);
    EXPECT_THROW(ParsePlace(place, "", 0), EListError);
    EXPECT_EQ(ErrorOf<EConvertError>([&] { ParsePlace(place, "M\t1,5\t2\tM", 0); }),
              "'1,5' is not a valid floating point value");

    TTimeZoneColor color;
    ParseColor(color, "300\t128\t-1\t-3.5");
    EXPECT_EQ(color.Red, 44);
    EXPECT_EQ(color.Green, 128);
    EXPECT_EQ(color.Blue, 255);
    EXPECT_EQ(color.UtcOffset, -3.5);
    EXPECT_THROW(ParseColor(color, "1\t2\t3"), EListError);
    EXPECT_THROW(ParseColor(color, "1\t2\t3.0\t0"), EConvertError);
}

TEST(KivTimeZone, AbsurdNumbersRaiseNamingTheFileLine) {
    TTimeZonePlaces place;
    const TLineSource source{"data/moreplaces.dat", 12};
    EXPECT_EQ(ErrorOf<EConvertError>([&] { ParsePlace(place, "A\t90.5\t0\tA", 0, source); }),
              "'90.5' is out of range for a latitude (data/moreplaces.dat, line 12)");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { ParsePlace(place, "A\t0\t-180.01\tA", 0, source); }),
              "'-180.01' is out of range for a longitude (data/moreplaces.dat, line 12)");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { ParsePlace(place, "A\tnan\t0\tA", 0, source); }),
              "'nan' is not a finite number (data/moreplaces.dat, line 12)");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { ParsePlace(place, "A\t0\t1e999\tA", 0, source); }),
              "'1e999' is beyond the range of numbers (data/moreplaces.dat, line 12)");
    EXPECT_THROW(ParsePlace(place, "A\t0\t-inf\tA", 0, source), EConvertError);
    EXPECT_NO_THROW(ParsePlace(place, "A\t-90\t180\tA", 0, source));
    EXPECT_THROW(ParsePlace(place, "A\t1e-999\t0\tA", 0, source), EConvertError);
    EXPECT_NO_THROW(ParsePlace(place, "A\t1e-9\t+180\tA", 0, source));

    TZoneData zone;
    EXPECT_EQ(ErrorOf<EConvertError>([&] {
                  ParseZone(zone, "C\t0\t0\tA/B\tX\t14:01\t-", 0, {"tz_data.dat", 3});
              }),
              "'14:01' is out of range for a UTC offset (tz_data.dat, line 3)");
    EXPECT_NO_THROW(ParseZone(zone, "C\t0\t0\tA/B\tX\t-14:00\t-", 0));
    TTimeZoneColor color;
    EXPECT_THROW(ParseColor(color, "1\t2\t3\t-14.5"), EConvertError);
}

// ---------------------------------------------------------------------------
// Rules

TEST(KivTimeZone, CompileRuleWorkedExampleOf2024) {
    const TTimeZoneDSTRule start = Compile("EU\tlastSun\t7\t0\t3\t1\tS", 2024);
    EXPECT_EQ(start.Name, "EU");
    EXPECT_EQ(start.Save, 1.0);
    EXPECT_EQ(start.AbbrevLetters, "S");
    EXPECT_EQ(Text(start.Date), "2024-03-31 00:00:00.000");
    EXPECT_EQ(Text(Compile("EU\tlastSun\t7\t0\t10\t0", 2024).Date), "2024-10-27 00:00:00.000");
    EXPECT_EQ(Text(Compile("US\tSun>=8\t7\t8\t3\t1\tD", 2024).Date), "2024-03-10 00:00:00.000");
    EXPECT_EQ(Compile("EU\tlastSun\t7\t0\t10\t0", 2024).AbbrevLetters, "");
}

TEST(KivTimeZone, CompileRuleKinds) {
    // "ON" in any letter case is the day itself; the weekday is then ignored.
    EXPECT_EQ(Text(Compile("X\tOn\t3\t21\t3\t1\tD", 2024).Date), "2024-03-21 00:00:00.000");
    // Weekday 0 is Sunday, like 7.
    EXPECT_EQ(Compile("X\tlast\t0\t0\t10\t0", 2024).Date,
              Compile("X\tlast\t7\t0\t10\t0", 2024).Date);
    EXPECT_EQ(Compile("X\tlast\t0\t0\t10\t0", 2024).Weekday, 7);
    // Day 1, 8, 15: the first, second and third weekday of the month.
    EXPECT_EQ(Text(Compile("X\tSun>=1\t7\t1\t4\t0", 2024).Date), "2024-04-07 00:00:00.000");
    EXPECT_EQ(Text(Compile("X\tSun>=15\t7\t15\t4\t0", 2024).Date), "2024-04-21 00:00:00.000");
    // A month that starts on the weekday: day 1 is itself.
    EXPECT_EQ(Text(Compile("X\tFri>=1\t5\t1\t3\t0", 2024).Date), "2024-03-01 00:00:00.000");
    // The last Friday of a February with five of them.
    EXPECT_EQ(Text(Compile("X\tlastThu\t4\t0\t2\t0", 2024).Date), "2024-02-29 00:00:00.000");
    // 31 March 2024 is a Sunday, so "Sun>=31" exists in that year.
    EXPECT_EQ(Text(Compile("X\tSun>=31\t7\t31\t3\t0", 2024).Date), "2024-03-31 00:00:00.000");
}

TEST(KivTimeZone, CompileRuleFaults) {
    TTimeZoneDSTRule rule;
    rule.Name = "untouched";
    EXPECT_EQ(ErrorOf<EKivError>([&] { CompileRule(rule, "X\tSun>=31\t7\t31\t10\t0", 2024); }),
              "Somethings wrong in CompileRule()");
    EXPECT_THROW(CompileRule(rule, "X\tSun>=30\t7\t30\t2\t0", 2024), EKivError);
    EXPECT_THROW(CompileRule(rule, "X\tlast\t7\t0\t13\t0", 2024), EAssertionFailed);
    EXPECT_THROW(CompileRule(rule, "X\tlast\t7\t0\t0\t0", 2024), EAssertionFailed);
    EXPECT_EQ(ErrorOf<EConvertError>([&] { CompileRule(rule, "X\tON\t0\t29\t2\t1", 2023); }),
              "'2023-02-29' is not a valid date");
    EXPECT_NO_THROW(CompileRule(rule, "X\tON\t0\t29\t2\t1", 2024));
    rule.Name = "untouched";
    EXPECT_THROW(CompileRule(rule, "X\tON\t0\t0\t2\t1", 2024), EConvertError);
    EXPECT_EQ(ErrorOf<EConvertError>([&] {
                  CompileRule(rule, "X\tlast\t8\t0\t3\t1", 2024, {"r", 4});
              }),
              "'8' is out of range for a weekday (0..7) (r, line 4)");
    EXPECT_EQ(ErrorOf<EConvertError>([&] {
                  CompileRule(rule, "X\tON\t0\t32\t3\t1", 2024, {"r", 5});
              }),
              "'32' is out of range for a day of the month (0..31) (r, line 5)");
    // "ON" does not read the weekday, so no weekday value refuses it.
    EXPECT_NO_THROW(CompileRule(rule, "X\tON\t-1\t1\t3\t1", 2024));
    rule.Name = "untouched";
    EXPECT_THROW(CompileRule(rule, "X\tON\t0\t1\t3\t1e400", 2024), EConvertError);
    // Fewer than six fields: the appended empty field is not a number, or the
    // field is missing altogether.
    EXPECT_EQ(ErrorOf<EConvertError>([&] { CompileRule(rule, "X\tlast\t7\t0\t3", 2024); }),
              "'' is not a valid floating point value");
    EXPECT_THROW(CompileRule(rule, "X\tlast\t7\t0", 2024), EConvertError);
    EXPECT_THROW(CompileRule(rule, "X", 2024), EListError);
    EXPECT_THROW(CompileRule(rule, "", 2024), EListError);
    EXPECT_EQ(ErrorOf<EConvertError>([&] { CompileRule(rule, "X\tlast\tSun\t0\t3\t1", 2024); }),
              "'Sun' is not a valid integer value");
    EXPECT_EQ(rule.Name, "untouched");
}

TEST(KivTimeZone, RuleDateOfAnyYearMatchesCompilingInThatYear) {
    const char* const lines[] = {"A\tlastSun\t7\t0\t3\t1",  "A\tlastSun\t7\t0\t10\t0",
                                 "A\tSun>=8\t7\t8\t3\t1",   "A\tSun>=1\t0\t1\t11\t0",
                                 "A\tlastFri\t5\t0\t2\t0",  "A\tThu>=24\t4\t24\t11\t0",
                                 "A\tON\t0\t21\t3\t1",      "A\tSat>=29\t6\t29\t2\t0",
                                 "A\tlastMon\t1\t0\t12\t0", "A\tTue>=31\t2\t31\t12\t0"};
    for (const char* line : lines) {
        // Stored as compiled in the first year from 2020 in which it exists.
        TTimeZoneDSTRule stored;
        for (int year = 2020;; ++year) {
            try {
                CompileRule(stored, line, year);
                break;
            } catch (const EKivError&) {
                ASSERT_LT(year, 2100) << line;
            }
        }
        for (int year = 1970; year <= 2100; ++year) {
            TTimeZoneDSTRule fresh;
            try {
                CompileRule(fresh, line, year);
            } catch (const EKivError&) {
                continue; // the rule does not exist in that year
            }
            ASSERT_EQ(Text(RuleDateInYear(stored, year)), Text(fresh.Date))
                << line << " in " << year;
        }
    }
    // In a year without the day, the count runs on into the next month.
    EXPECT_EQ(Text(RuleDateInYear(Compile("A\tSat>=29\t6\t29\t2\t0", 2020), 2021)),
              "2021-03-06 00:00:00.000");
    EXPECT_EQ(Text(RuleDateInYear(Compile("A\tON\t0\t29\t2\t0", 2024), 2023)),
              "2023-03-01 00:00:00.000");
    // A rule made without CompileRule keeps its month and day.
    TTimeZoneDSTRule manual;
    manual.Date = EncodeDate(2020, 4, 5);
    EXPECT_EQ(Text(RuleDateInYear(manual, 2031)), "2031-04-05 00:00:00.000");
}

TEST(KivTimeZone, AddHoursTakesWholeHoursThenMinutes) {
    const TDateTime t = At(2024, 1, 1, 12);
    EXPECT_EQ(Text(AddHours(t, 5.5)), "2024-01-01 17:30:00.000");
    EXPECT_EQ(Text(AddHours(t, -3.5)), "2024-01-01 08:30:00.000");
    EXPECT_EQ(Text(AddHours(t, 5.75)), "2024-01-01 17:45:00.000");
    EXPECT_EQ(Text(AddHours(t, -0.25)), "2024-01-01 11:45:00.000");
    EXPECT_EQ(Text(AddHours(t, 12.0 + 45.0 / 60.0)), "2024-01-02 00:45:00.000");
    EXPECT_EQ(Text(AddHours(t, 1.0 / 120.0)), "2024-01-01 12:00:00.000"); // half a minute: even
    EXPECT_EQ(Text(AddHours(t, 3.0 / 120.0)), "2024-01-01 12:02:00.000"); // 1.5 minutes: even
    EXPECT_EQ(AddHours(At(2024, 3, 30, 23), 1.0), EncodeDate(2024, 3, 31));
}

// ---------------------------------------------------------------------------
// Loading

TEST_F(ZoneDbTest, LoadsAllFourTablesInFileOrder) {
    Load();
    ASSERT_EQ(Db.Colors.size(), 3u);
    EXPECT_EQ(Db.Colors[1].Green, 255);
    EXPECT_EQ(Db.Colors[1].UtcOffset, -3.5);
    ASSERT_EQ(Db.Places.size(), 5u);
    EXPECT_EQ(Db.Places[3].Name, "St. John's");
    EXPECT_EQ(Db.Places[4].Index, 4);
    ASSERT_EQ(Db.Zones.size(), 7u) << "the header line is skipped";
    EXPECT_EQ(Db.Zones[0].Extra, "some extra text");
    EXPECT_EQ(Db.Zones[3].UtcOffset, -3.5);
    EXPECT_EQ(Db.Zones[6].RuleName, "") << "an empty rule field is not \"-\"";
    EXPECT_EQ(Db.Zones[6].Index, 6);
    ASSERT_EQ(Db.Rules.size(), 10u);
    EXPECT_EQ(Text(Db.Rules[0].Date), "2024-03-31 00:00:00.000");
    EXPECT_EQ(Text(Db.Rules[1].Date), "2024-10-27 00:00:00.000");
    EXPECT_EQ(Text(Db.Rules[3].Date), "2024-10-06 00:00:00.000");
    EXPECT_EQ(Text(Db.Rules[4].Date), "2024-03-10 00:00:00.000");
    EXPECT_EQ(Db.Nearest, 0);

    // A second load starts afresh.
    Db.Places[0].Name = "changed";
    Db.LoadDatabase(Dir.Dir(), 2024);
    EXPECT_EQ(Db.Places[0].Name, "Berlin");
    EXPECT_EQ(Db.Rules.size(), 10u);
}

TEST_F(ZoneDbTest, RulesAreCompiledForTheClocksLocalYear) {
    // Loading one second before New Year (local) fixes that year's dates.
    TFakeClock clock(At(2024, 12, 31, 22, 59, 59), 60, 60);
    TClockOverride use(clock);
    Write();
    Db.LoadDatabase(Dir.Dir());
    EXPECT_EQ(Text(Db.Rules[0].Date), "2024-03-31 00:00:00.000");

    // After midnight the stored dates stay, but the answers follow 2025.
    clock.SetUtc(At(2025, 7, 1, 12));
    std::string abbreviation;
    std::int32_t minutes = 0;
    const TDateTime local = Db.ZoneLocalTime("Europe/Berlin", abbreviation, minutes);
    EXPECT_EQ(Text(local), "2025-07-01 14:00:00.000");
    EXPECT_EQ(abbreviation, "CEST");
    EXPECT_EQ(minutes, 120);
    EXPECT_EQ(Text(Db.Rules[0].Date), "2024-03-31 00:00:00.000");
}

TEST_F(ZoneDbTest, FailedLoadKeepsWhatCameBefore) {
    Places = "Berlin\t52.52\t13.405\tBerlin\n"
             "Melbourne\t-37.8\t145\tMelbourne\n"
             "Kolkata\tx\t88.4\tKolkata\n"
             "Tehran\t35.7\t51.4\tTehran\n";
    // The conversion error, then where it was found.
    EXPECT_THAT(LoadError<EConvertError>(),
                StartsWith("'x' is not a valid floating point value ("));
    EXPECT_THAT(LoadError<EConvertError>(), EndsWith("moreplaces.dat, line 3)"));
    EXPECT_EQ(Db.Colors.size(), 3u);
    ASSERT_EQ(Db.Places.size(), 4u);
    EXPECT_EQ(Db.Places[1].Name, "Melbourne");
    EXPECT_EQ(Db.Places[2].Name, "");
    EXPECT_EQ(Db.Places[2].Latitude, 0.0);
    EXPECT_EQ(Db.Places[3].Name, "");
    EXPECT_EQ(Db.Places[3].Index, 0);
    EXPECT_TRUE(Db.Zones.empty());
    EXPECT_TRUE(Db.Rules.empty());
}

TEST_F(ZoneDbTest, MissingFileRaisesTheReadersError) {
    Write();
    std::filesystem::remove(Dir.DataFile("tz_dst.dat"));
    EXPECT_THROW(Db.LoadDatabase(Dir.Dir(), 2024), EFOpenError);
    EXPECT_EQ(Db.Zones.size(), 7u);
    EXPECT_TRUE(Db.Rules.empty());
}

TEST_F(ZoneDbTest, ZoneFileFaults) {
    Zones = "";
    EXPECT_THAT(LoadError<EListError>(), StartsWith("List index out of bounds (0) ("));
    EXPECT_THAT(LoadError<EListError>(), EndsWith("tz_data.dat, line 1)"));

    // Only the header: no zones, so the first place fails the link check.
    Zones = "header only\n";
    EXPECT_THAT(LoadError<EKivError>(), StartsWith("There is a link error in the database ("));
    EXPECT_THAT(LoadError<EKivError>(), EndsWith("moreplaces.dat, line 1)"));
    EXPECT_TRUE(Db.Zones.empty());
    EXPECT_EQ(Db.Rules.size(), 10u) << "the rules load before the link check";

    Zones = std::string(ZonesText) + "Nowhere\t1\t2\tArea/Place\n";
    EXPECT_NE(LoadError<EAssertionFailed>().find("has no ':'"), std::string::npos);
    EXPECT_EQ(Db.Zones.size(), 8u);
    EXPECT_EQ(Db.Zones[7].ZoneName, "");
    EXPECT_EQ(Db.Zones[6].ZoneName, "Test/EmptyRule");
}

TEST_F(ZoneDbTest, BadValuesNameTheFileAndLine) {
    Zones = std::string(ZonesText) + "Far\t0\t0\tFar/Away\tF\t15:00\t-\n";
    std::string message = LoadError<EConvertError>();
    EXPECT_NE(message.find("'15:00' is out of range for a UTC offset ("), std::string::npos)
        << message;
    EXPECT_NE(message.find("tz_data.dat, line 9)"), std::string::npos) << message;

    Zones = ZonesText;
    Places = "Berlin\t52.52\t13.405\tBerlin\nMelbourne\t-97.8\t145\tMelbourne\n";
    message = LoadError<EConvertError>();
    EXPECT_NE(message.find("moreplaces.dat, line 2)"), std::string::npos) << message;

    Places = PlacesText;
    Rules = std::string(RulesText) + "Z\tlast\t7\t0\t3\t1\nZ\tlast\t9\t0\t10\t0\n";
    message = LoadError<EConvertError>();
    EXPECT_NE(message.find("'9' is out of range for a weekday"), std::string::npos) << message;
    EXPECT_NE(message.find("tz_dst.dat, line 12)"), std::string::npos) << message;

    Rules = std::string(RulesText) + "Z\tON\t7\t40\t3\t1\n";
    EXPECT_NE(LoadError<EConvertError>().find("line 11)"), std::string::npos);

    Rules = RulesText;
    Colors = "1\t2\t3\tinf\n";
    EXPECT_NE(LoadError<EConvertError>().find("tz_colors.dat, line 1)"), std::string::npos);

    Colors = "1\t2\t3\n";
    EXPECT_THAT(LoadError<EListError>(), AllOf(StartsWith("List index out of bounds (3) ("),
                                               EndsWith("tz_colors.dat, line 1)")));
}

TEST_F(ZoneDbTest, RuleFaultsStopTheLoad) {
    Rules = std::string(RulesText) + "Z\tSun>=31\t7\t31\t10\t0\n";
    EXPECT_THAT(LoadError<EKivError>(), StartsWith("Somethings wrong in CompileRule() ("));
    EXPECT_EQ(Db.Rules.size(), 11u);
    EXPECT_EQ(Db.Rules[9].Name, "ONCE");
    EXPECT_EQ(Db.Rules[10].Name, "");
    Rules = std::string(RulesText) + "Z\tON\t7\t31\t4\t0\n";
    EXPECT_THAT(LoadError<EConvertError>(), StartsWith("'2024-04-31' is not a valid date"));
    Rules = std::string(RulesText) + "Z\tON\t7\t1\t13\t0\n";
    EXPECT_NE(LoadError<EAssertionFailed>(), "no error");
}

// ---------------------------------------------------------------------------
// Local time

TEST_F(ZoneDbTest, NorthernPairInAnyOrder) {
    Load();
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 7, 1, 12)), "2024-07-01 14:00:00.000 CEST 120");
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 12, 1, 12)), "2024-12-01 13:00:00.000 CET 60");

    // The end listed first: only which rule saves matters.
    Rules = "EU\tlastSun\t7\t0\t10\t0\nEU\tlastSun\t7\t0\t3\t1\tS\n" + std::string(RulesText);
    Load();
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 7, 1, 12)), "2024-07-01 14:00:00.000 CEST 120");
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 12, 1, 12)), "2024-12-01 13:00:00.000 CET 60");
    EXPECT_EQ(Ask("europe/BERLIN", At(2024, 12, 1, 12)), "2024-12-01 13:00:00.000 CET 60");
}

TEST_F(ZoneDbTest, SouthernPairSpansNewYear) {
    Load();
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 1, 15, 0)), "2024-01-15 11:00:00.000 AEDT 660");
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 6, 15, 0)), "2024-06-15 10:00:00.000 AEST 600");
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 12, 15, 0)), "2024-12-15 11:00:00.000 AEDT 660");
}

TEST_F(ZoneDbTest, ChangesHappenAtMidnightStandardTimeStrictly) {
    Load();
    // Start, 31 March 2024 00:00 CET = 30 March 23:00 UTC.
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 3, 30, 23)), "2024-03-31 00:00:00.000 CET 60");
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 3, 30, 23, 0, 0, 1)),
              "2024-03-31 01:00:00.001 CEST 120");
    // End, 27 October 2024 00:00 CET = 26 October 23:00 UTC.
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 10, 26, 22, 59, 59, 999)),
              "2024-10-27 00:59:59.999 CEST 120");
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 10, 26, 23)), "2024-10-27 00:00:00.000 CET 60");
    // Southern start, 6 October 2024 00:00 AEST = 5 October 14:00 UTC.
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 10, 5, 14)), "2024-10-06 00:00:00.000 AEST 600");
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 10, 5, 14, 0, 0, 1)),
              "2024-10-06 01:00:00.001 AEDT 660");
    // Southern end, 7 April 2024 00:00 AEST = 6 April 14:00 UTC.
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 4, 6, 13, 59, 59, 999)),
              "2024-04-07 00:59:59.999 AEDT 660");
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 4, 6, 14)), "2024-04-07 00:00:00.000 AEST 600");
}

TEST_F(ZoneDbTest, HalfHourAndNegativeOffsets) {
    Load();
    EXPECT_EQ(Ask("Asia/Kolkata", At(2024, 7, 1, 12)), "2024-07-01 17:30:00.000 IST 330");
    EXPECT_EQ(Ask("America/St_Johns", At(2024, 1, 15, 12)), "2024-01-15 08:30:00.000 NST -210");
    EXPECT_EQ(Ask("America/St_Johns", At(2024, 7, 15, 12)), "2024-07-15 09:30:00.000 NDT -150");
    // "Sun>=8" of March 2024 is the 10th: 00:00 NST is 03:30 UTC.
    EXPECT_EQ(Ask("America/St_Johns", At(2024, 3, 10, 3, 30)), "2024-03-10 00:00:00.000 NST -210");
    EXPECT_EQ(Ask("America/St_Johns", At(2024, 3, 10, 3, 30, 0, 1)),
              "2024-03-10 01:00:00.001 NDT -150");
    // "ON" rules, 21 March and 21 September, at +3:30.
    EXPECT_EQ(Ask("Asia/Tehran", At(2024, 3, 20, 20, 30, 0, 1)),
              "2024-03-21 01:00:00.001 IRDT 270");
    EXPECT_EQ(Ask("Asia/Tehran", At(2024, 9, 20, 20, 30)), "2024-09-21 00:00:00.000 IRST 210");
}

TEST_F(ZoneDbTest, ZoneQueryErrors) {
    Load();
    EXPECT_EQ(ErrorOf<EKivError>([&] { Ask("Mars/Base", 0); }),
              "Could not locate Zone for \"Mars/Base\"");
    EXPECT_EQ(ErrorOf<EKivError>([&] { Ask("Test/Single", 0); }),
              "Insufficient Rules for \"ONCE\"");
    EXPECT_EQ(ErrorOf<EKivError>([&] { Ask("Test/EmptyRule", 0); }), "Insufficient Rules for \"\"");
    EXPECT_EQ(ErrorOf<EKivError>([&] { Db.FindRulePair("nothing"); }),
              "Insufficient Rules for \"nothing\"");
    EXPECT_EQ(Db.FindRulePair("eu"), (std::pair<int, int>{0, 1}));
    EXPECT_EQ(Db.FindRulePair("IR"), (std::pair<int, int>{6, 7}));
}

TEST_F(ZoneDbTest, RuleYearFollowsTheQueriedMomentAcrossNewYear) {
    Load(2024);
    // Northern: 2025 summer is on daylight time, with 2025's start day (30 March).
    EXPECT_EQ(Ask("Europe/Berlin", At(2025, 7, 1, 12)), "2025-07-01 14:00:00.000 CEST 120");
    EXPECT_EQ(Ask("Europe/Berlin", At(2025, 3, 29, 23)), "2025-03-30 00:00:00.000 CET 60");
    EXPECT_EQ(Ask("Europe/Berlin", At(2025, 3, 29, 23, 0, 0, 1)),
              "2025-03-30 01:00:00.001 CEST 120");
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 12, 31, 22, 59, 59)), "2024-12-31 23:59:59.000 CET 60");
    EXPECT_EQ(Ask("Europe/Berlin", At(2024, 12, 31, 23)), "2025-01-01 00:00:00.000 CET 60");
    // Southern: daylight time on both sides of New Year, standard in June 2025.
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 12, 31, 13, 59, 59)),
              "2025-01-01 00:59:59.000 AEDT 660");
    EXPECT_EQ(Ask("Australia/Melbourne", At(2024, 12, 31, 14)), "2025-01-01 01:00:00.000 AEDT 660");
    EXPECT_EQ(Ask("Australia/Melbourne", At(2025, 6, 15)), "2025-06-15 10:00:00.000 AEST 600");
    EXPECT_EQ(Ask("Australia/Melbourne", At(2025, 10, 4, 14, 0, 0, 1)),
              "2025-10-05 01:00:00.001 AEDT 660");

    // Whatever the load year, every moment gets the same answer.
    TTimeZone other;
    other.LoadDatabase(Dir.Dir(), 2031);
    for (TDateTime utc = At(2023, 1, 1); utc < At(2028, 1, 1); utc += 0.25 + 1.0 / 1440) {
        for (const char* zone : {"Europe/Berlin", "Australia/Melbourne", "America/St_Johns"}) {
            std::string a1, a2;
            std::int32_t m1 = 0, m2 = 0;
            const TDateTime t1 = Db.ZoneLocalTime(zone, utc, a1, m1);
            const TDateTime t2 = other.ZoneLocalTime(zone, utc, a2, m2);
            ASSERT_EQ(Text(t1) + a1, Text(t2) + a2) << zone << " at " << Text(utc);
            ASSERT_EQ(m1, m2);
        }
    }
}

TEST_F(ZoneDbTest, AbbreviationPlaceholderWithoutRules) {
    Zones = std::string(ZonesText) + "Plain\t0\t0\tEtc/Plain\tP%sT\t-3:-30\t-\n" +
            "Plain\t0\t0\tEtc/Twice\t%sA%sB\t0:00\tEU\n";
    Load();
    EXPECT_EQ(Ask("Etc/Plain", At(2024, 7, 1, 12)), "2024-07-01 08:30:00.000 PT -210");
    EXPECT_EQ(Ask("Etc/Twice", At(2024, 7, 1, 12)), "2024-07-01 13:00:00.000 SAB 60");
    EXPECT_EQ(Ask("Etc/Twice", At(2024, 1, 1, 12)), "2024-01-01 12:00:00.000 AB 0");
}

TEST_F(ZoneDbTest, NowFormsReadTheCurrentClock) {
    Load();
    TFakeClock clock(At(2024, 7, 1, 12, 0, 0, 250));
    TClockOverride use(clock);
    std::string abbreviation;
    std::int32_t minutes = 0;
    EXPECT_EQ(Text(Db.ZoneLocalTime("Asia/Kolkata", abbreviation, minutes)),
              "2024-07-01 17:30:00.250");
    EXPECT_EQ(Text(UtcNow()), "2024-07-01 12:00:00.250");
    EXPECT_EQ(Text(ColorLocalTime(Db.Colors[1])), "2024-07-01 08:30:00.250");
    EXPECT_EQ(Text(ColorLocalTime(Db.Colors[2], At(2024, 12, 31, 20))), "2025-01-01 01:30:00.000");
    clock.AdvanceSeconds(3600);
    EXPECT_EQ(Text(Db.ZoneLocalTime("Asia/Kolkata", abbreviation, minutes)),
              "2024-07-01 18:30:00.250");
}

// ---------------------------------------------------------------------------
// Places

TEST_F(ZoneDbTest, LinkRuleTakesTheFirstZoneContainingTheKey) {
    Zones = "h\n"
            "Elsewhere\t0\t0\tArea/MELBOURNE_East\tX\t1:00\t-\n" +
            std::string(ZonesText).substr(std::string(ZonesText).find('\n') + 1);
    Load();
    EXPECT_EQ(Db.ZoneIndexOfPlace(1), 0);
    EXPECT_EQ(Db.ZoneNameOfPlace(1), "Area/MELBOURNE_East");
    EXPECT_EQ(Db.PlaceTitle(1), "Melbourne, Elsewhere");
    EXPECT_EQ(Db.ZoneIndexOfPlace(0), 1);
    EXPECT_EQ(Db.ZoneIndexOfKey("/"), 0);
    EXPECT_EQ(Db.ZoneIndexOfKey(""), -1);

    // Two zones of one name: lookups find the first.
    Zones = std::string(ZonesText) + "Elsewhere\t1\t1\tEUROPE/berlin\tX\t3:00\t-\n";
    Load();
    EXPECT_EQ(Db.FindZone("Europe/Berlin").Index, 0);
    EXPECT_EQ(&Db.FindZone("europe/berlin"), &Db.Zones[0]);
}

TEST(KivTimeZone, LinkKeysAreFoldedBeyondAscii) {
    TTimeZone db;
    db.Zones.resize(2);
    db.Zones[0].ZoneName = "Area/\xc3\x84rzte"; // "Area/Ärzte"
    db.Zones[1].ZoneName = "Area/KELVIN_Point";
    EXPECT_EQ(db.ZoneIndexOfKey("\xc3\xa4RZ"), 0) << "capital and small umlaut";
    EXPECT_EQ(db.ZoneIndexOfKey("\xe2\x84\xaa"
                                "elvin_p"),
              1)
        << "the Kelvin sign folds to k";
    EXPECT_EQ(db.ZoneIndexOfKey("n_POINT"), 1);
    EXPECT_EQ(db.ZoneIndexOfKey("\xc3\xa9"), -1) << "no name holds an e with acute";
    EXPECT_EQ(db.ZoneIndexOfKey("area/kelvin_point_"), -1) << "longer than every name";
}

TEST_F(ZoneDbTest, PlacesWithoutZoneFailTheLinkCheck) {
    Places = std::string(PlacesText) + "\nNowhere\t1\t1\tNowhere\n";
    EXPECT_THAT(LoadError<EKivError>(), StartsWith("There is a link error in the database ("));
    Places = std::string(PlacesText) + "\n\t1\t1\tNo key\n";
    EXPECT_THAT(LoadError<EKivError>(), StartsWith("There is a link error in the database ("));
    EXPECT_EQ(Db.Places.size(), 6u);

    // Loaded, then broken by hand: the query raises the same.
    Places = PlacesText;
    Load();
    Db.Places[2].ZoneKey = "Atlantis";
    EXPECT_EQ(ErrorOf<EKivError>([&] { Db.PlaceTitle(2); }),
              "There is a link error in the database");
}

TEST_F(ZoneDbTest, PlaceQueries) {
    Load();
    EXPECT_EQ(Db.IndexOfPlace("st. JOHN'S"), 3);
    EXPECT_EQ(Db.IndexOfPlace("Atlantis"), -1);
    EXPECT_EQ(Db.ZoneNameOfPlace(4), "Asia/Tehran");
    EXPECT_EQ(Db.CountryOfPlace(3), "Canada");
    EXPECT_EQ(Db.PlaceTitle(1), "Melbourne, Australia");
    EXPECT_EQ(Db.NearestPlaceTitle(), "Berlin, Germany");
    EXPECT_THROW(Db.ZoneIndexOfPlace(-1), EAssertionFailed);
    EXPECT_THROW(Db.PlaceTitle(-1), EAssertionFailed);
    EXPECT_THROW(Db.ZoneNameOfPlace(5), EAssertionFailed);

    TStringList countries{"stale"};
    Db.ListCountries(countries);
    EXPECT_EQ(countries, (TStringList{"Germany", "Australia", "India", "Canada", "Iran", "Testland",
                                      "Testland"}));
    Db.Zones[1].Country = "germany";
    Db.ListCountries(countries, true);
    EXPECT_EQ(countries, (TStringList{"Canada", "Germany", "India", "Iran", "Testland"}));

    TTimeZone empty;
    EXPECT_THROW(empty.NearestPlaceTitle(), EAssertionFailed);
}

TEST_F(ZoneDbTest, NearestPlace) {
    Load();
    const TTimeZonePlaces& melbourne = Db.Places[1];
    EXPECT_TRUE(Db.FindNearestPlace(melbourne.Latitude, melbourne.Longitude, 20));
    EXPECT_EQ(Db.Nearest, 1);
    EXPECT_EQ(melbourne.Distance, 0.0);
    EXPECT_TRUE(melbourne.InRange);
    EXPECT_FALSE(Db.Places[0].InRange);
    EXPECT_EQ(Db.NearestPlaceTitle(), "Melbourne, Australia");
    EXPECT_FALSE(Db.FindNearestPlace(melbourne.Latitude, melbourne.Longitude, 20));

    // Near Berlin: Tehran lies about 41.5 degrees away on the flat plane.
    EXPECT_TRUE(Db.FindNearestPlace(52.5, 13.4, 41.0));
    EXPECT_EQ(Db.Nearest, 0);
    EXPECT_FALSE(Db.Places[4].InRange);
    EXPECT_FALSE(Db.FindNearestPlace(52.5, 13.4, 42.0));
    EXPECT_TRUE(Db.Places[4].InRange);
    EXPECT_NEAR(Db.Places[4].Distance, std::hypot(35.6892 - 52.5, 51.389 - 13.4), 1e-12);
}

TEST(KivTimeZone, NearestPlaceTiesAndTheDateLine) {
    TTimeZone db;
    EXPECT_FALSE(db.FindNearestPlace(0, 0, 20)) << "no places: nothing changes";
    db.Places.resize(3);
    for (int i = 0; i < 3; ++i) {
        db.Places[static_cast<std::size_t>(i)].Index = i;
    }
    SetLatLong(db.Places[0], 10, -179);
    SetLatLong(db.Places[1], 0, 5);
    SetLatLong(db.Places[2], 0, -5);
    EXPECT_TRUE(db.FindNearestPlace(0, 0, 5));
    EXPECT_EQ(db.Nearest, 1) << "equal distances go to the lower index";
    EXPECT_TRUE(db.Places[1].InRange && db.Places[2].InRange);

    UpdateDistance(db.Places[0], 10, 179);
    EXPECT_EQ(db.Places[0].Distance, 358.0) << "no wrap-around at the date line";
    db.Nearest = 2;
    EXPECT_TRUE(db.FindNearestPlace(10, 179, 20));
    EXPECT_EQ(db.Nearest, 1);
}

TEST_F(ZoneDbTest, NearestPlaceAnswersWithoutChangingTheDatabase) {
    Load();
    const TTimeZone before = Db;
    const TNearestPlace near = FindNearestPlace(Db.Places, 52.5, 13.4, 41.0);
    EXPECT_EQ(near.Index, 0);
    EXPECT_EQ(near.Distance, FlatDistance(Db.Places[0], 52.5, 13.4));
    EXPECT_FALSE(near.InRange(Db.Places[4])) << "Tehran lies about 41.5 degrees away";
    EXPECT_NEAR(near.DistanceTo(Db.Places[4]), std::hypot(35.6892 - 52.5, 51.389 - 13.4), 1e-12);
    EXPECT_EQ(Db.Nearest, before.Nearest);
    for (std::size_t i = 0; i < Db.Places.size(); ++i) {
        EXPECT_EQ(Db.Places[i].Distance, before.Places[i].Distance) << i;
        EXPECT_EQ(Db.Places[i].InRange, before.Places[i].InRange) << i;
    }
    EXPECT_EQ(FindNearestPlace({}, 0, 0, 20).Index, -1) << "no places, no answer";

    // The record's own query keeps the same answer in its fields.
    Db.FindNearestPlace(52.5, 13.4, 41.0);
    EXPECT_EQ(PlaceMenuOrder(Db.Places, near), Db.PlaceMenuOrder());
    EXPECT_EQ(Db.PlaceTitle(near.Index), Db.NearestPlaceTitle());
}

TEST(KivTimeZone, MapGrid) {
    TZoneData zone;
    const auto point = [&](double latitude, double longitude) {
        SetLatLong(zone, latitude, longitude);
        const TMapPoint p = LatLongToMapPoint(zone);
        return std::to_string(static_cast<int>(p.X)) + "," + std::to_string(static_cast<int>(p.Y));
    };
    EXPECT_EQ(point(0, 0), "512,256");
    EXPECT_EQ(point(-37.5, 144), "922,149");
    EXPECT_EQ(point(-90, -180), "0,0");
    EXPECT_EQ(point(90, 180), "1024,512");
    // Exact halves go to the even neighbour: X 0.5 -> 0, X 1.5 -> 2, Y 256.5 -> 256.
    EXPECT_EQ(point(0, -179.82421875), "0,256");
    EXPECT_EQ(point(0, -179.47265625), "2,256");
    EXPECT_EQ(point(0.17578125, 0), "512,256");
    EXPECT_EQ(point(0.52734375, 0), "512,258");
}

TEST(KivTimeZone, PlaceMenuTakesTheEighteenNearestInNameOrder) {
    TTimeZone db;
    for (int i = 0; i < 25; ++i) {
        TTimeZonePlaces place;
        place.Index = i;
        place.Name = std::string(1, static_cast<char>('y' - i)); // y, x, w, ...
        SetLatLong(place, 0, i);
        db.Places.push_back(place);
    }
    db.Places[3].Name = "X"; // a capital sorts beside its small letter
    db.FindNearestPlace(0, 0, 20);
    // h (17) .. u (4), w (2), then "x" (1) and "X" (3) in distance order, y (0).
    const std::vector<int> menu = db.PlaceMenuOrder();
    EXPECT_EQ(menu,
              (std::vector<int>{17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 2, 1, 3, 0}));

    db.Places.resize(4);
    db.FindNearestPlace(0, 3, 20);
    EXPECT_EQ(db.PlaceMenuOrder(), (std::vector<int>{2, 3, 1, 0})) << "w, X, x, y";

    TTimeZonePlaces a, b;
    a.Distance = 1.5;
    b.Distance = 2.0;
    EXPECT_EQ(CompareByDistance(a, b), -1);
    EXPECT_EQ(CompareByDistance(b, a), 1);
    EXPECT_EQ(CompareByDistance(a, a), 0);
}

TEST(KivTimeZone, NamesCompareWithoutLetterCase) {
    EXPECT_TRUE(SameText("Europe/Berlin", "EUROPE/berlin"));
    EXPECT_FALSE(SameText("Europe/Berlin", "Europe/Berlín"));
    EXPECT_FALSE(SameText("a[", "A{")) << "only letters fold";
    EXPECT_TRUE(SameText("ZÜRICH", "zürich"));
    EXPECT_TRUE(SameText("ŁÓDŹ", "łódź"));
    EXPECT_TRUE(SameText("ΑΘΗΝΑ", "αθηνα"));
    EXPECT_TRUE(SameText("МОСКВА", "москва"));
    EXPECT_TRUE(SameText("Ÿ", "ÿ"));
    EXPECT_LT(CompareText("apple", "Banana"), 0);
    EXPECT_GT(CompareText("Zürich", "zurich"), 0);
    EXPECT_EQ(CompareText("ÉCOLE", "école"), 0);
    TTimeZonePlaces a, b;
    a.Name = "melbourne";
    b.Name = "Melbourne";
    EXPECT_EQ(CompareByName(a, b), 0);
    b.Name = "Berlin";
    EXPECT_GT(CompareByName(a, b), 0);
}

TEST(KivTimeZone, DamagedLinesOnlyEverRaiseTheCoresErrors) {
    // Lines made of fragments of good lines and of junk: every parser either
    // fills its record or raises one of the core's errors.
    const char* const pieces[] = {
        "\t",     "0",    "-",    "+",      "31", "99999999999", "1e308",
        "1e-400", "nan",  ":",    "-3:-30", "ON", "lastSun",     "13",
        "%s",     "\xc3", "\xff", ".",      "e",  "7",           "Europe/Berlin"};
    std::mt19937 random(11);
    TZoneData zone;
    TTimeZonePlaces place;
    TTimeZoneColor color;
    TTimeZoneDSTRule rule;
    for (int n = 0; n < 20000; ++n) {
        std::string line;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            line += pieces[random() % (sizeof pieces / sizeof pieces[0])];
        }
        const auto survives = [&](auto&& parse) {
            try {
                parse();
            } catch (const EKivError&) {
            }
        };
        survives([&] { ParseZone(zone, line, 0); });
        survives([&] { ParsePlace(place, line, 0); });
        survives([&] { ParseColor(color, line); });
        survives([&] { CompileRule(rule, line, 2024); });
        survives([&] { RuleDateInYear(rule, static_cast<int>(random() % 10000)); });
    }
}

TEST(KivTimeZone, MalformedSignsAreConversionErrorsNamingTheText) {
    EXPECT_EQ(ErrorOf<EConvertError>([] { ParseUtcOffset("+-3:+-30"); }),
              "'+-3' is not a valid integer value");
    EXPECT_EQ(ErrorOf<EConvertError>([] { ParseUtcOffset("3:+-30"); }),
              "'+-30' is not a valid integer value");
    EXPECT_EQ(ErrorOf<EConvertError>([] { ParseUtcOffset("--3:00"); }),
              "'--3' is not a valid integer value");
    TTimeZoneDSTRule rule;
    EXPECT_EQ(ErrorOf<EConvertError>([&] { CompileRule(rule, "X\tlast\t7\t0\t3\t+-1", 2024); }),
              "'+-1' is not a valid floating point value");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { CompileRule(rule, "X\tlast\t+-7\t0\t3\t1", 2024); }),
              "'+-7' is not a valid integer value");
    TTimeZoneColor color;
    EXPECT_EQ(ErrorOf<EConvertError>([&] { ParseColor(color, "+-1\t0\t0\t1"); }),
              "'+-1' is not a valid integer value");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { ParseColor(color, "1\t0\t0\t+-1"); }),
              "'+-1' is not a valid floating point value");
    TTimeZonePlaces place;
    EXPECT_THROW(ParsePlace(place, "Berlin\t+-52\t13\tBerlin", 0), EConvertError);
    // One sign of either kind still reads.
    EXPECT_EQ(ParseUtcOffset("+3:-30"), 2.5);
    ParseColor(color, "+1\t-1\t2\t-1.5");
    EXPECT_EQ(color.Red, 1);
    EXPECT_EQ(color.Green, 255);
    EXPECT_EQ(color.UtcOffset, -1.5);
}

TEST(KivTimeZone, OnRulesIgnoreTheWeekdayAndOtherRulesNeedADayOfTheMonth) {
    for (const char* weekday : {"0", "3", "7", "9", "-1", "99"}) {
        const std::string line = std::string("X\tON\t") + weekday + "\t21\t3\t1";
        EXPECT_EQ(Text(Compile(line.c_str(), 2024).Date), "2024-03-21 00:00:00.000") << line;
    }
    TTimeZoneDSTRule rule;
    for (const char* day : {"32", "-1", "99"}) {
        for (const char* kind : {"Sun>=", "last"}) {
            const std::string line = std::string("X\t") + kind + "\t7\t" + day + "\t3\t1";
            EXPECT_EQ(ErrorOf<EKivError>([&] { CompileRule(rule, line, 2024); }),
                      "Somethings wrong in CompileRule()")
                << line;
        }
    }
}

TEST(KivTimeZone, PlacesAreFoundWhateverTheLetterCaseOfAnyScript) {
    TTimeZone db;
    for (const char* name : {"Ḩamāh", "Ẕhirāb", "Москва", "Zürich"}) {
        TTimeZonePlaces place;
        place.Name = name;
        place.Index = static_cast<int>(db.Places.size());
        db.Places.push_back(place);
    }
    struct TRow {
        const char* Asked;
        int Index;
    };
    for (const TRow row : {TRow{"ḩamāh", 0}, TRow{"ḨAMĀH", 0}, TRow{"ẕHIRĀB", 1}, TRow{"МОСКВА", 2},
                           TRow{"ZÜRICH", 3}, TRow{"zurich", -1}}) {
        EXPECT_EQ(db.IndexOfPlace(row.Asked), row.Index) << row.Asked;
    }
}

TEST(KivTimeZone, NamesSortByTheComparisonPassedIn) {
    TTimeZone db;
    for (const char* name : {"Zagreb", "Örebro", "Oslo", "ålesund"}) {
        TTimeZonePlaces place;
        place.Name = name;
        place.Index = static_cast<int>(db.Places.size());
        db.Places.push_back(place);
        TZoneData zone;
        zone.Country = name;
        db.Zones.push_back(zone);
    }
    db.Zones.push_back(db.Zones[1]);
    db.Zones.back().Country = "öREBRO";
    db.FindNearestPlace(0, 0, 20);
    // By folded code points without a comparison: the accented names last.
    EXPECT_EQ(db.PlaceMenuOrder(), (std::vector<int>{2, 0, 3, 1}));
    TStringList countries;
    db.ListCountries(countries, true);
    EXPECT_EQ(countries, (TStringList{"Oslo", "Zagreb", "ålesund", "Örebro"}));
    // A comparison that reads accented letters as their base letters.
    const TTextCompare base = [](std::string_view a, std::string_view b) {
        const auto plain = [](std::string_view s) {
            std::string out = FoldCase(s);
            for (const auto& [from, to] : {std::pair<std::string, std::string>{"ö", "o"},
                                           std::pair<std::string, std::string>{"å", "a"}}) {
                for (std::size_t at; (at = out.find(from)) != std::string::npos;) {
                    out.replace(at, from.size(), to);
                }
            }
            return out;
        };
        return plain(a).compare(plain(b));
    };
    EXPECT_EQ(db.PlaceMenuOrder(base), (std::vector<int>{3, 1, 2, 0}));
    db.ListCountries(countries, true, base);
    EXPECT_EQ(countries, (TStringList{"ålesund", "Örebro", "Oslo", "Zagreb"}))
        << "each country once, in its first spelling";
}

TEST_F(ZoneDbTest, APlaceIsFoundInTheCountryAskedFor) {
    Load();
    // Two places called "Twin": the first in Germany, the second in Iran.
    TTimeZonePlaces twin = Db.Places[0];
    twin.Name = "Twin";
    Db.Places.push_back(twin);
    twin = Db.Places[4];
    twin.Name = "twin";
    Db.Places.push_back(twin);
    EXPECT_EQ(Db.IndexOfPlace("TWIN"), 5);
    EXPECT_EQ(Db.IndexOfPlaceInCountry("TWIN", "iran"), 6);
    EXPECT_EQ(Db.IndexOfPlaceInCountry("Twin", "Germany"), 5);
    EXPECT_EQ(Db.IndexOfPlaceInCountry("Twin", "Canada"), -1);
    EXPECT_EQ(Db.IndexOfPlaceInCountry("Atlantis", "Iran"), -1);
}

TEST(KivTimeZone, TheEighthRuleFieldIsTheTimeOfTheChange) {
    struct TRow {
        const char* Field; // nullptr: a line of seven fields
        std::int32_t Seconds;
        TRuleClock Clock;
        bool Given;
    };
    const TRow rows[] = {
        {nullptr, 0, TRuleClock::Standard, false},
        {"", 0, TRuleClock::Standard, false},
        {"2:00s", 7200, TRuleClock::Standard, true},
        {"1:00u", 3600, TRuleClock::Universal, true},
        {"1:00g", 3600, TRuleClock::Universal, true},
        {"0:30z", 1800, TRuleClock::Universal, true},
        {"2:00", 7200, TRuleClock::Wall, true},
        {"2:00w", 7200, TRuleClock::Wall, true},
        {"24:00", 86400, TRuleClock::Wall, true},
        {"-1:00", -3600, TRuleClock::Wall, true},
        {"26", 93600, TRuleClock::Wall, true},
        {"2:30:15u", 9015, TRuleClock::Universal, true},
    };
    for (const TRow& row : rows) {
        std::string line = "X\tlastSun\t7\t0\t3\t1\tS";
        if (row.Field != nullptr) {
            line += std::string("\t") + row.Field;
        }
        const TTimeZoneDSTRule rule = Compile(line, 2026);
        EXPECT_EQ(rule.AtSeconds, row.Seconds) << line;
        EXPECT_EQ(rule.AtClock, row.Clock) << line;
        EXPECT_EQ(rule.AtGiven, row.Given) << line;
        EXPECT_EQ(Text(rule.Date), "2026-03-29 00:00:00.000") << line;
    }
    // A time without letters before it: the seventh field may be empty.
    EXPECT_EQ(Compile("X\tlastSun\t7\t0\t10\t0\t\t1:00u", 2026).AtSeconds, 3600);

    TTimeZoneDSTRule rule;
    rule.Name = "untouched";
    for (const char* bad : {"2:0", "x", "2:60", "1:00q", ":30", "2:00:00:00", "168:00", "1:00uu",
                            "+1:00", "2:-30", "u"}) {
        const std::string line = std::string("X\tlastSun\t7\t0\t3\t1\tS\t") + bad;
        EXPECT_EQ(ErrorOf<EConvertError>([&] {
                      CompileRule(rule, line, 2026, {"tz_dst.dat", 7});
                  }),
                  "'" + std::string(bad) + "' is not a valid time of day (tz_dst.dat, line 7)")
            << line;
    }
    EXPECT_EQ(rule.Name, "untouched");
}

TEST(KivTimeZone, TheTimeOfTheChangeCountsInBothComparisons) {
    TTimeZone db;
    const auto zone = [&db](const char* name, double offset, const char* rule, const char* format) {
        kivtest::AddZone(db, name, offset, rule, format);
    };
    const auto rule = [&db](const char* line) { kivtest::AddRule(db, line, 2026); };
    zone("Europe/Paris", 1, "EU", "CE%sT");
    zone("America/New_York", -5, "US", "E%sT");
    zone("America/Standard_End", -5, "USs", "E%sT");
    zone("Australia/Sydney", 10, "AN", "AE%sT");
    zone("Old/Midnight", 1, "OLD", "O%sT");
    rule("EU\tlastSun\t7\t0\t3\t1\tS\t1:00u");
    rule("EU\tlastSun\t7\t0\t10\t0\t\t1:00u");
    rule("US\tSun>=8\t7\t8\t3\t1\tD\t2:00");
    rule("US\tSun>=1\t7\t1\t11\t0\tS\t2:00");
    rule("USs\tSun>=8\t7\t8\t3\t1\tD\t2:00");
    rule("USs\tSun>=1\t7\t1\t11\t0\tS\t2:00s");
    rule("AN\tSun>=1\t7\t1\t10\t1\tD\t2:00");
    rule("AN\tSun>=1\t7\t1\t4\t0\tS\t3:00");
    rule("OLD\tlastSun\t7\t0\t3\t1\tS");
    rule("OLD\tlastSun\t7\t0\t10\t0");
    struct TRow {
        const char* Zone;
        TDateTime Utc;
        const char* Expected;
    };
    const TRow rows[] = {
        // 01:00 UTC on both days in the European Union.
        {"Europe/Paris", At(2026, 3, 29, 0, 30), "2026-03-29 01:30:00.000 CET 60"},
        {"Europe/Paris", At(2026, 3, 29, 0, 59, 59, 999), "2026-03-29 01:59:59.999 CET 60"},
        {"Europe/Paris", At(2026, 3, 29, 1), "2026-03-29 03:00:00.000 CEST 120"},
        {"Europe/Paris", At(2026, 10, 25, 0, 59), "2026-10-25 02:59:00.000 CEST 120"},
        {"Europe/Paris", At(2026, 10, 25, 1), "2026-10-25 02:00:00.000 CET 60"},
        // 02:00 on the clock in force: standard time in March, daylight in November.
        {"America/New_York", At(2026, 3, 8, 6, 59), "2026-03-08 01:59:00.000 EST -300"},
        {"America/New_York", At(2026, 3, 8, 7), "2026-03-08 03:00:00.000 EDT -240"},
        {"America/New_York", At(2026, 11, 1, 5, 59), "2026-11-01 01:59:00.000 EDT -240"},
        {"America/New_York", At(2026, 11, 1, 6), "2026-11-01 01:00:00.000 EST -300"},
        // 02:00 standard time is an hour later than 02:00 daylight time.
        {"America/Standard_End", At(2026, 11, 1, 6, 30), "2026-11-01 02:30:00.000 EDT -240"},
        {"America/Standard_End", At(2026, 11, 1, 7), "2026-11-01 02:00:00.000 EST -300"},
        // The south: daylight time across the new year.
        {"Australia/Sydney", At(2026, 4, 4, 15, 59), "2026-04-05 02:59:00.000 AEDT 660"},
        {"Australia/Sydney", At(2026, 4, 4, 16), "2026-04-05 02:00:00.000 AEST 600"},
        {"Australia/Sydney", At(2026, 10, 3, 15, 59), "2026-10-04 01:59:00.000 AEST 600"},
        {"Australia/Sydney", At(2026, 10, 3, 16), "2026-10-04 03:00:00.000 AEDT 660"},
        {"Australia/Sydney", At(2026, 12, 31, 13), "2027-01-01 00:00:00.000 AEDT 660"},
        // Without the field: 00:00 standard time, daylight time just after it.
        {"Old/Midnight", At(2026, 3, 28, 23), "2026-03-29 00:00:00.000 OT 60"},
        {"Old/Midnight", At(2026, 3, 28, 23, 0, 0, 1), "2026-03-29 01:00:00.001 OST 120"},
        {"Old/Midnight", At(2026, 10, 24, 23), "2026-10-25 00:00:00.000 OT 60"},
    };
    for (const TRow& row : rows) {
        std::string abbreviation;
        std::int32_t minutes = 0;
        const TDateTime local = db.ZoneLocalTime(row.Zone, row.Utc, abbreviation, minutes);
        EXPECT_EQ(Text(local) + " " + abbreviation + " " + std::to_string(minutes), row.Expected)
            << row.Zone << " at " << Text(row.Utc);
    }
}

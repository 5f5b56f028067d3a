// Walks the whole shipped zone database: every place links to its own zone,
// every rule pair exists, every zone answers, and the answers agree with the
// IANA release the tables were made from over the two years after it; the
// run-time path agrees with the machine's own database.
#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"
#include "kiv/KivZoneRules.h"

#include "TimeZoneTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace kiv;

namespace {

class ShippedData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path data = CHRONARA_SHIPPED_DATA_DIR;
        for (const char* name : {"tz_colors.dat", "moreplaces.dat", "tz_data.dat", "tz_dst.dat"}) {
            if (!fs::exists(data / name)) {
                Missing = name;
                return;
            }
        }
        // The tables are named "data/..." from the program's directory: here
        // the source tree, which holds data/.
        Db = new TTimeZone;
        Db->LoadDatabase(data.parent_path().string(), 2026);
    }
    static void TearDownTestSuite() {
        delete Db;
        Db = nullptr;
    }
    void SetUp() override {
        if (Db == nullptr) {
            GTEST_SKIP() << "shipped data/" << Missing << " is not there yet";
        }
    }

    static inline TTimeZone* Db = nullptr;
    static inline std::string Missing;
};

using kivtest::TzOverride;

} // namespace

TEST_F(ShippedData, EveryPlaceLinksToTheZoneOfItsOwnName) {
    ASSERT_FALSE(Db->Places.empty());
    for (const TTimeZonePlaces& place : Db->Places) {
        const int zone = Db->ZoneIndexOfPlace(place.Index);
        const std::string& name = Db->Zones[static_cast<std::size_t>(zone)].ZoneName;
        const std::size_t slash = name.find('/');
        ASSERT_NE(slash, std::string::npos) << name;
        EXPECT_TRUE(SameText(name.substr(slash + 1), place.ZoneKey))
            << place.Name << " (" << place.ZoneKey << ") links to " << name;
        EXPECT_FALSE(Db->PlaceTitle(place.Index).empty());
    }
    for (std::size_t i = 0; i < Db->Zones.size(); ++i) {
        EXPECT_EQ(Db->Zones[i].Index, static_cast<int>(i));
        EXPECT_EQ(&Db->FindZone(Db->Zones[i].ZoneName), &Db->Zones[i]) << "zone names are unique";
    }
}

TEST_F(ShippedData, EveryRuleNameHasAStartAndAnEnd) {
    for (const TZoneData& zone : Db->Zones) {
        if (zone.RuleName == "-") {
            continue;
        }
        const auto [i, j] = Db->FindRulePair(zone.RuleName);
        const double a = Db->Rules[static_cast<std::size_t>(i)].Save;
        const double b = Db->Rules[static_cast<std::size_t>(j)].Save;
        EXPECT_TRUE((a == 0) != (b == 0)) << zone.ZoneName << ": one rule starts, one ends";
    }
}

TEST_F(ShippedData, EveryZoneAnswers) {
    for (const TZoneData& zone : Db->Zones) {
        for (TDateTime utc : {kivtest::At(2026, 1, 15), kivtest::At(2026, 7, 15)}) {
            std::string abbreviation;
            std::int32_t minutes = 0;
            const TDateTime local = Db->ZoneLocalTime(zone.ZoneName, utc, abbreviation, minutes);
            EXPECT_EQ(abbreviation.find("%s"), std::string::npos) << zone.ZoneName;
            EXPECT_FALSE(abbreviation.empty()) << zone.ZoneName;
            EXPECT_LE(std::abs(minutes), 14 * 60 + 60) << zone.ZoneName;
            EXPECT_EQ(MinuteSpanSigned(utc, local), minutes) << zone.ZoneName;
        }
    }
}

#if !defined(_WIN32) // these read the zones through the POSIX C library
namespace {

// The IANA release the shipped tables were made from, kept as text beside
// the tests, compiled with zic into a folder of the suite's own: the C
// library reads it through TZDIR, whatever release the machine has.
class ShippedRelease : public ShippedData {
protected:
    static void SetUpTestSuite() {
        ShippedData::SetUpTestSuite();
        const fs::path source = fs::path(CHRONARA_TEST_DATA_DIR) / "tzdata.zi";
        std::ifstream in(source);
        std::getline(in, KeptRelease);
        KeptRelease.erase(0, std::string_view("# version ").size());
        Folder = fs::temp_directory_path() / ("chronara-release-" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        std::ifstream text(source, std::ios::binary);
        const std::string zones{std::istreambuf_iterator<char>(text), {}};
        Compiled = !zones.empty() && kivtest::Zic(Folder, zones);
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(Folder, ec);
        ShippedData::TearDownTestSuite();
    }
    void SetUp() override {
        ShippedData::SetUp();
        if (!Compiled) {
            GTEST_SKIP() << "zic could not compile the kept release";
        }
        ASSERT_EQ(Db->ShippedRelease, KeptRelease)
            << "tests/data/tzdata.zi must be the release the tables were made from";
    }

    static inline fs::path Folder;
    static inline bool Compiled = false;
    static inline std::string KeptRelease;
};

// Points the C library at a zone folder for the life of the object.
class TzDirOverride {
public:
    explicit TzDirOverride(const fs::path& folder) {
        if (const char* old = std::getenv("TZDIR")) {
            Old = old;
        }
        ::setenv("TZDIR", folder.c_str(), 1);
    }
    ~TzDirOverride() {
        if (Old) {
            ::setenv("TZDIR", Old->c_str(), 1);
        } else {
            ::unsetenv("TZDIR");
        }
        ::tzset();
    }
    TzDirOverride(const TzDirOverride&) = delete;
    TzDirOverride& operator=(const TzDirOverride&) = delete;

private:
    std::optional<std::string> Old;
};

// Zones whose clocks in 2027 and 2028 no yearly pair of rules holds: Cuba's
// stay at -4 through the winter of 2026 until November 2027 (release 2026f).
bool Approximated(const std::string& zone) {
    return zone == "America/Havana";
}

// The C library's offset in seconds at a moment, in the zone TZ is set to.
long SystemOffset(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local.tm_gmtoff;
}

} // namespace

// For every zone and every hour of the two years after the release the
// offset agrees with the release, except within a day of a real change (the
// tables change at 00:00 standard time or at the rule's hour, the world
// sometimes at other hours). The release's own year may still hold changes of
// rules that no yearly pair can.
TEST_F(ShippedRelease, AgreesWithTheReleaseItWasMadeFrom) {
    constexpr long Hours = 2 * 8760;          // 2027 and 2028, every hour
    constexpr std::time_t Start = 1798761600; // 2027-01-01 00:00 UTC
    const TDateTime startValue = kivtest::At(2027, 1, 1);

    TzDirOverride dir(Folder);
    TzOverride tz;
    long compared = 0, agreed = 0, abbreviationsAgreed = 0, zonesChecked = 0;
    std::map<std::string, long> misses;
    std::string abbreviation;
    for (const TZoneData& zone : Db->Zones) {
        if (!fs::exists(Folder / zone.ZoneName)) {
            continue;
        }
        ++zonesChecked;
        tz.Set(":" + zone.ZoneName);
        for (long h = 0; h < Hours; ++h) {
            const std::time_t when = Start + h * 3600;
            std::tm local{};
            localtime_r(&when, &local);
            const TDateTime utc = IncHour(startValue, h);
            std::int32_t minutes = 0;
            Db->ZoneLocalTime(zone, utc, abbreviation, minutes);
            ++compared;
            if (minutes * 60L == local.tm_gmtoff) {
                ++agreed;
                abbreviationsAgreed +=
                    local.tm_zone != nullptr && abbreviation == local.tm_zone ? 1 : 0;
            } else {
                ++misses[zone.ZoneName];
            }
        }
    }
    const double share = compared > 0 ? 100.0 * static_cast<double>(agreed) / compared : 0.0;
    std::cout << "release " << KeptRelease << ": zones checked " << zonesChecked << " of "
              << Db->Zones.size() << "; zone-hours " << agreed << " of " << compared << " agree ("
              << share << " %), abbreviations " << abbreviationsAgreed << " of those\n";
    for (const auto& [name, count] : misses) {
        std::cout << "  " << name << ": " << count << " hours differ\n";
    }
    EXPECT_EQ(zonesChecked, static_cast<long>(Db->Zones.size())) << "the release has every zone";
    EXPECT_GE(share, 99.9);
    // Every other zone agrees at every hour.
    for (const auto& [name, count] : misses) {
        EXPECT_TRUE(Approximated(name)) << name << ": " << count << " hours differ";
    }
    EXPECT_GE(abbreviationsAgreed * 1000, agreed * 995)
        << "where the offset agrees, so does the name";
}

TEST_F(ShippedRelease, NextClockChangeAgreesWithTheReleaseItWasMadeFrom) {
    TzDirOverride dir(Folder);
    TzOverride tz;
    // Moments on both sides of the changes of both hemispheres, the turn of
    // the year included; UTC seconds and the same as a date-time.
    const std::vector<std::pair<std::time_t, TDateTime>> moments = {
        {1798761600, kivtest::At(2027, 1, 1)},     {1806195540, kivtest::At(2027, 3, 28, 0, 59)},
        {1806195600, kivtest::At(2027, 3, 28, 1)}, {1806796800, kivtest::At(2027, 4, 4)},
        {1815609600, kivtest::At(2027, 7, 15)},    {1824944400, kivtest::At(2027, 10, 31, 1)},
        {1830211200, kivtest::At(2027, 12, 31)},   {1830297540, kivtest::At(2027, 12, 31, 23, 59)},
    };
    long checked = 0;
    for (const TZoneData& zone : Db->Zones) {
        if (!fs::exists(Folder / zone.ZoneName) || Approximated(zone.ZoneName)) {
            continue;
        }
        TClockChange change;
        if (zone.RuleName == "-") {
            // One offset all year: the hour-by-hour check shows the release agrees.
            EXPECT_FALSE(Db->NextClockChange(zone, moments.front().second, change));
            continue;
        }
        tz.Set(":" + zone.ZoneName);
        // The release's offsets by the hour from the first moment on for two
        // years, from which each moment's next change is narrowed down to the
        // second.
        const std::time_t first = moments.front().first;
        std::vector<long> hourly(2 * 366 * 24 + 1);
        for (std::size_t k = 0; k < hourly.size(); ++k) {
            hourly[k] = SystemOffset(first + static_cast<std::time_t>(k) * 3600);
        }
        for (const auto& [seconds, utc] : moments) {
            ASSERT_TRUE(Db->NextClockChange(zone, utc, change))
                << zone.ZoneName << " at " << kivtest::Text(utc);
            const long now = SystemOffset(seconds);
            std::size_t k = static_cast<std::size_t>((seconds - first) / 3600) + 1;
            while (k < hourly.size() && hourly[k] == now) {
                ++k;
            }
            ASSERT_LT(k, hourly.size()) << zone.ZoneName << " changes within a year";
            std::time_t later = first + static_cast<std::time_t>(k) * 3600;
            std::time_t low = std::max(seconds, later - 3600); // same offset as now
            while (later - low > 1) {
                const std::time_t mid = low + (later - low) / 2;
                (SystemOffset(mid) == now ? low : later) = mid;
            }
            ++checked;
            const TDateTime expected = IncMinute(utc, (later - seconds) / 60);
            EXPECT_EQ(kivtest::Text(change.Utc), kivtest::Text(expected))
                << zone.ZoneName << " after " << kivtest::Text(utc);
            EXPECT_EQ(change.MinutesBefore * 60L, now) << zone.ZoneName;
            EXPECT_EQ(change.MinutesAfter * 60L, SystemOffset(later)) << zone.ZoneName;
        }
    }
    EXPECT_GT(checked, 500);
}

// The run-time path against the machine's own database, read by the C
// library: every zone of the tables, every seventh hour of 2026 to 2028 and
// the minutes on both sides of every change of those years, exact to the
// minute. Both read the same files, so this holds for any release.
TEST_F(ShippedData, RunTimeRulesAgreeWithTheMachinesDatabase) {
    const fs::path zoneinfo = "/usr/share/zoneinfo";
    if (!TZoneRules::Supported() || !fs::exists(zoneinfo / "Europe/Berlin")) {
        GTEST_SKIP() << "no machine zone database, or a build that reads none";
    }
    TTimeZone db = *Db;
    db.RunTimeRules = std::make_shared<TZoneRules>(zoneinfo.string());
    TzDirOverride dir(zoneinfo);
    TzOverride tz;
    constexpr std::time_t Start = 1767225600; // 2026-01-01 00:00 UTC
    constexpr std::time_t End = 1861920000;   // 2029-01-01 00:00 UTC
    const TDateTime startValue = kivtest::At(2026, 1, 1);
    const auto value = [&](std::time_t when) { return IncMinute(startValue, (when - Start) / 60); };
    long zones = 0, changes = 0;
    std::string abbreviation;
    for (const TZoneData& zone : db.Zones) {
        if (!fs::exists(zoneinfo / zone.ZoneName)) {
            continue;
        }
        ++zones;
        tz.Set(":" + zone.ZoneName);
        const auto expectAgreement = [&](std::time_t when) {
            std::tm local{};
            localtime_r(&when, &local);
            std::int32_t minutes = 0;
            db.ZoneLocalTime(zone, value(when), abbreviation, minutes);
            EXPECT_EQ(minutes * 60L, local.tm_gmtoff) << zone.ZoneName << " at " << when;
            EXPECT_EQ(abbreviation, local.tm_zone) << zone.ZoneName << " at " << when;
        };
        for (std::time_t when = Start; when < End; when += 7 * 3600) {
            expectAgreement(when);
        }
        TClockChange change;
        for (TDateTime at = startValue; db.NextClockChange(zone, at, change);) {
            const std::time_t moment =
                Start +
                static_cast<std::time_t>(std::llround(MinuteSpanSigned(startValue, change.Utc))) *
                    60;
            if (moment >= End) {
                break;
            }
            ++changes;
            EXPECT_EQ(SystemOffset(moment - 60), change.MinutesBefore * 60L) << zone.ZoneName;
            EXPECT_EQ(SystemOffset(moment), change.MinutesAfter * 60L) << zone.ZoneName;
            expectAgreement(moment - 60);
            expectAgreement(moment);
            at = change.Utc;
        }
    }
    // An older machine may lack a zone made since.
    EXPECT_GE(zones * 100, static_cast<long>(db.Zones.size()) * 95);
    EXPECT_GT(changes, 300);
}
#endif // !_WIN32

TEST_F(ShippedData, NextClockChangeReadsAsPeopleSayIt) {
    struct TRow {
        const char* Zone;
        TDateTime Utc;
        const char* Expected; // local time of the change, minutes before and after
    };
    const TRow rows[] = {
        {"Europe/Paris", kivtest::At(2026, 7, 1), "2026-10-25 03:00:00.000 120 60 CET"},
        {"Europe/Paris", kivtest::At(2026, 12, 1), "2027-03-28 02:00:00.000 60 120 CEST"},
        {"America/New_York", kivtest::At(2026, 7, 1), "2026-11-01 02:00:00.000 -240 -300 EST"},
        {"Australia/Sydney", kivtest::At(2026, 12, 31, 23), "2027-04-04 03:00:00.000 660 600 AEST"},
        {"America/Santiago", kivtest::At(2026, 6, 1), "2026-09-06 00:00:00.000 -240 -180 -03"},
        {"Australia/Lord_Howe", kivtest::At(2026, 6, 1), "2026-10-04 02:00:00.000 630 660 +11"},
        {"America/St_Johns", kivtest::At(2026, 1, 1), "2026-03-08 02:00:00.000 -210 -150 NDT"},
    };
    for (const TRow& row : rows) {
        TClockChange change;
        ASSERT_TRUE(Db->NextClockChange(Db->FindZone(row.Zone), row.Utc, change)) << row.Zone;
        EXPECT_EQ(kivtest::Text(change.LocalBefore) + " " + std::to_string(change.MinutesBefore) +
                      " " + std::to_string(change.MinutesAfter) + " " + change.AbbreviationAfter,
                  row.Expected)
            << row.Zone;
    }
    TClockChange change;
    EXPECT_FALSE(
        Db->NextClockChange(Db->FindZone("Asia/Kolkata"), kivtest::At(2026, 1, 1), change));
}

// Walks the whole shipped zone database: every place links to its own zone,
// every rule pair exists, every zone answers, and the answers agree with the
// system's time-zone database over two whole years.
#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"

#include "TimeZoneTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

// For every zone and every hour of 2026 and 2027 the offset agrees with the
// system's zone database, except within a day of a real change (the model
// changes at 00:00 standard time, the world at other hours).
TEST_F(ShippedData, AgreesWithTheSystemZoneDatabase) {
    const fs::path zoneinfo = "/usr/share/zoneinfo";
    if (!fs::exists(zoneinfo / "Europe/Berlin")) {
        GTEST_SKIP() << "no system time-zone database";
    }
    constexpr long Hours = 2 * 8760;          // 2026 and 2027
    constexpr long Margin = 24;               // hours excluded on each side of a change
    constexpr std::time_t Start = 1767225600; // 2026-01-01 00:00 UTC
    const TDateTime startValue = kivtest::At(2026, 1, 1);

    TzOverride tz;
    long compared = 0, agreed = 0, abbreviationsAgreed = 0, zonesChecked = 0;
    std::map<std::string, long> misses;
    std::vector<long> offsets(Hours + 2 * Margin + 1);
    std::vector<const char*> abbreviations(offsets.size()); // valid until the next tzset
    std::vector<bool> nearChange(Hours);
    std::string abbreviation;
    for (const TZoneData& zone : Db->Zones) {
        if (!fs::exists(zoneinfo / zone.ZoneName)) {
            continue;
        }
        ++zonesChecked;
        tz.Set(":" + zone.ZoneName);
        for (long k = 0; k < static_cast<long>(offsets.size()); ++k) {
            const std::time_t when = Start + (k - Margin) * 3600;
            std::tm local{};
            localtime_r(&when, &local);
            offsets[static_cast<std::size_t>(k)] = local.tm_gmtoff;
            abbreviations[static_cast<std::size_t>(k)] = local.tm_zone;
        }
        std::fill(nearChange.begin(), nearChange.end(), false);
        for (long k = 1; k < static_cast<long>(offsets.size()); ++k) {
            if (offsets[static_cast<std::size_t>(k)] != offsets[static_cast<std::size_t>(k - 1)]) {
                // A change between hour k-1 and k (counted from Start - Margin).
                const long at = k - Margin;
                for (long h = std::max(0L, at - Margin); h < std::min(Hours, at + Margin); ++h) {
                    nearChange[static_cast<std::size_t>(h)] = true;
                }
            }
        }
        for (long h = 0; h < Hours; ++h) {
            if (nearChange[static_cast<std::size_t>(h)]) {
                continue;
            }
            const TDateTime utc = IncHour(startValue, h);
            std::int32_t minutes = 0;
            Db->ZoneLocalTime(zone, utc, abbreviation, minutes);
            const long expected = offsets[static_cast<std::size_t>(h + Margin)];
            ++compared;
            if (minutes * 60L == expected) {
                ++agreed;
                const char* system = abbreviations[static_cast<std::size_t>(h + Margin)];
                abbreviationsAgreed += system != nullptr && abbreviation == system ? 1 : 0;
            } else {
                ++misses[zone.ZoneName];
            }
        }
    }
    const double share = compared > 0 ? 100.0 * static_cast<double>(agreed) / compared : 0.0;
    std::cout << "zones checked " << zonesChecked << " of " << Db->Zones.size() << "; zone-hours "
              << agreed << " of " << compared << " agree (" << share << " %), abbreviations "
              << abbreviationsAgreed << " of those\n";
    for (const auto& [name, count] : misses) {
        std::cout << "  " << name << ": " << count << " hours differ\n";
    }
    EXPECT_GE(zonesChecked * 100, static_cast<long>(Db->Zones.size()) * 95);
    EXPECT_GE(share, 99.5);
    EXPECT_GE(abbreviationsAgreed * 1000, agreed * 995)
        << "where the offset agrees, so does the name";
}

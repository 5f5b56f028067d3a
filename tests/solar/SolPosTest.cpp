// Tests of the solar position library through its C interface: the record's
// byte layout, accuracy against a reference ephemeris table, the polar days,
// the defaults and the refusal of bad inputs.
#include "solar/SolPos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

TPosData MakeRecord(int year, int month, int day, int hour, int minute, int second, double timezone,
                    double latitude, double longitude, int function = S_EVERYTHING) {
    TPosData r;
    EXPECT_EQ(_S_init(&r), S_OK);
    r.year = year;
    r.month = month;
    r.day = day;
    r.hour = hour;
    r.minute = minute;
    r.second = second;
    r.timezone = timezone;
    r.latitude = latitude;
    r.longitude = longitude;
    r.function = function;
    return r;
}

// All 46 doubles of the record, for checks that cover every output.
std::vector<double> Doubles(const TPosData& r) {
    std::vector<double> v(46);
    std::memcpy(v.data(), &r.amass, sizeof(double) * v.size());
    return v;
}

bool Polar(double sretr, double ssetr) {
    return std::fabs(sretr) > 2000.0 && std::fabs(ssetr) > 2000.0;
}

// ---- Layout ----------------------------------------------------------------

TEST(SolPosLayout, FieldsSitAtTheirByteOffsets) {
    static_assert(sizeof(TPosData) == 408);
    static_assert(offsetof(TPosData, daynum) == 4 && offsetof(TPosData, interval) == 16);
    static_assert(offsetof(TPosData, padding_) == 36 && offsetof(TPosData, zenref) == 400);

    // Drive the library the way a caller that only knows the offsets does.
    alignas(8) unsigned char raw[408];
    ASSERT_EQ(_S_init(reinterpret_cast<TPosData*>(raw)), S_OK);
    const auto put32 = [&](std::size_t at, int32_t v) { std::memcpy(raw + at, &v, 4); };
    const auto put64 = [&](std::size_t at, double v) { std::memcpy(raw + at, &v, 8); };
    const auto get64 = [&](std::size_t at) {
        double v;
        std::memcpy(&v, raw + at, 8);
        return v;
    };
    put32(0, 21);      // day
    put32(8, 65534);   // function
    put32(12, 12);     // hour
    put32(20, 0);      // minute
    put32(24, 6);      // month
    put32(28, 0);      // second
    put32(32, 2024);   // year
    put64(208, 23.44); // latitude
    put64(216, 0.0);   // longitude
    put64(352, 0.0);   // timezone
    ASSERT_EQ(_S_solpos(reinterpret_cast<TPosData*>(raw)), S_OK);
    EXPECT_LT(get64(392), 0.5);                // zenetr: sun almost overhead
    EXPECT_NEAR(get64(320), 6 * 60 - 38, 10);  // sretr about 05:22
    EXPECT_NEAR(get64(328), 18 * 60 + 42, 10); // ssetr about 18:42
}

// ---- Reference table ---------------------------------------------------------

struct TRefRow {
    std::string label, kind;
    int year, month, day, hour, minute, second;
    double timezone, latitude, longitude, zenetr, sretr, ssetr;
};

std::vector<TRefRow> LoadReference() {
    std::ifstream in(CHRONARA_TEST_DATA_DIR "/solpos_reference.csv");
    std::vector<TRefRow> rows;
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ',')) {
            f.push_back(cell);
        }
        f.resize(14);
        TRefRow r;
        r.label = f[0];
        r.year = std::stoi(f[1]);
        r.month = std::stoi(f[2]);
        r.day = std::stoi(f[3]);
        r.hour = std::stoi(f[4]);
        r.minute = std::stoi(f[5]);
        r.second = std::stoi(f[6]);
        r.timezone = std::stod(f[7]);
        r.latitude = std::stod(f[8]);
        r.longitude = std::stod(f[9]);
        r.kind = f[10];
        r.zenetr = std::stod(f[11]);
        r.sretr = f[12].empty() ? NAN : std::stod(f[12]);
        r.ssetr = f[13].empty() ? NAN : std::stod(f[13]);
        rows.push_back(r);
    }
    return rows;
}

TEST(SolPosReference, MatchesTheEphemerisTable) {
    const std::vector<TRefRow> rows = LoadReference();
    ASSERT_GE(rows.size(), 400u) << "reference table missing or short";
    double maxZen = 0.0, maxEvent = 0.0, maxHighEvent = 0.0;
    int polarRows = 0, eventRows = 0;
    for (const TRefRow& row : rows) {
        SCOPED_TRACE(row.label);
        TPosData r = MakeRecord(row.year, row.month, row.day, row.hour, row.minute, row.second,
                                row.timezone, row.latitude, row.longitude);
        ASSERT_EQ(_S_solpos(&r), S_OK);
        EXPECT_NEAR(r.zenetr, row.zenetr, 0.01);
        maxZen = std::max(maxZen, std::fabs(r.zenetr - row.zenetr));

        // The shadow map's cheap call gives the same zenith angle.
        TPosData quick = MakeRecord(row.year, row.month, row.day, row.hour, row.minute, row.second,
                                    row.timezone, row.latitude, row.longitude, S_ZENITH_ONLY);
        ASSERT_EQ(_S_solpos(&quick), S_OK);
        EXPECT_EQ(quick.zenetr, r.zenetr);

        if (row.kind == "srss") {
            ++eventRows;
            // Up to 60 degrees the events are held to 2 minutes; above, where the
            // sun crosses the horizon at a grazing angle, to 5.
            const bool high = std::fabs(row.latitude) > 60.0;
            const double tol = high ? 5.0 : 2.0;
            EXPECT_NEAR(r.sretr, row.sretr, tol);
            EXPECT_NEAR(r.ssetr, row.ssetr, tol);
            const double err =
                std::max(std::fabs(r.sretr - row.sretr), std::fabs(r.ssetr - row.ssetr));
            double& worst = high ? maxHighEvent : maxEvent;
            worst = std::max(worst, err);
        } else if (row.kind == "midnight_sun") {
            ++polarRows;
            EXPECT_LT(r.sretr, -2000.0);
            EXPECT_GT(r.ssetr, 2000.0);
        } else if (row.kind == "polar_night") {
            ++polarRows;
            EXPECT_GT(r.sretr, 2000.0);
            EXPECT_LT(r.ssetr, -2000.0);
        }
    }
    EXPECT_GE(eventRows, 100);
    EXPECT_GE(polarRows, 20);
    std::printf("[ info ] max zenith error %.5f deg; max sunrise/sunset error %.3f min "
                "(|lat| <= 60), %.3f min (above)\n",
                maxZen, maxEvent, maxHighEvent);
}

// ---- Sunrise, sunset and the polar days --------------------------------------

TEST(SolPosSunrise, PolarDaysLieOnTheirSideOfTheLimit) {
    // Same date, opposite hemispheres: one has the midnight sun, the other the
    // polar night, and the signs say which.
    TPosData north = MakeRecord(2030, 6, 21, 12, 0, 0, 1, 78.2, 15.6); // Svalbard
    TPosData south = MakeRecord(2030, 6, 21, 12, 0, 0, 1, -78.2, 15.6);
    ASSERT_EQ(_S_solpos(&north), S_OK);
    ASSERT_EQ(_S_solpos(&south), S_OK);
    EXPECT_EQ(north.sretr, -S_NO_EVENT);
    EXPECT_EQ(north.ssetr, S_NO_EVENT);
    EXPECT_EQ(south.sretr, S_NO_EVENT);
    EXPECT_EQ(south.ssetr, -S_NO_EVENT);
    EXPECT_EQ(north.ssha, 180.0);
    EXPECT_EQ(south.ssha, 0.0);
}

TEST(SolPosSunrise, EveryDayAtEveryLatitudeIsConsistent) {
    // Whatever the latitude and day, either both events are real, in order and
    // inside -2000..2000, or both are polar with opposite signs that agree with
    // the sun's height at local noon.
    for (double lat = -90.0; lat <= 90.0; lat += 7.5) {
        for (int doy = 1; doy <= 365; doy += 4) {
            TPosData r = MakeRecord(2025, 1, 1, 12, 0, 0, 0, lat, 0.0);
            r.function = S_EVERYTHING | S_DOY;
            r.daynum = doy;
            ASSERT_EQ(_S_solpos(&r), S_OK);
            SCOPED_TRACE(testing::Message() << "lat " << lat << " day " << doy);
            if (Polar(r.sretr, r.ssetr)) {
                EXPECT_EQ(r.sretr, -r.ssetr);
                if (r.ssetr > 0) {
                    EXPECT_LT(r.zenetr, 90.5); // midnight sun: up at noon
                } else {
                    EXPECT_GT(r.zenetr, 89.5); // polar night: down at noon
                }
            } else {
                EXPECT_GT(r.sretr, -2000.0);
                EXPECT_LT(r.ssetr, 2000.0);
                EXPECT_LT(r.sretr, r.ssetr);
                EXPECT_LE(r.ssetr - r.sretr, 1440.0 + 5.0);
            }
        }
    }
}

TEST(SolPosSunrise, ZonesFarFromTheLongitudeStayInsideTheLimit) {
    // The map asks for any point with the machine's own zone. Events may then
    // fall before midnight or after the next one, but real days never cross
    // the +-2000 limit that marks polar days, and the day keeps its length.
    for (double lat : {-64.0, -30.0, 0.0, 45.0, 64.0}) {
        for (double lon = -180.0; lon <= 180.0; lon += 15.0) {
            TPosData own = MakeRecord(2031, 6, 20, 3, 0, 0, std::round(lon / 15.0), lat, lon);
            ASSERT_EQ(_S_solpos(&own), S_OK);
            for (double tz : {-12.0, -5.0, 0.0, 9.5, 14.0}) {
                TPosData r = MakeRecord(2031, 6, 20, 3, 0, 0, tz, lat, lon);
                ASSERT_EQ(_S_solpos(&r), S_OK);
                SCOPED_TRACE(testing::Message() << "tz " << tz << " lon " << lon << " lat " << lat);
                ASSERT_FALSE(Polar(r.sretr, r.ssetr));
                EXPECT_GE(r.sretr, -2000.0);
                EXPECT_LE(r.ssetr, 2000.0);
                EXPECT_NEAR(r.ssetr - r.sretr, own.ssetr - own.sretr, 2.0);
                // The same moments, counted from another midnight.
                const double shift = (tz - own.timezone) * 60.0;
                EXPECT_NEAR(std::remainder(r.sretr - own.sretr - shift, 1440.0), 0.0, 2.0);
            }
        }
    }
}

// ---- Other outputs -------------------------------------------------------------

TEST(SolPosOutputs, MatchesPublishedHighPrecisionValues) {
    // Golden, Colorado, 2003-10-17 12:30:30 at UTC-7, 820 mb and 11 C: a moment
    // whose sun has been published to a thousandth of a degree.
    TPosData r = MakeRecord(2003, 10, 17, 12, 30, 30, -7, 39.742476, -105.1786);
    r.press = 820.0;
    r.temp = 11.0;
    r.tilt = 30.0;
    r.aspect = 180.0;
    ASSERT_EQ(_S_solpos(&r), S_OK);
    EXPECT_EQ(r.daynum, 290);
    EXPECT_NEAR(r.julday, 2452930.312847, 1e-6);
    EXPECT_NEAR(r.eclong, 204.00855, 0.002);
    EXPECT_NEAR(r.declin, -9.31434, 0.002);
    EXPECT_NEAR(r.rascen, 202.22741, 0.002);
    EXPECT_NEAR(r.erv, 1.0 / (0.9965423 * 0.9965423), 5e-5);
    EXPECT_NEAR(r.eqntim, 14.6415, 0.02);
    EXPECT_NEAR(r.zenref, 50.11162, 0.003);
    EXPECT_NEAR(r.azim, 194.34024, 0.003);

    // Plausibility of what builds on the position.
    EXPECT_GT(r.cosinc, r.coszen);       // a south-facing tilt sees more of an autumn sun
    EXPECT_GT(r.amass, 0.99 / r.coszen); // a little under the flat-layer value
    EXPECT_LT(r.amass, 1.0 / r.coszen);
    EXPECT_LT(r.ampress, r.amass); // thin air at 820 mb
    EXPECT_GT(r.prime, 1.0);
    EXPECT_GT(r.sbcf, 1.04);
    EXPECT_LT(r.sbcf, 1.4);
    EXPECT_GT(r.etrtilt, r.etr);
    EXPECT_NEAR(r.hrang, (r.tst - 720.0) / 4.0, 1e-9); // true solar time and hour angle agree
}

TEST(SolPosOutputs, SolarNoonAndTheHorizon) {
    // At true solar noon the sun is due south of a northern place, the hour
    // angle is 0 and true solar time is 12:00.
    TPosData r = MakeRecord(2010, 3, 1, 12, 0, 0, 0, 50.0, 0.0);
    ASSERT_EQ(_S_solpos(&r), S_OK);
    const double noonMinutes = 720.0 - r.tstfix;
    r.hour = static_cast<int>(noonMinutes / 60);
    r.minute = static_cast<int>(noonMinutes) % 60;
    r.second = static_cast<int>((noonMinutes - std::floor(noonMinutes)) * 60);
    ASSERT_EQ(_S_solpos(&r), S_OK);
    EXPECT_NEAR(r.hrang, 0.0, 0.02);
    EXPECT_NEAR(r.tst, 720.0, 0.1);
    EXPECT_NEAR(r.azim, 180.0, 0.05);
    EXPECT_NEAR(r.zenetr, 50.0 - r.declin, 0.003); // parallax adds up to 0.0024
    EXPECT_NEAR((r.sretr + r.ssetr) / 2, noonMinutes, 0.5);
    EXPECT_NEAR((r.ssetr - r.sretr) / 8.0, r.ssha, 0.1); // 4 minutes per degree, both halves

    // At sunset the geometric zenith is 90; refraction of about 29' at a true
    // altitude of 0 still shows the sun, through an air mass of about 32.
    const double set = r.ssetr;
    r.hour = static_cast<int>(set / 60);
    r.minute = static_cast<int>(set) % 60;
    r.second = static_cast<int>((set - std::floor(set)) * 60);
    ASSERT_EQ(_S_solpos(&r), S_OK);
    EXPECT_NEAR(r.zenetr, 90.0, 0.01);
    EXPECT_NEAR(r.zenref, 90.0 - 0.48, 0.03);
    EXPECT_NEAR(r.amass, 32.0, 2.0);
    EXPECT_GT(r.etr, 0.0);

    // Well below the horizon: no air mass, no irradiance, no refraction.
    r.hour = 23;
    ASSERT_EQ(_S_solpos(&r), S_OK);
    EXPECT_GT(r.zenetr, 100.0);
    EXPECT_EQ(r.zenref, r.zenetr);
    EXPECT_EQ(r.amass, -1.0);
    EXPECT_EQ(r.etr, 0.0);
    EXPECT_EQ(r.etrn, 0.0);
    EXPECT_EQ(r.etrtilt, 0.0);
    EXPECT_EQ(r.prime, 1.0);
}

TEST(SolPosOutputs, IntervalMeansTheMiddleOfThePeriod) {
    TPosData end = MakeRecord(2044, 8, 8, 12, 0, 0, 2, 48.0, 11.0);
    end.interval = 3600;
    TPosData mid = MakeRecord(2044, 8, 8, 11, 30, 0, 2, 48.0, 11.0);
    ASSERT_EQ(_S_solpos(&end), S_OK);
    ASSERT_EQ(_S_solpos(&mid), S_OK);
    EXPECT_DOUBLE_EQ(end.zenetr, mid.zenetr);
    EXPECT_DOUBLE_EQ(end.tst, mid.tst);
    EXPECT_NEAR(end.sretr, mid.sretr, 0.01); // the day's events do not move
}

TEST(SolPosOutputs, DayOfYearAndMonthDayAgree) {
    TPosData byMonth = MakeRecord(2024, 12, 31, 6, 7, 8, -3.5, -33.0, -70.0);
    TPosData byDoy = MakeRecord(2024, 1, 1, 6, 7, 8, -3.5, -33.0, -70.0, S_EVERYTHING | S_DOY);
    byDoy.daynum = 366;
    ASSERT_EQ(_S_solpos(&byMonth), S_OK);
    ASSERT_EQ(_S_solpos(&byDoy), S_OK);
    EXPECT_EQ(byMonth.daynum, 366);
    EXPECT_EQ(byDoy.month, 12);
    EXPECT_EQ(byDoy.day, 31);
    EXPECT_EQ(Doubles(byMonth), Doubles(byDoy));
}

TEST(SolPosOutputs, OnlyAskedOutputsAreWritten) {
    TPosData r = MakeRecord(2020, 2, 2, 2, 2, 2, 0, 10.0, 20.0, S_ZENITH_ONLY);
    r.sretr = r.ssetr = r.azim = r.amass = r.etr = r.tst = r.sbcf = 12345.0;
    ASSERT_EQ(_S_solpos(&r), S_OK);
    EXPECT_NE(r.zenetr, 0.0);
    EXPECT_NE(r.declin, 0.0);
    for (double v : {r.sretr, r.ssetr, r.azim, r.amass, r.etr, r.tst, r.sbcf}) {
        EXPECT_EQ(v, 12345.0);
    }
    // A mask with nothing to compute succeeds and changes nothing.
    r.function = 0;
    r.month = 13; // not even looked at
    const TPosData before = r;
    EXPECT_EQ(_S_solpos(&r), S_OK);
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
}

TEST(SolPosOutputs, NoOutputIsEverNotANumber) {
    // Extremes of every input the program sets, with all outputs asked for.
    for (double lat : {-90.0, -89.9, -66.5, 0.0, 45.0, 89.9, 90.0}) {
        for (double lon : {-180.0, -0.001, 0.0, 179.999, 180.0}) {
            for (double tz : {-18.0, -12.0, 0.0, 5.75, 14.0, 18.0}) {
                for (int year : {int{S_YEAR_FIRST}, 1950, 2100, int{S_YEAR_LAST}}) {
                    for (int hour : {0, 12, 24}) {
                        TPosData r = MakeRecord(year, hour == 24 ? 12 : 3, hour == 24 ? 31 : 20,
                                                hour, 0, 0, tz, lat, lon);
                        r.interval = hour == 0 ? 28800 : 0;
                        r.tilt = 90.0;
                        ASSERT_EQ(_S_solpos(&r), S_OK);
                        for (double v : Doubles(r)) {
                            ASSERT_TRUE(std::isfinite(v))
                                << "lat " << lat << " lon " << lon << " tz " << tz << " year "
                                << year << " hour " << hour;
                        }
                    }
                }
            }
        }
    }
}

// ---- Defaults ------------------------------------------------------------------

TEST(SolPosInit, GivesEveryInputASensibleDefault) {
    TPosData r;
    std::memset(&r, 0xAB, sizeof r);
    ASSERT_EQ(_S_init(&r), S_OK);
    EXPECT_EQ(r.function, S_EVERYTHING);
    EXPECT_EQ(r.interval, 0);
    EXPECT_EQ(r.padding_, 0);
    EXPECT_EQ(r.press, 1013.0);
    EXPECT_EQ(r.temp, 15.0);
    EXPECT_EQ(r.solcon, 1367.0);
    EXPECT_EQ(r.tilt, 0.0);
    EXPECT_EQ(r.aspect, 180.0);
    EXPECT_EQ(r.timezone, 0.0);
    EXPECT_EQ(r.sbwid, 7.6);
    EXPECT_EQ(r.sbrad, 31.7);
    EXPECT_EQ(r.sbsky, 0.04);
    for (double v : Doubles(r)) {
        EXPECT_TRUE(std::isfinite(v));
    }
    // The defaults alone form a valid request.
    EXPECT_EQ(_S_solpos(&r), S_OK);
    // With no tilt the plane is horizontal: incidence equals the zenith.
    EXPECT_NEAR(r.cosinc, r.coszen, 1e-10);
    EXPECT_EQ(_S_init(nullptr), S_ERR_RECORD);
    EXPECT_EQ(_S_solpos(nullptr), S_ERR_RECORD);
}

// ---- Bad inputs ------------------------------------------------------------------

struct TBadInput {
    const char* name;
    std::function<void(TPosData&)> spoil;
    int32_t code;
};

TEST(SolPosErrors, BadInputsAreNamedAndChangeNothing) {
    const double nan = std::nan("");
    const std::vector<TBadInput> cases = {
        {"function negative", [](TPosData& r) { r.function = -1; }, S_ERR_FUNCTION},
        {"function too wide", [](TPosData& r) { r.function = 0x10006; }, S_ERR_FUNCTION},
        {"year early", [](TPosData& r) { r.year = S_YEAR_FIRST - 1; }, S_ERR_YEAR},
        {"year late", [](TPosData& r) { r.year = S_YEAR_LAST + 1; }, S_ERR_YEAR},
        {"month 0", [](TPosData& r) { r.month = 0; }, S_ERR_MONTH},
        {"month 13", [](TPosData& r) { r.month = 13; }, S_ERR_MONTH},
        {"day 0", [](TPosData& r) { r.day = 0; }, S_ERR_DAY},
        {"day 32", [](TPosData& r) { r.day = 32; }, S_ERR_DAY},
        {"April 31", [](TPosData& r) { r.month = 4, r.day = 31; }, S_ERR_DAY},
        {"February 29, 2023", [](TPosData& r) { r.year = 2023, r.month = 2, r.day = 29; },
         S_ERR_DAY},
        {"February 29, 2100", [](TPosData& r) { r.year = 2100, r.month = 2, r.day = 29; },
         S_ERR_DAY},
        {"daynum 366 in 2023",
         [](TPosData& r) { r.year = 2023, r.function |= S_DOY, r.daynum = 366; }, S_ERR_DAYNUM},
        {"daynum 0", [](TPosData& r) { r.function |= S_DOY, r.daynum = 0; }, S_ERR_DAYNUM},
        {"hour -1", [](TPosData& r) { r.hour = -1; }, S_ERR_HOUR},
        {"hour 25", [](TPosData& r) { r.hour = 25; }, S_ERR_HOUR},
        {"24:00:01", [](TPosData& r) { r.hour = 24, r.second = 1; }, S_ERR_HOUR},
        {"minute 60", [](TPosData& r) { r.minute = 60; }, S_ERR_MINUTE},
        {"second 60", [](TPosData& r) { r.second = 60; }, S_ERR_SECOND},
        {"interval negative", [](TPosData& r) { r.interval = -60; }, S_ERR_INTERVAL},
        {"timezone 18.5", [](TPosData& r) { r.timezone = 18.5; }, S_ERR_TIMEZONE},
        {"timezone NaN", [nan](TPosData& r) { r.timezone = nan; }, S_ERR_TIMEZONE},
        {"latitude 95", [](TPosData& r) { r.latitude = 95.0; }, S_ERR_LATITUDE},
        {"latitude NaN", [nan](TPosData& r) { r.latitude = nan; }, S_ERR_LATITUDE},
        {"longitude 200", [](TPosData& r) { r.longitude = 200.0; }, S_ERR_LONGITUDE},
        {"longitude -inf", [](TPosData& r) { r.longitude = -INFINITY; }, S_ERR_LONGITUDE},
        {"pressure NaN", [nan](TPosData& r) { r.press = nan; }, S_ERR_PRESS},
        {"temperature 150", [](TPosData& r) { r.temp = 150.0; }, S_ERR_TEMP},
        {"tilt NaN", [nan](TPosData& r) { r.tilt = nan; }, S_ERR_TILT},
        {"aspect 400", [](TPosData& r) { r.aspect = 400.0; }, S_ERR_ASPECT},
        {"solar constant 0", [](TPosData& r) { r.solcon = 0.0; }, S_ERR_SOLCON},
        {"band as wide as half its radius", [](TPosData& r) { r.sbwid = 20.0; }, S_ERR_SBWID},
        {"band radius 0", [](TPosData& r) { r.sbrad = 0.0; }, S_ERR_SBRAD},
        {"band sky NaN", [nan](TPosData& r) { r.sbsky = nan; }, S_ERR_SBSKY},
    };
    for (const TBadInput& c : cases) {
        SCOPED_TRACE(c.name);
        TPosData r = MakeRecord(2022, 7, 15, 14, 0, 0, 2, 52.0, 13.0);
        ASSERT_EQ(_S_solpos(&r), S_OK); // outputs now hold a valid result
        c.spoil(r);
        unsigned char before[sizeof r];
        std::memcpy(before, &r, sizeof r);
        EXPECT_EQ(_S_solpos(&r), c.code);
        EXPECT_EQ(std::memcmp(before, &r, sizeof r), 0);
    }
}

TEST(SolPosErrors, InputsOutsideTheMaskAreNotChecked) {
    // The zenith-only call of the shadow map never looks at the atmosphere,
    // the plane or the shadow band.
    TPosData r = MakeRecord(2022, 7, 15, 14, 0, 0, 2, 52.0, 13.0, S_ZENITH_ONLY);
    r.press = std::nan("");
    r.tilt = 1000.0;
    r.sbwid = -1.0;
    r.solcon = 0.0;
    EXPECT_EQ(_S_solpos(&r), S_OK);
    // The first bad input is the one reported.
    r.month = 13;
    r.latitude = 95.0;
    EXPECT_EQ(_S_solpos(&r), S_ERR_MONTH);
}

} // namespace

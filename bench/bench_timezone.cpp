// The zone engine's hot paths: the per-second local-time query, the
// nearest-place search of every mouse move, and loading the database.
//
// Runs on the shipped tables when data/ holds all four (copied to a temporary
// folder first, so nothing is rebuilt inside the source tree), otherwise on a
// made-up database of the shipped size (420 zones, 5,000 places).
#include "kiv/KivStream.h"
#include "kiv/KivTimeZone.h"
#include "kiv/KivZoneRules.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace fs = std::filesystem;
using namespace kiv;

namespace {

const char* const TableNames[] = {"tz_colors.dat", "moreplaces.dat", "tz_data.dat", "tz_dst.dat"};

void WriteTable(const fs::path& file, const std::string& text) {
    TMemoryStream stream;
    stream.Assign(text);
    SaveFileStream(stream, file.string(), klMax);
}

// A database shaped like the shipped one.
void WriteSynthetic(const fs::path& data) {
    std::mt19937 random(42);
    std::uniform_real_distribution<double> lat(-60, 75), lon(-180, 180);
    const int zoneCount = 420, placeCount = 5000, ruleCount = 40;
    std::string colors, places, zones = "Country\tLat\tLon\tZone\tFormat\tOffset\tRule\tExtra\n",
                                rules;
    for (int i = 0; i < 120; ++i) {
        colors += std::to_string(i) + "\t" + std::to_string(255 - i) + "\t" +
                  std::to_string(i * 2 % 256) + "\t" + std::to_string((i % 29) - 12) + ".5\n";
    }
    for (int r = 0; r < ruleCount; ++r) {
        const std::string name = "R" + std::to_string(r);
        const bool south = r % 3 == 0;
        rules += name + "\tlastSun\t7\t0\t" + (south ? "4" : "3") + "\t1\tS\n";
        rules += name + "\tSun>=8\t7\t8\t" + (south ? "10" : "11") + "\t0\n";
    }
    char key[32];
    for (int z = 0; z < zoneCount; ++z) {
        std::snprintf(key, sizeof key, "City%04d", z);
        const std::string rule = z % 3 == 0 ? "-" : "R" + std::to_string(z % ruleCount);
        zones += "Country" + std::to_string(z / 5) + "\t" + std::to_string(lat(random)) + "\t" +
                 std::to_string(lon(random)) + "\tArea/" + key + "\tX%sT\t" +
                 std::to_string(z % 25 - 12) + ":" + (z % 4 == 0 ? "30" : "00") + "\t" + rule +
                 "\n";
    }
    for (int p = 0; p < placeCount; ++p) {
        std::snprintf(key, sizeof key, "City%04d", p % zoneCount);
        places += std::string(key) + "\t" + std::to_string(lat(random)) + "\t" +
                  std::to_string(lon(random)) + "\tPlace " + std::to_string(p) + "\n";
    }
    WriteTable(data / "tz_colors.dat", colors);
    WriteTable(data / "moreplaces.dat", places);
    WriteTable(data / "tz_data.dat", zones);
    WriteTable(data / "tz_dst.dat", rules);
}

// A temporary folder removed when the program ends.
struct TempFolder {
    fs::path Path;
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
};

// The program directory the benchmarks load from.
const std::string& BenchDir() {
    static TempFolder folder;
    static const std::string dir = [] {
        const fs::path root = fs::temp_directory_path() /
                              ("chronara-bench-tz-" + std::to_string(std::random_device()()));
        folder.Path = root;
        fs::create_directories(root / "data");
        const fs::path shipped = CHRONARA_SHIPPED_DATA_DIR;
        bool haveShipped = true;
        for (const char* name : TableNames) {
            haveShipped = haveShipped && fs::exists(shipped / name);
        }
        if (haveShipped) {
            for (const char* name : TableNames) {
                fs::copy_file(shipped / name, root / "data" / name);
            }
        } else {
            WriteSynthetic(root / "data");
        }
        std::fprintf(stderr, "zone tables: %s\n", haveShipped ? "shipped" : "synthetic");
        return root.string();
    }();
    return dir;
}

const TTimeZone& LoadedDb() {
    static const TTimeZone db = [] {
        TTimeZone loaded;
        loaded.LoadDatabase(BenchDir(), 2026);
        return loaded;
    }();
    return db;
}

// A zone near the end of the database that has daylight saving.
const TZoneData& LateZoneWithRules(const TTimeZone& db) {
    for (auto it = db.Zones.rbegin(); it != db.Zones.rend(); ++it) {
        if (it->RuleName != "-" && it->Index + 30 >= static_cast<int>(db.Zones.size())) {
            return *it;
        }
    }
    return db.Zones.back();
}

void BM_ZoneLocalTime(benchmark::State& state) {
    const TTimeZone& db = LoadedDb();
    const std::string name = LateZoneWithRules(db).ZoneName;
    std::string abbreviation;
    std::int32_t minutes = 0;
    TDateTime utc = EncodeDateTime(2026, 7, 1, 12, 0, 0, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(db.ZoneLocalTime(name, utc, abbreviation, minutes));
        utc += 1.0 / SecsPerDay;
    }
    state.SetLabel(name + " (" + std::to_string(LateZoneWithRules(db).Index + 1) + " of " +
                   std::to_string(db.Zones.size()) + ")");
}
BENCHMARK(BM_ZoneLocalTime);

// What the one-second tick does: the no-instant form, reading the clock.
void BM_ZoneLocalTimeNow(benchmark::State& state) {
    const TTimeZone& db = LoadedDb();
    const std::string name = LateZoneWithRules(db).ZoneName;
    std::string abbreviation;
    std::int32_t minutes = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(db.ZoneLocalTime(name, abbreviation, minutes));
    }
}
BENCHMARK(BM_ZoneLocalTimeNow);

void BM_FindNearestPlace(benchmark::State& state) {
    TTimeZone db = LoadedDb();
    std::mt19937 random(1);
    std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180);
    for (auto _ : state) {
        benchmark::DoNotOptimize(db.FindNearestPlace(lat(random), lon(random), 20));
    }
    state.SetLabel(std::to_string(db.Places.size()) + " places");
}
BENCHMARK(BM_FindNearestPlace);

void BM_NearestPlaceTitle(benchmark::State& state) {
    TTimeZone db = LoadedDb();
    db.Nearest = static_cast<std::int32_t>(db.Places.size()) - 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(db.NearestPlaceTitle());
    }
}
BENCHMARK(BM_NearestPlaceTitle);

void BM_LoadDatabase(benchmark::State& state) {
    const std::string& dir = BenchDir();
    TTimeZone db;
    for (auto _ : state) {
        db.LoadDatabase(dir, 2026);
        benchmark::DoNotOptimize(db.Places.data());
    }
    state.SetLabel(std::to_string(db.Zones.size()) + " zones, " + std::to_string(db.Places.size()) +
                   " places, " + std::to_string(db.Rules.size()) + " rules");
}
BENCHMARK(BM_LoadDatabase)->Unit(benchmark::kMillisecond);

// Fifteen rows of a tick: the common places, each asked for the moment a
// second later than the last (as the window's clock does).
const char* const TickZones[] = {
    "America/Vancouver", "America/Edmonton",    "America/Winnipeg", "America/Havana",
    "Africa/Casablanca", "Europe/Chisinau",     "America/New_York", "Australia/Sydney",
    "America/Santiago",  "Asia/Kathmandu",      "Europe/Berlin",    "Asia/Tokyo",
    "Europe/London",     "America/Los_Angeles", "Asia/Kolkata",
};

// A copy of the loaded tables, with or without the machine's database.
TTimeZone TablesWith(bool database) {
    TTimeZone db = LoadedDb();
    if (database) {
        db.RunTimeRules = std::make_shared<TZoneRules>(TZoneRules::SystemFolder());
    }
    return db;
}

void TickOfFifteenRows(benchmark::State& state, bool database) {
    const TTimeZone db = TablesWith(database);
    std::vector<const TZoneData*> zones;
    for (const char* name : TickZones) {
        zones.push_back(&db.FindZone(name));
    }
    std::string abbreviation;
    std::int32_t minutes = 0;
    TDateTime utc = EncodeDateTime(2026, 12, 8, 12, 0, 0, 0);
    for (auto _ : state) {
        for (const TZoneData* zone : zones) {
            benchmark::DoNotOptimize(db.ZoneLocalTime(zone->ZoneName, utc, abbreviation, minutes));
        }
        utc += 1.0 / SecsPerDay;
    }
    int known = 0;
    for (const TZoneData* zone : zones) {
        known += db.UsesRunTimeRules(*zone) ? 1 : 0;
    }
    state.SetLabel(std::to_string(known) + " of 15 zones from the machine's database");
}
void BM_TickOfFifteenRowsShipped(benchmark::State& state) {
    TickOfFifteenRows(state, false);
}
void BM_TickOfFifteenRowsDatabase(benchmark::State& state) {
    TickOfFifteenRows(state, true);
}
BENCHMARK(BM_TickOfFifteenRowsShipped)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickOfFifteenRowsDatabase)->Unit(benchmark::kMicrosecond);

// What start-up adds: opening the machine's database and the first answer
// for each of fifteen zones (each file read, checked and handed over).
void BM_DatabaseStartFifteenZones(benchmark::State& state) {
    TTimeZone db = LoadedDb();
    std::string abbreviation;
    std::int32_t minutes = 0;
    const TDateTime utc = EncodeDateTime(2026, 12, 8, 12, 0, 0, 0);
    for (auto _ : state) {
        db.RunTimeRules = std::make_shared<TZoneRules>(TZoneRules::SystemFolder());
        for (const char* name : TickZones) {
            benchmark::DoNotOptimize(db.ZoneLocalTime(name, utc, abbreviation, minutes));
        }
    }
}
BENCHMARK(BM_DatabaseStartFifteenZones)->Unit(benchmark::kMillisecond);

} // namespace

// Planning across zones: the overlap band of the time control (15 places over
// the control's fortnight of quarter hours) and the search for a meeting time,
// on the shipped tables alone (/0) and with the machine's zone database (/1),
// as the window runs.
#include "kiv/KivMeetingPlanner.h"
#include "kiv/KivStream.h"
#include "kiv/KivTimeZone.h"
#include "kiv/KivZoneRules.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace kiv;

namespace {

const char* const TableNames[] = {"tz_colors.dat", "moreplaces.dat", "tz_data.dat", "tz_dst.dat"};

// The shipped tables, copied to a folder of their own that goes at the end.
struct TBenchDb {
    fs::path Root;
    TTimeZone Db;
    TBenchDb() {
        Root = fs::temp_directory_path() /
               ("chronara-bench-planner-" + std::to_string(std::random_device()()));
        fs::create_directories(Root / "data");
        for (const char* name : TableNames) {
            fs::copy_file(fs::path(CHRONARA_SHIPPED_DATA_DIR) / name, Root / "data" / name);
        }
        Db.LoadDatabase(Root.string(), 2026);
    }
    ~TBenchDb() {
        std::error_code ec;
        fs::remove_all(Root, ec);
    }
};

TTimeZone& BenchDb(bool machineRules) {
    static TBenchDb loaded;
    loaded.Db.RunTimeRules =
        machineRules ? std::make_shared<TZoneRules>(TZoneRules::SystemFolder()) : nullptr;
    return loaded.Db;
}

// Fifteen places spread over the zones, most of them with daylight saving.
std::vector<TPlannerPlace> FifteenPlaces(const TTimeZone& db) {
    std::vector<TPlannerPlace> places;
    const std::size_t step = db.Zones.size() / 15;
    for (std::size_t i = 0; places.size() < 15 && i < db.Zones.size(); i += step) {
        places.push_back({&db.Zones[i], {}, db.Zones[i].ZoneName});
    }
    return places;
}

// The band of a time control around the end of March, when most clocks change.
void BM_OverlapBand(benchmark::State& state) {
    const TTimeZone& db = BenchDb(state.range(0) != 0);
    const std::vector<TPlannerPlace> places = FifteenPlaces(db);
    const std::vector<TDateTime> moments =
        QuartersAfter(EncodeDateTime(2026, 3, 22, 10, 0, 0, 0), 14 * 96 + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(OverlapCounts(db, places, moments).data());
    }
    state.SetLabel(std::to_string(places.size()) + " places, " + std::to_string(moments.size()) +
                   " quarter hours");
}
BENCHMARK(BM_OverlapBand)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// "Find a time" for 15 places that never all meet: the whole fortnight searched.
void BM_FindMeetingTime(benchmark::State& state) {
    const TTimeZone& db = BenchDb(state.range(0) != 0);
    const std::vector<TPlannerPlace> places = FifteenPlaces(db);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            FindMeetingTime(db, places, EncodeDateTime(2026, 3, 22, 10, 7, 0, 0)));
    }
}
BENCHMARK(BM_FindMeetingTime)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

// Speed of the solar position library: the shadow map's zenith-only call over a
// grid of places, and the map pointer's call that asks for every output.
#include "solar/SolPos.h"

#include <benchmark/benchmark.h>

namespace {

TPosData BaseRecord(int function) {
    TPosData r;
    _S_init(&r);
    r.year = 2025;
    r.month = 6;
    r.day = 21;
    r.hour = 14;
    r.minute = 30;
    r.second = 15;
    r.timezone = 2.0;
    r.function = function;
    return r;
}

// Walks a 128 x 64 grid of places, as one shadow map computation does.
void RunGrid(benchmark::State& state, int function) {
    TPosData r = BaseRecord(function);
    int i = 0, j = 0;
    for (auto _ : state) {
        r.longitude = j * 2.8125 - 180.0;
        r.latitude = i * 2.8125 - 90.0;
        _S_solpos(&r);
        benchmark::DoNotOptimize(r.zenetr);
        benchmark::DoNotOptimize(r.sretr);
        if (++j == 128) {
            j = 0;
            i = (i + 1) % 64;
        }
    }
}

void BM_SolPosZenithOnly(benchmark::State& state) {
    RunGrid(state, S_ZENITH_ONLY);
}
BENCHMARK(BM_SolPosZenithOnly);

void BM_SolPosEverything(benchmark::State& state) {
    RunGrid(state, S_EVERYTHING);
}
BENCHMARK(BM_SolPosEverything);

} // namespace

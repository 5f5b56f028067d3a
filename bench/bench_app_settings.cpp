// Saving and loading the settings with a full list of 15 places, as closing
// and starting the program do: a fresh accessor each time, the file written
// (and flushed to disk) or read and parsed, every value applied to the host.
#include "app/settings/StoredSettings.h"
#include "platform/Registry.h"
#include "tests/app/FakeSettingsHost.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

apptest::TFakeSettingsHost FullList() {
    apptest::TFakeSettingsHost host;
    for (int i = 0; i < 15; ++i) {
        host.List.push_back({QStringLiteral("Place number %1, Some Country").arg(i),
                             QStringLiteral("Europe/Oslo"), -60.0 + i * 8.25, -170.0 + i * 22.5,
                             60 * (i - 7)});
    }
    host.Clock = true;
    return host;
}

// Every save changes something (the offsets of a tick), so each one writes
// the file and flushes it to disk.
void BM_SaveSettings15(benchmark::State& state) {
    QTemporaryDir dir;
    apptest::TFakeSettingsHost host = FullList();
    for (auto _ : state) {
        ++host.Single.UtcOffset;
        platform::TRegistry registry(dir.path().toStdString());
        app::WriteSettings(host, registry);
    }
}
BENCHMARK(BM_SaveSettings15)->Unit(benchmark::kMillisecond);

// Nothing changed since the last save: the file is read and compared only.
void BM_SaveSettings15Unchanged(benchmark::State& state) {
    QTemporaryDir dir;
    const apptest::TFakeSettingsHost host = FullList();
    for (auto _ : state) {
        platform::TRegistry registry(dir.path().toStdString());
        app::WriteSettings(host, registry);
    }
}
BENCHMARK(BM_SaveSettings15Unchanged)->Unit(benchmark::kMillisecond);

void BM_LoadSettings15(benchmark::State& state) {
    QTemporaryDir dir;
    {
        platform::TRegistry registry(dir.path().toStdString());
        app::WriteSettings(FullList(), registry);
    }
    for (auto _ : state) {
        apptest::TFakeSettingsHost host;
        platform::TRegistry registry(dir.path().toStdString());
        app::ReadSettings(host, registry);
        benchmark::DoNotOptimize(host.List.data());
    }
}
BENCHMARK(BM_LoadSettings15)->Unit(benchmark::kMillisecond);

} // namespace

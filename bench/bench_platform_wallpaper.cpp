// The wallpaper build with its hand-over to the desktop, at 1024 and 4096 wide:
// mask load, colour overlay, resampling, bitmap file, then the desktop's set
// (a recording stand-in, and the real GSettings store over dconf in a private
// D-Bus session when one can be started).
#include "kiv/KivFastDibLoaders.h"
#include "platform/DesktopBackends.h"
#include "platform/Wallpaper.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString Data = QStringLiteral(CHRONARA_SHIPPED_DATA_DIR);

class TRecordingDesktop : public platform::TDesktop {
public:
    QString Name() const override { return QStringLiteral("recording"); }
    platform::TSavedWallpaper ReadWallpaper() override { return {}; }
    QString BackgroundColor() override { return QStringLiteral("0 128 128"); }
    void SetWallpaper(const QString& path) override { Last = path; }
    void RestoreWallpaper(const platform::TSavedWallpaper&) override {}
    QString Last;
};

platform::TWallpaperJob Job(int width, const QString& folder) {
    platform::TWallpaperJob job;
    kiv::LoadPngImage(job.Day, (Data + QStringLiteral("/earth_day.png")).toStdString());
    job.MaskFile = Data + QStringLiteral("/mask.png");
    job.Width = width;
    job.Folder = folder;
    return job;
}

void BM_WallpaperBuildAndHandOver(benchmark::State& state) {
    QTemporaryDir dir;
    const platform::TWallpaperJob job = Job(static_cast<int>(state.range(0)), dir.path());
    TRecordingDesktop desktop;
    std::uint64_t n = 0;
    for (auto _ : state) {
        platform::BuildAndSetWallpaper(job, desktop,
                                       platform::WallpaperFile(dir.path(), n++, true));
    }
}
BENCHMARK(BM_WallpaperBuildAndHandOver)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// The same, handed to GSettings (dconf) in a private session bus.
void BM_WallpaperBuildAndHandOverGSettings(benchmark::State& state) {
    QTemporaryDir dir;
    for (const char* sub : {"/config", "/run"}) {
        QDir().mkpath(dir.path() + QLatin1String(sub));
    }
    qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (dir.path() + QStringLiteral("/run")).toUtf8());
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1")});
    if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty() ||
        !bus.waitForStarted(5000) || !bus.waitForReadyRead(5000)) {
        state.SkipWithError("no gsettings or dbus-daemon");
        return;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
    const platform::TWallpaperJob job = Job(static_cast<int>(state.range(0)), dir.path());
    auto desktop = platform::CreateGSettingsDesktop(QStringLiteral("GNOME"), platform::RunProgram);
    const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
    std::uint64_t n = 0;
    for (auto _ : state) {
        platform::BuildAndSetWallpaper(job, *desktop,
                                       platform::WallpaperFile(dir.path(), n++, true));
    }
    desktop->RestoreWallpaper(saved);
    bus.terminate();
    bus.waitForFinished(3000);
}
BENCHMARK(BM_WallpaperBuildAndHandOverGSettings)
    ->Arg(1024)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// What the window thread pays per build: copying the map and queueing the job.
void BM_WallpaperQueueOnWindowThread(benchmark::State& state) {
    QTemporaryDir dir;
    const platform::TWallpaperJob job = Job(4096, dir.path());
    platform::TWallpaperBuilder builder(std::make_shared<TRecordingDesktop>());
    for (auto _ : state) {
        platform::TWallpaperJob copy;
        copy.Day = job.Day;
        copy.MaskFile = job.MaskFile;
        copy.Width = job.Width;
        copy.Folder = job.Folder;
        builder.Build(std::move(copy));
    }
    builder.Stop();
}
BENCHMARK(BM_WallpaperQueueOnWindowThread)->Unit(benchmark::kMicrosecond);

} // namespace

// The entry of the window benchmarks: an offscreen application around the
// benchmark runner, so the measured code can make widgets.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Windows opened here keep their creation state: their settings come from
    // a store of our own with the settings key and nothing in it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QDir(config.path()).mkpath(QStringLiteral("chronara"));
    QFile store(config.filePath(QStringLiteral("chronara/Chronara.reg")));
    if (store.open(QIODevice::WriteOnly)) {
        store.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n");
        store.close();
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

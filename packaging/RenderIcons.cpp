// Writes the program's globe for the icon theme: for each size given,
// OUTDIR/<size>x<size>/apps/<desktop id>.png, drawn by the same code as the
// window and tray icon.
#include "app/icons/Icons.h"
#include "platform/DesktopId.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "Usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    // Drawing needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    QGuiApplication application(appArgc, argv);
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int side = std::atoi(argv[i]);
        if (side < 1 || side > 1024) {
            std::fprintf(stderr, "%s: invalid size \"%s\"\n", argv[0], argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(outDir).arg(side);
        const QString file =
            dir + QLatin1Char('/') + QLatin1String(platform::DesktopId) + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !app::GlobePixmap(side).save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
            return 1;
        }
    }
    return 0;
}

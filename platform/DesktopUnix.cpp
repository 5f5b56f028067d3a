// Chooses the desktop back end of a free desktop session.
#include "platform/DesktopBackends.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

std::unique_ptr<TDesktop> CreateDesktop(const QProcessEnvironment& env,
                                        const QStringList& monitorNames) {
    const QStringList path =
        env.value(QStringLiteral("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    const auto installed = [&](const QString& program) {
        return !QStandardPaths::findExecutable(program, path).isEmpty();
    };
    const QString family = DesktopFamily(env.value(QStringLiteral("XDG_CURRENT_DESKTOP")));
    if (family == QLatin1String("GNOME") || family == QLatin1String("Cinnamon") ||
        family == QLatin1String("MATE")) {
        if (installed(QStringLiteral("gsettings"))) {
            return CreateGSettingsDesktop(family, RunProgram);
        }
    } else if (family == QLatin1String("KDE")) {
        if (PlasmaShellRunning()) {
            return CreatePlasmaDesktop(PlasmaEvaluateOverDBus);
        }
    } else if (family == QLatin1String("XFCE")) {
        if (installed(QStringLiteral("xfconf-query"))) {
            return CreateXfceDesktop(RunProgram, monitorNames);
        }
    }
    const bool x11 = env.value(QStringLiteral("XDG_SESSION_TYPE")) != QLatin1String("wayland") &&
                     !env.value(QStringLiteral("DISPLAY")).isEmpty();
    if (family.isEmpty() && x11 && installed(QStringLiteral("feh"))) {
        return CreateFehDesktop(RunProgram, env.value(QStringLiteral("HOME"), QDir::homePath()));
    }
    return CreateNoDesktop();
}

} // namespace platform

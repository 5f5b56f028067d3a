#include "platform/Autostart.h"

#include "platform/DesktopId.h"
#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#if defined(_WIN32)
#include <QSettings>
#endif

namespace platform {

namespace {

const QString EntryName = QLatin1String(DesktopId) + QStringLiteral(".desktop");
const QString FormerEntryName = QLatin1String(FormerDesktopId) + QStringLiteral(".desktop");

[[noreturn]] void Fail(const QString& what, const QString& path, const QString& why) {
    throw EAutostartError(QStringLiteral("Cannot %1 the autostart entry \"%2\": %3")
                              .arg(what, path, why)
                              .toStdString());
}

// One argument of an Exec line: quoted when it holds anything but plain
// characters, with the characters that quoting reserves escaped; then, like
// every string value of the file, backslashes doubled and "%" written as "%%".
QString ExecArgument(const QString& argument) {
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@");
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        quote = quote || !plain.contains(c);
    }
    QString text;
    for (const QChar c : argument) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) {
            text += u'\\';
        }
        text += c;
    }
    if (quote) {
        text = u'"' + text + u'"';
    }
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'%', QStringLiteral("%%"));
    return text;
}

} // namespace

QString AutostartEntryText(const QString& program) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Chronara\n"
                          "Comment=World clock with a map of day and night, in the tray\n"
                          "Icon=%1\n"
                          "Exec=%2\n"
                          "Terminal=false\n"
                          "StartupNotify=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(QLatin1String(DesktopId), ExecArgument(QDir::toNativeSeparators(program)));
}

#if defined(_WIN32)

// The value in the user's "Run" key; `configDir` has no meaning here.
namespace {
const QString RunKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString ValueName = QStringLiteral("Chronara");
} // namespace

QString AutostartEntryPath(const QString&) {
    return RunKey + QLatin1Char('\\') + ValueName;
}

bool AutostartEnabled(const QString&) {
    return QSettings(RunKey, QSettings::NativeFormat).contains(ValueName);
}

void MigrateAutostart(const QString&, const QString&) {
    // The value's name never changed.
}

void SetAutostart(bool enabled, const QString& program, const QString&) {
    QSettings run(RunKey, QSettings::NativeFormat);
    if (enabled) {
        run.setValue(ValueName, u'"' + QDir::toNativeSeparators(program) + u'"');
    } else {
        run.remove(ValueName);
    }
    run.sync();
    if (run.status() != QSettings::NoError) {
        Fail(enabled ? QStringLiteral("write") : QStringLiteral("remove"), AutostartEntryPath(),
             QStringLiteral("the registry refused it"));
    }
}

#else

QString AutostartEntryPath(const QString& configDir) {
    const QString base =
        configDir.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            : configDir;
    return base + QStringLiteral("/autostart/") + EntryName;
}

namespace {

bool Present(const QString& path) {
    const QFileInfo entry(path);
    return entry.exists() || entry.isSymLink();
}

} // namespace

bool AutostartEnabled(const QString& configDir) {
    const QFileInfo entry(AutostartEntryPath(configDir));
    if (!entry.isFile()) {
        return entry.exists() || entry.isSymLink();
    }
    // An entry the user switched off by hand ("Hidden=true", or the GNOME
    // session's own switch) starts nothing.
    QFile file(entry.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return true;
    }
    bool inMainGroup = false;
    for (const QByteArray& raw : file.read(64 * 1024).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inMainGroup || equals < 0) {
            continue;
        }
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return false;
        }
    }
    return true;
}

void MigrateAutostart(const QString& program, const QString& configDir) {
    const QString path = AutostartEntryPath(configDir);
    const QString former = QFileInfo(path).absolutePath() + QLatin1Char('/') + FormerEntryName;
    if (!Present(former)) {
        return;
    }
    // The new entry first, so that a failure leaves the old one starting the
    // program; one the user already has is kept.
    if (!Present(path)) {
        SetAutostart(true, program, configDir);
    }
    QFile entry(former);
    if (!entry.remove()) {
        Fail(QStringLiteral("remove"), former, entry.errorString());
    }
}

void SetAutostart(bool enabled, const QString& program, const QString& configDir) {
    const QString path = AutostartEntryPath(configDir);
    if (!enabled) {
        QFile entry(path);
        if ((entry.exists() || QFileInfo(path).isSymLink()) && !entry.remove()) {
            Fail(QStringLiteral("remove"), path, entry.errorString());
        }
        return;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        Fail(QStringLiteral("write"), path,
             QStringLiteral("the folder \"%1\" cannot be made").arg(folder));
    }
    if (const auto why = WriteWholeFile(path, AutostartEntryText(program).toUtf8())) {
        Fail(QStringLiteral("write"), path, *why);
    }
}

#endif

} // namespace platform

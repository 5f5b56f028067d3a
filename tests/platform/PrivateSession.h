// A private desktop session for the desktop back-end tests: its own D-Bus session
// bus and configuration folders, so the real settings stores (dconf, xfconf) run
// headless without touching the user's. Children started by the bus (the stores'
// services) inherit the folders set here.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class TPrivateSession {
public:
    TPrivateSession() {
        if (!Dir.isValid()) {
            Error = "no temporary folder";
            return;
        }
        for (const char* sub : {"config", "data", "cache", "run", "home", "bin"}) {
            QDir(Dir.path()).mkpath(QLatin1String(sub));
        }
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Set("XDG_CONFIG_HOME", Path("config"));
        Set("XDG_DATA_HOME", Path("data"));
        Set("XDG_CACHE_HOME", Path("cache"));
        Set("XDG_RUNTIME_DIR", Path("run"));
        Set("HOME", Path("home"));
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            Error = "dbus-daemon is not installed";
            return;
        }
        Bus.setProgram(QStringLiteral("dbus-daemon"));
        Bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")});
        Bus.setProcessChannelMode(QProcess::SeparateChannels);
        Bus.start();
        if (!Bus.waitForStarted(5000) || !Bus.waitForReadyRead(5000)) {
            Error = "dbus-daemon did not start";
            return;
        }
        Address = QString::fromUtf8(Bus.readLine()).trimmed();
        Set("DBUS_SESSION_BUS_ADDRESS", Address);
    }
    ~TPrivateSession() {
        if (Bus.state() != QProcess::NotRunning) {
            Bus.terminate();
            Bus.waitForFinished(3000);
        }
        // The stores' services leave when the bus goes and may write their files
        // on the way out: remove the folder once they are done.
        for (int attempt = 0; attempt < 100 && !Dir.remove(); ++attempt) {
            QThread::msleep(20);
        }
        // The process's environment as it was before.
        for (auto it = Saved.crbegin(); it != Saved.crend(); ++it) {
            if (it->second) {
                qputenv(it->first.c_str(), *it->second);
            } else {
                qunsetenv(it->first.c_str());
            }
        }
    }
    TPrivateSession(const TPrivateSession&) = delete;
    TPrivateSession& operator=(const TPrivateSession&) = delete;

    bool Ok() const { return Error.empty(); }
    std::string Error;
    QString Address;
    QString Path(const char* sub) const {
        return Dir.path() + QLatin1Char('/') + QLatin1String(sub);
    }

    // Puts an executable script named `name` into the session's bin folder and
    // that folder first on PATH.
    void AddStub(const QString& name, const QByteArray& script) {
        QFile file(Path("bin") + QLatin1Char('/') + name);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + script);
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        if (!path.startsWith(QFile::encodeName(Path("bin")))) {
            Set("PATH", Path("bin") + QLatin1Char(':') + QString::fromLocal8Bit(path));
        }
    }

    void Set(const char* name, const QString& value) {
        Saved.emplace_back(name, qEnvironmentVariableIsSet(name)
                                     ? std::optional<QByteArray>(qgetenv(name))
                                     : std::nullopt);
        qputenv(name, value.toUtf8());
    }

private:
    std::vector<std::pair<std::string, std::optional<QByteArray>>> Saved;
    QTemporaryDir Dir;
    QProcess Bus;
};

// The output of a program run in the session, trimmed; "<failed>" when it fails.
inline QString Output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0) {
        return QStringLiteral("<failed>");
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace testsupport

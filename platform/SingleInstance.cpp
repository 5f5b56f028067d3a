// Other systems than Windows: a lock file (QLockFile) in the runtime folder.
#if !defined(_WIN32)
#include "platform/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace platform {

namespace {

QString DefaultLockDir() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    return dir;
}

} // namespace

struct TSingleInstance::THeld {
    explicit THeld(const QString& path) : Lock(path) {}
    QLockFile Lock;
};

TSingleInstance::TSingleInstance(const std::string& title, const std::string& dir) {
    const QString base = dir.empty() ? DefaultLockDir() : QString::fromStdString(dir);
    QDir().mkpath(base);
    // The runtime folder is per user; the user name keeps a shared temp folder apart.
    QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    const QString path = QDir(base).filePath(QString::fromStdString(title) +
                                             (user.isEmpty() ? QString() : "-" + user) + ".lock");
    Path = path.toStdString();
    Held = std::make_unique<THeld>(path);
    // Never stale by age; a lock whose process has died is taken over.
    Held->Lock.setStaleLockTime(0);
    First = Held->Lock.tryLock(0);
}

TSingleInstance::~TSingleInstance() = default;

} // namespace platform

#endif // !_WIN32

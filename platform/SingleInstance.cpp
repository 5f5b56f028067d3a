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

TSingleInstance::TSingleInstance(const QString& title, const QString& dir) {
    const QString base = dir.isEmpty() ? DefaultLockDir() : dir;
    QDir().mkpath(base);
    // The runtime folder is per user; the user name keeps a shared temp folder apart.
    QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    Path = QDir(base).filePath(title + (user.isEmpty() ? QString() : "-" + user) + ".lock");
    Lock = std::make_unique<QLockFile>(Path);
    // Never stale by age; a lock whose process has died is taken over.
    Lock->setStaleLockTime(0);
    First = Lock->tryLock(0);
}

TSingleInstance::~TSingleInstance() = default;

} // namespace platform

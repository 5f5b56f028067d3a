// One running copy per user: a lock named after the application title, held for
// the life of the process.
#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace platform {

class TSingleInstance {
public:
    // Takes the lock named after title in dir (the user's runtime folder when
    // empty). IsFirst() tells whether this process got it.
    explicit TSingleInstance(const QString& title, const QString& dir = {});
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    bool IsFirst() const { return First; }
    QString LockPath() const { return Path; }

private:
    std::unique_ptr<QLockFile> Lock;
    QString Path;
    bool First = false;
};

} // namespace platform

// One running copy per user: a lock named after the application title, held for
// the life of the process. On Windows it is a named mutex in the user's session;
// elsewhere a lock file in the user's runtime folder.
#pragma once

#include <memory>
#include <string>

namespace platform {

class TSingleInstance {
public:
    // Takes the lock named after title (UTF-8). dir is the folder of the lock
    // file (the user's runtime folder when empty); Windows has no such file and
    // ignores it. IsFirst() tells whether this process got the lock.
    explicit TSingleInstance(const std::string& title, const std::string& dir = {});
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    bool IsFirst() const { return First; }
    // The lock file, or on Windows the mutex's name.
    std::string LockPath() const { return Path; }

private:
    struct THeld;
    std::unique_ptr<THeld> Held;
    std::string Path;
    bool First = false;
};

} // namespace platform

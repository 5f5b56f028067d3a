// Windows: a mutex named after the application title in the session's
// namespace, so one copy runs per logged-on user. The system closes the handle
// when the process ends, however it ends, so nothing is ever left behind.
#if defined(_WIN32)
#include "platform/SingleInstance.h"

#include "kiv/KivPath.h"

#include <windows.h>

namespace platform {

struct TSingleInstance::THeld {
    HANDLE Mutex = nullptr;
    ~THeld() {
        if (Mutex != nullptr) {
            CloseHandle(Mutex);
        }
    }
};

TSingleInstance::TSingleInstance(const std::string& title, const std::string& /*dir*/)
    : Held(std::make_unique<THeld>()), Path(title) {
    // Not owned by anyone: the mutex marks that a copy runs; no one waits on it.
    Held->Mutex = CreateMutexW(nullptr, FALSE, kiv::WideFromUtf8(title).c_str());
    // A mutex that already existed belongs to a running copy. One that could not
    // be made at all (a name taken by another kind of object) counts the same:
    // starting a second copy is worse than not starting.
    First = Held->Mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

TSingleInstance::~TSingleInstance() = default;

} // namespace platform

#endif // _WIN32

#include "app/WindowLauncher.h"

#include "kiv/KivData.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace app {

const char* WindowProgramName() {
#if defined(_WIN32)
    return "chronara-window.exe";
#else
    return "chronara-window";
#endif
}

const char* const NoDisplayMessage =
    "Chronara: no display could be opened (is DISPLAY or WAYLAND_DISPLAY set?); "
    "\"chronara -C FILE WIDTH\" writes a map without one.\n";

bool DisplayConfigured(TGetEnv getEnv) {
#if defined(_WIN32) || defined(__APPLE__)
    (void)getEnv;
    return true;
#else
    if (getEnv == nullptr) {
        getEnv = [](const char* name) -> const char* { return std::getenv(name); };
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = getEnv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
#endif
}

int RunWindowProgram(int argc, char** argv) {
    const std::string program = kiv::ProgramDir() + WindowProgramName();
    std::vector<char*> args;
    args.push_back(const_cast<char*>(program.c_str()));
    for (int i = 1; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    args.push_back(nullptr);
#if defined(_WIN32)
    const intptr_t status = _spawnv(_P_WAIT, program.c_str(), args.data());
    if (status != -1) {
        return static_cast<int>(status);
    }
#else
    execv(program.c_str(), args.data());
#endif
    std::fprintf(stderr, "Cannot start \"%s\": %s\n", program.c_str(), std::strerror(errno));
    return 1;
}

} // namespace app

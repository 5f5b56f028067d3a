#include "app/WindowLauncher.h"

#include "kiv/KivData.h"

#include <cerrno>
#include <cstdio>
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

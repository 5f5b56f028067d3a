#include "app/commandline/WindowLauncher.h"

#include "app/commandline/CommandLine.h"
#include "kiv/KivData.h"
#include "kiv/KivPath.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
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

#if defined(_WIN32)
int RunWindowProgram(int argc, char** argv) {
    // The same parameters, quoted, on a wide command line: a file name with any
    // letters reaches the window program as it reached this one.
    const std::string program = kiv::ProgramDir() + WindowProgramName();
    std::string commandLine = QuoteArgument(program);
    for (const std::string& param : TCommandLine::FromProcess(argc, argv).Params) {
        commandLine += ' ' + QuoteArgument(param);
    }
    std::wstring wideCommandLine = kiv::WideFromUtf8(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(kiv::WideFromUtf8(program).c_str(), wideCommandLine.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "Cannot start \"%s\": error %lu\n", program.c_str(),
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
#else
int RunWindowProgram(int argc, char** argv) {
    const std::string program = kiv::ProgramDir() + WindowProgramName();
    std::vector<char*> args;
    args.push_back(const_cast<char*>(program.c_str()));
    for (int i = 1; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    execv(program.c_str(), args.data());
    std::fprintf(stderr, "Cannot start \"%s\": %s\n", program.c_str(), std::strerror(errno));
    return 1;
}
#endif

} // namespace app

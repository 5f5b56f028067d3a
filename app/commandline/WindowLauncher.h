// Starts the window program beside this one. The batch mode needs neither a
// display nor the window toolkit, so the program that writes images does not
// load it; the window lives in a program of its own, started on demand.
#pragma once

namespace app {

// The window program's file name, beside the running executable.
const char* WindowProgramName();

// Runs the window program with the same parameters and returns its exit
// status (on POSIX systems it replaces this process). Returns 1 with a message
// on standard error when it cannot be started.
int RunWindowProgram(int argc, char** argv);

// The line a start without a display ends with (status 1).
extern const char* const NoDisplayMessage;

// Reads one environment variable; null when it is not set.
using TGetEnv = const char* (*)(const char*);

// True when the window toolkit has somewhere to open its windows: an X11 or
// Wayland display is named, or a toolkit platform is chosen explicitly (for
// example the offscreen one). Always true where the system itself is the
// display (Windows, macOS).
bool DisplayConfigured(TGetEnv getEnv = nullptr);

} // namespace app

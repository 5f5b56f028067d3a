// The window part of the program entry: single instance, application title,
// the main window and the message loop.
#pragma once

#include "app/CommandLine.h"

namespace app {

// The application-wide settings of the window program: its name (and no
// display name, so window captions stay as they are), icon and quitting rule.
void SetUpApplication();

// Runs the window until it closes; returns the exit status. A second copy of the
// program ends at once with status 0 and leaves the first alone.
int RunWindow(int& argc, char** argv, const TCommandLine& commandLine);

} // namespace app

// The window part of the program entry: single instance, application title,
// the main window and the message loop.
#pragma once

#include "app/commandline/CommandLine.h"
#include "platform/FrontRequests.h"
#include "platform/SingleInstance.h"

#include <memory>

namespace app {

// The application-wide settings of the window program: its name (and no
// display name, so window captions stay as they are), icon and quitting rule.
void SetUpApplication();

class TFormChronara;

// The running copy, which holds `instance`: a later start brings `form` to the
// front, out of the tray or from behind other windows.
std::unique_ptr<platform::TFrontRequests>
BringToFrontOnLaterStarts(const platform::TSingleInstance& instance, TFormChronara& form);

// Runs the window until it closes; returns the exit status. A second copy of the
// program asks the first to bring its window to the front and ends with
// status 0.
int RunWindow(int& argc, char** argv, const TCommandLine& commandLine);

} // namespace app

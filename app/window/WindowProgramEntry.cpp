// Entry of the window program: single instance, the main window, the message loop.
#include "app/commandline/CommandLine.h"
#include "app/window/WindowProgram.h"

int main(int argc, char* argv[]) {
    const app::TCommandLine commandLine = app::TCommandLine::FromArgs(argc, argv);
    return app::RunWindow(argc, argv, commandLine);
}

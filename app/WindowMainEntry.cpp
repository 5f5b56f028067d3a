// Entry of the window program: single instance, the main window, the message loop.
#include "app/CommandLine.h"
#include "app/WindowMain.h"

int main(int argc, char* argv[]) {
    const app::TCommandLine commandLine = app::TCommandLine::FromArgs(argc, argv);
    return app::RunWindow(argc, argv, commandLine);
}

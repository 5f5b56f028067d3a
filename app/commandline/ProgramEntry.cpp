// Program entry: "--help", "--version", a command line refused with status 2,
// the batch mode "-C FILE WIDTH", otherwise the window program.
#include "app/commandline/BatchMode.h"
#include "app/commandline/CommandLine.h"
#include "app/commandline/WindowLauncher.h"

#include <iostream>
#include <string>

int main(int argc, char* argv[]) {
    const app::TCommandLine commandLine = app::TCommandLine::FromProcess(argc, argv);
    switch (app::ParseInfoRequest(commandLine)) {
    case app::TInfoRequest::Help:
        std::cout << app::UsageText();
        return 0;
    case app::TInfoRequest::Version:
        std::cout << app::VersionText();
        return 0;
    case app::TInfoRequest::None:
        break;
    }
    // Anything not understood ends the program before it writes or starts
    // anything: a mistyped option must not give the map of another moment.
    const std::string problem = app::CommandLineProblem(commandLine);
    if (!problem.empty()) {
        std::cerr << "chronara: " << problem << '\n';
        return app::bsBadCommand;
    }
    const app::TBatchRequest batch = app::ParseBatchRequest(commandLine);
    if (batch.Requested) {
        const int status = app::RunBatchMode(batch, std::cerr);
        if (!batch.ContinueToWindow || status != app::bsWritten) {
            return status;
        }
    }
    return app::RunWindowProgram(argc, argv);
}

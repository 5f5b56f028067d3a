// Program entry: "--help", "--version", the batch mode "-C FILE WIDTH",
// otherwise the window program.
#include "app/BatchMode.h"
#include "app/CommandLine.h"
#include "app/WindowLauncher.h"

#include <iostream>

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
    const app::TBatchRequest batch = app::ParseBatchRequest(commandLine);
    if (batch.Requested) {
        const int status = app::RunBatchMode(batch, std::cerr);
        if (!batch.ContinueToWindow || status != app::bsWritten) {
            return status;
        }
    }
    return app::RunWindowProgram(argc, argv);
}

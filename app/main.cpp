// Program entry: the batch mode "-C FILE WIDTH", otherwise the window.
#include "app/BatchMode.h"
#include "app/CommandLine.h"

#include <cstdio>
#include <iostream>

int main(int argc, char* argv[]) {
    const app::TCommandLine commandLine = app::TCommandLine::FromArgs(argc, argv);
    const app::TBatchRequest batch = app::ParseBatchRequest(commandLine);
    if (batch.Requested) {
        const int status = app::RunBatchMode(batch, std::cerr);
        if (!batch.ContinueToWindow || status != app::bsWritten) {
            return status;
        }
    }
    // The window is not built yet.
    std::puts("usage: chronara -C FILE WIDTH");
    return 0;
}

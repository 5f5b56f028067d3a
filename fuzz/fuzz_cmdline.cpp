// Fuzzes the command line: the input is split at line breaks into parameters.
// Checks that the switches, the batch request and the width agree with each
// other and with the parameters they came from.
#include "app/commandline/CommandLine.h"
#include "kiv/KivDateTime.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> params;
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        params.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> argv{"chronara"};
    for (const std::string& p : params) {
        argv.push_back(p.c_str()); // a parameter ends at its first zero byte, as in argv
    }
    argv.push_back(nullptr);
    const auto commandLine =
        app::TCommandLine::FromArgs(static_cast<int>(argv.size()) - 1, argv.data());
    if (commandLine.Params.size() != params.size()) {
        std::abort();
    }

    for (const char* name : {"max", "c", "", "C"}) {
        const int position = commandLine.SwitchPosition(name);
        if (commandLine.HasSwitch(name) != (position != 0) || position < 0 ||
            position > static_cast<int>(params.size())) {
            std::abort();
        }
    }

    const app::TBatchRequest request = app::ParseBatchRequest(commandLine);
    if (request.Requested != commandLine.HasSwitch("c")) {
        std::abort();
    }
    if (!request.Requested && (request.TooFew || request.ContinueToWindow)) {
        std::abort();
    }
    (void)app::ParseInfoRequest(commandLine);
    // A refusal is one line pointing at the help; a line without any "--"
    // parameter is never refused.
    const std::string problem = app::CommandLineProblem(commandLine);
    const std::string_view seeHelp = "; see chronara --help";
    if (!problem.empty() &&
        (problem.size() < seeHelp.size() ||
         problem.compare(problem.size() - seeHelp.size(), seeHelp.size(), seeHelp) != 0 ||
         problem.find('\n') != std::string::npos)) {
        std::abort();
    }
    if (!problem.empty() &&
        std::none_of(commandLine.Params.begin(), commandLine.Params.end(),
                     [](const std::string& p) { return p.rfind("--", 0) == 0; })) {
        std::abort();
    }
    if (request.HasAt && (!request.Requested || request.TooFew)) {
        std::abort(); // "--at" belongs to a batch request with its two parameters
    }

    // The time of "--at", and the last parameter as one: an accepted time has
    // an offset within bounds and names an existing day.
    for (const std::string& text : {request.AtText, params.back()}) {
        kiv::TIsoDateTime moment;
        std::string reason;
        if (kiv::TryParseIsoDateTime(text, moment, &reason)) {
            if (std::abs(moment.OffsetMinutes) > kiv::MaxIsoOffsetMinutes ||
                (!moment.HasOffset && moment.OffsetMinutes != 0) || !reason.empty() ||
                kiv::YearOf(moment.Value) < kiv::MinYear ||
                kiv::YearOf(moment.Value) > kiv::MaxYear) {
                std::abort();
            }
        } else if (reason.empty()) {
            std::abort();
        }
    }

    // The width: any text, and the one the request carries.
    for (const std::string& text : {request.WidthText, params.back()}) {
        int width = -1;
        std::string error;
        if (app::ParseBatchWidth(text, width, error)) {
            if (width < 1 || width > app::MaxBatchWidth || !error.empty()) {
                std::abort();
            }
            int again = -1;
            if (!app::ParseBatchWidth(std::to_string(width), again, error) || again != width) {
                std::abort();
            }
            // Any day map from 1 to 4096 pixels gives a height of at least 1.
            const int dayWidth = 1 + static_cast<int>(text.size() % 4096);
            const int height = app::BatchHeight(dayWidth, dayWidth / 2, width);
            if (height < 1) {
                std::abort();
            }
        } else if (error.empty() || width != -1) {
            std::abort(); // a refused width names the text and changes nothing
        }
    }
    return 0;
}

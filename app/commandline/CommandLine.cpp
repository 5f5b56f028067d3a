#include "app/commandline/CommandLine.h"
#include "app/commandline/ZoneRulesText.h"

#include "kiv/KivDateTime.h"
#include "kiv/KivPath.h"

#include <algorithm>
#include <cctype>
#include <string>

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
#endif

namespace app {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool IsSwitch(std::string_view param, std::string_view name) {
    return param.size() == name.size() + 1 && (param[0] == '-' || param[0] == '/') &&
           EqualsIgnoringCase(param.substr(1), name);
}

} // namespace

TCommandLine TCommandLine::FromArgs(int argc, const char* const* argv) {
    TCommandLine result;
    for (int i = 1; i < argc; ++i) {
        result.Params.emplace_back(argv[i] ? argv[i] : "");
    }
    return result;
}

TCommandLine TCommandLine::FromProcess(int argc, const char* const* argv) {
#if defined(_WIN32)
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        TCommandLine result;
        for (int i = 1; i < count; ++i) {
            result.Params.push_back(kiv::Utf8FromWide(wide[i]));
        }
        LocalFree(wide);
        return result;
    }
#endif
    return FromArgs(argc, argv);
}

std::string QuoteArgument(std::string_view param) {
    if (!param.empty() && param.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        return std::string(param);
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : param) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal except before a quote: there they are doubled
        // and the quote escaped.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    // Before the closing quote, too.
    quoted.append(backslashes * 2, '\\');
    return quoted + '"';
}

bool TCommandLine::HasSwitch(std::string_view name) const {
    return SwitchPosition(name) != 0;
}

int TCommandLine::SwitchPosition(std::string_view name) const {
    for (std::size_t i = 0; i < Params.size(); ++i) {
        if (IsSwitch(Params[i], name)) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

namespace {

// The position of the parameter that starts the batch mode, counting from 1;
// 0 without the switch.
int BatchSwitchPosition(const TCommandLine& commandLine) {
    for (std::size_t i = 0; i < commandLine.Params.size(); ++i) {
        if (EqualsIgnoringCase(commandLine.Params[i], "-c")) {
            return static_cast<int>(i) + 1;
        }
    }
    return commandLine.SwitchPosition("c");
}

constexpr std::string_view AtSwitch = "--at";

// The position of the first "--at" or "--at=..." outside the two batch
// parameters after position `batch`, counting from 1; 0 when there is none.
int AtPosition(const TCommandLine& commandLine, int batch) {
    for (std::size_t i = 0; i < commandLine.Params.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        if (batch != 0 && (position == batch + 1 || position == batch + 2)) {
            continue;
        }
        const std::string& param = commandLine.Params[i];
        if (param == AtSwitch || param.rfind(std::string(AtSwitch) + "=", 0) == 0) {
            return position;
        }
    }
    return 0;
}

} // namespace

TBatchRequest ParseBatchRequest(const TCommandLine& commandLine) {
    TBatchRequest request;
    const int i = BatchSwitchPosition(commandLine);
    if (i == 0) {
        return request;
    }
    request.Requested = true;
    request.ContinueToWindow = commandLine.HasSwitch("max");
    if (commandLine.Params.size() < static_cast<std::size_t>(i) + 2) {
        request.TooFew = true;
        return request;
    }
    request.FileName = commandLine.Params[static_cast<std::size_t>(i)];
    request.WidthText = commandLine.Params[static_cast<std::size_t>(i) + 1];
    const int at = AtPosition(commandLine, i);
    if (at != 0) {
        request.HasAt = true;
        const std::string& param = commandLine.Params[static_cast<std::size_t>(at) - 1];
        if (param.size() > AtSwitch.size()) {
            request.AtText = param.substr(AtSwitch.size() + 1);
        } else if (static_cast<std::size_t>(at) < commandLine.Params.size()) {
            request.AtText = commandLine.Params[static_cast<std::size_t>(at)];
        }
    }
    return request;
}

std::string CommandLineProblem(const TCommandLine& commandLine) {
    const int batch = BatchSwitchPosition(commandLine);
    const std::string seeHelp = "; see chronara --help";
    bool atSeen = false;
    for (std::size_t i = 0; i < commandLine.Params.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        if (batch != 0 && (position == batch + 1 || position == batch + 2)) {
            continue;
        }
        const std::string& param = commandLine.Params[i];
        if (param.rfind("--", 0) != 0 || param == "--help" || param == "--version") {
            continue;
        }
        if (param == AtSwitch || param.rfind(std::string(AtSwitch) + "=", 0) == 0) {
            if (batch == 0) {
                return param + " works only with -C FILE WIDTH" + seeHelp;
            }
            if (atSeen) {
                return "--at is given twice" + seeHelp;
            }
            atSeen = true;
            if (param == AtSwitch) {
                ++i; // its time, whatever it looks like
            }
            continue;
        }
        return "unknown option " + param + seeHelp;
    }
    return {};
}

TInfoRequest ParseInfoRequest(const TCommandLine& commandLine) {
    const int batch = BatchSwitchPosition(commandLine);
    // The time of a batch map after "--at" is not a question either.
    const int at = batch != 0 ? AtPosition(commandLine, batch) : 0;
    for (std::size_t i = 0; i < commandLine.Params.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        if (batch != 0 && (position == batch + 1 || position == batch + 2)) {
            continue;
        }
        if (at != 0 && position == at + 1 && commandLine.Params[i - 1] == AtSwitch) {
            continue;
        }
        if (commandLine.Params[i] == "--help") {
            return TInfoRequest::Help;
        }
        if (commandLine.Params[i] == "--version") {
            return TInfoRequest::Version;
        }
    }
    return TInfoRequest::None;
}

std::string UsageText() {
    return "Usage: chronara [-max]\n"
           "       chronara -C FILE WIDTH [--at TIME] [-max]\n"
           "A world clock with the shaded day and night map.\n"
           "\n"
           "  -C FILE WIDTH  write the map for now as an image WIDTH pixels wide to FILE\n"
           "                 and end; needs no display. FILE ending in .png or .jpg/.jpeg\n"
           "                 is written as PNG or JPEG, any other name as BMP\n"
           "  --at TIME      with -C: the map for TIME instead of now, in ISO 8601:\n"
           "                 2026-12-21T12:00Z (UTC), 2026-12-21T12:00+01:00, or\n"
           "                 2026-12-21T12:00 (local time); seconds are optional\n"
           "  -max           bring the window to the front instead of starting in the tray\n"
           "                 (with -C: start the window after writing the image)\n"
           "  --help         show this help and end\n"
           "  --version      show the name and version and end\n"
           "\n"
           "Switches start with - or / in any letter case.\n";
}

std::string VersionText() {
    return std::string("Chronara ") + CHRONARA_VERSION + "\n" + ZoneRulesLineForProgram() + "\n";
}

bool ParseBatchWidth(std::string_view text, int& width, std::string& error) {
    const std::string quoted = "\"" + std::string(text) + "\"";
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size()) {
        error = quoted + " is not a valid width: give a whole number of pixels from 1 to " +
                std::to_string(MaxBatchWidth);
        return false;
    }
    long long value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9') {
            error = quoted + " is not a valid width: give a whole number of pixels from 1 to " +
                    std::to_string(MaxBatchWidth);
            return false;
        }
        value = std::min<long long>(value * 10 + (c - '0'), MaxBatchWidth + 1LL);
    }
    if (negative) {
        value = -value;
    }
    if (value < 1 || value > MaxBatchWidth) {
        error = "The width " + quoted +
                " is out of range: give a whole number of pixels from 1 to " +
                std::to_string(MaxBatchWidth);
        return false;
    }
    width = static_cast<int>(value);
    return true;
}

int BatchHeight(int dayWidth, int dayHeight, int width) {
    if (dayWidth <= 0) {
        return 1;
    }
    const double height = kiv::RoundHalfEven(static_cast<double>(dayHeight) * width / dayWidth);
    return height < 1.0 ? 1 : static_cast<int>(height);
}

} // namespace app

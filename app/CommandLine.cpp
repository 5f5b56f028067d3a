#include "app/CommandLine.h"

#include "kiv/KivDateTime.h"

#include <algorithm>
#include <cctype>
#include <string>

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

TBatchRequest ParseBatchRequest(const TCommandLine& commandLine) {
    TBatchRequest request;
    const int i = commandLine.SwitchPosition("c");
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
    return request;
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

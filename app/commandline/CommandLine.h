// The command line: switches start with "-" or "/" and are compared without
// regard to letter case; every other parameter is ignored unless a switch takes
// it as an argument. No Qt here, so the batch mode and the tests can use it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

struct TCommandLine {
    // The parameters, without the program name.
    std::vector<std::string> Params;

    static TCommandLine FromArgs(int argc, const char* const* argv);
    // The parameters this process was started with, as UTF-8. Windows hands
    // main() its parameters in the ANSI code page, which loses letters outside
    // it; there they are read from the wide command line instead.
    static TCommandLine FromProcess(int argc, const char* const* argv);

    // True when some parameter is "-name" or "/name" in any letter case.
    bool HasSwitch(std::string_view name) const;
    // The position, counting from 1, of the first parameter that is the switch;
    // 0 when there is none.
    int SwitchPosition(std::string_view name) const;
};

// One parameter written for a Windows command line, quoted where needed so that
// the C runtime splits it back into the same text.
std::string QuoteArgument(std::string_view param);

// What "-C FILE WIDTH" asks for.
struct TBatchRequest {
    // The switch "c" is present.
    bool Requested = false;
    // Fewer than two parameters follow it: the program ends at once, writing nothing.
    bool TooFew = false;
    std::string FileName;
    std::string WidthText;
    // "max" is present too: the window starts after the image is written.
    bool ContinueToWindow = false;
    // "--at TIME" (or "--at=TIME") asks for the map of that moment instead of
    // now; the first one counts. AtText is empty when "--at" ends the line.
    bool HasAt = false;
    std::string AtText;
};

// "-C" and "/C" both mark the batch mode. "--at" is looked for among the other
// parameters. The file name and the width are the
// two parameters after the first one that equals "-C" in any letter case; when
// the switch is given only as "/C", after the first of those.
TBatchRequest ParseBatchRequest(const TCommandLine& commandLine);

// The first thing on the command line that the program does not understand,
// as the one line it ends with before anything is written or started (without
// the program name in front and the line break after); empty when there is
// none. Refused are every parameter starting with "--" other than "--at",
// "--help" and "--version", and "--at" without "-C" or given twice. Other
// single-dash and slash words stay ignored: desktop launchers and old
// shortcuts pass them. The two parameters "-C" takes and the time after "--at"
// are never options.
std::string CommandLineProblem(const TCommandLine& commandLine);

// What the program is asked beyond its own switches: the usual "--help" and
// "--version", answered before anything else loads. The two parameters that
// "-C" takes as file name and width never count, so a file may be called so.
enum class TInfoRequest { None, Help, Version };
TInfoRequest ParseInfoRequest(const TCommandLine& commandLine);

// The answers to "--help" and "--version", each line ending in a newline.
std::string UsageText();
std::string VersionText();

// The largest width the batch mode writes.
constexpr int MaxBatchWidth = 32768;

// Reads the batch width: a decimal integer (an optional sign, then digits only)
// from 1 to MaxBatchWidth. Otherwise returns false with a one-line message that
// names the text.
bool ParseBatchWidth(std::string_view text, int& width, std::string& error);

// The output height for a width: round(day height * width / day width), halves to
// even, at least 1.
int BatchHeight(int dayWidth, int dayHeight, int width);

} // namespace app

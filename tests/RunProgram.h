// Runs a program of the build as a child process and waits for it: standard
// output and error are captured, the display variables removed and the working
// directory set, on POSIX systems and on Windows alike.
#pragma once

#include "tests/TempDir.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testsupport {

struct TRunResult {
    int Status = -1;
    std::string Errors;
    std::string Output;
};

#if defined(_WIN32)
// One argument quoted for the command line the C runtime splits again.
inline std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}
#endif

using TEnvironment = std::vector<std::pair<std::string, std::string>>;

// Arguments are UTF-8; env holds variables set for the program alone (after
// the display variables are removed). The program's standard output and error
// go to files in workDir while it runs and are returned; the files are removed.
inline TRunResult RunProgram(const std::filesystem::path& program,
                             const std::vector<std::string>& args,
                             const std::filesystem::path& workDir, const TEnvironment& env = {}) {
    namespace fs = std::filesystem;
    TRunResult result;
    const fs::path errorFile = workDir / "stderr.txt";
    const fs::path outputFile = workDir / "stdout.txt";
#if defined(_WIN32)
    std::wstring commandLine = QuoteArgument(program.wstring());
    for (const std::string& a : args) {
        const std::u8string u8(a.begin(), a.end());
        commandLine += L" " + QuoteArgument(fs::path(u8).wstring());
    }
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE errors = CreateFileW(errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    // The child inherits this environment; the variables are set around its start.
    std::vector<std::pair<std::wstring, std::wstring>> saved;
    for (const auto& [name, value] : env) {
        const std::wstring wideName = fs::path(name).wstring();
        wchar_t old[32768];
        const DWORD n = GetEnvironmentVariableW(wideName.c_str(), old, 32768);
        saved.emplace_back(wideName, n > 0 && n < 32768 ? std::wstring(old, n) : std::wstring());
        SetEnvironmentVariableW(wideName.c_str(), fs::path(value).wstring().c_str());
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, workDir.c_str(), &startup, &process);
    for (const auto& [name, value] : saved) {
        SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.Status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(errors);
    CloseHandle(output);
#else
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        for (const auto& [name, value] : env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> argv;
        std::string name = program.string();
        argv.push_back(name.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(name.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    result.Errors = ReadFileText(errorFile);
    result.Output = ReadFileText(outputFile);
    std::error_code ec;
    fs::remove(errorFile, ec);
    fs::remove(outputFile, ec);
    return result;
}

} // namespace testsupport

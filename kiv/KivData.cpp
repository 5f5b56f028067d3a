#include "kiv/KivData.h"

#include "kiv/KivErrors.h"
#include "kiv/KivPath.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace kiv {

void CompileDataFile(const std::string& datName, const std::string& txtName, int level) {
    TMemoryStream text;
    LoadFileStream(text, txtName, false);
    SaveFileStream(text, datName, level);
}

namespace {

bool HasDatExtension(const std::string& fileName) {
    const auto dot = fileName.find_last_of('.');
    const auto sep = fileName.find_last_of("\\/:");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) {
        return false;
    }
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".dat";
}

} // namespace

void LoadDataFile(TMemoryStream& dest, const std::string& fileName) {
    if (HasDatExtension(fileName)) {
        // The editable source beside a packed file wins: rebuild the packed file
        // from it. Without a source (the shipped case) this quietly does nothing.
        const std::string txtName = fileName.substr(0, fileName.find_last_of('.')) + ".txt";
        std::error_code ec;
        if (std::filesystem::exists(PathFromUtf8(txtName), ec)) {
            try {
                CompileDataFile(fileName, txtName, klMax);
            } catch (const std::exception&) {
                // An unreadable source or a read-only packed file: load what is there.
            }
        }
        LoadFileStream(dest, fileName, true);
    } else {
        LoadFileStream(dest, fileName, false);
    }
}

void LoadDataList(TStringList& lines, const std::string& fileName) {
    TMemoryStream stream;
    LoadDataFile(stream, fileName);
    SplitLines(stream.View(), lines);
}

void SplitLines(std::string_view text, TStringList& lines) {
    lines.clear();
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        lines.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
            text[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
}

namespace {

std::string FindProgramDir() {
    std::filesystem::path exe;
#if defined(_WIN32)
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    exe = buffer;
#elif defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string buffer(size, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) == 0) {
        exe = std::filesystem::weakly_canonical(buffer.c_str());
    }
#else
    std::error_code ec;
    exe = std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
    std::filesystem::path dir = exe.parent_path();
    if (dir.empty()) {
        dir = ".";
    }
    // Appending an empty name leaves exactly one trailing separator.
    return Utf8FromPath(dir / "");
}

} // namespace

const std::string& ProgramDir() {
    // Set once on first use and never changed: the executable does not move.
    static const std::string dir = FindProgramDir();
    return dir;
}

std::string ProgramPath(std::string_view relative, const std::string& dir) {
    std::string base = dir.empty() ? ProgramDir() : dir;
    if (!base.empty() && base.back() != '/' && base.back() != '\\') {
        base += static_cast<char>(std::filesystem::path::preferred_separator);
    }
    std::string rel(relative);
    const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
    std::replace_if(
        rel.begin(), rel.end(), [](char c) { return c == '\\' || c == '/'; }, sep);
    return base + rel;
}

} // namespace kiv

// File names: the program keeps them as UTF-8 text; the file system gets them in
// its own form. On Windows that is UTF-16, so a data folder below a path with
// letters outside the ANSI code page is found and written like any other.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace kiv {

// The file system's path for a UTF-8 name.
std::filesystem::path PathFromUtf8(std::string_view name);
// The UTF-8 name of a path.
std::string Utf8FromPath(const std::filesystem::path& path);

// Opens a new file for binary writing; fails (nullptr, errno EEXIST) when the
// name is taken, so two writers never share a file.
std::FILE* CreateNewFile(const std::string& name);

#if defined(_WIN32)
// UTF-8 to UTF-16 and back, for the Windows API; invalid sequences become U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
#endif

} // namespace kiv

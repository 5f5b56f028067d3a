#if defined(_WIN32)
#include "platform/WinVersion.h"

#include "kiv/KivPath.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace platform::winver {

namespace {

// A text of the string table in the given language and code page.
std::string Text(const std::vector<std::uint8_t>& block, const wchar_t* table,
                 const wchar_t* name) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr ||
        length == 0) {
        return {};
    }
    // The length counts characters, with the terminating NUL.
    std::wstring text(static_cast<const wchar_t*>(value), length);
    const auto nul = text.find(L'\0');
    if (nul != std::wstring::npos) {
        text.resize(nul);
    }
    return kiv::Utf8FromWide(text);
}

} // namespace

TVersionResource ReadVersionResource(const std::wstring& file) {
    TVersionResource result;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) {
        return result;
    }
    std::vector<std::uint8_t> block(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) {
        return result;
    }
    result.Found = true;
    void* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &fixed, &length) &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
        result.Fixed = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                        HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
    }
    // The string table named by the first translation, else US English Unicode.
    wchar_t table[16] = L"040904B0";
    void* translation = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &length) &&
        length >= 4) {
        const auto* pair = static_cast<const WORD*>(translation);
        std::swprintf(table, 16, L"%04X%04X", pair[0], pair[1]);
    }
    result.FileVersion = Text(block, table, L"FileVersion");
    result.Comments = Text(block, table, L"Comments");
    result.LegalCopyright = Text(block, table, L"LegalCopyright");
    return result;
}

std::wstring ProgramFile() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace platform::winver

#endif // _WIN32

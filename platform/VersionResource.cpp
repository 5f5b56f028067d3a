#include "platform/VersionResource.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace platform {

#ifdef _WIN32
namespace {

// A string of the resource's first language block, as UTF-8; empty when absent.
std::string QueryString(const std::vector<char>& block, const wchar_t* name) {
    struct TLangCodePage {
        WORD Language;
        WORD CodePage;
    };
    TLangCodePage* pages = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&pages), &size) ||
        size < sizeof(TLangCodePage)) {
        return {};
    }
    wchar_t path[128];
    swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", pages[0].Language, pages[0].CodePage,
             name);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &length) ||
        length == 0) {
        return {};
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, value, -1, out.data(), bytes, nullptr, nullptr);
    while (!out.empty() && out.back() == '\0') {
        out.pop_back();
    }
    return out;
}

} // namespace
#endif

std::optional<TVersionResource> ReadVersionResource() {
#ifdef _WIN32
    wchar_t file[MAX_PATH];
    if (GetModuleFileNameW(nullptr, file, MAX_PATH) == 0) {
        return std::nullopt;
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &handle);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(file, 0, size, block.data())) {
        return std::nullopt;
    }
    TVersionResource r;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        r.Fixed = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                   HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
    }
    r.FileVersion = QueryString(block, L"FileVersion");
    r.Comments = QueryString(block, L"Comments");
    r.LegalCopyright = QueryString(block, L"LegalCopyright");
    return r;
#else
    return std::nullopt;
#endif
}

std::string VersionText(const TVersionResource& resource) {
    if (!resource.FileVersion.empty()) {
        return resource.FileVersion;
    }
    return std::to_string(resource.Fixed[0]) + '.' + std::to_string(resource.Fixed[1]) + '.' +
           std::to_string(resource.Fixed[2]) + '.' + std::to_string(resource.Fixed[3]);
}

} // namespace platform

// The version resource of a Windows program or DLL: the texts its properties
// show and the About box reads. No Qt. Windows only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace platform::winver {

struct TVersionResource {
    bool Found = false;                   // the file has a version resource
    std::string FileVersion;              // the "FileVersion" text (UTF-8), empty when absent
    std::string Comments;                 // "Comments"
    std::string LegalCopyright;           // "LegalCopyright"
    std::array<std::uint16_t, 4> Fixed{}; // major, minor, release, build
};

// The resource of the file (a full path); nothing Found when it has none or
// cannot be read.
TVersionResource ReadVersionResource(const std::wstring& file);

// The file of the running program.
std::wstring ProgramFile();

} // namespace platform::winver

// The version resource of the running program (Windows): its version strings
// and its fixed file version.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace platform {

struct TVersionResource {
    std::string FileVersion;
    std::string Comments;
    std::string LegalCopyright;
    std::array<int, 4> Fixed{}; // major, minor, release, build
};

// The resource of the program file; nothing where programs carry none (every
// system but Windows) or when it cannot be read.
std::optional<TVersionResource> ReadVersionResource();

// The version to show: the "FileVersion" string, or the fixed version written
// as "major.minor.release.build" when that string is empty.
std::string VersionText(const TVersionResource& resource);

} // namespace platform

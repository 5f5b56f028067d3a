// The text form of a registry store, as the registry editor exports it:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Kiv\Chronara\Data]
//   "ShowDate"=dword:00000001
//   "SLName"="Melbourne, Australia"
//   "SLLatitude"=hex:3d,0a,d7,a3,70,e8,42,c0
//
// Text is UTF-8; backslashes and double quotes in names and texts are escaped
// with a backslash. A text holding line breaks or other control characters is
// written as hex(1): its UTF-8 bytes and a closing zero byte.
#pragma once

#include "platform/Registry.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

// One key: its full path (with the root's name) and its values in order.
struct TRegKey {
    std::string Path;
    std::vector<std::pair<std::string, TRegValue>> Values;

    // Value names compare without regard to letter case, as the registry's do.
    const TRegValue* Find(const std::string& name) const;
    void Set(const std::string& name, const TRegValue& value);
};

// The keys of a store in the order they were read or made.
class TRegTree {
public:
    const TRegKey* Find(const std::string& path) const;
    TRegKey& Make(const std::string& path);
    // The key exists, or a key below it does (a key of the text form makes
    // every key above it exist).
    bool Exists(const std::string& path) const;
    const std::vector<TRegKey>& Keys() const { return List; }

private:
    std::vector<TRegKey> List;
    std::unordered_map<std::string, std::size_t> Index; // folded path -> position
};

struct TRegParseResult {
    TRegTree Tree;
    // One entry per line that could not be understood ("line N: text").
    std::vector<std::string> Problems;
};

// Reads the text form. Lines that cannot be understood are skipped and named
// in Problems; everything else is kept.
TRegParseResult ParseRegText(std::string_view text);
// Writes the text form of every key, in order.
std::string FormatRegText(const TRegTree& tree);

} // namespace platform

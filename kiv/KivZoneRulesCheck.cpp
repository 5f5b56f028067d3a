// The check of a compiled zone file's bytes, the words for its faults, the
// machine's own zone name and whether a zone is known: shared by every build,
// so the fuzz target and the tests run them anywhere.
#include "kiv/KivZoneRules.h"

#include "kiv/KivClock.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace kiv {

namespace {

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
    return (std::uint32_t{static_cast<unsigned char>(bytes[at])} << 24) |
           (std::uint32_t{static_cast<unsigned char>(bytes[at + 1])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(bytes[at + 2])} << 8) |
           std::uint32_t{static_cast<unsigned char>(bytes[at + 3])};
}

std::int64_t BigEndianTime(std::string_view bytes, std::size_t at, std::size_t size) {
    if (size == 4) {
        return static_cast<std::int32_t>(BigEndian32(bytes, at));
    }
    const std::uint64_t high = BigEndian32(bytes, at);
    return static_cast<std::int64_t>((high << 32) | BigEndian32(bytes, at + 4));
}

constexpr std::size_t HeaderSize = 44;
// Far more than any real zone has (a few hundred transitions, a dozen types),
// small enough that no count multiplies past the size of a file.
constexpr std::uint32_t MostCount = 1u << 20;

struct TBlock {
    char Version = 0;
    std::size_t End = 0; // just after the block's data
    std::size_t Times = 0;
    std::int64_t LastTime = 0;
};

// One header and its data block starting at `at`, with times of `timeSize`
// bytes. `full` checks the data as well, not only that it is all there.
bool CheckBlock(std::string_view bytes, std::size_t at, std::size_t timeSize, bool full,
                TBlock& block, TZoneFileFault& fault) {
    if (bytes.size() - at < HeaderSize) {
        fault = at == 0 && bytes.substr(0, 4) != std::string_view("TZif", 4)
                    ? TZoneFileFault::NotZoneFile
                    : TZoneFileFault::Truncated;
        return false;
    }
    const char version = bytes[at + 4];
    if (bytes.substr(at, 4) != "TZif" ||
        (version != 0 && version != '2' && version != '3' && version != '4')) {
        fault = TZoneFileFault::NotZoneFile;
        return false;
    }
    std::uint32_t counts[6];
    for (int i = 0; i < 6; ++i) {
        counts[i] = BigEndian32(bytes, at + 20 + 4 * static_cast<std::size_t>(i));
        if (counts[i] > MostCount) {
            fault = TZoneFileFault::Damaged;
            return false;
        }
    }
    const std::size_t isUt = counts[0], isStd = counts[1], leaps = counts[2], times = counts[3],
                      types = counts[4], chars = counts[5];
    const std::size_t size =
        times * timeSize + times + types * 6 + chars + leaps * (timeSize + 4) + isStd + isUt;
    const std::size_t data = at + HeaderSize;
    if (bytes.size() - data < size) {
        fault = TZoneFileFault::Truncated;
        return false;
    }
    block = {version, data + size, times,
             times > 0 ? BigEndianTime(bytes, data + (times - 1) * timeSize, timeSize) : 0};
    if (!full) {
        return true;
    }
    // The library reads no leap-second zones (those make it load the whole
    // database), needs a type to begin with, and takes the tables as given.
    if (leaps != 0 || types == 0 || chars == 0 || (isUt != 0 && isUt != types) ||
        (isStd != 0 && isStd != types)) {
        fault = TZoneFileFault::Damaged;
        return false;
    }
    std::size_t p = data;
    for (std::size_t i = 0; i < times; ++i, p += timeSize) {
        if (i > 0 &&
            BigEndianTime(bytes, p, timeSize) <= BigEndianTime(bytes, p - timeSize, timeSize)) {
            fault = TZoneFileFault::Damaged;
            return false;
        }
    }
    for (std::size_t i = 0; i < times; ++i, ++p) {
        if (static_cast<unsigned char>(bytes[p]) >= types) {
            fault = TZoneFileFault::Damaged;
            return false;
        }
    }
    for (std::size_t i = 0; i < types; ++i, p += 6) {
        const auto offset = static_cast<std::int32_t>(BigEndian32(bytes, p));
        const auto dst = static_cast<unsigned char>(bytes[p + 4]);
        const auto abbreviation = static_cast<unsigned char>(bytes[p + 5]);
        // Offsets within a day and a bit either way, as the format allows.
        if (offset < -89999 || offset > 93599 || dst > 1 || abbreviation >= chars) {
            fault = TZoneFileFault::Damaged;
            return false;
        }
    }
    return true;
}

} // namespace

std::string MachineZoneName(const std::string& folder) {
#if defined(_WIN32)
    (void)folder;
    return {};
#else
    // The part after ".../zoneinfo/" of a path; the text itself otherwise.
    const auto nameOf = [](std::string text) {
        const std::size_t at = text.rfind("zoneinfo/");
        return at == std::string::npos ? text : text.substr(at + 9);
    };
    std::string name;
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
        name = nameOf(tz[0] == ':' ? tz + 1 : tz);
    } else {
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::read_symlink("/etc/localtime", ec);
        if (ec) {
            return {};
        }
        name = nameOf(target.string());
    }
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) {
        return {};
    }
    std::error_code ec;
    return std::filesystem::is_regular_file(folder + "/" + name, ec) ? name : std::string();
#endif
}

const char* ZoneFileFaultText(TZoneFileFault fault) {
    switch (fault) {
    case TZoneFileFault::Missing:
        return "missing";
    case TZoneFileFault::NotAFile:
        return "not a file";
    case TZoneFileFault::Unreadable:
        return "unreadable";
    case TZoneFileFault::NotZoneFile:
        return "not a zone file";
    case TZoneFileFault::Truncated:
        return "truncated";
    case TZoneFileFault::Damaged:
        return "damaged";
    }
    return "damaged";
}

bool TZoneRules::CheckZoneFile(std::string_view bytes, TZoneFileFault& fault, TFacts* facts) {
    TBlock first;
    // Version 1 data is all a version 1 file has; later versions repeat the
    // data with 64-bit times after it, and the library reads only those.
    if (!CheckBlock(bytes, 0, 4, bytes.size() > 4 && bytes[4] == 0, first, fault)) {
        return false;
    }
    if (first.Version == 0) {
        if (facts != nullptr) {
            *facts = {first.Times > 0, first.LastTime, {}};
        }
        return true;
    }
    TBlock second;
    if (!CheckBlock(bytes, first.End, 8, true, second, fault)) {
        return false;
    }
    if (second.Version != first.Version) {
        fault = TZoneFileFault::Damaged;
        return false;
    }
    // The footer: a rule text between two line breaks.
    const std::string_view footer = bytes.substr(second.End);
    const std::size_t footerEnd = footer.empty() ? std::string_view::npos : footer.find('\n', 1);
    if (footer.empty() || footer.front() != '\n' || footerEnd == std::string_view::npos) {
        fault = TZoneFileFault::Truncated;
        return false;
    }
    if (facts != nullptr) {
        *facts = {second.Times > 0, second.LastTime, std::string(footer.substr(1, footerEnd - 1))};
    }
    return true;
}

bool TZoneRules::Knows(std::string_view zoneName) const {
    TZoneState state;
    return StateAt(zoneName, CurrentClock().UtcNow(), state);
}

} // namespace kiv

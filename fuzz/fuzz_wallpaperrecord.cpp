// Fuzzes reading the record of the user's wallpaper. Whatever the input, what
// is read (whole or recovered) and then merged with a desktop that shows our
// picture never gives our own picture back as the user's, and a whole record
// has values for each desktop.
#include "platform/WallpaperRecord.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    platform::TWallpaperEntries entries;
    QString problem;
    const bool whole = platform::ParseWallpaperRecord(bytes, entries, problem);
    if (whole == !problem.isEmpty()) {
        std::abort();
    }
    for (const auto& [desktop, values] : entries) {
        if (whole && values.empty()) {
            std::abort();
        }
        platform::TSavedWallpaper ours{true, {}};
        for (const platform::TDesktopValue& v : values) {
            ours.Values.push_back({v.Key, QStringLiteral("/opt/chronara/Wallpaper.bmp")});
        }
        if (platform::NamesOurWallpaper(platform::MergeKeptWallpaper(ours, &values))) {
            std::abort();
        }
    }
    return 0;
}

// Fuzzes the Windows build's whole path for the IANA text database on Linux:
// the bytes as tzdata.zi, rewritten (KivZoneText), read by date/tz built
// from source to read text (as scripts/windows-deps.sh builds it for
// Windows), and every zone asked at instants far apart. Built only when
// CHRONARA_DATE_SOURCE names date/tz's source folder (for instance
// build-windows/deps/src/date after `make windows`); it does not link kiv,
// whose Linux build uses the other form of the library.
#include "kiv/KivZoneText.h"

#include <date/tz.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool started = false;
    kiv::TZoneText text;
    std::size_t badLine = 0;
    if (!kiv::ExpandZoneText(std::string_view(reinterpret_cast<const char*>(data), size), text,
                             badLine)) {
        return 0;
    }
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("chronara-fuzz-tzdata-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "version") << "fuzz\n";
    std::ofstream(folder / "africa") << text.LongForm;
    date::set_install(folder.string());
    try {
        if (!started) {
            (void)date::get_tzdb_list();
            started = true;
        } else {
            (void)date::reload_tzdb();
            date::tzdb_list& list = date::get_tzdb_list();
            while (std::next(list.begin()) != list.end()) {
                list.erase_after(list.begin());
            }
        }
    } catch (const std::exception&) {
        return 0;
    }
    for (const std::string& name : text.Zones) {
        const date::time_zone* zone = nullptr;
        try {
            zone = date::get_tzdb().locate_zone(name);
        } catch (const std::exception&) {
            continue;
        }
        for (const long long at : {-4000000000LL, 0LL, 1800000000LL, 4000000000LL}) {
            try {
                (void)zone->get_info(date::sys_seconds{std::chrono::seconds{at}});
            } catch (const std::exception&) {
                // Refusals are fine; crashes and sanitizer reports are not.
            }
        }
    }
    return 0;
}

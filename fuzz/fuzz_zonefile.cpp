// Fuzzes the zone-file reader of the machine's zone database: the bytes as a
// zone file of a folder, read through the whole path (the check, the library,
// the rule text after the last transition), asked for its clock and next
// change at instants around the present and far off. A file the check lets
// through must never make the library fail.
#include "kiv/KivDateTime.h"
#include "kiv/KivZoneRules.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("chronara-fuzz-zone-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "Fuzz");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        std::FILE* out = std::fopen((folder / "Fuzz" / "Zone").c_str(), "wb");
        if (out == nullptr) {
            return 0;
        }
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    kiv::TZoneFileFault fault = kiv::TZoneFileFault::Damaged;
    const bool good = kiv::TZoneRules::CheckZoneFile(bytes, fault);
    const kiv::TZoneRules rules(folder.string());
    kiv::TZoneState state;
    bool answered = false;
    for (const kiv::TDateTime utc : {-600000.0, 0.0, 46000.0, 46500.0, 47000.0, 2000000.0}) {
        answered = rules.StateAt("Fuzz/Zone", utc, state) || answered;
        kiv::TDateTime when = 0;
        kiv::TZoneState before, after;
        (void)rules.NextChange("Fuzz/Zone", utc, when, before, after);
    }
    const auto problems = rules.TakeProblems();
    // A file the check refuses is never answered from and is named once.
    if (!good && (answered || problems.size() != 1)) {
        std::abort();
    }
    return 0;
}

// Fuzzes the reading of the IANA text database (tzdata.zi, as the Windows
// build takes it from its data folder): the bytes as the file's text. What is
// taken must come out as lines of the long forms only, each zone named once.
#include "kiv/KivZoneText.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    kiv::TZoneText result;
    std::size_t badLine = 0;
    if (!kiv::ExpandZoneText(text, result, badLine)) {
        return 0;
    }
    if (result.Zones.empty()) {
        std::abort();
    }
    std::string_view rest = result.LongForm;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) {
            std::abort(); // every line is ended
        }
        const std::string_view line = rest.substr(0, end);
        if (!(line.starts_with("Rule\t") || line.starts_with("Zone\t") ||
              line.starts_with("Link\t") || line.starts_with("\t")) ||
            line.find('#') != std::string_view::npos) {
            std::abort();
        }
        rest.remove_prefix(end + 1);
    }
    return 0;
}

// Fuzzes unscrambling and inflating a packed data file, then splitting its lines.
#include "kiv/KivData.h"
#include "kiv/KivErrors.h"
#include "kiv/KivStream.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    kiv::ScrambleBytes(bytes.data(), bytes.size(), kiv::NameSeed("tz_data.dat"));
    kiv::TMemoryStream text;
    try {
        kiv::InflateInto(text, bytes.data(), bytes.size(), "fuzz input");
    } catch (const kiv::EKivError&) {
        return 0;
    }
    kiv::TStringList lines;
    kiv::SplitLines(text.View(), lines);
    return 0;
}

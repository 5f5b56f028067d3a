// Fuzzes reading a translation file and looking texts up in it; every text
// read must escape and read back to itself.
#include "kiv/KivLang.h"
#include "kiv/KivText.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kiv::TLangTable table;
    table.Parse(bytes);
    const std::string text = kiv::DecodeLangBytes(bytes);
    if (!kiv::IsValidUtf8(text)) {
        std::abort(); // the decoder must always give UTF-8
    }
    const std::string line = text.substr(0, text.find('\n'));
    (void)table.Translate("S", line);
    (void)table.HasEntry("", line);
    (void)kiv::SectionNameOf(line);
    if (kiv::UnescapeLangText(kiv::EscapeText(line)) != line) {
        std::abort();
    }
    const std::string plain = kiv::UnescapeLangText(line);
    if (!kiv::IsValidUtf8(plain)) {
        std::abort(); // escapes of 8-bit codes give UTF-8 letters
    }
    return 0;
}

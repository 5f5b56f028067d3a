// Fuzzes reading the settings file. Whatever the input, writing what was read
// and reading that again must give the same keys and values with no problem
// lines, and writing it a second time must give the same text.
#include "platform/RegFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool SameTree(const platform::TRegTree& a, const platform::TRegTree& b) {
    if (a.Keys().size() != b.Keys().size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.Keys().size(); ++i) {
        const platform::TRegKey& x = a.Keys()[i];
        const platform::TRegKey& y = b.Keys()[i];
        if (x.Path != y.Path || x.Values != y.Values) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const platform::TRegParseResult first = platform::ParseRegText(bytes);
    for (const platform::TRegKey& key : first.Tree.Keys()) {
        if (first.Tree.Find(key.Path) != &key || !first.Tree.Exists(key.Path)) {
            std::abort(); // every key read is found again under its own path
        }
        for (const auto& [name, value] : key.Values) {
            if (key.Find(name) == nullptr) {
                std::abort();
            }
        }
    }
    const std::string text = platform::FormatRegText(first.Tree);
    const platform::TRegParseResult second = platform::ParseRegText(text);
    if (!second.Problems.empty() || !SameTree(first.Tree, second.Tree)) {
        std::abort(); // what was written must read back whole
    }
    if (platform::FormatRegText(second.Tree) != text) {
        std::abort();
    }
    return 0;
}

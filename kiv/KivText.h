// Text helpers of the core: comparing UTF-8 names without regard to letter
// case (Unicode simple case folding), the comparison the program passes in to
// sort names in the user's order, and the backslash escapes of text tables.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kiv {

// The simple case folding of one code point: its small letter for nearly all
// scripts (Cherokee folds to its capitals); a code point without one is itself.
char32_t FoldCodePoint(char32_t cp);

// The text with every code point folded. Bytes that are not UTF-8 stay as they
// are. Folding may change the length ("K", the Kelvin sign, becomes "k").
std::string FoldCase(std::string_view text);
// The same, appended to `out` (for loops that reuse one buffer).
void AppendFoldCase(std::string_view text, std::string& out);
// Whether two texts are equal once folded.
bool SameText(std::string_view a, std::string_view b);
// -1, 0 or +1: the folded texts in code-point order.
int CompareText(std::string_view a, std::string_view b);
// Whether the folded text begins with the folded prefix.
bool StartsWithText(std::string_view text, std::string_view prefix);

// The value of a hexadecimal digit (either letter case), or -1 for any other
// character.
int HexDigit(char c);

// One name looked for among many (a linear scan by name): SameText with
// cheap refusals that mostly need no more than a name's length.
class TNameMatcher {
public:
    explicit TNameMatcher(std::string_view name);
    bool Matches(std::string_view other) const {
        // Most names are refused by their length alone, without reading them.
        if (Ascii && (other.size() < Name.size() || other.size() > Longest)) {
            return false;
        }
        if (Name.empty() || other.empty()) {
            return Name.empty() && other.empty();
        }
        if (Differ(Name.back(), other.back()) || Differ(Name.front(), other.front())) {
            return false;
        }
        return SameText(Name, other);
    }

private:
    // Two ASCII characters that differ also once folded.
    static bool Differ(char x, char y) {
        const auto cx = static_cast<unsigned char>(x);
        const auto cy = static_cast<unsigned char>(y);
        return cx != cy && (cx | cy) < 0x80 && (cx | 0x20u) != (cy | 0x20u);
    }

    std::string_view Name;
    // For a name of ASCII only, the longest text that can equal it: only the
    // Kelvin sign (3 bytes, "k") and the long s (2 bytes, "s") fold into ASCII.
    std::size_t Longest = 0;
    bool Ascii = true;
};

// A three-way comparison of two names (negative, 0, positive). The core sorts
// with CompareText unless the program passes the user's locale's comparison.
using TTextCompare = std::function<int(std::string_view, std::string_view)>;

// Writes the text so that one line can carry any character: \n \t \r \a \b \f
// \v \" and \\ for their characters, \xhh (small hex digits) for the other
// control characters below 32; everything else as it is.
std::string EscapeText(std::string_view text);
// Reads those escapes back, and also \x with two hex digits in either case and
// \ with one to three octal digits. A backslash that starts no escape stays.
std::string UnescapeText(std::string_view text);

} // namespace kiv

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
// Whether two texts are equal once folded.
bool SameText(std::string_view a, std::string_view b);
// -1, 0 or +1: the folded texts in code-point order.
int CompareText(std::string_view a, std::string_view b);
// Whether the folded text begins with the folded prefix.
bool StartsWithText(std::string_view text, std::string_view prefix);

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

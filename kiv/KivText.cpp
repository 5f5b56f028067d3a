#include "kiv/KivText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

namespace kiv {

namespace {

// A run of code points that fold by one difference: every Stride-th code point
// from First to Last folds to itself plus Delta.
struct TFoldRun {
    char32_t First;
    char32_t Last;
    std::int32_t Stride;
    std::int32_t Delta;
};

constexpr TFoldRun FoldRuns[] = {
#include "kiv/KivCaseFold.inc"
};

// A byte that starts no valid UTF-8 sequence decodes to a value beyond
// Unicode, so that it equals only the same byte.
constexpr char32_t InvalidByteBase = 0x110000;

// Decodes the code point at text[i] and advances i past it.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t lowest = 0;
    if ((c & 0xE0u) == 0xC0u) {
        length = 2;
        cp = c & 0x1Fu;
        lowest = 0x80;
    } else if ((c & 0xF0u) == 0xE0u) {
        length = 3;
        cp = c & 0x0Fu;
        lowest = 0x800;
    } else if ((c & 0xF8u) == 0xF0u) {
        length = 4;
        cp = c & 0x07u;
        lowest = 0x10000;
    }
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
        ++i;
        return InvalidByteBase + c;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0u) != 0x80u) {
            ++i;
            return InvalidByteBase + c;
        }
        cp = (cp << 6) | (next & 0x3Fu);
    }
    if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return InvalidByteBase + c;
    }
    i += static_cast<std::size_t>(length);
    return cp;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp >= InvalidByteBase) {
        out += static_cast<char>(cp - InvalidByteBase);
    } else if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0u | (cp >> 6));
        out += static_cast<char>(0x80u | (cp & 0x3Fu));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0u | (cp >> 12));
        out += static_cast<char>(0x80u | ((cp >> 6) & 0x3Fu));
        out += static_cast<char>(0x80u | (cp & 0x3Fu));
    } else {
        out += static_cast<char>(0xF0u | (cp >> 18));
        out += static_cast<char>(0x80u | ((cp >> 12) & 0x3Fu));
        out += static_cast<char>(0x80u | ((cp >> 6) & 0x3Fu));
        out += static_cast<char>(0x80u | (cp & 0x3Fu));
    }
}

// The folded code point at text[i], advancing i; ASCII without the table.
char32_t NextFolded(std::string_view text, std::size_t& i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        ++i;
        return c >= 'A' && c <= 'Z' ? c + 32u : c;
    }
    return FoldCodePoint(NextCodePoint(text, i));
}

// Folds both texts code point by code point: -1, 0 or +1 on the first
// difference; with `prefixOnly`, 0 as soon as b is used up.
int CompareFolded(std::string_view a, std::string_view b, bool prefixOnly) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = NextFolded(a, i);
        const char32_t cb = NextFolded(b, j);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (j == b.size() && (prefixOnly || i == a.size())) {
        return 0;
    }
    return i == a.size() ? -1 : 1;
}

// The characters written as a backslash and a letter, and those letters.
constexpr std::string_view EscapedChars = "\n\t\r\a\b\f\v\"\\";
constexpr std::string_view EscapeLetters = "ntrabfv\"\\";

} // namespace

char32_t FoldCodePoint(char32_t cp) {
    if (cp < 0x80) {
        return cp >= U'A' && cp <= U'Z' ? cp + 32 : cp;
    }
    const auto* it =
        std::upper_bound(std::begin(FoldRuns), std::end(FoldRuns), cp,
                         [](char32_t value, const TFoldRun& run) { return value < run.First; });
    if (it == std::begin(FoldRuns)) {
        return cp;
    }
    const TFoldRun& run = *std::prev(it);
    if (cp > run.Last || (cp - run.First) % static_cast<char32_t>(run.Stride) != 0) {
        return cp;
    }
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + run.Delta);
}

std::string FoldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFoldCase(text, out);
    return out;
}

void AppendFoldCase(std::string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size();) {
        // A run of ASCII bytes is folded in one go.
        std::size_t end = i;
        while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) {
            ++end;
        }
        if (end > i) {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            std::transform(text.begin() + static_cast<std::ptrdiff_t>(i),
                           text.begin() + static_cast<std::ptrdiff_t>(end),
                           out.begin() + static_cast<std::ptrdiff_t>(at), [](char c) {
                               return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
                           });
            i = end;
            continue;
        }
        AppendUtf8(FoldCodePoint(NextCodePoint(text, i)), out);
    }
}

bool SameText(std::string_view a, std::string_view b) {
    // Of two texts equal once folded, the longer holds a byte beyond ASCII:
    // an ASCII text folds to as many ASCII characters, and no text folds to
    // more ASCII characters than it has bytes.
    if (a.size() != b.size()) {
        const std::string_view longer = a.size() > b.size() ? a : b;
        if (std::all_of(longer.begin(), longer.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            return false;
        }
    }
    // Plain ASCII compares byte by byte; the first other byte hands the rest
    // to the folding comparison.
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) >= 0x80) {
            break;
        }
        if (ca != cb) {
            const unsigned lower = ca | 0x20u;
            if (lower != (cb | 0x20u) || lower < 'a' || lower > 'z') {
                return false;
            }
        }
    }
    if (i == n) {
        return a.size() == b.size();
    }
    return CompareFolded(a.substr(i), b.substr(i), false) == 0;
}

TNameMatcher::TNameMatcher(std::string_view name) : Name(name) {
    std::size_t longest = name.size();
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            Ascii = false;
        }
        const unsigned lower = u | 0x20u;
        longest += lower == 'k' ? 2 : lower == 's' ? 1 : 0;
    }
    Longest = longest;
}

int CompareText(std::string_view a, std::string_view b) {
    return CompareFolded(a, b, false);
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
    return CompareFolded(text, prefix, true) == 0;
}

std::string EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const std::size_t named = EscapedChars.find(c);
        if (named != std::string_view::npos) {
            out += '\\';
            out += EscapeLetters[named];
        } else if (static_cast<unsigned char>(c) < 32) {
            static constexpr char digits[] = "0123456789abcdef";
            out += "\\x";
            out += digits[static_cast<unsigned char>(c) >> 4];
            out += digits[static_cast<unsigned char>(c) & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char e = text[i + 1];
        const std::size_t named = EscapeLetters.find(e);
        if (named != std::string_view::npos) {
            out += EscapedChars[named];
            ++i;
        } else if (e == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else if (e >= '0' && e <= '7') {
            int value = 0;
            std::size_t k = i + 1;
            while (k < text.size() && k < i + 4 && text[k] >= '0' && text[k] <= '7') {
                value = value * 8 + (text[k] - '0');
                ++k;
            }
            out += static_cast<char>(value & 0xFF);
            i = k - 1;
        } else {
            out += c; // no escape: the backslash stays, the next character follows
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace kiv

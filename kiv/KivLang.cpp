#include "kiv/KivLang.h"

#include "kiv/KivText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace kiv {

namespace {

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F; the five bytes
// the code page leaves undefined map to the C1 control of the same value.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One byte of an 8-bit text: ASCII as it is, the rest as Windows-1252.
void AppendCp1252(std::string& out, unsigned byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        AppendUtf8(out, Cp1252High[byte - 0x80]);
    } else {
        AppendUtf8(out, byte);
    }
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    const std::size_t n = bytes.size() & ~std::size_t{1};
    for (std::size_t i = 0; i < n; i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < n) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD; // a surrogate without its partner
        }
        AppendUtf8(out, cp);
    }
    return out;
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The text after a line's first "=", trimmed.
std::string_view ValueOf(std::string_view line) {
    return Trimmed(line.substr(line.find('=') + 1));
}

} // namespace

std::string UnescapeLangText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c != '\\' || i + 1 == n) {
            out += c;
            ++i;
            continue;
        }
        const char d = text[i + 1];
        char simple = 0;
        switch (d) {
        case 'n':
            simple = '\n';
            break;
        case 't':
            simple = '\t';
            break;
        case 'r':
            simple = '\r';
            break;
        case 'a':
            simple = '\a';
            break;
        case 'b':
            simple = '\b';
            break;
        case 'f':
            simple = '\f';
            break;
        case 'v':
            simple = '\v';
            break;
        case '"':
            simple = '"';
            break;
        case '\\':
            simple = '\\';
            break;
        default:
            break;
        }
        if (simple != 0) {
            out += simple;
            i += 2;
        } else if (d == 'x' && i + 3 < n && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            AppendCp1252(out,
                         static_cast<unsigned>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3])));
            i += 4;
        } else if (d >= '0' && d <= '7') {
            unsigned value = 0;
            std::size_t j = i + 1;
            while (j < n && j < i + 4 && text[j] >= '0' && text[j] <= '7' &&
                   value * 8 + static_cast<unsigned>(text[j] - '0') <= 0xFF) {
                value = value * 8 + static_cast<unsigned>(text[j] - '0');
                ++j;
            }
            AppendCp1252(out, value);
            i = j;
        } else {
            out += c; // not an escape: the backslash stays as written
            ++i;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (n - i < len) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = cp << 6 | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            return false;
        }
        i += len;
    }
    return true;
}

// The length of an unfinished UTF-8 sequence that ends the bytes (a file cut
// short, or read only up to MaxFileBytes): a lead byte followed by fewer
// continuation bytes than it announces. 0 when the bytes end whole.
std::size_t UnfinishedTail(std::string_view bytes) {
    const std::size_t n = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80) {
            continue;
        }
        const std::size_t len = (c & 0xE0) == 0xC0   ? 2
                                : (c & 0xF0) == 0xE0 ? 3
                                : (c & 0xF8) == 0xF0 ? 4
                                                     : 0;
        return len > back ? back : 0;
    }
    return 0;
}

std::string DecodeLangBytes(std::string_view bytes) {
    if (bytes.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(bytes[0]);
        const auto b1 = static_cast<unsigned char>(bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE) {
            return DecodeUtf16(bytes.substr(2), false);
        }
        if (b0 == 0xFE && b1 == 0xFF) {
            return DecodeUtf16(bytes.substr(2), true);
        }
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    // UTF-8 cut in the middle of its last character is still UTF-8: the
    // broken character goes, the rest keeps its meaning. A lone lead byte at
    // the end of a plain ASCII text is taken as the 8-bit character it is.
    const std::size_t tail = UnfinishedTail(bytes);
    if (tail > 0) {
        const std::string_view whole = bytes.substr(0, bytes.size() - tail);
        const bool wide = tail > 1 || std::any_of(whole.begin(), whole.end(), [](char c) {
                              return static_cast<unsigned char>(c) >= 0x80;
                          });
        if (wide && IsValidUtf8(whole)) {
            return std::string(whole);
        }
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        AppendCp1252(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string SectionNameOf(std::string_view line) {
    const std::size_t slashes = line.find("//");
    const std::size_t start = slashes == std::string_view::npos ? 1 : slashes + 2;
    const std::size_t dash = line.find('-');
    if (dash == std::string_view::npos || dash <= start) {
        return {};
    }
    return std::string(Trimmed(line.substr(start, dash - start)));
}

void TLangTable::Parse(std::string_view bytes) {
    const std::string text = DecodeLangBytes(bytes);
    std::string section;
    std::string english; // escaped, as written; empty when none is pending
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line = Trimmed(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '<') {
            section = FoldCase(SectionNameOf(line));
            english.clear(); // a pair never spans two sections
        } else if (line.starts_with("E=")) {
            english = ValueOf(line);
        } else if (line.starts_with("T=")) {
            const std::string_view translation = ValueOf(line);
            if (!english.empty() && !translation.empty()) {
                AddPair(section, english, std::string(translation));
            }
            english.clear();
        }
    }
}

void TLangTable::AddPair(const std::string& section, const std::string& english,
                         const std::string& translation) {
    TSection& s = Sections[section];
    std::string key = FoldCase(UnescapeLangText(english));
    if (translation == "*") {
        s.Untranslated.insert(std::move(key));
    } else {
        // The first entry for a text holds; later duplicates are ignored.
        s.Translations.try_emplace(std::move(key), UnescapeLangText(translation));
    }
}

bool TLangTable::LoadFile(const std::string& path) {
    struct TCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, TCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < MaxFileBytes) {
        const std::size_t want = std::min(sizeof buffer, MaxFileBytes - bytes.size());
        const std::size_t got = std::fread(buffer, 1, want, file.get());
        bytes.append(buffer, got);
        if (got < want) {
            break;
        }
    }
    // A read that fails (a directory, on systems that open one) reads nothing:
    // the file counts as unreadable, not as an empty table.
    if (std::ferror(file.get()) != 0) {
        return false;
    }
    Parse(bytes);
    return true;
}

const TLangTable::TSection* TLangTable::FindSection(std::string_view section) const {
    const auto it = Sections.find(FoldCase(section));
    return it == Sections.end() ? nullptr : &it->second;
}

std::string TLangTable::Translate(std::string_view section, std::string_view text) const {
    if (const TSection* s = FindSection(section)) {
        const auto it = s->Translations.find(FoldCase(text));
        if (it != s->Translations.end()) {
            return it->second;
        }
    }
    return std::string(text);
}

bool TLangTable::HasEntry(std::string_view section, std::string_view text) const {
    const TSection* s = FindSection(section);
    if (s == nullptr) {
        return false;
    }
    const std::string key = FoldCase(text);
    return s->Translations.contains(key) || s->Untranslated.contains(key);
}

std::size_t TLangTable::Size() const {
    std::size_t n = 0;
    for (const auto& [name, s] : Sections) {
        n += s.Translations.size();
    }
    return n;
}

} // namespace kiv

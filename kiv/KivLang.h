// Interface-text translation: the "lang.txt" file, read into sections that
// map an English text to its translation, and the look-up the windows use.
//
// The file is text, one entry per line, each line trimmed of blanks:
//   empty or ";..."   ignored
//   "<..."            starts a section (see SectionNameOf)
//   "E=text"          the English text of the next pair
//   "T=text"          its translation; "*" marks a text left untranslated
// Texts are written with the backslash escapes of KivText (EscapeText), so
// that a line can carry any character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace kiv {

// Reads an escaped text of the file back, as UnescapeText does, except that a
// code from 0x80 up (\xe4, \344) stands for the Windows-1252 character of that
// byte, so files written for 8-bit systems keep their meaning and the result
// stays UTF-8. Octal escapes take at most three digits up to 377. A malformed
// escape (\x without two hex digits, an unknown letter, a lone backslash at the
// end) stays as written. Texts are written with EscapeText.
std::string UnescapeLangText(std::string_view text);

// The text of a file as UTF-8: a byte-order mark is dropped, UTF-16 with a
// byte-order mark is converted, valid UTF-8 is taken as it is (also when it
// is cut inside its last character, which is then left out), and anything
// else is read as Windows-1252.
std::string DecodeLangBytes(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// The name a section line starts: from just after the line's first "//" (from
// its second character without one) up to its first "-"; empty when that "-"
// is missing or does not come after the start. Blanks around it are dropped.
std::string SectionNameOf(std::string_view line);

class TLangTable {
public:
    // Reads the text of a lang.txt file (any bytes; see DecodeLangBytes).
    // Readable entries are kept; nothing in the text makes it fail.
    void Parse(std::string_view bytes);
    // Reads a file; false, the table unchanged, when the file is missing or
    // cannot be read (a directory among them). At most MaxFileBytes are read,
    // so a stray huge file cannot stall start-up.
    bool LoadFile(const std::string& path);
    static constexpr std::size_t MaxFileBytes = 4u << 20;

    // The translation of `text` in `section`, or `text` itself when there is
    // none. Section names and texts are compared with letter case ignored.
    std::string Translate(std::string_view section, std::string_view text) const;
    // True when the file has an entry for the text, a translation or "*".
    bool HasEntry(std::string_view section, std::string_view text) const;

    bool Empty() const { return Sections.empty(); }
    // The number of stored translations (entries marked "*" not counted).
    std::size_t Size() const;
    void Clear() { Sections.clear(); }

private:
    struct TSection {
        // Folded English text -> translation, both un-escaped.
        std::unordered_map<std::string, std::string> Translations;
        // Folded English texts marked "*".
        std::unordered_set<std::string> Untranslated;
    };
    const TSection* FindSection(std::string_view section) const;
    void AddPair(const std::string& section, const std::string& english,
                 const std::string& translation);
    std::unordered_map<std::string, TSection> Sections; // by folded name
};

} // namespace kiv

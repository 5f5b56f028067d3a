#include "kiv/KivLang.h"
#include "kiv/KivText.h"

#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace kiv;

namespace {

// A byte string literal with its NULs.
template <std::size_t N> std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

struct TEscapeRow {
    std::string Plain;
    std::string Escaped;
};

// Both directions: the plain text escapes to the written form and back.
const TEscapeRow EscapeRows[] = {
    {"Hello", "Hello"},
    {"a\nb", "a\\nb"},
    {"\t\r\a\b\f\v", "\\t\\r\\a\\b\\f\\v"},
    {"say \"hi\"", "say \\\"hi\\\""},
    {"C:\\dir", "C:\\\\dir"},
    {std::string("\x01\x1f", 2), "\\x01\\x1f"},
    {std::string("nul\0end", 7), "nul\\x00end"},
    {"\x7f", "\x7f"},
    {"Gr\xc3\xbc\xc3\x9f"
     "e",
     "Gr\xc3\xbc\xc3\x9f"
     "e"}, // UTF-8 stays as it is
    {"% Used", "% Used"},
};

class LangEscape : public ::testing::TestWithParam<TEscapeRow> {};

TEST_P(LangEscape, BothDirections) {
    EXPECT_EQ(EscapeText(GetParam().Plain), GetParam().Escaped);
    EXPECT_EQ(UnescapeLangText(GetParam().Escaped), GetParam().Plain);
}

INSTANTIATE_TEST_SUITE_P(Rows, LangEscape, ::testing::ValuesIn(EscapeRows));

// Written forms that only read: other spellings, 8-bit codes and malformed
// escapes, which stay as written.
const TEscapeRow ReadOnlyRows[] = {
    {"\n", "\\x0A"},
    {"A", "\\101"},
    {std::string("\0"
                 "1",
                 2),
     "\\0001"}, // at most three octal digits
    {"\x1f"
     "9",
     "\\379"},             // octal stops at a non-octal digit
    {"\xc3\xa4", "\\xe4"}, // 8-bit code: Windows-1252 letter
    {"\xc3\xa4", "\\344"},
    {"\xe2\x82\xac", "\\x80"}, // the euro sign of Windows-1252
    {"\\x", "\\x"},            // no hex digits
    {"\\x4", "\\x4"},          // one hex digit at the end
    {"\\xg1", "\\xg1"},
    {"end\\", "end\\"}, // lone backslash at the end
    {"\\q", "\\q"},     // unknown letter
    {"\\\\", "\\\\\\\\"},
};

class LangUnescape : public ::testing::TestWithParam<TEscapeRow> {};

TEST_P(LangUnescape, ReadsTheWrittenForm) {
    EXPECT_EQ(UnescapeLangText(GetParam().Escaped), GetParam().Plain);
}

INSTANTIATE_TEST_SUITE_P(Rows, LangUnescape, ::testing::ValuesIn(ReadOnlyRows));

TEST(LangEscape, RoundTripOfEveryByteBelow128) {
    std::string all;
    for (int c = 0; c < 128; ++c) {
        all += static_cast<char>(c);
    }
    EXPECT_EQ(UnescapeLangText(EscapeText(all)), all);
    const std::string escaped = EscapeText(all);
    for (const char c : escaped) {
        EXPECT_GE(static_cast<unsigned char>(c), 32u) << "control character left unescaped";
    }
}

struct TSectionRow {
    std::string Line;
    std::string Name;
};

const TSectionRow SectionRows[] = {
    {"<//TFormChronara-->", "TFormChronara"},
    {"<// TFormChronara -->", "TFormChronara"},
    {"<!-- //TFormChronara -->", ""}, // the "-" of "<!--" comes first
    {"<TWizard1- page one", "TWizard1"},
    {"<Toptions>", ""},            // no "-"
    {"<-Toptions", ""},            // "-" at the start
    {"<-- //STRING_TABLE-->", ""}, // the first "-" comes before the "//"
    {"<//-", ""},
    {"<a//b//c-d", "b//c"}, // the first "//" counts
    {"<", ""},
};

class LangSection : public ::testing::TestWithParam<TSectionRow> {};

TEST_P(LangSection, NameOfTheLine) {
    EXPECT_EQ(SectionNameOf(GetParam().Line), GetParam().Name);
}

INSTANTIATE_TEST_SUITE_P(Rows, LangSection, ::testing::ValuesIn(SectionRows));

TLangTable Parsed(const std::string& text) {
    TLangTable table;
    table.Parse(text);
    return table;
}

TEST(LangTable, LineRules) {
    const TLangTable t = Parsed("; a comment\n"
                                "  <//Sec-->  \n"
                                "E=Open\n"
                                "T=\xc3\x96"
                                "ffnen\n"
                                "   E =Spaced key is not an entry\n"
                                "T=ignored\n"
                                "E=  Padded  \n"
                                "T=  Gepolstert  \n"
                                "e=Lower prefix\n"
                                "T=ignored\n"
                                "E=Star\n"
                                "T=*\n"
                                "E=Empty\n"
                                "T=\n"
                                "T=Orphan\n"
                                "E=a=b\n"
                                "T=c=d\n"
                                "E=First\n"
                                "E=Second\n"
                                "T=Zweite\n"
                                "\n"
                                "E=Line\\nbreak\n"
                                "T=Zeilen\\numbruch\r\n");
    EXPECT_EQ(t.Translate("Sec", "Open"), "\xc3\x96"
                                          "ffnen");
    EXPECT_EQ(t.Translate("Sec", "Padded"), "Gepolstert");
    EXPECT_EQ(t.Translate("Sec", "Spaced key is not an entry"), "Spaced key is not an entry");
    EXPECT_EQ(t.Translate("Sec", "Lower prefix"), "Lower prefix");
    EXPECT_EQ(t.Translate("Sec", "Star"), "Star");
    EXPECT_TRUE(t.HasEntry("Sec", "Star"));
    EXPECT_FALSE(t.HasEntry("Sec", "Empty"));
    EXPECT_EQ(t.Translate("Sec", "a=b"), "c=d");
    EXPECT_EQ(t.Translate("Sec", "First"), "First");
    EXPECT_EQ(t.Translate("Sec", "Second"), "Zweite");
    EXPECT_EQ(t.Translate("Sec", "Line\nbreak"), "Zeilen\numbruch");
    EXPECT_EQ(t.Size(), 5u);
}

TEST(LangTable, LookUpIgnoresCaseOfTextAndSectionOnly) {
    const TLangTable t = Parsed("<//Toptions-\nE=Show CLOCK\nT=Uhr zeigen\n"
                                "E=\xc3\x84rger\nT=Anger\n"
                                "<//Other-\nE=Show clock\nT=Anders\n");
    EXPECT_EQ(t.Translate("Toptions", "show clock"), "Uhr zeigen");
    EXPECT_EQ(t.Translate("TOPTIONS", "SHOW CLOCK"), "Uhr zeigen");
    EXPECT_EQ(t.Translate("Toptions", "\xc3\xa4rger"), "Anger");
    EXPECT_EQ(t.Translate("Other", "Show Clock"), "Anders");
    EXPECT_EQ(t.Translate("Missing", "Show Clock"), "Show Clock");
    EXPECT_EQ(t.Translate("Toptions", "Show clock "), "Show clock ");
}

TEST(LangTable, SectionsCollectPairsAndNeverShareOne) {
    const TLangTable t = Parsed("E=Before any section\nT=Davor\n"
                                "<//A-\nE=One\nT=Eins\n"
                                "<//B-\nE=Dangling\n<//A-\nT=Wrong\nE=Two\nT=Zwei\n");
    EXPECT_EQ(t.Translate("", "Before any section"), "Davor");
    EXPECT_EQ(t.Translate("A", "One"), "Eins");
    EXPECT_EQ(t.Translate("A", "Two"), "Zwei");
    EXPECT_EQ(t.Translate("A", "Dangling"), "Dangling");
}

TEST(LangTable, EscapedKeysMatchThePlainText) {
    const TLangTable t = Parsed("<//S-\nE=Say \\\"Hi\\\"\\n\nT=Sag \\\"Hallo\\\"\\n\n"
                                "E=Tab\\x09here\nT=Tab\\there\n");
    EXPECT_EQ(t.Translate("S", "Say \"hi\"\n"), "Sag \"Hallo\"\n");
    EXPECT_EQ(t.Translate("S", "Tab\there"), "Tab\there");
    EXPECT_TRUE(t.HasEntry("S", "tab\there"));
}

struct TEncodingRow {
    const char* Name;
    std::string Bytes;
};

const TEncodingRow EncodingRows[] = {
    {"utf8", "<//S-\nE=Close\nT=Schlie\xc3\x9f"
             "en\n"},
    {"utf8_bom", "\xef\xbb\xbf<//S-\nE=Close\nT=Schlie\xc3\x9f"
                 "en\n"},
    {"windows1252", "<//S-\nE=Close\nT=Schlie\xdf"
                    "en\n"},
    {"utf16le", Bytes("\xff\xfe<\0/\0/\0S\0-\0\n\0E\0=\0C\0l\0o\0s\0e\0\n\0"
                      "T\0=\0S\0c\0h\0l\0i\0e\0\xdf\0e\0n\0")},
    {"old_mac_lines", "<//S-\rE=Close\rT=Schlie\xc3\x9f"
                      "en"},
    // UTF-8 cut short inside its last character stays UTF-8.
    {"utf8_cut_in_a_character", "<//S-\nE=Close\nT=Schlie\xc3\x9f"
                                "en\nE=Open\nT=\xc3"},
    {"utf8_cut_in_a_long_character", "<//S-\nE=Close\nT=Schlie\xc3\x9f"
                                     "en\nE=Euro\nT=\xe2\x82"},
};

class LangEncoding : public ::testing::TestWithParam<TEncodingRow> {};

TEST_P(LangEncoding, ReadsTheTranslation) {
    EXPECT_EQ(Parsed(GetParam().Bytes).Translate("S", "Close"), "Schlie\xc3\x9f"
                                                                "en");
}

INSTANTIATE_TEST_SUITE_P(Rows, LangEncoding, ::testing::ValuesIn(EncodingRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(LangTable, ACutFileKeepsWhatCameBeforeTheCut) {
    // The broken character is left out; the rest of its line counts.
    EXPECT_EQ(Parsed("<//S-\nE=Open\nT=\xc3\x96"
                     "ffnen \xe2\x82")
                  .Translate("S", "Open"),
              "\xc3\x96"
              "ffnen");
    // An ASCII text ending in one 8-bit letter: a letter, not a cut.
    EXPECT_EQ(Parsed("<//S-\nE=A\nT=\xc4").Translate("S", "A"), "\xc3\x84");
    // Bytes that are no UTF-8 before the end: the whole text is 8-bit.
    EXPECT_EQ(Parsed("<//S-\nE=A\nT=\xe4\nE=B\nT=\xc3").Translate("S", "A"), "\xc3\xa4");
}

TEST(LangTable, DamagedFilesKeepTheirReadableEntries) {
    std::string bytes = "<//S-\nE=Good\nT=Gut\n";
    bytes += std::string(1 << 20, 'E'); // an overlong line
    bytes += "\nE=bad \\x\nT=schlecht \\\n";
    bytes += Bytes("\0\xff\xfe\x80\x01<\x00//");
    bytes += "\n<//S-\nE=Also\nT=Auch";
    const TLangTable t = Parsed(bytes);
    EXPECT_EQ(t.Translate("S", "Good"), "Gut");
    EXPECT_EQ(t.Translate("S", "bad \\x"), "schlecht \\");
    EXPECT_EQ(t.Translate("S", "Also"), "Auch");
}

TEST(LangTable, Files) {
    testsupport::TempDir dir;
    TLangTable t;
    EXPECT_FALSE(t.LoadFile(dir.File("missing.txt")));
    EXPECT_TRUE(t.Empty());
    EXPECT_EQ(t.Translate("S", "Text"), "Text");
    EXPECT_FALSE(t.LoadFile(dir.Path.string())); // a directory cannot be read
    EXPECT_TRUE(t.Empty());
    {
        std::ofstream out(dir.File("lang.txt"), std::ios::binary);
        out << "<//S-\r\nE=Text\r\nT=Wort\r\n";
    }
    EXPECT_TRUE(t.LoadFile(dir.File("lang.txt")));
    EXPECT_EQ(t.Translate("s", "text"), "Wort");
}

} // namespace

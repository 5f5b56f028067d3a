#include "kiv/KivText.h"

#include <gtest/gtest.h>

#include <string>

using namespace kiv;

namespace {

struct TFoldCase {
    const char* Capital;
    const char* Small;
};

// Letters from every UTF-8 length and the scripts of place names.
constexpr TFoldCase FoldCases[] = {
    {"BERLIN", "berlin"},
    {"ZÜRICH", "zürich"},
    {"ŁÓDŹ", "łódź"},
    {"ΑΘΗΝΑ", "αθηνα"},
    {"МОСКВА", "москва"},
    {"Ÿ", "ÿ"},
    {"Ḩamāh", "ḩamāh"},                   // three-byte Latin Extended Additional
    {"ԵՐԵՎԱՆ", "երեվան"},                 // Armenian
    {"ᲗᲑᲘᲚᲘᲡᲘ", "თბილისი"}, // Georgian Mtavruli
    {"ẞ", "ß"},                           // capital sharp s: one letter, not "ss"
    {"ΟΔΟΣ", "οδος"},                     // final sigma folds with sigma
    {"K", "k"},                           // Kelvin sign: three bytes against one
    {"Ⓐ", "ⓐ"},
    {"𐐀", "𐐨"},   // Deseret, four bytes
    {"Ꭰ", "ꭰ"}, // Cherokee folds to its capitals
    {"ȺX", "ⱥx"}, // a two-byte capital with a three-byte small letter
};

} // namespace

TEST(KivText, LettersOfEveryScriptFoldTogether) {
    for (const TFoldCase& c : FoldCases) {
        EXPECT_TRUE(SameText(c.Capital, c.Small)) << c.Capital;
        EXPECT_TRUE(SameText(c.Small, c.Capital)) << c.Capital;
        EXPECT_EQ(FoldCase(c.Capital), FoldCase(c.Small)) << c.Capital;
        EXPECT_EQ(CompareText(c.Capital, c.Small), 0) << c.Capital;
        EXPECT_TRUE(StartsWithText(std::string(c.Small) + "x", c.Capital)) << c.Capital;
    }
}

TEST(KivText, OnlyLettersFoldAndNothingElseIsEqual) {
    EXPECT_FALSE(SameText("a[", "A{"));
    EXPECT_FALSE(SameText("Berlin", "Berlín"));
    EXPECT_FALSE(SameText("ss", "ß")) << "simple folding keeps one letter one letter";
    EXPECT_FALSE(SameText("İ", "i")) << "dotted capital I has no simple folding";
    EXPECT_FALSE(SameText("k", "kk"));
    EXPECT_FALSE(SameText("K", ""));
    EXPECT_TRUE(SameText("", ""));
    // Bytes that are not UTF-8 equal only themselves and survive folding.
    EXPECT_TRUE(SameText("a\xff", "A\xff"));
    EXPECT_FALSE(SameText("\xff", "\xfe"));
    EXPECT_FALSE(SameText("\xc3", "\xc3\xa4"));
    EXPECT_EQ(FoldCase("X\xc3"), "x\xc3");
    EXPECT_EQ(FoldCase("\xe1\xb8"), "\xe1\xb8") << "a cut three-byte letter";
}

TEST(KivText, NameMatcherAgreesWithSameText) {
    const char* const names[] = {"Pacific/Norfolk",
                                 "PACIFIC/NORFOLK",
                                 "Pacific/Norfol\u212A",
                                 "Pacific/Norfolk ",
                                 "Pacific/Norfol",
                                 "ſeoul",
                                 "Seoul",
                                 "SEOUL",
                                 "\u212A\u212Aſ",
                                 "kks",
                                 "Ḩamāh",
                                 "ḩamāh",
                                 "",
                                 "ȺX",
                                 "ⱥx"};
    for (const char* a : names) {
        const TNameMatcher matcher(a);
        for (const char* b : names) {
            EXPECT_EQ(matcher.Matches(b), SameText(a, b)) << a << " / " << b;
        }
    }
}

TEST(KivText, FoldingIsStableAndKeepsCodePointsValid) {
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp == 0xD800) {
            cp = 0xE000; // surrogates are no characters
        }
        const char32_t f = FoldCodePoint(cp);
        ASSERT_EQ(FoldCodePoint(f), f) << std::hex << static_cast<unsigned>(cp);
        // The name matcher counts on these two being the only ones that fold
        // into ASCII.
        ASSERT_TRUE(cp < 0x80 || f >= 0x80 || cp == 0x212A || cp == 0x17F)
            << std::hex << static_cast<unsigned>(cp);
        ASSERT_TRUE(f <= 0x10FFFF && (f < 0xD800 || f > 0xDFFF))
            << std::hex << static_cast<unsigned>(cp);
    }
    EXPECT_EQ(FoldCodePoint(U'A'), U'a');
    EXPECT_EQ(FoldCodePoint(U'a'), U'a');
    EXPECT_EQ(FoldCodePoint(0x1E28), char32_t{0x1E29}); // Ḩ
    EXPECT_EQ(FoldCodePoint(0x00B5), char32_t{0x03BC}); // micro sign to mu
    EXPECT_EQ(FoldCodePoint(0x1F88), char32_t{0x1F80}); // with iota subscript
}

TEST(KivText, CompareOrdersFoldedCodePoints) {
    EXPECT_LT(CompareText("apple", "Banana"), 0);
    EXPECT_GT(CompareText("Zürich", "zurich"), 0);
    EXPECT_EQ(CompareText("ÉCOLE", "école"), 0);
    EXPECT_LT(CompareText("Ab", "abc"), 0);
    EXPECT_GT(CompareText("abc", "AB"), 0);
    EXPECT_TRUE(StartsWithText("Shanghai", "SHANG"));
    EXPECT_FALSE(StartsWithText("Loushanguan", "shang"));
    EXPECT_FALSE(StartsWithText("Sh", "Shang"));
    EXPECT_TRUE(StartsWithText("x", ""));
}

TEST(KivText, EscapesCarryEveryCharacterOnOneLine) {
    struct TRow {
        const char* Plain;
        const char* Escaped;
    };
    const TRow rows[] = {
        {"plain", "plain"},
        {"two\r\nlines", "two\\r\\nlines"},
        {"\t\a\b\f\v", "\\t\\a\\b\\f\\v"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"C:\\dir", "C:\\\\dir"},
        {"\x01\x1f", "\\x01\\x1f"},
        {"Zürich", "Zürich"},
    };
    for (const TRow& row : rows) {
        EXPECT_EQ(EscapeText(row.Plain), row.Escaped) << row.Escaped;
        EXPECT_EQ(UnescapeText(row.Escaped), row.Plain) << row.Escaped;
    }
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    EXPECT_EQ(UnescapeText(EscapeText(all)), all);
    EXPECT_EQ(EscapeText(std::string(1, '\0')), "\\x00");
}

TEST(KivText, UnescapeReadsHexAndOctalAndKeepsStrayBackslashes) {
    EXPECT_EQ(UnescapeText("\\x41\\x6A\\x6a"), "Ajj");
    EXPECT_EQ(UnescapeText("\\101\\60\\0"), std::string("A0\0", 3));
    EXPECT_EQ(UnescapeText("\\1012"), "A2") << "at most three octal digits";
    EXPECT_EQ(UnescapeText("\\q"), "\\q");
    EXPECT_EQ(UnescapeText("\\x4"), "\\x4");
    EXPECT_EQ(UnescapeText("\\xzz"), "\\xzz");
    EXPECT_EQ(UnescapeText("end\\"), "end\\");
}

#include "kiv/KivData.h"
#include "kiv/KivErrors.h"
#include "kiv/KivPath.h"
#include "kiv/KivStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace kiv;

namespace {

struct DataDir : ::testing::Test {
    void SetUp() override {
        Path = fs::temp_directory_path() /
               ("chronara-data-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    std::string File(const std::string& name) const { return (Path / name).string(); }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(File(name), std::ios::binary) << text;
    }
    fs::path Path;
};

TStringList Split(std::string_view text) {
    TStringList lines{"stale"};
    SplitLines(text, lines);
    return lines;
}

} // namespace

TEST(KivData, SplitsAtEveryKindOfLineBreak) {
    EXPECT_EQ(Split("a\r\nb\nc\rd"), (TStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(Split("a\nb"), Split("a\nb\n"));
    EXPECT_EQ(Split("a\r\n\r\nb\n\n"), (TStringList{"a", "", "b", ""}));
    EXPECT_EQ(Split("\n"), (TStringList{""}));
    EXPECT_EQ(Split("\r\r\n"), (TStringList{"", ""}));
    EXPECT_EQ(Split(""), TStringList{});
    EXPECT_EQ(Split(std::string_view("a\nb\0c\nd", 7)), (TStringList{"a", "b"}));
}

TEST_F(DataDir, DatIsRebuiltFromItsTextCompanionInAnyLetterCase) {
    Write("zones.txt", "one\ntwo\n");
    TStringList lines;
    LoadDataList(lines, File("zones.dat"));
    EXPECT_EQ(lines, (TStringList{"one", "two"}));
    ASSERT_TRUE(fs::exists(File("zones.dat")));

    // The packed file alone is enough once built.
    fs::remove(File("zones.txt"));
    LoadDataList(lines, File("zones.dat"));
    EXPECT_EQ(lines, (TStringList{"one", "two"}));

    Write("CAPS.txt", "x\ty\n");
    LoadDataList(lines, File("CAPS.DAT"));
    EXPECT_EQ(lines, (TStringList{"x\ty"}));
    // Packed under its own spelling: decoding under another fails.
    TMemoryStream s;
    fs::rename(File("CAPS.DAT"), File("caps2.dat"));
    EXPECT_THROW(LoadFileStream(s, File("caps2.dat"), true), EZlibError);
}

TEST_F(DataDir, OtherExtensionsAreReadAsPlainText) {
    Write("lang.txt", "Hello\r\nWorld");
    TStringList lines;
    LoadDataList(lines, File("lang.txt"));
    EXPECT_EQ(lines, (TStringList{"Hello", "World"}));
}

TEST_F(DataDir, UnwritableDatKeepsLoadingTheExistingOne) {
    // A name so long that no temporary beside it can be made blocks the rebuild.
    const std::string stem(250, 'd');
    // Packed here and written directly, as the normal write would fail too.
    std::vector<std::uint8_t> packed =
        DeflateBytes(reinterpret_cast<const std::uint8_t*>("shipped\n"), 8, klMax);
    ScrambleBytes(packed.data(), packed.size(), NameSeed(stem + ".dat"));
    Write(stem + ".dat", std::string(packed.begin(), packed.end()));
    Write(stem + ".txt", "edited\n");
    TStringList lines;
    LoadDataList(lines, File(stem + ".dat"));
    EXPECT_EQ(lines, (TStringList{"shipped"}));
}

TEST_F(DataDir, MissingDataFileRaisesAndKeepsTheList) {
    TStringList lines{"kept"};
    EXPECT_THROW(LoadDataList(lines, File("absent.dat")), EFOpenError);
    EXPECT_EQ(lines, (TStringList{"kept"}));
}

TEST(KivData, ProgramPathIsBesideTheExecutable) {
    const std::string dir = ProgramDir();
    ASSERT_FALSE(dir.empty());
#if defined(_WIN32)
    EXPECT_TRUE(fs::exists(kiv::PathFromUtf8(dir) / "test_kiv.exe")) << dir;
#else
    EXPECT_TRUE(fs::exists(fs::path(dir) / "test_kiv")) << dir;
#endif
    const char sep = static_cast<char>(fs::path::preferred_separator);
    EXPECT_EQ(ProgramPath("data\\tz_data.dat", "/x"),
              std::string("/x") + sep + "data" + sep + "tz_data.dat");
    EXPECT_EQ(ProgramPath("data/mask.png"), dir + "data" + sep + "mask.png");
}

#include "kiv/KivStream.h"
#include "kiv/KivData.h"
#include "kiv/KivErrors.h"

#include "tests/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace kiv;

namespace {

using testsupport::TempDir;

std::string ReadRaw(const std::string& name) {
    return testsupport::ReadFileText(name);
}

void WriteRaw(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary);
    out << bytes;
}

std::vector<std::uint8_t> KeyStream(std::uint32_t seed, std::size_t n) {
    std::vector<std::uint8_t> zeros(n, 0);
    ScrambleBytes(zeros.data(), zeros.size(), seed);
    return zeros;
}

std::string SaveAndLoad(const std::string& payload, const std::string& file, int level) {
    TMemoryStream src;
    src.Assign(payload);
    SaveFileStream(src, file, level);
    TMemoryStream back;
    LoadFileStream(back, file, level != klNone);
    return std::string(back.View());
}

} // namespace

TEST(KivStream, KeyStreamOfTheZoneFileName) {
    EXPECT_EQ(NameSeed("tz_data.dat"), 1102u);
    EXPECT_EQ(KeyStream(1102, 8),
              (std::vector<std::uint8_t>{0x94, 0x53, 0x3a, 0xb6, 0xac, 0xb4, 0x6a, 0x11}));
    EXPECT_EQ(NameSeed("TZ_DATA.DAT"), 814u);
    EXPECT_EQ(KeyStream(814, 8),
              (std::vector<std::uint8_t>{0x8a, 0x61, 0xdd, 0x75, 0xd6, 0x5b, 0x9a, 0x75}));
}

TEST(KivStream, SeedIgnoresTheDirectoryButNotTheSpelling) {
    EXPECT_EQ(NameSeed("C:\\prog\\data\\tz_data.dat"), 1102u);
    EXPECT_EQ(NameSeed("/opt/chronara/data/tz_data.dat"), 1102u);
    EXPECT_EQ(NameSeed("C:tz_data.dat"), 1102u);
    EXPECT_EQ(NameSeed(""), 0u);
    // Bytes above 127 count as 0..255, not as negative chars.
    EXPECT_EQ(NameSeed("\xC3\xA9"), 0xC3u + 0xA9u);
}

TEST(KivStream, ScramblingTwiceRestores) {
    std::string text = "Melbourne\t-37.81667\t144.96667\r\n";
    TMemoryStream s;
    s.Assign(text);
    ScrambleStream(s, 4242);
    EXPECT_NE(s.View(), text);
    ScrambleStream(s, 4242);
    EXPECT_EQ(s.View(), text);
}

TEST(KivStream, RoundTripsAtEveryLevel) {
    TempDir dir;
    std::mt19937 rng(7);
    std::string binary(100000, '\0');
    for (auto& c : binary) {
        c = static_cast<char>(rng());
    }
    const std::vector<std::string> payloads = {"", "x", "a\tb\r\nc\n", binary,
                                               std::string(300000, 'z')};
    for (int level = klNone; level <= klMax; ++level) {
        for (const auto& p : payloads) {
            EXPECT_EQ(SaveAndLoad(p, dir.File("t.dat"), level), p)
                << "level " << level << " size " << p.size();
        }
    }
}

TEST(KivStream, LevelZeroCopiesAndLevelThreeIsMaximumZlib) {
    TempDir dir;
    TMemoryStream src;
    src.Assign("plain text");
    src.Position = 5;
    SaveFileStream(src, dir.File("plain.dat"), klNone);
    EXPECT_EQ(ReadRaw(dir.File("plain.dat")), "plain text");
    EXPECT_EQ(src.Position, 0u);

    SaveFileStream(src, dir.File("tz_data.dat"), klMax);
    std::string raw = ReadRaw(dir.File("tz_data.dat"));
    ScrambleBytes(reinterpret_cast<std::uint8_t*>(raw.data()), raw.size(), 1102);
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(raw[0]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(raw[1]), 0xDA);
    // Any standard zlib reads the unscrambled bytes.
    std::vector<Bytef> out(64);
    uLongf outLen = out.size();
    ASSERT_EQ(
        uncompress(out.data(), &outLen, reinterpret_cast<const Bytef*>(raw.data()), raw.size()),
        Z_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data()), outLen), "plain text");
}

TEST(KivStream, ReadsAStreamMadeByPlainZlib) {
    TempDir dir;
    const std::string text = "Australia\t-37.8\t144.9\tAustralia/Melbourne\n";
    std::vector<Bytef> packed(compressBound(text.size()));
    uLongf len = packed.size();
    ASSERT_EQ(
        compress2(packed.data(), &len, reinterpret_cast<const Bytef*>(text.data()), text.size(), 6),
        Z_OK);
    const std::string name = dir.File("moreplaces.dat");
    ScrambleBytes(packed.data(), len, NameSeed(name));
    WriteRaw(name, std::string(reinterpret_cast<char*>(packed.data()), len) + "trailing junk");
    TMemoryStream back;
    LoadFileStream(back, name, true);
    EXPECT_EQ(back.View(), text);
    EXPECT_EQ(back.Position, 0u);
}

TEST(KivStream, SameNameSameBytesOtherNameOtherBytes) {
    TempDir dir;
    fs::create_directories(dir.Path / "a");
    fs::create_directories(dir.Path / "b");
    TMemoryStream src;
    src.Assign("Europe/Berlin");
    SaveFileStream(src, dir.File("a/tz_dst.dat"), klMax);
    SaveFileStream(src, dir.File("b/tz_dst.dat"), klMax);
    SaveFileStream(src, dir.File("b/TZ_DST.DAT2"), klMax);
    EXPECT_EQ(ReadRaw(dir.File("a/tz_dst.dat")), ReadRaw(dir.File("b/tz_dst.dat")));
    EXPECT_NE(ReadRaw(dir.File("a/tz_dst.dat")), ReadRaw(dir.File("b/TZ_DST.DAT2")));
}

TEST(KivStream, MissingFileNamesTheFile) {
    TempDir dir;
    TMemoryStream s;
    try {
        LoadFileStream(s, dir.File("nowhere.dat"), true);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("nowhere.dat"), std::string::npos) << e.what();
    }
}

TEST(KivStream, DamagedOrTruncatedDataRaisesNamingTheFile) {
    TempDir dir;
    const std::string name = dir.File("tz_colors.dat");
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += std::to_string(i * 7919 % 256) + "\t0\t0\t" + std::to_string(i % 25) + "\n";
    }
    TMemoryStream src;
    src.Assign(text);
    SaveFileStream(src, name, klMax);
    const std::string whole = ReadRaw(name);

    auto expectZlibError = [&](const std::string& bytes, const char* what) {
        WriteRaw(name, bytes);
        TMemoryStream s;
        try {
            LoadFileStream(s, name, true);
            ADD_FAILURE() << what << ": no error";
        } catch (const EZlibError& e) {
            EXPECT_NE(std::string(e.what()).find("tz_colors.dat"), std::string::npos) << e.what();
        }
    };
    expectZlibError(whole.substr(0, whole.size() / 2), "truncated in the middle");
    expectZlibError(whole.substr(0, whole.size() - 1), "last byte missing");
    expectZlibError("", "empty file");
    std::string flipped = whole;
    flipped[0] = static_cast<char>(flipped[0] ^ 0x55);
    expectZlibError(flipped, "bad header");
    std::string badCheck = whole;
    badCheck[badCheck.size() - 2] = static_cast<char>(badCheck[badCheck.size() - 2] ^ 1);
    expectZlibError(badCheck, "bad checksum");
}

TEST(KivStream, FailedWriteKeepsTheOldFile) {
    TempDir dir;
    // A name so long that no temporary beside it can be made.
    const std::string name = dir.File(std::string(250, 'k') + ".dat");
    WriteRaw(name, "old");
    TMemoryStream src;
    src.Assign("new");
    EXPECT_THROW(SaveFileStream(src, name, klNone), EFOpenError);
    EXPECT_EQ(ReadRaw(name), "old");
}

TEST(KivStream, RebuildingLeavesOtherFilesOfTheTemporaryNameAlone) {
    TempDir dir;
    const std::string name = dir.File("keep.dat");
    WriteRaw(name + ".tmp", "someone else's");
    fs::create_directories(dir.Path / "other.dat.tmp");
    TMemoryStream src;
    src.Assign("new");
    SaveFileStream(src, name, klMax);
    SaveFileStream(src, dir.File("other.dat"), klNone);
    EXPECT_EQ(ReadRaw(name + ".tmp"), "someone else's");
    EXPECT_EQ(ReadRaw(dir.File("other.dat")), "new");
    TMemoryStream back;
    LoadFileStream(back, name, true);
    EXPECT_EQ(back.View(), "new");
    // Nothing is left behind but the targets and what was there.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 4);
}

TEST(KivStream, ADirectoryInPlaceOfAFileIsReportedAsOne) {
    TempDir dir;
    const std::string name = dir.File("tz_data.dat");
    fs::create_directories(name);
    for (const bool decode : {true, false}) {
        TMemoryStream dest;
        try {
            LoadFileStream(dest, name, decode);
            FAIL() << "expected EFOpenError";
        } catch (const EFOpenError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(name), std::string::npos) << message;
            EXPECT_NE(message.find("directory"), std::string::npos) << message;
        }
    }
    TStringList lines;
    EXPECT_THROW(LoadDataList(lines, name), EFOpenError);
}

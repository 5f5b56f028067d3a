#include "platform/Registry.h"
#include "platform/RegFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include <cmath>
#include <limits>

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "tests/FullDisk.h"
#endif

using platform::ERegistryException;
using platform::TRegistry;
using platform::TRegValue;

namespace {

const std::string DataKey = "\\Software\\Kiv\\Chronara\\Data";

std::string Dir(const QTemporaryDir& dir) {
    return dir.path().toStdString();
}

std::string FileIn(const QTemporaryDir& dir) {
    return platform::SettingsFilePath(Dir(dir));
}

QByteArray ReadAll(const std::string& name) {
    QFile f(QString::fromStdString(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const std::string& name, const QByteArray& text) {
    QFile f(QString::fromStdString(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ERegistryException& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

// Every kind of value comes back from the file as it was written.
struct RoundTripRow {
    const char* Case;
    TRegValue Value;
};

void PrintTo(const RoundTripRow& row, std::ostream* os) {
    *os << row.Case;
}

class RegistryRoundTrip : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(RegistryRoundTrip, ValueComesBackFromTheFile) {
    QTemporaryDir dir;
    const std::string name = "V \"quoted\" \\ back";
    {
        TRegistry reg(Dir(dir));
        ASSERT_TRUE(reg.OpenKey(DataKey, true));
        reg.WriteValue(name, GetParam().Value);
        reg.WriteString(std::string("After"), std::string("still here"));
        reg.Commit();
    }
    TRegistry reg(Dir(dir));
    EXPECT_TRUE(reg.Problems().empty());
    ASSERT_TRUE(reg.OpenKeyReadOnly(DataKey));
    const auto back = reg.Value(name);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, GetParam().Value);
    EXPECT_EQ(reg.ReadString(std::string("After")), std::string("still here"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RegistryRoundTrip,
    ::testing::Values(
        RoundTripRow{"dword_zero", TRegValue::OfDword(0)},
        RoundTripRow{"dword_all_bits", TRegValue::OfDword(0xFFFFFFFFu)},
        RoundTripRow{"text_plain", TRegValue::OfText(std::string("Melbourne, Australia"))},
        RoundTripRow{"text_empty", TRegValue::OfText({})},
        RoundTripRow{"text_non_ascii",
                     TRegValue::OfText(std::string("São Paulo, Brasil — Zürich, 東京"))},
        RoundTripRow{"text_quotes_backslashes",
                     TRegValue::OfText(std::string("a \"b\" c\\d\\\\ \\\" end\\"))},
        RoundTripRow{"text_line_breaks", TRegValue::OfText(std::string("one\r\ntwo\tthree"))},
        RoundTripRow{"binary_empty", TRegValue::OfBinary(platform::TBytes{})},
        RoundTripRow{"binary_long", TRegValue::OfBinary(platform::TBytes(300, 0xA5))},
        RoundTripRow{"other_type", TRegValue::OfBinary(platform::TBytes{'x', 0, 'y'}, 7)}),
    [](const auto& info) { return std::string(info.param.Case); });

TEST(Registry, TypedValuesRoundTripAndReadTheRegistryEditorsForm) {
    QTemporaryDir dir;
    {
        TRegistry reg(Dir(dir));
        ASSERT_FALSE(reg.KeyExists(DataKey));
        ASSERT_FALSE(reg.OpenKey(DataKey, false));
        ASSERT_TRUE(reg.OpenKey(DataKey, true));
        reg.WriteBool(std::string("ShowDate"), true);
        reg.WriteInteger(std::string("Offset"), -570);
        reg.WriteString(std::string("SLName"), std::string("Melbourne, Australia"));
        reg.WriteFloat(std::string("SLLatitude"), -37.81667);
        reg.WriteColor(std::string("ClockBGColor"), 0xFF00000Fu);
        ASSERT_TRUE(reg.OpenKey(std::string("0"), true)); // relative to Data
        reg.WriteString(std::string("Name"), std::string("Zero"));
        reg.Commit();
    }
    const QByteArray text = ReadAll(FileIn(dir));
    EXPECT_TRUE(text.startsWith("REGEDIT4\n"));
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n"
                              "\"ShowDate\"=dword:00000001\n"
                              "\"Offset\"=dword:fffffdc6\n"
                              "\"SLName\"=\"Melbourne, Australia\"\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\"ClockBGColor\"=hex:0f,00,00,ff\n"));
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0]\n"
                              "\"Name\"=\"Zero\"\n"));

    TRegistry reg(Dir(dir));
    EXPECT_TRUE(reg.KeyExists(std::string("\\Software\\Kiv"))); // implied by its subkeys
    ASSERT_TRUE(reg.OpenKeyReadOnly(DataKey));
    EXPECT_TRUE(reg.ReadBool(std::string("showdate"))); // names ignore letter case
    EXPECT_EQ(reg.ReadInteger(std::string("Offset")), -570);
    EXPECT_EQ(reg.ReadFloat(std::string("SLLatitude")), -37.81667);
    EXPECT_EQ(reg.ReadColor(std::string("ClockBGColor")), 0xFF00000Fu);
    EXPECT_TRUE(reg.KeyExists(std::string("0")));
    EXPECT_FALSE(reg.KeyExists(std::string("1")));
}

// Reads of the wrong kind fail with the registry's message; a missing text is empty.
TEST(Registry, MistypedAndMissingValues) {
    QTemporaryDir dir;
    TRegistry reg(Dir(dir));
    ASSERT_TRUE(reg.OpenKey(DataKey, true));
    reg.WriteString(std::string("Text"), std::string("12"));
    reg.WriteInteger(std::string("Number"), 12);
    reg.WriteBinaryData("Four", platform::TBytes(4, 0));
    reg.WriteBinaryData("Seven", platform::TBytes(7, 0));

    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger(std::string("Text")); }),
              "Invalid data type for 'Text'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString(std::string("Number")); }),
              "Invalid data type for 'Number'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger(std::string("Missing")); }),
              "Invalid data type for 'Missing'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadFloat(std::string("Four")); }), "Invalid data type for 'Four'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadColor(std::string("Seven")); }),
              "Invalid data type for 'Seven'");
    EXPECT_EQ(reg.ReadString("Missing"), std::string());
    EXPECT_FALSE(reg.ValueExists(std::string("Missing")));
}

// A damaged line is skipped and named; everything around it is read.
struct DamagedRow {
    const char* Case;
    const char* Line;
};

void PrintTo(const DamagedRow& row, std::ostream* os) {
    *os << row.Case;
}

class RegistryDamagedLine : public ::testing::TestWithParam<DamagedRow> {};

TEST_P(RegistryDamagedLine, IsSkippedAndNamed) {
    const std::string text =
        std::string("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n"
                    "\"Before\"=dword:00000001\n") +
        GetParam().Line +
        "\n\"After\"=\"ok\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0]\n"
        "\"Name\"=\"Zero\"\n";
    const auto parsed = platform::ParseRegText(text);
    ASSERT_EQ(parsed.Problems.size(), 1u);
    EXPECT_TRUE(parsed.Problems[0].starts_with("line 5: "));
    const auto* data =
        parsed.Tree.Find(std::string("HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data"));
    ASSERT_NE(data, nullptr);
    EXPECT_NE(data->Find(std::string("Before")), nullptr);
    EXPECT_NE(data->Find(std::string("After")), nullptr);
    EXPECT_NE(parsed.Tree.Find(std::string("HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0")),
              nullptr);
}

INSTANTIATE_TEST_SUITE_P(Lines, RegistryDamagedLine,
                         ::testing::Values(DamagedRow{"cut_text", "\"SLName\"=\"Melbou"},
                                           DamagedRow{"no_equals", "\"SLName\" \"x\""},
                                           DamagedRow{"bad_dword", "\"ShowSA\"=dword:12345678z"},
                                           DamagedRow{"long_dword", "\"ShowSA\"=dword:123456789"},
                                           DamagedRow{"bad_hex", "\"SLLatitude\"=hex:3d,0a,zz"},
                                           DamagedRow{"unknown_kind", "\"ShowSA\"=qword:1"},
                                           DamagedRow{"invalid_utf8", "\"SLName\"=\"\xC3\x28\""},
                                           DamagedRow{"garbage", "\x01\x02 noise"},
                                           DamagedRow{"text_after_quote", "\"SLName\"=\"a\" b"}),
                         [](const auto& info) { return std::string(info.param.Case); });

// A problem names its line readably: control bytes escaped, long lines cut.
TEST(Registry, ProblemLinesAreReadable) {
    std::string zeros;
    for (int i = 0; i < 80; ++i) {
        zeros += "\\x00";
    }
    EXPECT_EQ(platform::ParseRegText(std::string(4096, '\0')).Problems,
              std::vector<std::string>{"line 1: " + zeros + "..."});
    EXPECT_EQ(platform::ParseRegText("REGEDIT4\n\x01\x02 noise\x7f\n").Problems,
              std::vector<std::string>{"line 2: \\x01\\x02 noise\\x7f"});
}

TEST(Registry, FormatThenParseGivesTheSameTree) {
    platform::TRegTree tree;
    auto& key = tree.Make(std::string("HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data"));
    key.Set({}, TRegValue::OfText("default"));
    key.Set("Bin", TRegValue::OfBinary(platform::TBytes(100, 1)));
    key.Set(std::string("D"), TRegValue::OfDword(7));
    const std::string text = platform::FormatRegText(tree);
    const auto parsed = platform::ParseRegText(text);
    EXPECT_TRUE(parsed.Problems.empty());
    EXPECT_EQ(platform::FormatRegText(parsed.Tree), text);
    // Long binary data is wrapped into lines the registry editor would write.
    for (const QByteArray& line : QByteArray::fromStdString(text).split('\n')) {
        EXPECT_LE(line.size(), 80);
    }
}

// A save that cannot reach the disk throws, names the file, and leaves the old
// file as it was.
TEST(Registry, FailedCommitLeavesTheOldFile) {
    QTemporaryDir dir;
    const std::string file = FileIn(dir);
    {
        TRegistry reg(Dir(dir));
        ASSERT_TRUE(reg.OpenKey(DataKey, true));
        reg.WriteString(std::string("SLName"), std::string("Old"));
        reg.Commit();
    }
    const QByteArray before = ReadAll(file);

    // The folder path is a plain file: nothing can be made there.
    QTemporaryDir other;
    const std::string blocker = other.filePath(QStringLiteral("blocker")).toStdString();
    WriteAll(blocker, "x");
    TRegistry blocked(blocker);
    ASSERT_TRUE(blocked.OpenKey(DataKey, true));
    blocked.WriteString(std::string("SLName"), std::string("New"));
    EXPECT_EQ(ErrorOf([&] { blocked.Commit(); }),
              "Failed to set data for '" + platform::SettingsFilePath(blocker) +
                  "' (the folder \"" + blocker + "\" cannot be made)");

#if defined(__unix__)
    // The disk fills up in the middle of writing (also for root): a file size
    // limit makes the write fail.
    TRegistry reg(Dir(dir));
    ASSERT_TRUE(reg.OpenKey(DataKey, true));
    reg.WriteString("SLName", std::string(5000, 'N'));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = ErrorOf([&] { reg.Commit(); });
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    // The cause comes with the name.
    EXPECT_TRUE(error.starts_with("Failed to set data for '" + file + "' (")) << error;
    EXPECT_GT(error.size(), ("Failed to set data for '" + file + "' ()").size()) << error;
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Chronara.reg")})
        << "no temporary file is left behind";
#endif
}

// A file over the limit is not read: it is named as too large and moved aside
// whole (sparse files: nothing is written but the header).
struct TSizeRow {
    const char* Case;
    std::int64_t Size;
    bool TooLarge;
};

void PrintTo(const TSizeRow& row, std::ostream* os) {
    *os << row.Case;
}

class RegistryFileSize : public ::testing::TestWithParam<TSizeRow> {};

TEST_P(RegistryFileSize, AFileOverTheLimitIsMovedAsideUnread) {
    const TSizeRow& row = GetParam();
    QTemporaryDir dir;
    const std::string file = FileIn(dir);
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("REGEDIT4\n");
        ASSERT_TRUE(f.resize(row.Size));
    }
    TRegistry reg(Dir(dir));
    const std::vector<std::string> problems = reg.Problems();
    ASSERT_FALSE(problems.empty());
    const bool tooLarge = problems[0].find("It is too large") != std::string::npos;
    EXPECT_EQ(tooLarge, row.TooLarge) << problems[0];
    const std::string kept = reg.KeepCopy(".damaged");
    EXPECT_EQ(kept, file + ".damaged");
    EXPECT_EQ(QFileInfo(QString::fromStdString(kept)).size(), row.Size);
    if (!row.TooLarge) {
        return;
    }
    EXPECT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find(file), std::string::npos) << problems[0];
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(file))) << "moved, not copied";
    // The store starts from nothing and writes a settings file of its own.
    ASSERT_TRUE(reg.OpenKey(DataKey, true));
    reg.WriteString(std::string("SLName"), std::string("New"));
    reg.Commit();
    EXPECT_TRUE(ReadAll(file).startsWith("REGEDIT4"));
    EXPECT_LT(QFileInfo(QString::fromStdString(file)).size(), 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RegistryFileSize,
    ::testing::Values(TSizeRow{"AtTheLimit", platform::SettingsFileLimit, false},
                      TSizeRow{"OneByteOver", platform::SettingsFileLimit + 1, true},
                      TSizeRow{"ThreeGiB", std::int64_t{3} << 30, true}),
    [](const auto& info) { return std::string(info.param.Case); });

// A copy is never written over an earlier one, and a store found damaged at
// every start (one that cannot be rewritten) is kept once, not once a start.
TEST(Registry, KeepCopyNeverOverwritesAnEarlierCopyNorRepeatsIt) {
    QTemporaryDir dir;
    const std::string file = FileIn(dir);
    WriteAll(file, "REGEDIT4\n\nnoise\n");
    TRegistry reg(Dir(dir));
    EXPECT_EQ(reg.Problems().size(), 1u);
    const std::string first = reg.KeepCopy(".damaged");
    EXPECT_EQ(first, file + ".damaged");
    EXPECT_EQ(TRegistry(Dir(dir)).KeepCopy(".damaged"), first);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);

    WriteAll(file, "REGEDIT4\n\nother noise\n");
    const std::string second = TRegistry(Dir(dir)).KeepCopy(".damaged");
    EXPECT_NE(second, first);
    EXPECT_EQ(ReadAll(second), ReadAll(file));
    EXPECT_EQ(ReadAll(first), QByteArray("REGEDIT4\n\nnoise\n"));
}

#if defined(__unix__)

// Whatever the settings file is, reading it never waits: what is not a plain
// file is named so and moved aside whole.
TEST(Registry, ANamedPipeIsNotOpenedButMovedAside) {
    QTemporaryDir dir;
    const std::string file = FileIn(dir);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    TRegistry reg(Dir(dir)); // would block here in a plain open()
    ASSERT_EQ(reg.Problems().size(), 1u);
    EXPECT_NE(reg.Problems()[0].find("It is not a plain file"), std::string::npos)
        << reg.Problems()[0];
    EXPECT_FALSE(reg.KeyExists(DataKey));
    const std::string kept = reg.KeepCopy(".damaged");
    EXPECT_EQ(kept, file + ".damaged");
    EXPECT_FALSE(QFileInfo(QString::fromStdString(kept)).isFile());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(file)));
    ASSERT_TRUE(reg.OpenKey(DataKey, true));
    reg.WriteString("SLName", std::string("New"));
    reg.Commit();
    EXPECT_TRUE(ReadAll(file).startsWith("REGEDIT4"));
}

// A full disk: the copy of a damaged store fails with its cause, and the
// store itself stays where it is, as it was.
TEST(Registry, AFailedCopyLeavesTheStoreWhereItIs) {
    QTemporaryDir dir;
    const std::string file = FileIn(dir);
    const QByteArray text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n"
                            "\"SLName\"=\"Mine\"\n@@@@\n";
    WriteAll(file, text);
    TRegistry reg(Dir(dir));
    ASSERT_EQ(reg.Problems().size(), 1u);
    std::string error;
    {
        testsupport::TFullDisk full(8);
        error = ErrorOf([&] { reg.KeepCopy(".damaged"); });
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAll(file), text);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Chronara.reg")});
}

#endif

// A key given twice: the first keeps its values, and the second is named as a
// problem (so the file is kept aside) instead of quietly read over it.
TEST(Registry, AKeyGivenTwiceKeepsTheFirst) {
    const auto parsed = platform::ParseRegText(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Data\\0]\n\"Name\"=\"First\"\n"
        "[HKEY_CURRENT_USER\\data\\0]\n\"Name\"=\"Second\"\n\"Extra\"=\"x\"\n"
        "[HKEY_CURRENT_USER\\Data\\1]\n\"Name\"=\"Third\"\n");
    ASSERT_EQ(parsed.Problems.size(), 1u);
    EXPECT_EQ(parsed.Problems[0].rfind("line 5: ", 0), 0u) << parsed.Problems[0];
    const platform::TRegKey* first = parsed.Tree.Find("HKEY_CURRENT_USER\\Data\\0");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Values.size(), 1u);
    EXPECT_EQ(first->Find("Name")->Text, "First");
    EXPECT_EQ(parsed.Tree.Find("HKEY_CURRENT_USER\\Data\\1")->Find("Name")->Text, "Third");
}

#include "platform/Registry.h"
#include "platform/RegFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#endif

using platform::ERegistryException;
using platform::TRegistry;
using platform::TRegValue;

namespace {

const QString DataKey = QStringLiteral("\\Software\\Kiv\\Chronara\\Data");

QByteArray ReadAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& file, const QByteArray& text) {
    QFile f(file);
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
    const QString name = QStringLiteral("V \"quoted\" \\ back");
    {
        TRegistry reg(dir.path());
        ASSERT_TRUE(reg.OpenKey(DataKey, true));
        reg.WriteValue(name, GetParam().Value);
        reg.WriteString(QStringLiteral("After"), QStringLiteral("still here"));
        reg.Commit();
    }
    TRegistry reg(dir.path());
    EXPECT_TRUE(reg.Problems().isEmpty()) << reg.Problems().join('\n').toStdString();
    ASSERT_TRUE(reg.OpenKeyReadOnly(DataKey));
    const auto back = reg.Value(name);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, GetParam().Value);
    EXPECT_EQ(reg.ReadString(QStringLiteral("After")), QStringLiteral("still here"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RegistryRoundTrip,
    ::testing::Values(
        RoundTripRow{"dword_zero", TRegValue::OfDword(0)},
        RoundTripRow{"dword_all_bits", TRegValue::OfDword(0xFFFFFFFFu)},
        RoundTripRow{"text_plain", TRegValue::OfText(QStringLiteral("Melbourne, Australia"))},
        RoundTripRow{"text_empty", TRegValue::OfText(QString())},
        RoundTripRow{"text_non_ascii",
                     TRegValue::OfText(QStringLiteral("São Paulo, Brasil — Zürich, 東京"))},
        RoundTripRow{"text_quotes_backslashes",
                     TRegValue::OfText(QStringLiteral("a \"b\" c\\d\\\\ \\\" end\\"))},
        RoundTripRow{"text_line_breaks", TRegValue::OfText(QStringLiteral("one\r\ntwo\tthree"))},
        RoundTripRow{"binary_empty", TRegValue::OfBinary({})},
        RoundTripRow{"binary_long", TRegValue::OfBinary(QByteArray(300, '\xA5'))},
        RoundTripRow{"other_type", TRegValue::OfBinary(QByteArrayLiteral("x\0y"), 7)}),
    [](const auto& info) { return std::string(info.param.Case); });

TEST(Registry, TypedValuesRoundTripAndReadTheRegistryEditorsForm) {
    QTemporaryDir dir;
    {
        TRegistry reg(dir.path());
        ASSERT_FALSE(reg.KeyExists(DataKey));
        ASSERT_FALSE(reg.OpenKey(DataKey, false));
        ASSERT_TRUE(reg.OpenKey(DataKey, true));
        reg.WriteBool(QStringLiteral("ShowDate"), true);
        reg.WriteInteger(QStringLiteral("Offset"), -570);
        reg.WriteString(QStringLiteral("SLName"), QStringLiteral("Melbourne, Australia"));
        reg.WriteFloat(QStringLiteral("SLLatitude"), -37.81667);
        reg.WriteColor(QStringLiteral("ClockBGColor"), 0xFF00000Fu);
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("0"), true)); // relative to Data
        reg.WriteString(QStringLiteral("Name"), QStringLiteral("Zero"));
        reg.Commit();
    }
    const QByteArray text = ReadAll(platform::SettingsFilePath(dir.path()));
    EXPECT_TRUE(text.startsWith("REGEDIT4\n"));
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n"
                              "\"ShowDate\"=dword:00000001\n"
                              "\"Offset\"=dword:fffffdc6\n"
                              "\"SLName\"=\"Melbourne, Australia\"\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\"ClockBGColor\"=hex:0f,00,00,ff\n"));
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0]\n"
                              "\"Name\"=\"Zero\"\n"));

    TRegistry reg(dir.path());
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\Software\\Kiv"))); // implied by its subkeys
    ASSERT_TRUE(reg.OpenKeyReadOnly(DataKey));
    EXPECT_TRUE(reg.ReadBool(QStringLiteral("showdate"))); // names ignore letter case
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Offset")), -570);
    EXPECT_EQ(reg.ReadFloat(QStringLiteral("SLLatitude")), -37.81667);
    EXPECT_EQ(reg.ReadColor(QStringLiteral("ClockBGColor")), 0xFF00000Fu);
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("0")));
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("1")));
}

// Reads of the wrong kind fail with the registry's message; a missing text is empty.
TEST(Registry, MistypedAndMissingValues) {
    QTemporaryDir dir;
    TRegistry reg(dir.path());
    ASSERT_TRUE(reg.OpenKey(DataKey, true));
    reg.WriteString(QStringLiteral("Text"), QStringLiteral("12"));
    reg.WriteInteger(QStringLiteral("Number"), 12);
    reg.WriteBinaryData(QStringLiteral("Four"), QByteArray(4, '\0'));
    reg.WriteBinaryData(QStringLiteral("Seven"), QByteArray(7, '\0'));

    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger(QStringLiteral("Text")); }),
              "Invalid data type for 'Text'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString(QStringLiteral("Number")); }),
              "Invalid data type for 'Number'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadInteger(QStringLiteral("Missing")); }),
              "Invalid data type for 'Missing'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadFloat(QStringLiteral("Four")); }),
              "Invalid data type for 'Four'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadColor(QStringLiteral("Seven")); }),
              "Invalid data type for 'Seven'");
    EXPECT_EQ(reg.ReadString(QStringLiteral("Missing")), QString());
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("Missing")));
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
    const QByteArray text =
        QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n"
                   "\"Before\"=dword:00000001\n") +
        GetParam().Line +
        "\n\"After\"=\"ok\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0]\n"
        "\"Name\"=\"Zero\"\n";
    const auto parsed = platform::ParseRegText(text);
    ASSERT_EQ(parsed.Problems.size(), 1) << parsed.Problems.join('\n').toStdString();
    EXPECT_TRUE(parsed.Problems[0].startsWith(QStringLiteral("line 5: ")));
    const auto* data =
        parsed.Tree.Find(QStringLiteral("HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data"));
    ASSERT_NE(data, nullptr);
    EXPECT_NE(data->Find(QStringLiteral("Before")), nullptr);
    EXPECT_NE(data->Find(QStringLiteral("After")), nullptr);
    EXPECT_NE(
        parsed.Tree.Find(QStringLiteral("HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0")),
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

TEST(Registry, FormatThenParseGivesTheSameTree) {
    platform::TRegTree tree;
    auto& key = tree.Make(QStringLiteral("HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data"));
    key.Set(QString(), TRegValue::OfText(QStringLiteral("default")));
    key.Set(QStringLiteral("Bin"), TRegValue::OfBinary(QByteArray(100, '\x01')));
    key.Set(QStringLiteral("D"), TRegValue::OfDword(7));
    const QByteArray text = platform::FormatRegText(tree);
    const auto parsed = platform::ParseRegText(text);
    EXPECT_TRUE(parsed.Problems.isEmpty());
    EXPECT_EQ(platform::FormatRegText(parsed.Tree), text);
    // Long binary data is wrapped into lines the registry editor would write.
    for (const QByteArray& line : text.split('\n')) {
        EXPECT_LE(line.size(), 80);
    }
}

// A save that cannot reach the disk throws, names the file, and leaves the old
// file as it was.
TEST(Registry, FailedCommitLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString file = platform::SettingsFilePath(dir.path());
    {
        TRegistry reg(dir.path());
        ASSERT_TRUE(reg.OpenKey(DataKey, true));
        reg.WriteString(QStringLiteral("SLName"), QStringLiteral("Old"));
        reg.Commit();
    }
    const QByteArray before = ReadAll(file);

    // The folder path is a plain file: nothing can be made there.
    QTemporaryDir other;
    const QString blocker = other.filePath(QStringLiteral("blocker"));
    WriteAll(blocker, "x");
    TRegistry blocked(blocker);
    ASSERT_TRUE(blocked.OpenKey(DataKey, true));
    blocked.WriteString(QStringLiteral("SLName"), QStringLiteral("New"));
    EXPECT_EQ(ErrorOf([&] { blocked.Commit(); }),
              "Failed to set data for '" + platform::SettingsFilePath(blocker).toStdString() + "'");

#if defined(__unix__)
    // The disk fills up in the middle of writing (also for root): a file size
    // limit makes the write fail.
    TRegistry reg(dir.path());
    ASSERT_TRUE(reg.OpenKey(DataKey, true));
    reg.WriteString(QStringLiteral("SLName"), QString(5000, QLatin1Char('N')));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = ErrorOf([&] { reg.Commit(); });
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, "Failed to set data for '" + file.toStdString() + "'");
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Chronara.reg")})
        << "no temporary file is left behind";
#endif
}

TEST(Registry, KeepCopyNeverOverwritesAnEarlierCopy) {
    QTemporaryDir dir;
    const QString file = platform::SettingsFilePath(dir.path());
    WriteAll(file, "REGEDIT4\n\nnoise\n");
    TRegistry reg(dir.path());
    EXPECT_EQ(reg.Problems().size(), 1);
    const QString first = reg.KeepCopy(QStringLiteral(".damaged"));
    const QString second = reg.KeepCopy(QStringLiteral(".damaged"));
    EXPECT_EQ(first, file + QStringLiteral(".damaged"));
    EXPECT_NE(second, first);
    EXPECT_EQ(ReadAll(second), ReadAll(file));
}

// The machine's zone database read at run time, over databases the tests
// compile with zic into folders of their own: a made-up zone's clock and next
// change, a replaced file taken up while running, and zone files that cannot
// be used, which leave their zone to the shipped rules with one report each.
#include "kiv/KivZoneRules.h"
#include "kiv/KivClock.h"
#include "kiv/KivTimeZone.h"

#include "TimeZoneTestSupport.h"
#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace fs = std::filesystem;
using namespace kiv;
using kivtest::At;

#if !defined(_WIN32)

namespace {

// Daylight saving from the last Sunday of March, 2:00, to the last Sunday of
// October, 3:00, at two hours east: Europe's pattern under other names.
constexpr const char* MadeUpZone = "Rule\tTL\t2000\tmax\t-\tMar\tlastSun\t2:00\t1:00\tD\n"
                                   "Rule\tTL\t2000\tmax\t-\tOct\tlastSun\t3:00\t0\tS\n"
                                   "Zone\tTest/Land\t2:00\tTL\tTL%sT\n";
// The same land after its government kept four hours east all year.
constexpr const char* MadeUpZoneLater = "Zone\tTest/Land\t4:00\t-\tTLFT\n";

class ZoneRules : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TZoneRules::Supported() || kivtest::ZicProgram().empty()) {
            GTEST_SKIP() << "this build reads no zone files, or zic is missing";
        }
    }
    std::string Folder() const { return (Dir.Path / "zoneinfo").string(); }
    // A database in the test's folder holding the zone source.
    void Compile(std::string_view source, bool fat = true) const {
        ASSERT_TRUE(kivtest::Zic(Folder(), source, fat)) << "zic failed";
    }
    // Shipped tables in which Test/Land is one hour east without saving.
    std::unique_ptr<TTimeZone> ShippedTables() const {
        auto db = std::make_unique<TTimeZone>();
        TZoneData zone;
        ParseZone(zone, "Testland\t0\t0\tTest/Land\tTSHIP\t1:00\t-", 0);
        db->Zones.push_back(zone);
        return db;
    }

    testsupport::TempDir Dir;
    TFakeClock Clock{At(2027, 1, 15, 12)};
    TClockOverride UseClock{Clock};
};

std::string Describe(const TZoneState& state) {
    return std::to_string(state.OffsetSeconds) + " " + state.Abbreviation +
           (state.Dst ? " daylight" : " standard");
}

} // namespace

// Fat files list the transitions; slim ones leave the years after 2000 to the
// rule text at their end, which the library's POSIX reader answers.
TEST_F(ZoneRules, AnswersAMadeUpZoneFromFatAndSlimFiles) {
    for (const bool fat : {true, false}) {
        SCOPED_TRACE(fat ? "fat" : "slim");
        Compile(MadeUpZone, fat);
        const TZoneRules rules(Folder());
        ASSERT_TRUE(rules.Usable());
        TZoneState state;
        ASSERT_TRUE(rules.StateAt("Test/Land", At(2027, 1, 15, 12), state));
        EXPECT_EQ(Describe(state), "7200 TLST standard");
        ASSERT_TRUE(rules.StateAt("Test/Land", At(2027, 7, 15, 12), state));
        EXPECT_EQ(Describe(state), "10800 TLDT daylight");
        // 2:00 local standard time on 28 March 2027 is 0:00 UTC.
        ASSERT_TRUE(rules.StateAt("Test/Land", At(2027, 3, 27, 23, 59, 59), state));
        EXPECT_EQ(state.OffsetSeconds, 7200);
        ASSERT_TRUE(rules.StateAt("Test/Land", At(2027, 3, 28), state));
        EXPECT_EQ(state.OffsetSeconds, 10800);

        TDateTime when = 0;
        TZoneState before, after;
        ASSERT_TRUE(rules.NextChange("Test/Land", At(2027, 1, 15), when, before, after));
        EXPECT_EQ(kivtest::Text(when), "2027-03-28 00:00:00.000");
        EXPECT_EQ(Describe(before), "7200 TLST standard");
        EXPECT_EQ(Describe(after), "10800 TLDT daylight");
        // 3:00 daylight time on 31 October 2027 is 0:00 UTC.
        ASSERT_TRUE(rules.NextChange("Test/Land", At(2027, 3, 28), when, before, after));
        EXPECT_EQ(kivtest::Text(when), "2027-10-31 00:00:00.000");
        EXPECT_TRUE(rules.TakeProblems().empty());
        fs::remove_all(Folder());
    }
}

TEST_F(ZoneRules, TheDatabaseAnswersBeforeTheShippedTables) {
    Compile(MadeUpZone);
    const auto db = ShippedTables();
    std::string abbreviation;
    std::int32_t minutes = 0;
    TClockChange change;
    db->ZoneLocalTime("Test/Land", At(2027, 7, 1), abbreviation, minutes);
    EXPECT_EQ(abbreviation + " " + std::to_string(minutes), "TSHIP 60") << "no database yet";
    EXPECT_FALSE(db->NextClockChange(db->Zones[0], At(2027, 7, 1), change));

    db->RunTimeRules = std::make_shared<TZoneRules>(Folder());
    const TDateTime local = db->ZoneLocalTime("Test/Land", At(2027, 7, 1), abbreviation, minutes);
    EXPECT_EQ(abbreviation + " " + std::to_string(minutes), "TLDT 180");
    EXPECT_EQ(kivtest::Text(local), "2027-07-01 03:00:00.000");
    EXPECT_TRUE(db->UsesRunTimeRules(db->Zones[0]));
    ASSERT_TRUE(db->NextClockChange(db->Zones[0], At(2027, 7, 1), change));
    EXPECT_EQ(kivtest::Text(change.Utc), "2027-10-31 00:00:00.000");
    EXPECT_EQ(kivtest::Text(change.LocalBefore), "2027-10-31 03:00:00.000");
    EXPECT_EQ(change.MinutesBefore, 180);
    EXPECT_EQ(change.MinutesAfter, 120);
    EXPECT_EQ(change.AbbreviationAfter, "TLST");
}

// A package upgrade replaces the file while the program runs: the old rules
// hold until a minute of the clock has passed, then the new ones.
TEST_F(ZoneRules, TakesUpAReplacedFileWithinAMinute) {
    Compile(MadeUpZone);
    const auto db = ShippedTables();
    db->RunTimeRules = std::make_shared<TZoneRules>(Folder());
    std::string abbreviation;
    std::int32_t minutes = 0;
    db->ZoneLocalTime("Test/Land", abbreviation, minutes);
    EXPECT_EQ(abbreviation + " " + std::to_string(minutes), "TLST 120");

    Compile(MadeUpZoneLater);
    Clock.AdvanceSeconds(30);
    db->ZoneLocalTime("Test/Land", abbreviation, minutes);
    EXPECT_EQ(abbreviation + " " + std::to_string(minutes), "TLST 120") << "read once a minute";
    Clock.AdvanceSeconds(31);
    db->ZoneLocalTime("Test/Land", abbreviation, minutes);
    EXPECT_EQ(abbreviation + " " + std::to_string(minutes), "TLFT 240");

    // The file gone: the shipped rules, and the file named once.
    fs::remove(fs::path(Folder()) / "Test/Land");
    Clock.AdvanceSeconds(61);
    db->ZoneLocalTime("Test/Land", abbreviation, minutes);
    db->ZoneLocalTime("Test/Land", abbreviation, minutes);
    EXPECT_EQ(abbreviation + " " + std::to_string(minutes), "TSHIP 60");
    const std::vector<TZoneFileProblem> problems = db->RunTimeRules->TakeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].File, Folder() + "/Test/Land");
    EXPECT_EQ(problems[0].Fault, TZoneFileFault::Missing);
}

namespace {

// A good compiled file's bytes changed by a row.
struct TBadFile {
    const char* Name;
    std::function<void(const fs::path& file, std::string& bytes)> Spoil;
    TZoneFileFault Fault;
};

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
    }
}

std::size_t Get32(const std::string& bytes, std::size_t at) {
    std::size_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Where the header of the 64-bit block starts: after the first header and
// its data (counts: UT flags, standard flags, leaps, times, types, letters).
std::size_t SecondHeader(const std::string& bytes) {
    return 44 + Get32(bytes, 20) + Get32(bytes, 24) + Get32(bytes, 28) * 8 + Get32(bytes, 32) * 5 +
           Get32(bytes, 36) * 6 + Get32(bytes, 40);
}

} // namespace

// Each row spoils the zone's file: the zone keeps the shipped rules, the
// file is named once, and nothing crashes.
TEST_F(ZoneRules, UnusableZoneFilesLeaveTheShippedRules) {
    const TBadFile rows[] = {
        {"missing", [](const fs::path& file, std::string&) { fs::remove(file); },
         TZoneFileFault::Missing},
        {"a directory",
         [](const fs::path& file, std::string&) {
             fs::remove(file);
             fs::create_directories(file / "inside");
         },
         TZoneFileFault::NotAFile},
        {"empty", [](const fs::path&, std::string& bytes) { bytes.clear(); },
         TZoneFileFault::NotZoneFile},
        {"text", [](const fs::path&, std::string& bytes) { bytes = "Zone Test/Land 2:00 - X\n"; },
         TZoneFileFault::NotZoneFile},
        {"an unknown version", [](const fs::path&, std::string& bytes) { bytes[4] = '9'; },
         TZoneFileFault::NotZoneFile},
        {"cut in its header", [](const fs::path&, std::string& bytes) { bytes.resize(30); },
         TZoneFileFault::Truncated},
        {"cut in its data", [](const fs::path&, std::string& bytes) { bytes.resize(100); },
         TZoneFileFault::Truncated},
        {"without its last line break",
         [](const fs::path&, std::string& bytes) { bytes.pop_back(); }, TZoneFileFault::Truncated},
        {"a count beyond any file",
         [](const fs::path&, std::string& bytes) { Put32(bytes, 32, 0x7FFFFFFF); },
         TZoneFileFault::Damaged},
        {"leap seconds announced",
         [](const fs::path&, std::string& bytes) { Put32(bytes, SecondHeader(bytes) + 28, 1); },
         TZoneFileFault::Damaged},
        {"a type index past the types",
         [](const fs::path&, std::string& bytes) {
             const std::size_t second = SecondHeader(bytes);
             bytes[second + 44 + Get32(bytes, second + 32) * 8] = static_cast<char>(200);
         },
         TZoneFileFault::Damaged},
        {"descending transitions",
         [](const fs::path&, std::string& bytes) {
             const auto first =
                 bytes.begin() + static_cast<std::ptrdiff_t>(SecondHeader(bytes)) + 44;
             std::swap_ranges(first, first + 8, first + 8);
         },
         TZoneFileFault::Damaged},
    };
    for (const TBadFile& row : rows) {
        SCOPED_TRACE(row.Name);
        fs::remove_all(Folder());
        Compile(MadeUpZone);
        const fs::path file = fs::path(Folder()) / "Test/Land";
        std::string bytes;
        {
            std::ifstream in(file, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        row.Spoil(file, bytes);
        if (fs::is_regular_file(file)) {
            std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        }
        const auto db = ShippedTables();
        db->RunTimeRules = std::make_shared<TZoneRules>(Folder());
        std::string abbreviation;
        std::int32_t minutes = 0;
        for (int i = 0; i < 3; ++i) {
            db->ZoneLocalTime("Test/Land", At(2027, 7, 1), abbreviation, minutes);
            EXPECT_EQ(abbreviation + " " + std::to_string(minutes), "TSHIP 60");
        }
        EXPECT_FALSE(db->UsesRunTimeRules(db->Zones[0]));
        const std::vector<TZoneFileProblem> problems = db->RunTimeRules->TakeProblems();
        ASSERT_EQ(problems.size(), 1u) << "named once";
        EXPECT_EQ(problems[0].Zone, "Test/Land");
        EXPECT_EQ(problems[0].File, file.string());
        EXPECT_STREQ(ZoneFileFaultText(problems[0].Fault), ZoneFileFaultText(row.Fault));
    }
}

// The machine's own zone is read at every call: a change of TZ or of the
// /etc/localtime link shows at the next tick. A zone the database has no file
// for (a POSIX rule in TZ) is the C library's.
TEST_F(ZoneRules, TheMachinesClockFollowsItsZoneAtOnce) {
    Compile(std::string(MadeUpZone) + "Zone\tTest/Other\t5:30\t-\tTOT\n");
    struct TRestore {
        std::shared_ptr<const TZoneRules> Saved = ZoneDB.RunTimeRules;
        ~TRestore() { ZoneDB.RunTimeRules = Saved; }
    } restore;
    ZoneDB.RunTimeRules = std::make_shared<TZoneRules>(Folder());
    kivtest::TzOverride tz(":Test/Land");
    const TSystemClock clock;
    EXPECT_EQ(clock.OffsetMinutesAt(At(2027, 7, 1)), 180);
    EXPECT_EQ(MachineZoneName(Folder()), "Test/Land");
    tz.Set(":Test/Other");
    EXPECT_EQ(clock.OffsetMinutesAt(At(2027, 7, 1)), 330);
    tz.Set("XYZ-3");
    EXPECT_EQ(MachineZoneName(Folder()), "");
    EXPECT_EQ(clock.OffsetMinutesAt(At(2027, 7, 1)), 180);
    EXPECT_TRUE(ZoneDB.RunTimeRules->TakeProblems().empty());
}

TEST_F(ZoneRules, AFolderThatIsNotThereMeansTheShippedTables) {
    const TZoneRules rules(Folder() + "/none");
    EXPECT_FALSE(rules.Usable());
    TZoneState state;
    EXPECT_FALSE(rules.StateAt("Test/Land", At(2027, 1, 1), state));
    EXPECT_TRUE(rules.TakeProblems().empty()) << "no file is named when there is no database";
    EXPECT_EQ(rules.Release(), "");
}

TEST_F(ZoneRules, NamesTheReleaseOfItsTextForm) {
    Compile(MadeUpZone);
    std::ofstream(Folder() + "/tzdata.zi") << "# version 2031c\n# redo posix_only\n";
    EXPECT_EQ(TZoneRules(Folder()).Release(), "2031c");
    std::ofstream(Folder() + "/tzdata.zi") << "# version <script>\n";
    EXPECT_EQ(TZoneRules(Folder()).Release(), "") << "only a release's letters are taken";
}

TEST_F(ZoneRules, ZoneNamesStayInsideTheFolder) {
    Compile(MadeUpZone);
    const TZoneRules rules(Folder() + "/Test");
    TZoneState state;
    for (const char* name : {"../Test/Land", "/etc/passwd", "Land/..", "", "Land\n"}) {
        EXPECT_FALSE(rules.StateAt(name, At(2027, 1, 1), state)) << name;
    }
    EXPECT_TRUE(rules.StateAt("Land", At(2027, 1, 1), state));
}

#endif // !_WIN32

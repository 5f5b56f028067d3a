// The machine's zone database read at run time, over databases the tests
// compile with zic into folders of their own: a made-up zone's clock and next
// change, a replaced file taken up while running, and zone files that cannot
// be used, which leave their zone to the shipped rules with one report each.
// The Windows build's text database (tzdata.zi) the same way, and the
// rewriting of its short forms, which every build runs.
#include "kiv/KivZoneRules.h"
#include "kiv/KivClock.h"
#include "kiv/KivTimeZone.h"
#include "kiv/KivZoneText.h"

#include "TimeZoneTestSupport.h"
#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

namespace {

struct TExpandRow {
    const char* Input;
    const char* LongForm; // null: refused
};

} // namespace

// zic's input as tzdata.zi writes it, in the forms the library reads; and
// lines zic would refuse or the library could not take.
TEST(ZoneTextForms, RewritesTheShortFormsAndRefusesWhatZicWouldNot) {
    const TExpandRow rows[] = {
        {"R E 1981 ma - Mar lastSu 1u 1 S\n",
         "Rule\tE\t1981\tmax\t-\tMar\tlastSun\t1:00:00u\t1:00:00\tS\n"},
        {"R d 1916 o - Jun 14 23s 1 S\n",
         "Rule\td\t1916\tonly\t-\tJun\t14\t23:00:00s\t1:00:00\tS\n"},
        {"R x mi 1950 - Au Su>=8 2:30 0 -\n",
         "Rule\tx\tmin\t1950\t-\tAug\tSun>=8\t2:30:00\t0:00:00\t-\n"},
        {"R x 2000 o - Ja Sa<=30 24 -1 GMT\n",
         "Rule\tx\t2000\tonly\t-\tJan\tSat<=30\t24:00:00\t-1:00:00\tGMT\n"},
        {"rule x 2000 only - October lastThursday 0:00w 0 -\n",
         "Rule\tx\t2000\tonly\t-\tOct\tlastThu\t0:00:00\t0:00:00\t-\n"},
        {"Z Test/A -0:43:8 - LMT 1912 Ja\n-1 - %z\n",
         "Zone\tTest/A\t-0:43:08\t-\tLMT\t1912\tJan\n\t-1:00:00\t-\t%z\n"},
        {"Z Test/B 1 1 C%sT\n", "Zone\tTest/B\t1:00:00\t1:00:00\tC%sT\n"},
        {"Z Test/C 0 - GMT/BST 1990 O 28 2u\n0 - WET # comment\n",
         "Zone\tTest/C\t0:00:00\t-\tGMT/BST\t1990\tOct\t28\t2:00:00u\n\t0:00:00\t-\tWET\n"},
        {"Z Test/D 0 - UTC\nL Test/D Test/E\n",
         "Zone\tTest/D\t0:00:00\t-\tUTC\nLink\tTest/D\tTest/E\n"},
        {"# version 2031a\nZ Test/F 0 - UTC\n", "Zone\tTest/F\t0:00:00\t-\tUTC\n"},
        {"", nullptr},                                              // no zone
        {"# only a comment\n", nullptr},                            // no zone
        {"Q Test/A 0 - UTC\n", nullptr},                            // no such line
        {"Z Test/A 0 - LMT 1912\n", nullptr},                       // its next line missing
        {"Z Test/A 0 Nowhere N%sT\n", nullptr},                     // a rule that is not there
        {"R x 2000 o - Ju 1 0 1 S\nZ Test/A 0 x X\n", nullptr},     // Jun or Jul
        {"R x 2000 o - Jun S>=1 0 1 S\nZ Test/A 0 x X\n", nullptr}, // Sat or Sun
        {"R x 2000 o - Jun 32 0 1 S\nZ Test/A 0 x X\n", nullptr},
        {"R x 2000 o - Jun 1 0 3 S\nZ Test/A 0 x X\n", nullptr}, // saves three hours
        {"R x 2000 o + Jun 1 0 1 S\nZ Test/A 0 x X\n", nullptr}, // a type
        {"R x 2000 1999 - Jun 1 0 1 S\nZ Test/A 0 x X\n", nullptr},
        {"Z Test/A 1:60 - X\n", nullptr},
        {"Z Test/A 0 - \"X Y\"\n", nullptr},
        {"Z ../A 0 - X\n", nullptr},
        {"Z Test/A 0 - X\nZ Test/A 0 - Y\n", nullptr}, // twice
        {"Z Test/A 0 - %d\n", nullptr},
        {"Z Test/A 0 - X 2000 Jan 1 2x\n", nullptr},
        {"L Test/A\n", nullptr},
        {"Z Test/A 0 - X 2000 Mar\n0 - Y 1999\n0 - Z\n", nullptr}, // an end before the last
    };
    for (const TExpandRow& row : rows) {
        SCOPED_TRACE(row.Input);
        // A rule alone is no database: a zone follows it.
        const bool rule =
            row.LongForm != nullptr && std::string_view(row.LongForm).starts_with("Rule");
        TZoneText text;
        std::size_t badLine = 0;
        const bool good = ExpandZoneText(std::string(row.Input) + (rule ? "Z Test/Z 0 - Z\n" : ""),
                                         text, badLine);
        EXPECT_EQ(good, row.LongForm != nullptr);
        if (good) {
            EXPECT_EQ(text.LongForm,
                      std::string(row.LongForm) + (rule ? "Zone\tTest/Z\t0:00:00\t-\tZ\n" : ""));
        }
    }
    TZoneText text;
    std::size_t badLine = 0;
    EXPECT_FALSE(ExpandZoneText("Z Test/A 0 - X\n\nZ Test/B 0 - ?\n", text, badLine));
    EXPECT_EQ(badLine, 3u);
    EXPECT_FALSE(ExpandZoneText("Z Test/A 0 - X\nZ Test/B 0 Nowhere X\n", text, badLine));
    EXPECT_EQ(badLine, 2u) << "the line naming a rule that is not there";
}

// The release kept in the repository: every line is taken, and its zones and
// links are named.
TEST(ZoneTextForms, TakesTheWholeIanaTextDatabase) {
    std::ifstream in(fs::path(CHRONARA_TEST_DATA_DIR) / "tzdata.zi", std::ios::binary);
    const std::string source{std::istreambuf_iterator<char>(in), {}};
    TZoneText text;
    std::size_t badLine = 0;
    ASSERT_TRUE(ExpandZoneText(source, text, badLine)) << "line " << badLine;
    EXPECT_EQ(text.Release, "2026f");
    for (const char* zone : {"America/Vancouver", "Europe/Chisinau", "US/Eastern", "Etc/UTC"}) {
        EXPECT_NE(std::find(text.Zones.begin(), text.Zones.end(), zone), text.Zones.end()) << zone;
    }
}

#if defined(_WIN32)

namespace {

// MadeUpZone above as tzdata.zi writes it.
constexpr const char* MadeUpText = "# version 2031a\n"
                                   "R TL 2000 ma - Mar lastSu 2 1 D\n"
                                   "R TL 2000 ma - O lastSu 3 0 S\n"
                                   "Z Test/Land 2 TL TL%sT\n";
constexpr const char* MadeUpTextLater = "# version 2031b\nZ Test/Land 4 - TLFT\n";

std::string DescribeState(const TZoneState& state) {
    return std::to_string(state.OffsetSeconds) + " " + state.Abbreviation +
           (state.Dst ? " daylight" : " standard");
}

class ZoneText : public ::testing::Test {
public:
    std::string Folder() const { return Dir.Path.string(); }
    fs::path File() const { return Dir.Path / "tzdata.zi"; }
    void Write(std::string_view text) const {
        std::ofstream(File(), std::ios::binary | std::ios::trunc) << text;
        // A new stamp whatever the file system's clock resolution.
        std::error_code ec;
        fs::last_write_time(File(),
                            fs::last_write_time(File(), ec) + std::chrono::seconds(++Writes), ec);
    }
    std::unique_ptr<TTimeZone> ShippedTables() const {
        auto db = std::make_unique<TTimeZone>();
        TZoneData zone;
        ParseZone(zone, "Testland\t0\t0\tTest/Land\tTSHIP\t1:00\t-", 0);
        db->Zones.push_back(zone);
        return db;
    }
    std::string LocalTime(const TTimeZone& db, TDateTime utc) const {
        std::string abbreviation;
        std::int32_t minutes = 0;
        db.ZoneLocalTime("Test/Land", utc, abbreviation, minutes);
        return abbreviation + " " + std::to_string(minutes);
    }

    testsupport::TempDir Dir;
    mutable int Writes = 0;
    TFakeClock Clock{At(2027, 1, 15, 12)};
    TClockOverride UseClock{Clock};
};

} // namespace

// The release the shipped tables were made from, as the program's data
// folder holds it.
TEST_F(ZoneText, AnswersAZoneFromTheTextDatabase) {
    fs::copy_file(fs::path(CHRONARA_TEST_DATA_DIR) / "tzdata.zi", File());
    const TZoneRules rules(Folder());
    ASSERT_TRUE(rules.Usable());
    EXPECT_EQ(rules.Release(), "2026f");
    TZoneState state;
    ASSERT_TRUE(rules.StateAt("America/Vancouver", At(2027, 1, 15, 12), state));
    EXPECT_EQ(DescribeState(state), "-25200 MST standard")
        << "British Columbia keeps -7 since 2026";
    ASSERT_TRUE(rules.StateAt("US/Eastern", At(2027, 7, 1), state));
    EXPECT_EQ(DescribeState(state), "-14400 EDT daylight");
    TDateTime when = 0;
    TZoneState before, after;
    ASSERT_TRUE(rules.NextChange("America/New_York", At(2027, 1, 15), when, before, after));
    EXPECT_EQ(kivtest::Text(when), "2027-03-14 07:00:00.000");
    EXPECT_FALSE(rules.StateAt("Test/Land", At(2027, 1, 15), state)) << "not in the file";
    EXPECT_TRUE(rules.TakeProblems().empty());
}

// A newer file put beside the program is followed, also while it runs.
TEST_F(ZoneText, FollowsAFileDroppedIntoTheFolder) {
    Write(MadeUpText);
    const auto db = ShippedTables();
    db->RunTimeRules = std::make_shared<TZoneRules>(Folder());
    EXPECT_EQ(db->RunTimeRules->Release(), "2031a");
    EXPECT_EQ(LocalTime(*db, At(2027, 1, 15, 12)), "TLST 120");
    EXPECT_EQ(LocalTime(*db, At(2027, 7, 1)), "TLDT 180");
    TClockChange change;
    ASSERT_TRUE(db->NextClockChange(db->Zones[0], At(2027, 7, 1), change));
    EXPECT_EQ(kivtest::Text(change.Utc), "2027-10-31 00:00:00.000");

    Write(MadeUpTextLater);
    Clock.AdvanceSeconds(30);
    EXPECT_EQ(LocalTime(*db, At(2027, 7, 1)), "TLDT 180") << "read once a minute";
    Clock.AdvanceSeconds(31);
    EXPECT_EQ(LocalTime(*db, At(2027, 7, 1)), "TLFT 240");
    EXPECT_EQ(db->RunTimeRules->Release(), "2031b");

    // Two databases in one process: each answers from its own file.
    const fs::path other = Dir.Path / "other";
    fs::create_directories(other);
    std::ofstream(other / "tzdata.zi", std::ios::binary) << MadeUpText;
    const TZoneRules rules(other.string());
    TZoneState state;
    ASSERT_TRUE(rules.StateAt("Test/Land", At(2027, 7, 1), state));
    EXPECT_EQ(state.Abbreviation, "TLDT");
    EXPECT_EQ(LocalTime(*db, At(2027, 7, 1)), "TLFT 240");
    EXPECT_TRUE(db->RunTimeRules->TakeProblems().empty());
}

// Each row spoils the file: every zone keeps the shipped tables, the file is
// named once, and nothing crashes. Without a file there is no database and
// nothing to say.
TEST_F(ZoneText, AMissingOrDamagedFileLeavesTheShippedTables) {
    struct TRow {
        const char* Name;
        std::function<void(const ZoneText&)> Spoil;
        TZoneFileFault Fault;
    };
    const TRow rows[] = {
        {"removed", [](const ZoneText& t) { fs::remove(t.File()); }, TZoneFileFault::Missing},
        {"a directory",
         [](const ZoneText& t) {
             fs::remove(t.File());
             fs::create_directories(t.File() / "inside");
         },
         TZoneFileFault::NotAFile},
        {"not text", [](const ZoneText& t) { t.Write(std::string("\x89PNG\r\n\x1a\n\0\0", 10)); },
         TZoneFileFault::NotZoneFile},
        {"a bad line",
         [](const ZoneText& t) { t.Write(std::string(MadeUpText) + "Z Test/Other 0 Nowhere X\n"); },
         TZoneFileFault::Damaged},
        {"cut short",
         [](const ZoneText& t) {
             const std::string text(MadeUpText);
             t.Write(text.substr(0, text.size() - 4));
         },
         TZoneFileFault::Truncated},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        fs::remove_all(File());
        Write(MadeUpText);
        const auto db = ShippedTables();
        db->RunTimeRules = std::make_shared<TZoneRules>(Folder());
        EXPECT_EQ(LocalTime(*db, At(2027, 7, 1)), "TLDT 180");
        row.Spoil(*this);
        Clock.AdvanceSeconds(61);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(LocalTime(*db, At(2027, 7, 1)), "TSHIP 60");
        }
        EXPECT_FALSE(db->RunTimeRules->Usable());
        const std::vector<TZoneFileProblem> problems = db->RunTimeRules->TakeProblems();
        ASSERT_EQ(problems.size(), 1u) << "named once";
        EXPECT_EQ(problems[0].Zone, "");
        EXPECT_EQ(problems[0].File, File().string());
        EXPECT_STREQ(ZoneFileFaultText(problems[0].Fault), ZoneFileFaultText(row.Fault));
    }
    fs::remove_all(File());
    const TZoneRules none(Folder());
    EXPECT_FALSE(none.Present());
    EXPECT_FALSE(none.Usable());
    EXPECT_TRUE(none.TakeProblems().empty());
}

#endif // _WIN32

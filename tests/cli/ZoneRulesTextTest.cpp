// The words for the zone rules in use (About box, chronara --version) and for
// a zone file that cannot be used, in English and through a translation.
#include "app/commandline/ZoneRulesText.h"

#include "kiv/KivLang.h"
#include "kiv/KivTimeZone.h"
#include "tests/TempDir.h"
#include "tests/kiv/TimeZoneTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::string English(std::string_view text) {
    return std::string(text);
}

} // namespace

TEST(ZoneRulesText, NamesTheSourceAndTheRelease) {
    testsupport::TempDir dir;
    kiv::TTimeZone db;
    EXPECT_EQ(app::ZoneRulesLine(db, English), "time zones: the shipped tables");
    db.ShippedRelease = "2026f";
    EXPECT_EQ(app::ZoneRulesLine(db, English), "time zones: the shipped tables 2026f");
    app::UseZoneFolder(db, dir.File("none"));
    EXPECT_EQ(app::ZoneRulesLine(db, English), "time zones: the shipped tables 2026f")
        << "a folder that cannot be read means the shipped tables";
    if (!kiv::TZoneRules::Supported()) {
        return;
    }
    std::ofstream(dir.File("tzdata.zi")) << "# version 2031a\nZ Test/Land 1 - TL\n";
    app::UseZoneFolder(db, dir.Path.string());
#if defined(_WIN32)
    EXPECT_EQ(app::ZoneRulesLine(db, English), "time zones: the IANA database 2031a");
#else
    EXPECT_EQ(app::ZoneRulesLine(db, English), "time zones: the system's IANA database 2031a");
#endif
    app::UseZoneFolder(db, "-");
    EXPECT_EQ(app::ZoneRulesLine(db, English), "time zones: the shipped tables 2026f");

    kiv::TLangTable german;
    german.Parse("<//STRING_TABLE-x\nE=time zones: the shipped tables %1\n"
                 "T=Zeitzonen: die mitgelieferten Tabellen %1\n");
    EXPECT_EQ(app::ZoneRulesLine(db,
                                 [&german](std::string_view text) {
                                     return german.Translate("STRING_TABLE", text);
                                 }),
              "Zeitzonen: die mitgelieferten Tabellen 2026f");
}

TEST(ZoneRulesText, AZoneFileMessageNamesTheFileTheFaultAndTheZone) {
    const kiv::TZoneFileProblem problem{"America/Vancouver",
                                        "/usr/share/zoneinfo/America/Vancouver",
                                        kiv::TZoneFileFault::Truncated};
    EXPECT_EQ(app::ZoneFileMessage(problem, English),
              "The zone file \"/usr/share/zoneinfo/America/Vancouver\" cannot be used "
              "(truncated); America/Vancouver keeps the shipped rules.");
    // The Windows build's one file holds every zone.
    const kiv::TZoneFileProblem database{"", "C:\\Chronara\\data\\tzdata.zi",
                                         kiv::TZoneFileFault::Damaged};
    EXPECT_EQ(app::ZoneFileMessage(database, English),
              "The zone database \"C:\\Chronara\\data\\tzdata.zi\" cannot be used (damaged); "
              "the clocks keep the shipped tables.");
}

// Which zone rules the clocks use, in words, and the zone database the
// program reads: shared by `chronara --version` (no window toolkit) and the
// window program (About box, messages). The English texts are keys of the
// translation's STRING_TABLE section.
#pragma once

#include "kiv/KivZoneRules.h"

#include <functional>
#include <string>
#include <string_view>

namespace kiv {
class TLangTable;
struct TTimeZone;
} // namespace kiv

namespace app {

namespace strings {
inline constexpr const char* ZoneRulesSystem = "time zones: the system's IANA database %1";
inline constexpr const char* ZoneRulesShipped = "time zones: the shipped tables %1";
// The Windows build's database is the IANA text file in the program's data
// folder, not one of the system.
inline constexpr const char* ZoneRulesText = "time zones: the IANA database %1";
inline constexpr const char* ZoneFileUnusable =
    "The zone file \"%1\" cannot be used (%2); %3 keeps the shipped rules.";
inline constexpr const char* ZoneDatabaseUnusable =
    "The zone database \"%1\" cannot be used (%2); the clocks keep the shipped tables.";
inline constexpr const char* ZoneFileMissing = "missing";
inline constexpr const char* ZoneFileNotAFile = "not a file";
inline constexpr const char* ZoneFileUnreadable = "unreadable";
inline constexpr const char* ZoneFileNotZoneFile = "not a zone file";
inline constexpr const char* ZoneFileTruncated = "truncated";
inline constexpr const char* ZoneFileDamaged = "damaged";
} // namespace strings

// Translates one English text of the STRING_TABLE section.
using TTranslateText = std::function<std::string(std::string_view english)>;

// Gives `db` the machine's zone database in `folder` (TZoneRules::SystemFolder()
// when empty), or none for "-" or when there is none. A database that is
// there but cannot be used is kept: its problem is reported, and a good one
// put in its place is taken up while running.
void UseZoneFolder(kiv::TTimeZone& db, const std::string& folder);

// "time zones: the system's IANA database 2026f" while the database answers
// ("time zones: the IANA database 2026f" on Windows, where it is the text
// file in the data folder), else "time zones: the shipped tables 2026f",
// translated. The release is
// left out when unknown.
std::string ZoneRulesLine(const kiv::TTimeZone& db, const TTranslateText& translate);

// The message for a zone file that cannot be used, translated; for a
// problem naming no zone (the whole database), the one for the database.
std::string ZoneFileMessage(const kiv::TZoneFileProblem& problem, const TTranslateText& translate);

// For the command line: the line above for the program in `programDir` (the
// program's own directory when empty), reading the zone table's header and
// the machine's database, translated by lang.txt beside the program or the
// shipped translation of the language of LANGUAGE, LC_ALL, LC_MESSAGES or LANG.
std::string ZoneRulesLineForProgram(const std::string& programDir = {});

} // namespace app

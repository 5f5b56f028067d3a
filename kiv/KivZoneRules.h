// The machine's IANA zone database, read at run time: the offset, daylight
// state and abbreviation of a zone at any instant and its next change, from
// the compiled zone files of a folder (/usr/share/zoneinfo, or $TZDIR), read
// through Howard Hinnant's date/tz. The Windows build reads the database's
// text form instead, the file tzdata.zi of the folder (the program's data
// folder, or $TZDIR), through the same library (KivZoneRulesText.cpp).
//
// The zone queries of KivTimeZone ask this first and fall back to the shipped
// tables for a zone it cannot answer: one the folder does not have, a file that
// is no zone file, truncated, damaged or a directory. Each such file is
// reported once (TakeProblems) and never handed to the library, which trusts
// its input (a wrong byte there can abort the process).
//
// Each zone's file is read once and its transitions cached; the span of the
// last answer is kept, so a query within it costs a comparison. At most once a
// minute of CurrentClock() a query looks whether a file read before has been
// replaced (a package upgrade) and reads it again at its next use.
//
// On Windows the folder's tzdata.zi is the whole database: one that cannot be
// used (damaged, not a file, gone since it was read) leaves every zone to the
// shipped tables and is reported once, as a problem naming no zone.
//
// Builds without date/tz have a stand-in whose queries never answer.
#pragma once

#include "kiv/KivDateTime.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

// A zone's clock at an instant.
struct TZoneState {
    std::int32_t OffsetSeconds = 0; // from UTC, east positive, daylight saving included
    bool Dst = false;
    std::string Abbreviation;
};

// Why a zone file could not be used.
enum class TZoneFileFault : std::uint8_t {
    Missing,     // the folder has no such file
    NotAFile,    // a directory or another kind of entry
    Unreadable,  // it could not be opened or read
    NotZoneFile, // it does not start as a compiled zone file does
    Truncated,   // it ends before the data its header announces
    Damaged,     // its data contradict each other
};

// A zone file that could not be used; its zone takes the shipped rules.
struct TZoneFileProblem {
    std::string Zone;
    std::string File;
    TZoneFileFault Fault = TZoneFileFault::Damaged;
};

// The machine's own zone as a name of the database in `folder`: TZ when it
// names a zone file there (":Europe/Berlin", "Europe/Berlin", or a path ending
// in ".../zoneinfo/Europe/Berlin"), else the zone /etc/localtime links to.
// Empty when neither names a zone file of the folder (a POSIX rule in TZ, a
// copied /etc/localtime, Windows). Read afresh at every call.
std::string MachineZoneName(const std::string& folder);

// The English words for a fault ("truncated", "not a zone file", ...).
const char* ZoneFileFaultText(TZoneFileFault fault);

class TZoneRules {
public:
    // The database in `folder`. Nothing is read until a zone is asked for,
    // except the folder's release.
    explicit TZoneRules(std::string folder);
    ~TZoneRules();
    TZoneRules(const TZoneRules&) = delete;
    TZoneRules& operator=(const TZoneRules&) = delete;

    // The folder the C library reads: $TZDIR when set and not empty, else
    // /usr/share/zoneinfo (on Windows the program's data folder).
    static std::string SystemFolder();
    // Whether this build reads zone files at all.
    static bool Supported();

    const std::string& Folder() const { return FolderName; }
    // Whether the folder exists and can be read (on Windows: its tzdata.zi
    // was read well); false means the shipped tables.
    bool Usable() const;
    // Whether the database is there at all, even if it cannot be used (on
    // Linux the same as Usable; on Windows whether tzdata.zi exists).
    bool Present() const;
    // The release of the folder's database ("2026f"), from its tzdata.zi or
    // +VERSION; empty when it names none.
    std::string Release() const;

    // The zone's clock at the UTC instant; false when the database cannot
    // answer for the zone (no such zone, or its file is not usable).
    bool StateAt(std::string_view zoneName, TDateTime utc, TZoneState& state) const;
    // The zone's first change of offset after the UTC instant, within `years`
    // years: its moment and the clock before and after it. False when none
    // comes (or the database cannot answer for the zone).
    bool NextChange(std::string_view zoneName, TDateTime utc, TDateTime& when, TZoneState& before,
                    TZoneState& after, int years = 2) const;
    // Whether the zone's file is in use (read and good).
    bool Knows(std::string_view zoneName) const;

    // Looks at once whether files read before were replaced, and the release;
    // the queries do this themselves at most once a minute.
    void Refresh() const;
    // Files that could not be used, each once since it became unusable, in
    // the order they were met; the list is emptied. On Windows the one file
    // is tzdata.zi, and its problem names no zone.
    std::vector<TZoneFileProblem> TakeProblems() const;

    // Checks the bytes of a compiled zone file (TZif, versions 1 to 4) as far
    // as the library relies on them: the header, the counts against the size,
    // ascending transitions, type and abbreviation indexes within their
    // tables, no leap seconds. Returns true when usable; else the fault.
    // `facts`, when given, receives what the reader needs besides the library.
    struct TFacts {
        bool HasTransitions = false;
        std::int64_t LastTransition = 0; // seconds since 1970 UTC
        std::string Footer;              // the rule for the time after it; may be empty
    };
    static bool CheckZoneFile(std::string_view bytes, TZoneFileFault& fault,
                              TFacts* facts = nullptr);

private:
    struct TImpl;
    std::string FolderName;
    std::unique_ptr<TImpl> Impl;
};

} // namespace kiv

// Planning across zones: how many places are within their working hours at
// each of a row of moments, the next quarter hour that suits every place, how
// far a place's clock is from this machine's, and the lines that name a
// meeting's moment in every place.
//
// The local times come from the zone database's local-time engine, the one
// the clocks use; a clock change inside a range moves a place's hours there.
#pragma once

#include "kiv/KivDateTime.h"
#include "kiv/KivWorkingHours.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kiv {

struct TZoneData;
struct TTimeZone;

// One place taking part: its zone in the database, its hours, and the title
// its meeting line starts with ("Tokyo, Japan").
struct TPlannerPlace {
    const TZoneData* Zone = nullptr;
    TWorkingHours Hours;
    std::string Title;
};

// The zone's offset from UTC over stretches of time: from each Utc (the
// first at the start of the range asked for) until the next.
struct TOffsetSpan {
    TDateTime Utc = 0;
    std::int32_t Minutes = 0;
};
std::vector<TOffsetSpan> OffsetSpans(const TTimeZone& db, const TZoneData& zone, TDateTime fromUtc,
                                     TDateTime toUtc);

// For each of the moments (UTC, in rising order), how many of the places are
// within their working hours then. "Any time" places always count.
std::vector<int> OverlapCounts(const TTimeZone& db, std::span<const TPlannerPlace> places,
                               std::span<const TDateTime> momentsUtc);

// The quarter hours (UTC, on :00, :15, :30, :45) after the moment: `count` of them.
std::vector<TDateTime> QuartersAfter(TDateTime fromUtc, int count);

// A meeting moment found by FindMeetingTime.
struct TMeetingSlot {
    TDateTime Utc = 0;
    int Within = 0;  // places within their hours then
    bool All = true; // every place is; false: the best the search found
};

// How far FindMeetingTime looks.
constexpr int SearchDays = 14;

// The first quarter hour after `fromUtc`, within SearchDays, at which every
// place is within its working hours. When there is none: the earliest of the
// quarter hours with the most places, with All false.
TMeetingSlot FindMeetingTime(const TTimeZone& db, std::span<const TPlannerPlace> places,
                             TDateTime fromUtc);

// How a place's clock stands against this machine's at one moment: the
// difference of their offsets and of their calendar dates.
struct TClockDifference {
    std::int32_t Minutes = 0; // the place's offset minus the machine's
    int Days = 0;             // +1: the place's date is the next; -1 the one before
};
TClockDifference ClockDifference(const TTimeZone& db, const TZoneData& zone, TDateTime utc,
                                 std::int32_t machineOffsetMinutes);

// The words ClockDifferenceText puts in, translated by the caller.
struct TDifferenceWords {
    std::string Tomorrow = "tomorrow";
    std::string Yesterday = "yesterday";
    std::string SameTime = "same time";
};
// "+8 h", "-5 h 30", "+5 h 45"; with another date ", tomorrow" or ",
// yesterday" after it ("+9 h, tomorrow"); the words alone when only the
// dates differ, and SameTime for no difference at all.
std::string ClockDifferenceText(const TClockDifference& difference,
                                const TDifferenceWords& words = {});

// Names of the weekdays (Monday first) and months for the meeting lines.
struct TDateNames {
    std::array<std::string, 7> Weekdays{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    std::array<std::string, 12> Months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
};
// "Tokyo, Japan: Wed 9 Dec 2026 09:00 JST": the place's local date, time and
// abbreviation at the UTC moment.
std::string MeetingLine(const TTimeZone& db, const TPlannerPlace& place, TDateTime utc,
                        const TDateNames& names = {});
// One line per place, each ended by "\n".
std::string MeetingLines(const TTimeZone& db, std::span<const TPlannerPlace> places, TDateTime utc,
                         const TDateNames& names = {});

} // namespace kiv

// The working hours of a place: from a start to an end time of its local
// clock on chosen days of the week, or "any time". The hours are read on the
// place's own wall clock, so when its clocks change, its hours move with them.
//
// Stored as one text value ("09:00-17:00 Mon,Tue,Wed,Thu,Fri", or "any");
// a value that cannot be read gives the default hours and the reason.
#pragma once

#include "kiv/KivDateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

struct TZoneData;
struct TTimeZone;

struct TWorkingHours {
    // Minutes after local midnight, 0..1439. An end before the start is a
    // shift over midnight: it begins on a listed day and ends on the next.
    int StartMinutes = 9 * 60;
    int EndMinutes = 17 * 60;
    // Bit d-1 for the ISO weekday d (1 Monday .. 7 Sunday).
    std::uint8_t Days = 0x1F;
    // Within hours at every moment: such a place never keeps a meeting out.
    bool AnyTime = false;

    static constexpr std::uint8_t AllDays = 0x7F;

    bool HasDay(int isoWeekday) const { return (Days >> (isoWeekday - 1) & 1) != 0; }
    void SetDay(int isoWeekday, bool on);
    // Whether the record can be kept: a start other than the end, both within
    // the day, and at least one day (or any time).
    bool IsValid() const;
    // Whether a local date-time of the place lies within the hours (also as
    // milliseconds since the date-time value's day 0).
    bool ContainsLocal(TDateTime local) const;
    bool ContainsLocalMSecs(std::int64_t localMSecs) const;

    bool operator==(const TWorkingHours&) const = default;
};

// The stored form: "HH:MM-HH:MM Mon,Tue,..." (days in week order) or "any".
std::string WorkingHoursText(const TWorkingHours& hours);
// Reads the stored form. Blanks around the parts, letter case and the order
// of the days do not matter. Returns false with the reason (what is wrong)
// when the text is no valid record; `hours` is then untouched.
bool TryParseWorkingHours(std::string_view text, TWorkingHours& hours, std::string* reason);
// The record of a stored value: the default hours when the value cannot be
// read, with `damaged` set to the reason (cleared when it was read).
TWorkingHours DecodeWorkingHours(std::string_view text, std::string& damaged);

// Whether the place of the zone is within its hours at the UTC instant, on
// the zone's clock of that instant (the one the clocks of the window show).
bool IsWithinHours(const TTimeZone& db, const TZoneData& zone, const TWorkingHours& hours,
                   TDateTime utc);

} // namespace kiv

// The records of the zone database (zones, places, daylight-saving rules,
// zone colours) and the readers of the data lines they come from.
#pragma once

#include "kiv/KivData.h"
#include "kiv/KivDateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

// The leading fields that zones and places share: a point and the working
// distance of the nearest-place query.
struct TLatLongRecord {
    double Latitude = 0;  // degrees, north positive
    double Longitude = 0; // degrees, east positive
    double Distance = 0;  // degrees from the last nearest-place query point
};

// One time zone (a line of tz_data.dat).
struct TZoneData : TLatLongRecord {
    std::string Country;
    std::string ZoneName;     // Area/Location; the key zones are found by
    std::string AbbrevFormat; // may hold one "%s" for the rule's letters
    double UtcOffset = 0;     // standard offset, hours east of UTC
    std::string RuleName;     // the rule pair's name; "-" for none
    std::string Extra;        // the eighth column, kept verbatim
    std::int32_t Index = 0;   // position in Zones
};

// One place (a line of moreplaces.dat).
struct TTimeZonePlaces : TLatLongRecord {
    std::string ZoneKey;    // the Location part of the place's zone name
    std::string Name;       // display name
    std::int32_t Index = 0; // position in Places; menus carry it
    bool InRange = false;   // within the radius of the last nearest-place query
};

// How a rule's day is found in a year.
enum class TRuleKind : std::uint8_t {
    Unset,            // not made by CompileRule: the month and day of Date
    On,               // day `Day` of the month
    LastWeekday,      // the last `Weekday` of the month
    WeekdayOnOrAfter, // the first `Weekday` on or after day `Day`
};

// The clock a rule's time of day is read on.
enum class TRuleClock : std::uint8_t {
    Standard,  // the zone's standard time ("2:00s"; also a line without a time)
    Universal, // UTC ("1:00u")
    Wall,      // the clock time in force before the change ("2:00")
};

// One daylight-saving transition (a line of tz_dst.dat).
struct TTimeZoneDSTRule {
    std::string Name;
    double Save = 0; // hours added while in force; 0 for the end of saving
    std::string AbbrevLetters;
    TDateTime Date = 0; // the transition day in the year of loading, 00:00
    // The rule itself, so its day can be found in any year.
    TRuleKind Kind = TRuleKind::Unset;
    std::uint8_t Weekday = 0; // 1..7, ISO
    std::uint8_t Day = 0;     // 0..31
    std::uint8_t Month = 0;   // 1..12
    // The time of day of the change, after 00:00 of its day (may be negative
    // or pass 24:00), on the clock `AtClock`. 00:00 standard time when the
    // line gives none.
    std::int32_t AtSeconds = 0;
    TRuleClock AtClock = TRuleClock::Standard;
    // Whether the line gave the time. A start rule with a time changes the
    // clocks at its moment; one without changes them just after 00:00.
    bool AtGiven = false;
};

// A coming change of a zone's clocks.
struct TClockChange {
    TDateTime Utc = 0;              // the moment of the change
    TDateTime LocalBefore = 0;      // the clock time at that moment, before the change
    std::int32_t MinutesBefore = 0; // offset from UTC before and after
    std::int32_t MinutesAfter = 0;
    std::string AbbreviationAfter;
};

// One entry of the zone-colour table (a line of tz_colors.dat).
struct TTimeZoneColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    double UtcOffset = 0; // standard offset, hours east of UTC
};

// A point of the 1024 x 512 place grid (Y grows northward).
struct TMapPoint {
    float X = 0;
    float Y = 0;
};

// Where a data line came from, for the messages of out-of-range values.
struct TLineSource {
    std::string_view File;
    int Line = 0; // 1-based; 0 when unknown
};

// The release a header line of tz_data names in a field "IANA <release>"
// (letters, digits, "." and "-" only); empty when none.
std::string ReleaseOfHeader(std::string_view header);

// Splits a data line into its fields at TAB (and, as for lines, at CR/LF); a
// TAB that ends the line opens no further field; an empty line has no fields.
TStringList SplitFields(std::string_view line);

// Fill one record from one line. `source` names the file line in the messages
// of out-of-range values. The record is only written when the whole line is good.
void ParseZone(TZoneData& zone, std::string_view line, int index, const TLineSource& source = {});
void ParsePlace(TTimeZonePlaces& place, std::string_view line, int index,
                const TLineSource& source = {});
void ParseColor(TTimeZoneColor& color, std::string_view line, const TLineSource& source = {});

// "h:m" to hours, each part with its own sign: "-3:-30" is -3.5, "-3:30" -2.5.
// Raises EAssertionFailed without ":" and EConvertError for a malformed part.
double ParseUtcOffset(std::string_view text);

void SetLatLong(TLatLongRecord& record, double latitude, double longitude);
TMapPoint LatLongToMapPoint(const TLatLongRecord& record);

} // namespace kiv

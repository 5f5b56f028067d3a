// The time-zone database and the local-time engine: the zones with their
// standard offsets and daylight-saving rule pairs, the places with their
// coordinates, and the zone-colour table of the zone map; loading them from the
// four packed tables of data/, and the queries the program asks of them.
//
// The process holds one database, `ZoneDB`, loaded once at start-up and read
// afterwards; only the nearest-place query writes its working fields. Every
// operation works on a TTimeZone, so tests build databases of their own.
// Operations that read "now" ask CurrentClock() (kiv/KivClock.h) and also come
// in a form that takes the UTC instant.
#pragma once

#include "kiv/KivData.h"
#include "kiv/KivDateTime.h"
#include "kiv/KivText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv {

class TZoneRules;

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

// At most this many places are offered by the place menu.
constexpr int PlaceMenuSize = 18;

// The zone database.
struct TTimeZone {
    std::vector<TTimeZoneColor> Colors;
    std::vector<TTimeZonePlaces> Places;
    std::vector<TZoneData> Zones;
    std::vector<TTimeZoneDSTRule> Rules;
    std::int32_t Nearest = 0; // index of the place nearest the last query point
    // The machine's zone database (kiv/KivZoneRules.h): the local-time queries
    // ask it first for every zone it knows, and take the shipped rules for the
    // others. None: the shipped rules answer alone. Clear and LoadDatabase keep it.
    std::shared_ptr<const TZoneRules> RunTimeRules;
    // The IANA release the shipped rules were made from ("2026f"), as the zone
    // table's header line names it in a field "IANA <release>"; empty when it
    // names none.
    std::string ShippedRelease;

    // Empties every array and resets Nearest.
    void Clear();

    // Loads data\tz_colors.dat, data\moreplaces.dat, data\tz_data.dat and
    // data\tz_dst.dat from `dir` (the program's directory when empty), compiles
    // the rules for `ruleYear` (the local year of CurrentClock() when omitted)
    // and checks that every place links to a zone. Raises on the first fault;
    // the arrays loaded before the faulty file stay, the faulty file's array
    // keeps its full length with the entries before the faulty line filled, and
    // later arrays stay empty.
    void LoadDatabase(const std::string& dir = {});
    void LoadDatabase(const std::string& dir, int ruleYear);

    // The first zone whose ZoneName equals the name (letter case ignored);
    // raises "Could not locate Zone for "<name>"".
    const TZoneData& FindZone(std::string_view zoneName) const;
    // The zone of a place by the link rule: the first zone whose ZoneName
    // contains the place's ZoneKey (letter case ignored). Raises
    // EAssertionFailed for an index outside Places and "There is a link error in
    // the database" when no zone matches.
    int ZoneIndexOfPlace(int placeIndex) const;
    // The first zone whose ZoneName contains the key; -1 when none (or empty key).
    int ZoneIndexOfKey(std::string_view zoneKey) const;
    // The indexes of the first two rules of the name (letter case ignored);
    // raises "Insufficient Rules for "<name>"".
    std::pair<int, int> FindRulePair(std::string_view ruleName) const;

    // The zone's local date-time now (or at the UTC instant), its abbreviation
    // and its offset from UTC in minutes, daylight saving included: from the
    // machine's database when it knows the zone, else from the shipped rules,
    // whose daylight saving is decided from the rule dates of the year of the
    // zone's standard local time, so the answer holds in any year.
    TDateTime ZoneLocalTime(std::string_view zoneName, std::string& abbreviation,
                            std::int32_t& minutes) const;
    TDateTime ZoneLocalTime(std::string_view zoneName, TDateTime utc, std::string& abbreviation,
                            std::int32_t& minutes) const;
    TDateTime ZoneLocalTime(const TZoneData& zone, TDateTime utc, std::string& abbreviation,
                            std::int32_t& minutes) const;

    // The zone's next change of clocks after the UTC instant (a start of
    // daylight saving at that very instant counts as coming, by the shipped
    // rules); false when the zone keeps one offset all year (by the machine's
    // database: for two years).
    bool NextClockChange(const TZoneData& zone, TDateTime utc, TClockChange& change) const;
    // Whether the machine's database answers for the zone.
    bool UsesRunTimeRules(const TZoneData& zone) const;

    // The first place whose Name equals the name (letter case ignored); -1 when none.
    int IndexOfPlace(std::string_view placeName) const;
    // The first place of the name whose zone (by the link rule) belongs to the
    // country, both compared with letter case ignored; -1 when none.
    int IndexOfPlaceInCountry(std::string_view placeName, std::string_view country) const;
    const std::string& ZoneNameOfPlace(int placeIndex) const;
    const std::string& CountryOfPlace(int placeIndex) const;
    // "<Name>, <Country>".
    std::string PlaceTitle(int placeIndex) const;
    std::string NearestPlaceTitle() const;
    // Sets Distance and InRange (Distance <= radius) of every place and makes
    // Nearest the closest (ties to the lower index); true when Nearest changed.
    bool FindNearestPlace(double latitude, double longitude, double radius);
    // Replaces the list by the Country of every zone, in zone order; with
    // `sortedNoDuplicates`, each country once (the first spelling of names that
    // differ only in letter case), sorted by `compare` (CompareText when empty).
    void ListCountries(TStringList& list, bool sortedNoDuplicates = false,
                       const TTextCompare& compare = {}) const;
    // The place menu: the indexes of the (at most PlaceMenuSize) places nearest
    // the last FindNearestPlace point, in the order of their names by `compare`
    // (CompareByName when empty).
    std::vector<int> PlaceMenuOrder(const TTextCompare& compare = {}) const;
};

// The process's database.
extern TTimeZone ZoneDB;

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

// Fills a rule from a line of tz_dst.dat; Date is the rule's day in `year` (the
// local year of CurrentClock() when omitted). Raises on a bad line.
void CompileRule(TTimeZoneDSTRule& rule, std::string_view line);
void CompileRule(TTimeZoneDSTRule& rule, std::string_view line, int year,
                 const TLineSource& source = {});
// The moment of a rule's change in `year`, in the zone's standard local time:
// its day, plus its time of day read on its clock. `saveBefore` is the saving
// in force before the change (the start rule's Save for the end rule, else 0).
TDateTime RuleMomentInYear(const TTimeZoneDSTRule& rule, int year, double utcOffset,
                           double saveBefore);
// Reads the time of day of a rule line: "[-]h[:mm[:ss]]" and an optional
// "u" (also "g", "z"), "s" or "w". Raises EConvertError naming the text.
void ParseRuleTime(std::string_view text, std::int32_t& seconds, TRuleClock& clock,
                   const TLineSource& source = {});
// The rule's transition day in any year, at 00:00. A day the year's month does
// not have (29 February, or a weekday after the month's end) is counted on into
// the next month.
TDateTime RuleDateInYear(const TTimeZoneDSTRule& rule, int year);

// The current UTC date-time of CurrentClock().
TDateTime UtcNow();
// t shifted by h hours: whole hours, then the rest to the nearest minute, both
// with the sign of h (5.5 adds 5 h 30 min, -3.5 takes off 3 h 30 min).
TDateTime AddHours(TDateTime t, double hours);

void SetLatLong(TLatLongRecord& record, double latitude, double longitude);
// The flat distance in degrees in the latitude/longitude plane (no wrap-around).
void UpdateDistance(TTimeZonePlaces& place, double latitude, double longitude);
TMapPoint LatLongToMapPoint(const TLatLongRecord& record);
// The standard local time (no daylight saving) of a colour entry's area.
TDateTime ColorLocalTime(const TTimeZoneColor& entry);
TDateTime ColorLocalTime(const TTimeZoneColor& entry, TDateTime utc);
// -1, 0 or +1: the sign of a.Distance - b.Distance.
int CompareByDistance(const TTimeZonePlaces& a, const TTimeZonePlaces& b);
// Negative, 0 or positive: a.Name against b.Name, letter case ignored.
int CompareByName(const TTimeZonePlaces& a, const TTimeZonePlaces& b);

} // namespace kiv

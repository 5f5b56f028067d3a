// The local-time engine: the daylight-saving rules compiled from their lines,
// their moments in any year, and a zone's local time and next change of clocks
// from the shipped rules, or from the machine's zone database (KivZoneRules.h)
// for every zone that answers for.
//
// Operations that read "now" ask CurrentClock() (kiv/KivClock.h) and also come
// in a form that takes the UTC instant.
#pragma once

#include "kiv/KivZoneRecords.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv {

class TZoneRules;

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
// The indexes of the first two rules of the name (letter case ignored);
// raises "Insufficient Rules for "<name>"".
std::pair<int, int> FindRulePair(const std::vector<TTimeZoneDSTRule>& rules,
                                 std::string_view ruleName);

// The current UTC date-time of CurrentClock().
TDateTime UtcNow();
// t shifted by h hours: whole hours, then the rest to the nearest minute, both
// with the sign of h (5.5 adds 5 h 30 min, -3.5 takes off 3 h 30 min).
TDateTime AddHours(TDateTime t, double hours);
// The standard local time (no daylight saving) of a colour entry's area.
TDateTime ColorLocalTime(const TTimeZoneColor& entry);
TDateTime ColorLocalTime(const TTimeZoneColor& entry, TDateTime utc);

// The clocks of the zones: the shipped rules, and the machine's database
// (none: the shipped rules answer alone). Holds references only; both must
// outlive it.
class TZoneClock {
public:
    TZoneClock(const std::vector<TTimeZoneDSTRule>& rules, const TZoneRules* runTimeRules)
        : Rules(rules), RunTimeRules(runTimeRules) {}

    // The zone's local date-time at the UTC instant, its abbreviation and its
    // offset from UTC in minutes, daylight saving included: from the machine's
    // database when it knows the zone, else from the shipped rules, whose
    // daylight saving is decided from the rule dates of the year of the zone's
    // standard local time, so the answer holds in any year.
    TDateTime LocalTime(const TZoneData& zone, TDateTime utc, std::string& abbreviation,
                        std::int32_t& minutes) const;
    // The zone's next change of clocks after the UTC instant (a start of
    // daylight saving at that very instant counts as coming, by the shipped
    // rules); false when the zone keeps one offset all year (by the machine's
    // database: for two years).
    bool NextChange(const TZoneData& zone, TDateTime utc, TClockChange& change) const;
    // Whether the machine's database answers for the zone now.
    bool UsesRunTimeRules(const TZoneData& zone) const;

private:
    // The zone's start and end rule, the start being the one that saves.
    std::pair<const TTimeZoneDSTRule*, const TTimeZoneDSTRule*>
    StartAndEnd(const TZoneData& zone) const;

    const std::vector<TTimeZoneDSTRule>& Rules;
    const TZoneRules* RunTimeRules;
};

} // namespace kiv

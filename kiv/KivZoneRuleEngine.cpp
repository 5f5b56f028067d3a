#include "kiv/KivZoneRuleEngine.h"

#include "kiv/KivClock.h"
#include "kiv/KivErrors.h"
#include "kiv/KivText.h"
#include "kiv/KivZoneFields.h"
#include "kiv/KivZoneRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kiv {

using namespace zonefields;

namespace {

// The template with the first "%s" replaced by the letters, and any "%s" left
// over removed.
void MakeAbbreviation(std::string& abbreviation, std::string_view letters, bool hasLetters) {
    std::size_t pos = abbreviation.find("%s");
    if (pos == std::string::npos) {
        return;
    }
    if (hasLetters) {
        abbreviation.replace(pos, 2, letters);
        pos = abbreviation.find("%s", pos + letters.size());
    }
    while (pos != std::string::npos) {
        abbreviation.erase(pos, 2);
        pos = abbreviation.find("%s", pos);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Rules

void CompileRule(TTimeZoneDSTRule& rule, std::string_view line) {
    CompileRule(rule, line, CurrentClock().LocalYear());
}

void CompileRule(TTimeZoneDSTRule& rule, std::string_view line, int year,
                 const TLineSource& source) {
    std::vector<std::string_view> f;
    SplitFieldViews(line, f);
    f.emplace_back(); // a missing seventh field reads as empty

    TTimeZoneDSTRule r;
    r.Name = Field(f, 0);
    const std::string_view kindText = Field(f, 1);
    int weekday = ParseInt(Field(f, 2));
    const int day = ParseInt(Field(f, 3));
    const int month = ParseInt(Field(f, 4));
    r.Save = ParseReal(Field(f, 5), source);
    r.AbbrevLetters = Field(f, 6);
    if (f.size() > 7 && !f[7].empty()) {
        ParseRuleTime(f[7], r.AtSeconds, r.AtClock, source);
        r.AtGiven = true;
    }

    // An "ON" rule names its day; the weekday is not read.
    const bool on = SameText(kindText, "ON");
    if (!on && (weekday < 0 || weekday > 7)) {
        throw EConvertError(Quoted(Field(f, 2)) + " is out of range for a weekday (0..7)" +
                            Where(source));
    }
    if (day < 0 || day > 31) {
        if (!on) {
            // No weekday falls on or after such a day in any month.
            throw EKivError("Somethings wrong in CompileRule()");
        }
        throw EConvertError(Quoted(Field(f, 3)) +
                            " is out of range for a day of the month (0..31)" + Where(source));
    }
    CheckOffset(Field(f, 5), r.Save, source, "a daylight saving");
    KivAssert(month >= 1 && month <= 12,
              "Rule month " + Quoted(Field(f, 4)) + " is outside 1..12" + Where(source));
    if (weekday == 0 || on) {
        weekday = 7;
    }
    r.Weekday = static_cast<std::uint8_t>(weekday);
    r.Day = static_cast<std::uint8_t>(day);
    r.Month = static_cast<std::uint8_t>(month);

    if (on) {
        r.Kind = TRuleKind::On;
        r.Date = EncodeDate(year, month, day);
    } else if (day == 0) {
        r.Kind = TRuleKind::LastWeekday;
        int n = 5;
        while (!TryNthDayOfWeek(year, month, n, weekday, r.Date)) {
            --n;
            // The fourth occurrence exists in every month of a valid year.
            KivAssert(n >= 1, "Somethings wrong in CompileRule()");
        }
    } else {
        r.Kind = TRuleKind::WeekdayOnOrAfter;
        for (int n = 1;; ++n) {
            if (!TryNthDayOfWeek(year, month, n, weekday, r.Date)) {
                throw EKivError("Somethings wrong in CompileRule()");
            }
            if (DayOf(r.Date) >= day) {
                break;
            }
        }
    }
    rule = std::move(r);
}

void ParseRuleTime(std::string_view text, std::int32_t& seconds, TRuleClock& clock,
                   const TLineSource& source) {
    const auto bad = [&]() {
        return EConvertError(Quoted(text) + " is not a valid time of day" + Where(source));
    };
    std::string_view rest = text;
    TRuleClock c = TRuleClock::Wall;
    if (!rest.empty()) {
        switch (rest.back()) {
        case 'u':
        case 'g':
        case 'z':
            c = TRuleClock::Universal;
            rest.remove_suffix(1);
            break;
        case 's':
            c = TRuleClock::Standard;
            rest.remove_suffix(1);
            break;
        case 'w':
            rest.remove_suffix(1);
            break;
        default:
            break;
        }
    }
    const bool negative = !rest.empty() && rest.front() == '-';
    if (negative) {
        rest.remove_prefix(1);
    }
    // Hours, then up to two parts of exactly two digits below 60.
    std::int32_t total = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t colon = rest.find(':');
        const std::string_view digits = rest.substr(0, colon);
        const std::size_t most = part == 0 ? 3 : 2;
        if (digits.empty() || digits.size() > most || (part > 0 && digits.size() != 2) ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char d) { return d >= '0' && d <= '9'; })) {
            throw bad();
        }
        int value = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (part > 0 && value >= 60) {
            throw bad();
        }
        total = total * 60 + value;
        if (colon == std::string_view::npos) {
            for (int missing = part; missing < 2; ++missing) {
                total *= 60;
            }
            break;
        }
        if (part == 2) {
            throw bad();
        }
        rest.remove_prefix(colon + 1);
    }
    // A week either way is the most a rule's time moves its day.
    if (total > 167 * 3600) {
        throw bad();
    }
    seconds = negative ? -total : total;
    clock = c;
}

TDateTime RuleMomentInYear(const TTimeZoneDSTRule& rule, int year, double utcOffset,
                           double saveBefore) {
    const auto hoursToMSecs = [](double hours) {
        return static_cast<std::int64_t>(std::llround(hours * 3600000.0));
    };
    std::int64_t ms = DateTimeToMSecs(RuleDateInYear(rule, year)) +
                      static_cast<std::int64_t>(rule.AtSeconds) * 1000;
    switch (rule.AtClock) {
    case TRuleClock::Standard:
        break;
    case TRuleClock::Universal:
        ms += hoursToMSecs(utcOffset);
        break;
    case TRuleClock::Wall:
        ms -= hoursToMSecs(saveBefore);
        break;
    }
    return MSecsToDateTime(ms);
}

TDateTime RuleDateInYear(const TTimeZoneDSTRule& rule, int year) {
    switch (rule.Kind) {
    case TRuleKind::On:
        return static_cast<TDateTime>(DaysFromCivil(year, rule.Month, rule.Day));
    case TRuleKind::LastWeekday: {
        const std::int64_t last = DaysFromCivil(year, rule.Month + 1, 0);
        return static_cast<TDateTime>(last - (DayOfTheWeekOfDays(last) - rule.Weekday + 7) % 7);
    }
    case TRuleKind::WeekdayOnOrAfter: {
        const std::int64_t first = DaysFromCivil(year, rule.Month, rule.Day);
        return static_cast<TDateTime>(first + (rule.Weekday - DayOfTheWeekOfDays(first) + 7) % 7);
    }
    case TRuleKind::Unset:
        break;
    }
    int y = 0, m = 0, d = 0;
    DecodeDate(rule.Date, y, m, d);
    return static_cast<TDateTime>(DaysFromCivil(year, m, d));
}

TDateTime UtcNow() {
    return CurrentClock().UtcNow();
}

TDateTime AddHours(TDateTime t, double hours) {
    if (!std::isfinite(hours) || !std::isfinite(t)) {
        return t + hours / HoursPerDay;
    }
    // Far beyond any offset, but keeps the millisecond arithmetic in range.
    constexpr double limit = 1.0e9;
    hours = std::clamp(hours, -limit, limit);
    const double whole = std::trunc(hours);
    const double minutes = RoundHalfEven((hours - whole) * 60.0);
    return MSecsToDateTime(DateTimeToMSecs(t) + static_cast<std::int64_t>(whole) * 3600000 +
                           static_cast<std::int64_t>(minutes) * 60000);
}

TDateTime ColorLocalTime(const TTimeZoneColor& entry) {
    return ColorLocalTime(entry, UtcNow());
}

TDateTime ColorLocalTime(const TTimeZoneColor& entry, TDateTime utc) {
    return AddHours(utc, entry.UtcOffset);
}

std::pair<int, int> FindRulePair(const std::vector<TTimeZoneDSTRule>& rules,
                                 std::string_view ruleName) {
    int first = -1;
    const TNameMatcher name(ruleName);
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (name.Matches(rules[i].Name)) {
            if (first < 0) {
                first = static_cast<int>(i);
            } else {
                return {first, static_cast<int>(i)};
            }
        }
    }
    throw EKivError("Insufficient Rules for \"" + std::string(ruleName) + "\"");
}

// ---------------------------------------------------------------------------
// Local times

std::pair<const TTimeZoneDSTRule*, const TTimeZoneDSTRule*>
TZoneClock::StartAndEnd(const TZoneData& zone) const {
    const auto [i, j] = FindRulePair(Rules, zone.RuleName);
    const TTimeZoneDSTRule* start = &Rules[static_cast<std::size_t>(i)];
    const TTimeZoneDSTRule* end = &Rules[static_cast<std::size_t>(j)];
    if (start->Save == 0) {
        std::swap(start, end);
    }
    return {start, end};
}

TDateTime TZoneClock::LocalTime(const TZoneData& zone, TDateTime utc, std::string& abbreviation,
                                std::int32_t& minutes) const {
    TZoneState state;
    if (RunTimeRules && std::isfinite(utc) && RunTimeRules->StateAt(zone.ZoneName, utc, state)) {
        const TDateTime local =
            MSecsToDateTime(DateTimeToMSecs(utc) + std::int64_t{state.OffsetSeconds} * 1000);
        abbreviation = std::move(state.Abbreviation);
        minutes = static_cast<std::int32_t>(RoundHalfEven(state.OffsetSeconds / 60.0));
        return local;
    }
    TDateTime t = AddHours(utc, zone.UtcOffset);
    std::string result = zone.AbbrevFormat;
    if (zone.RuleName != "-") {
        const auto [start, end] = StartAndEnd(zone);
        // The rule dates of the year the standard local time falls in: the same
        // test the load year's dates give for that year, in every year.
        const int year = YearOf(t);
        const TDateTime startDate = RuleMomentInYear(*start, year, zone.UtcOffset, 0);
        const TDateTime endDate = RuleMomentInYear(*end, year, zone.UtcOffset, start->Save);
        // Daylight time ends at the end moment. It begins at the start moment
        // when the rule gives its time, else (00:00 standard time) just after it.
        const bool started = start->AtGiven ? t >= startDate : t > startDate;
        const bool inForce =
            endDate > startDate ? (started && t < endDate) : (t < endDate || started);
        if (inForce) {
            t = AddHours(t, start->Save);
        }
        MakeAbbreviation(result, inForce ? start->AbbrevLetters : end->AbbrevLetters, true);
    }
    MakeAbbreviation(result, {}, false);
    abbreviation = std::move(result);
    minutes = static_cast<std::int32_t>(RoundHalfEven(MinuteSpanSigned(utc, t)));
    return t;
}

bool TZoneClock::UsesRunTimeRules(const TZoneData& zone) const {
    TZoneState state;
    return RunTimeRules && RunTimeRules->StateAt(zone.ZoneName, UtcNow(), state);
}

bool TZoneClock::NextChange(const TZoneData& zone, TDateTime utc, TClockChange& change) const {
    TZoneState before;
    if (RunTimeRules && std::isfinite(utc) && RunTimeRules->StateAt(zone.ZoneName, utc, before)) {
        TDateTime when = 0;
        TZoneState after;
        if (!RunTimeRules->NextChange(zone.ZoneName, utc, when, before, after)) {
            return false;
        }
        change.Utc = when;
        change.MinutesBefore =
            static_cast<std::int32_t>(RoundHalfEven(before.OffsetSeconds / 60.0));
        change.MinutesAfter = static_cast<std::int32_t>(RoundHalfEven(after.OffsetSeconds / 60.0));
        change.LocalBefore =
            MSecsToDateTime(DateTimeToMSecs(when) + std::int64_t{before.OffsetSeconds} * 1000);
        change.AbbreviationAfter = std::move(after.Abbreviation);
        return true;
    }
    if (zone.RuleName == "-") {
        return false;
    }
    const auto [start, end] = StartAndEnd(zone);
    // The changes of the years around the instant, as UTC moments; each is
    // checked against the clock the zone shows just before and just after it.
    const std::int64_t offset = std::llround(zone.UtcOffset * 3600000.0);
    const std::int64_t now = DateTimeToMSecs(utc);
    const int year = YearOf(AddHours(utc, zone.UtcOffset));
    std::vector<std::int64_t> moments;
    for (int y = year - 1; y <= year + 2; ++y) {
        const std::int64_t s =
            DateTimeToMSecs(RuleMomentInYear(*start, y, zone.UtcOffset, 0)) - offset;
        const std::int64_t e =
            DateTimeToMSecs(RuleMomentInYear(*end, y, zone.UtcOffset, start->Save)) - offset;
        // Standard time is back at its moment. Daylight time begins at its
        // moment when the rule gives a time, else just after it, when a start
        // at this very instant is still to come.
        if (start->AtGiven ? s > now : s >= now) {
            moments.push_back(s);
        }
        if (e > now) {
            moments.push_back(e);
        }
    }
    std::sort(moments.begin(), moments.end());
    constexpr std::int64_t minute = 60000;
    std::string abbreviation;
    for (const std::int64_t moment : moments) {
        std::int32_t before = 0;
        std::int32_t after = 0;
        LocalTime(zone, MSecsToDateTime(moment - minute), abbreviation, before);
        LocalTime(zone, MSecsToDateTime(moment + minute), abbreviation, after);
        if (before != after) {
            change.Utc = MSecsToDateTime(moment);
            change.LocalBefore = MSecsToDateTime(moment + before * minute);
            change.MinutesBefore = before;
            change.MinutesAfter = after;
            change.AbbreviationAfter = abbreviation;
            return true;
        }
    }
    return false;
}

} // namespace kiv

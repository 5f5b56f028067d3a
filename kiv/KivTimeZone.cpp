#include "kiv/KivTimeZone.h"

#include "kiv/KivClock.h"
#include "kiv/KivErrors.h"
#include "kiv/KivZoneRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

namespace kiv {

TTimeZone ZoneDB;

namespace {

// ---------------------------------------------------------------------------
// Fields and numbers

// A line's fields as views into it: TAB, CR, LF and CR LF end a field, a NUL
// ends the line, and a separator at the very end opens no further field.
void SplitFieldViews(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    const std::size_t nul = line.find('\0');
    if (nul != std::string_view::npos) {
        line = line.substr(0, nul);
    }
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '\t' || c == '\n' || c == '\r') {
            fields.push_back(line.substr(start, i - start));
            // A CR followed by LF (a TAB counts as LF here) is one break.
            if (c == '\r' && i + 1 < line.size() && (line[i + 1] == '\n' || line[i + 1] == '\t')) {
                ++i;
            }
            ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < line.size()) {
        fields.push_back(line.substr(start));
    }
}

std::string_view Field(const std::vector<std::string_view>& fields, std::size_t index) {
    if (index >= fields.size()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return fields[index];
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string Where(const TLineSource& source) {
    if (source.File.empty() && source.Line == 0) {
        return {};
    }
    std::string where = " (";
    where += source.File.empty() ? std::string("line ") : std::string(source.File) + ", line ";
    where += std::to_string(source.Line);
    where += ")";
    return where;
}

// A decimal integer with an optional sign.
int ParseInt(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    // One sign at most: "+-1" is no number.
    const bool twoSigns = digits.size() < text.size() && !digits.empty() && digits.front() == '-';
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || twoSigns || digits.front() == '+' || ec != std::errc() || ptr != end) {
        throw EConvertError(Quoted(text) + " is not a valid integer value");
    }
    return value;
}

// A decimal real with an optional sign and "." as the decimal separator.
// Malformed text raises the plain conversion error; a text that is a number but
// not a finite, representable one (inf, nan, 1e999) raises one naming where it
// came from.
double ParseReal(std::string_view text, const TLineSource& source) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    // One sign at most: "+-1" is no number.
    const bool twoSigns = digits.size() < text.size() && !digits.empty() && digits.front() == '-';
    double value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value, std::chars_format::general);
    if (digits.empty() || twoSigns || digits.front() == '+' || ptr != end ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        throw EConvertError(Quoted(text) + " is not a valid floating point value");
    }
    if (ec == std::errc::result_out_of_range) {
        throw EConvertError(Quoted(text) + " is beyond the range of numbers" + Where(source));
    }
    if (!std::isfinite(value)) {
        throw EConvertError(Quoted(text) + " is not a finite number" + Where(source));
    }
    return value;
}

double ParseRealInRange(std::string_view text, double low, double high, const char* what,
                        const TLineSource& source) {
    const double value = ParseReal(text, source);
    if (value < low || value > high) {
        throw EConvertError(Quoted(text) + " is out of range for " + what + Where(source));
    }
    return value;
}

constexpr double MaxOffsetHours = 14.0;

void CheckOffset(std::string_view text, double hours, const TLineSource& source,
                 const char* what = "a UTC offset") {
    if (!(hours >= -MaxOffsetHours && hours <= MaxOffsetHours)) {
        throw EConvertError(Quoted(text) + " is out of range for " + what + Where(source));
    }
}

std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// ---------------------------------------------------------------------------
// Links

// The first of the folded zone names that contains the folded key; -1 when
// none does. An empty key is contained in no name.
int FindContaining(const std::vector<std::string>& foldedNames, std::string_view foldedKey) {
    if (foldedKey.empty()) {
        return -1;
    }
    for (std::size_t i = 0; i < foldedNames.size(); ++i) {
        if (foldedNames[i].find(foldedKey) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const char* const LinkError = "There is a link error in the database";

// The three-way sign of a double difference.
int Sign(double value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

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
// Line parsers

TStringList SplitFields(std::string_view line) {
    std::vector<std::string_view> views;
    SplitFieldViews(line, views);
    return TStringList(views.begin(), views.end());
}

double ParseUtcOffset(std::string_view text) {
    const std::size_t colon = text.find(':');
    KivAssert(colon != std::string_view::npos,
              "UTC offset " + Quoted(text) + " has no ':' between hours and minutes");
    const int hours = ParseInt(text.substr(0, colon));
    const int minutes = ParseInt(text.substr(colon + 1));
    return hours + minutes / 60.0;
}

void ParseZone(TZoneData& zone, std::string_view line, int index, const TLineSource& source) {
    std::vector<std::string_view> f;
    SplitFieldViews(line, f);
    if (f.size() < 8) {
        f.resize(8);
    }
    TZoneData z;
    z.Country = f[0];
    z.Latitude = ParseRealInRange(f[1], -90.0, 90.0, "a latitude", source);
    z.Longitude = ParseRealInRange(f[2], -180.0, 180.0, "a longitude", source);
    z.ZoneName = f[3];
    z.AbbrevFormat = f[4];
    z.UtcOffset = ParseUtcOffset(f[5]);
    CheckOffset(f[5], z.UtcOffset, source);
    z.RuleName = f[6];
    z.Extra = f[7];
    z.Index = index;
    zone = std::move(z);
}

void ParsePlace(TTimeZonePlaces& place, std::string_view line, int index,
                const TLineSource& source) {
    std::vector<std::string_view> f;
    SplitFieldViews(line, f);
    TTimeZonePlaces p;
    p.ZoneKey = Field(f, 0);
    p.Latitude = ParseRealInRange(Field(f, 1), -90.0, 90.0, "a latitude", source);
    p.Longitude = ParseRealInRange(Field(f, 2), -180.0, 180.0, "a longitude", source);
    p.Name = Field(f, 3);
    p.Index = index;
    place = std::move(p);
}

void ParseColor(TTimeZoneColor& color, std::string_view line, const TLineSource& source) {
    std::vector<std::string_view> f;
    SplitFieldViews(line, f);
    TTimeZoneColor c;
    c.Red = LowByte(ParseInt(Field(f, 0)));
    c.Green = LowByte(ParseInt(Field(f, 1)));
    c.Blue = LowByte(ParseInt(Field(f, 2)));
    const std::string_view offset = Field(f, 3);
    c.UtcOffset = ParseReal(offset, source);
    CheckOffset(offset, c.UtcOffset, source);
    color = c;
}

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

// ---------------------------------------------------------------------------
// The database

void TTimeZone::Clear() {
    Colors.clear();
    Places.clear();
    Zones.clear();
    Rules.clear();
    Nearest = 0;
    ShippedRelease.clear();
}

std::string ReleaseOfHeader(std::string_view header) {
    std::vector<std::string_view> fields;
    SplitFieldViews(header, fields);
    for (const std::string_view field : fields) {
        if (field.size() > 5 && field.size() <= 25 && field.substr(0, 5) == "IANA ") {
            const std::string_view release = field.substr(5);
            const bool plain = std::all_of(release.begin(), release.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '.' || c == '-';
            });
            if (plain) {
                return std::string(release);
            }
        }
    }
    return {};
}

void TTimeZone::LoadDatabase(const std::string& dir) {
    LoadDatabase(dir, CurrentClock().LocalYear());
}

namespace {

// Runs one line's parse; an error that does not yet say where it came from
// gets the file and line added, so the user learns which file is damaged. The
// error keeps its kind.
template <class Parse> void AtLine(const TLineSource& source, Parse&& parse) {
    const auto located = [&](const EKivError& e) {
        const std::string message = e.what();
        return message.find(source.File) != std::string::npos ? message : message + Where(source);
    };
    try {
        parse();
    } catch (const EConvertError& e) {
        throw EConvertError(located(e));
    } catch (const EListError& e) {
        throw EListError(located(e));
    } catch (const EAssertionFailed& e) {
        throw EAssertionFailed(located(e));
    } catch (const EKivError& e) {
        throw EKivError(located(e));
    }
}

} // namespace

void TTimeZone::LoadDatabase(const std::string& dir, int ruleYear) {
    Clear();
    TStringList lines;

    std::string file = ProgramPath("data\\tz_colors.dat", dir);
    LoadDataList(lines, file);
    Colors.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLineSource at{file, static_cast<int>(i) + 1};
        AtLine(at, [&] { ParseColor(Colors[i], lines[i], at); });
    }

    file = ProgramPath("data\\moreplaces.dat", dir);
    LoadDataList(lines, file);
    Places.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLineSource at{file, static_cast<int>(i) + 1};
        AtLine(at, [&] { ParsePlace(Places[i], lines[i], static_cast<int>(i), at); });
    }

    file = ProgramPath("data\\tz_data.dat", dir);
    LoadDataList(lines, file);
    if (lines.empty()) {
        throw EListError("List index out of bounds (0)" + Where({file, 1}));
    }
    ShippedRelease = ReleaseOfHeader(lines.front());
    lines.erase(lines.begin()); // the header line
    Zones.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLineSource at{file, static_cast<int>(i) + 2};
        AtLine(at, [&] { ParseZone(Zones[i], lines[i], static_cast<int>(i), at); });
    }

    file = ProgramPath("data\\tz_dst.dat", dir);
    LoadDataList(lines, file);
    Rules.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLineSource at{file, static_cast<int>(i) + 1};
        AtLine(at, [&] { CompileRule(Rules[i], lines[i], ruleYear, at); });
    }

    // Every place must link to a zone. Places share their keys, so each
    // distinct key is searched once, in names folded once.
    std::vector<std::string> folded;
    folded.reserve(Zones.size());
    for (const TZoneData& zone : Zones) {
        folded.push_back(FoldCase(zone.ZoneName));
    }
    std::unordered_map<std::string, int> linked;
    for (const TTimeZonePlaces& place : Places) {
        std::string key = FoldCase(place.ZoneKey);
        auto it = linked.find(key);
        if (it == linked.end()) {
            const int zone = FindContaining(folded, key);
            it = linked.emplace(std::move(key), zone).first;
        }
        if (it->second < 0) {
            // Named by the place's line: its zone key is found in no zone name.
            throw EKivError(LinkError + Where({ProgramPath("data\\moreplaces.dat", dir),
                                               static_cast<int>(&place - Places.data()) + 1}));
        }
    }
}

const TZoneData& TTimeZone::FindZone(std::string_view zoneName) const {
    const TNameMatcher name(zoneName);
    for (const TZoneData& zone : Zones) {
        if (name.Matches(zone.ZoneName)) {
            return zone;
        }
    }
    throw EKivError("Could not locate Zone for \"" + std::string(zoneName) + "\"");
}

int TTimeZone::ZoneIndexOfKey(std::string_view zoneKey) const {
    if (zoneKey.empty()) {
        return -1;
    }
    const std::string key = FoldCase(zoneKey);
    std::string name;
    for (std::size_t i = 0; i < Zones.size(); ++i) {
        name.clear();
        AppendFoldCase(Zones[i].ZoneName, name);
        if (name.find(key) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TTimeZone::ZoneIndexOfPlace(int placeIndex) const {
    KivAssert(placeIndex >= 0 && static_cast<std::size_t>(placeIndex) < Places.size(),
              "Place index " + std::to_string(placeIndex) + " is outside the places");
    const int zone = ZoneIndexOfKey(Places[static_cast<std::size_t>(placeIndex)].ZoneKey);
    if (zone < 0) {
        throw EKivError(LinkError);
    }
    return zone;
}

std::pair<int, int> TTimeZone::FindRulePair(std::string_view ruleName) const {
    int first = -1;
    const TNameMatcher name(ruleName);
    for (std::size_t i = 0; i < Rules.size(); ++i) {
        if (name.Matches(Rules[i].Name)) {
            if (first < 0) {
                first = static_cast<int>(i);
            } else {
                return {first, static_cast<int>(i)};
            }
        }
    }
    throw EKivError("Insufficient Rules for \"" + std::string(ruleName) + "\"");
}

TDateTime TTimeZone::ZoneLocalTime(std::string_view zoneName, std::string& abbreviation,
                                   std::int32_t& minutes) const {
    const TZoneData& zone = FindZone(zoneName);
    return ZoneLocalTime(zone, UtcNow(), abbreviation, minutes);
}

TDateTime TTimeZone::ZoneLocalTime(std::string_view zoneName, TDateTime utc,
                                   std::string& abbreviation, std::int32_t& minutes) const {
    return ZoneLocalTime(FindZone(zoneName), utc, abbreviation, minutes);
}

TDateTime TTimeZone::ZoneLocalTime(const TZoneData& zone, TDateTime utc, std::string& abbreviation,
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
        const auto [i, j] = FindRulePair(zone.RuleName);
        const TTimeZoneDSTRule* start = &Rules[static_cast<std::size_t>(i)];
        const TTimeZoneDSTRule* end = &Rules[static_cast<std::size_t>(j)];
        if (start->Save == 0) {
            std::swap(start, end);
        }
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

bool TTimeZone::UsesRunTimeRules(const TZoneData& zone) const {
    TZoneState state;
    return RunTimeRules && RunTimeRules->StateAt(zone.ZoneName, UtcNow(), state);
}

bool TTimeZone::NextClockChange(const TZoneData& zone, TDateTime utc, TClockChange& change) const {
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
    const auto [i, j] = FindRulePair(zone.RuleName);
    const TTimeZoneDSTRule* start = &Rules[static_cast<std::size_t>(i)];
    const TTimeZoneDSTRule* end = &Rules[static_cast<std::size_t>(j)];
    if (start->Save == 0) {
        std::swap(start, end);
    }
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
        ZoneLocalTime(zone, MSecsToDateTime(moment - minute), abbreviation, before);
        ZoneLocalTime(zone, MSecsToDateTime(moment + minute), abbreviation, after);
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

int TTimeZone::IndexOfPlace(std::string_view placeName) const {
    const TNameMatcher name(placeName);
    for (std::size_t i = 0; i < Places.size(); ++i) {
        if (name.Matches(Places[i].Name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TTimeZone::IndexOfPlaceInCountry(std::string_view placeName, std::string_view country) const {
    const TNameMatcher name(placeName);
    for (std::size_t i = 0; i < Places.size(); ++i) {
        if (name.Matches(Places[i].Name)) {
            const int zone = ZoneIndexOfKey(Places[i].ZoneKey);
            if (zone >= 0 && SameText(Zones[static_cast<std::size_t>(zone)].Country, country)) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

const std::string& TTimeZone::ZoneNameOfPlace(int placeIndex) const {
    return Zones[static_cast<std::size_t>(ZoneIndexOfPlace(placeIndex))].ZoneName;
}

const std::string& TTimeZone::CountryOfPlace(int placeIndex) const {
    return Zones[static_cast<std::size_t>(ZoneIndexOfPlace(placeIndex))].Country;
}

std::string TTimeZone::PlaceTitle(int placeIndex) const {
    const std::string& country = CountryOfPlace(placeIndex);
    return Places[static_cast<std::size_t>(placeIndex)].Name + ", " + country;
}

std::string TTimeZone::NearestPlaceTitle() const {
    return PlaceTitle(Nearest);
}

bool TTimeZone::FindNearestPlace(double latitude, double longitude, double radius) {
    const std::int32_t previous = Nearest;
    double best = 99999;
    for (TTimeZonePlaces& place : Places) {
        UpdateDistance(place, latitude, longitude);
        if (place.Distance < best) {
            best = place.Distance;
            Nearest = place.Index;
        }
        place.InRange = place.Distance <= radius;
    }
    return Nearest != previous;
}

void TTimeZone::ListCountries(TStringList& list, bool sortedNoDuplicates,
                              const TTextCompare& compare) const {
    list.clear();
    if (!sortedNoDuplicates) {
        list.reserve(Zones.size());
        for (const TZoneData& zone : Zones) {
            list.push_back(zone.Country);
        }
        return;
    }
    // Each folded name once, with its first spelling; then sorted.
    std::vector<std::pair<std::string, const std::string*>> keyed;
    keyed.reserve(Zones.size());
    for (const TZoneData& zone : Zones) {
        keyed.emplace_back(FoldCase(zone.Country), &zone.Country);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    keyed.erase(std::unique(keyed.begin(), keyed.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                keyed.end());
    if (compare) {
        std::stable_sort(keyed.begin(), keyed.end(), [&compare](const auto& a, const auto& b) {
            return compare(*a.second, *b.second) < 0;
        });
    }
    list.reserve(keyed.size());
    for (const auto& entry : keyed) {
        list.push_back(*entry.second);
    }
}

std::vector<int> TTimeZone::PlaceMenuOrder(const TTextCompare& compare) const {
    std::vector<int> order(Places.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
    }
    const auto place = [this](int i) -> const TTimeZonePlaces& {
        return Places[static_cast<std::size_t>(i)];
    };
    // Only the nearest ones are needed in order; equal distances keep index order.
    const std::size_t keep = std::min(order.size(), static_cast<std::size_t>(PlaceMenuSize));
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(keep), order.end(),
                      [&](int a, int b) {
                          const int c = CompareByDistance(place(a), place(b));
                          return c != 0 ? c < 0 : a < b;
                      });
    order.resize(keep);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return (compare ? compare(place(a).Name, place(b).Name)
                        : CompareByName(place(a), place(b))) < 0;
    });
    for (int& i : order) {
        i = place(i).Index;
    }
    return order;
}

// ---------------------------------------------------------------------------
// Records

void SetLatLong(TLatLongRecord& record, double latitude, double longitude) {
    record.Latitude = latitude;
    record.Longitude = longitude;
}

void UpdateDistance(TTimeZonePlaces& place, double latitude, double longitude) {
    const double dLat = place.Latitude - latitude;
    const double dLong = place.Longitude - longitude;
    place.Distance = std::sqrt(dLat * dLat + dLong * dLong);
}

TMapPoint LatLongToMapPoint(const TLatLongRecord& record) {
    return {static_cast<float>(RoundHalfEven(record.Longitude * 1024.0 / 360.0 + 512.0)),
            static_cast<float>(RoundHalfEven(record.Latitude * 512.0 / 180.0 + 256.0))};
}

TDateTime ColorLocalTime(const TTimeZoneColor& entry) {
    return ColorLocalTime(entry, UtcNow());
}

TDateTime ColorLocalTime(const TTimeZoneColor& entry, TDateTime utc) {
    return AddHours(utc, entry.UtcOffset);
}

int CompareByDistance(const TTimeZonePlaces& a, const TTimeZonePlaces& b) {
    return Sign(a.Distance - b.Distance);
}

int CompareByName(const TTimeZonePlaces& a, const TTimeZonePlaces& b) {
    return CompareText(a.Name, b.Name);
}

} // namespace kiv

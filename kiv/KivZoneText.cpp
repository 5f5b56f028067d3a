#include "kiv/KivZoneText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>

namespace kiv {

namespace {

// Splits a line into its fields: blanks between, "#" starts a comment.
// Quoted fields (zic allows them for blanks inside) are refused: the
// library's reader splits at every blank.
bool Fields(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '#') {
            break;
        }
        if (c == '"') {
            return false;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
               line[i] != '\f' && line[i] != '\v' && line[i] != '#') {
            if (line[i] == '"' || static_cast<unsigned char>(line[i]) < 0x20) {
                return false;
            }
            ++i;
        }
        fields.push_back(line.substr(start, i - start));
    }
    return true;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The word of `words` that `word` names: the one it spells whole, else the
// only one it begins, ignoring letter case, as zic reads keywords, months,
// weekdays and year words. -1 for none or more than one.
template <std::size_t N>
int Lookup(std::string_view word, const std::array<std::string_view, N>& words) {
    if (word.empty()) {
        return -1;
    }
    int found = -1;
    for (std::size_t i = 0; i < N; ++i) {
        const std::string_view candidate = words[i];
        if (word.size() > candidate.size()) {
            continue;
        }
        bool prefix = true;
        for (std::size_t k = 0; k < word.size(); ++k) {
            prefix = prefix && Lower(word[k]) == Lower(candidate[k]);
        }
        if (!prefix) {
            continue;
        }
        if (word.size() == candidate.size()) {
            return static_cast<int>(i);
        }
        if (found >= 0) {
            return -1;
        }
        found = static_cast<int>(i);
    }
    return found;
}

constexpr std::array<std::string_view, 3> Keywords = {"Rule", "Zone", "Link"};
constexpr std::array<std::string_view, 12> Months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 12> MonthWords = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> Days = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 7> DayWords = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};

bool Digits(std::string_view text) {
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

int Number(std::string_view digits) {
    return std::atoi(std::string(digits).c_str());
}

// A year: digits, maybe signed, as far as the library's years reach.
bool Year(std::string_view text, std::string& out) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (!Digits(digits) || Number(digits) > 32766) {
        return false;
    }
    out = (negative ? "-" : "") + std::to_string(Number(digits));
    return true;
}

// [-]h[:mm[:ss]], written back whole as [-]h:mm:ss; `seconds` receives its
// value. Hours to 167, as zic takes.
bool Time(std::string_view text, std::string& out, std::int64_t& seconds) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        const std::size_t colon = text.find(':');
        const std::string_view part = text.substr(0, colon);
        if (!Digits(part) || (count > 0 && (part.size() > 2 || Number(part) > 59))) {
            return false;
        }
        parts[count++] = Number(part);
        if (colon == std::string_view::npos) {
            text = {};
            break;
        }
        text.remove_prefix(colon + 1);
    }
    if (!text.empty() || parts[0] > 167) {
        return false;
    }
    seconds = (negative ? -1 : 1) * (parts[0] * 3600LL + parts[1] * 60LL + parts[2]);
    out = (negative ? "-" : "") + std::to_string(parts[0]) + ":" + (parts[1] < 10 ? "0" : "") +
          std::to_string(parts[1]) + ":" + (parts[2] < 10 ? "0" : "") + std::to_string(parts[2]);
    return true;
}

// A time of day with zic's optional letter: w (wall clock, the default),
// s (standard time), u, g or z (UT).
bool TimeOfDay(std::string_view text, std::string& out) {
    char suffix = 0;
    if (!text.empty() && ((text.back() >= 'a' && text.back() <= 'z'))) {
        suffix = text.back();
        text.remove_suffix(1);
        if (suffix != 'w' && suffix != 's' && suffix != 'u' && suffix != 'g' && suffix != 'z') {
            return false;
        }
    }
    std::int64_t seconds = 0;
    if (!Time(text, out, seconds) || seconds < 0) {
        return false;
    }
    if (suffix == 's') {
        out += 's';
    } else if (suffix == 'u' || suffix == 'g' || suffix == 'z') {
        out += 'u';
    }
    return true;
}

bool Month(std::string_view text, std::string& out) {
    int month = Lookup(text, MonthWords);
    if (month < 0) {
        month = Lookup(text, Months);
    }
    if (month < 0) {
        return false;
    }
    out = Months[static_cast<std::size_t>(month)];
    return true;
}

int Weekday(std::string_view text) {
    const int day = Lookup(text, DayWords);
    return day >= 0 ? day : Lookup(text, Days);
}

// A day of the month: 5, lastSun, Sun>=8 or Sun<=25.
bool Day(std::string_view text, std::string& out) {
    if (Digits(text)) {
        const int day = Number(text);
        out = std::to_string(day);
        return day >= 1 && day <= 31;
    }
    if (text.size() > 4 &&
        Lookup(text.substr(0, 4), std::array<std::string_view, 1>{"last"}) == 0) {
        const int day = Weekday(text.substr(4));
        if (day < 0) {
            return false;
        }
        out = "last" + std::string(Days[static_cast<std::size_t>(day)]);
        return true;
    }
    std::size_t op = text.find(">=");
    if (op == std::string_view::npos) {
        op = text.find("<=");
    }
    if (op == std::string_view::npos) {
        return false;
    }
    const int day = Weekday(text.substr(0, op));
    const std::string_view number = text.substr(op + 2);
    if (day < 0 || !Digits(number) || Number(number) < 1 || Number(number) > 31) {
        return false;
    }
    out = std::string(Days[static_cast<std::size_t>(day)]) + std::string(text.substr(op, 2)) +
          std::to_string(Number(number));
    return true;
}

// A rule's name: no blanks, not starting as a number does.
bool RuleName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name == "-" ||
        std::string_view("0123456789+-").find(name.front()) != std::string_view::npos) {
        return false;
    }
    for (const char c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-')) {
            return false;
        }
    }
    return true;
}

// An abbreviation's pattern: letters, digits, "+-", one "%s" or "%z", or two
// forms split by "/".
bool Format(std::string_view format) {
    if (format.empty() || format.size() > 32) {
        return false;
    }
    int percent = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%') {
            if (i + 1 >= format.size() || (format[i + 1] != 's' && format[i + 1] != 'z')) {
                return false;
            }
            ++percent;
            ++i;
        } else if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '+' || c == '-' || c == '/')) {
            return false;
        }
    }
    const std::size_t slash = format.find('/');
    return percent <= 1 &&
           (slash == std::string_view::npos ||
            (percent == 0 && format.find('/', slash + 1) == std::string_view::npos));
}

// STDOFF RULES FORMAT [UNTIL]: a zone line's fields after its name, or a
// continuation line's. `more` tells whether an UNTIL asks for a line after it.
// `until` holds the year and month of the zone's UNTIL before, which a later
// one may not precede (zic refuses it; the library would give wrong spans).
bool ZoneFields(const std::vector<std::string_view>& fields, std::size_t first, std::string& out,
                std::map<std::string, std::size_t>& rulesUsed, std::size_t line, bool& more,
                long long& until) {
    if (fields.size() < first + 3 || fields.size() > first + 7) {
        return false;
    }
    std::string offset;
    std::int64_t seconds = 0;
    if (!Time(fields[first], offset, seconds) || std::llabs(seconds) >= 26 * 3600) {
        return false;
    }
    std::string rules(fields[first + 1]);
    if (rules != "-") {
        std::string amount;
        if (Time(rules, amount, seconds)) {
            if (seconds < -3600 || seconds > 7200) {
                return false;
            }
            rules = amount;
        } else if (RuleName(rules)) {
            rulesUsed.emplace(rules, line);
        } else {
            return false;
        }
    }
    if (!Format(fields[first + 2])) {
        return false;
    }
    out += offset + "\t" + rules + "\t" + std::string(fields[first + 2]);
    more = fields.size() > first + 3;
    if (!more) {
        return true;
    }
    std::string part;
    if (!Year(fields[first + 3], part)) {
        return false;
    }
    out += "\t" + part;
    long long month = 0;
    if (fields.size() > first + 4) {
        if (!Month(fields[first + 4], part)) {
            return false;
        }
        out += "\t" + part;
        month = std::find(Months.begin(), Months.end(), part) - Months.begin();
    }
    const long long here = std::atoll(std::string(fields[first + 3]).c_str()) * 12 + month;
    if (here < until) {
        return false;
    }
    until = here;
    if (fields.size() > first + 5) {
        if (!Day(fields[first + 5], part)) {
            return false;
        }
        out += "\t" + part;
    }
    if (fields.size() > first + 6) {
        if (!TimeOfDay(fields[first + 6], part)) {
            return false;
        }
        out += "\t" + part;
    }
    return true;
}

// Rule NAME FROM TO - IN ON AT SAVE LETTERS
bool RuleLine(const std::vector<std::string_view>& fields, std::string& out,
              std::set<std::string, std::less<>>& rulesMade) {
    if (fields.size() != 10 || !RuleName(fields[1]) || fields[4] != "-") {
        return false;
    }
    std::string from;
    std::string to;
    const int fromWord = Lookup(fields[2], std::array<std::string_view, 2>{"minimum", "maximum"});
    if (fromWord == 0) {
        from = "min";
    } else if (fromWord < 0 && !Year(fields[2], from)) {
        return false;
    } else if (fromWord == 1) {
        return false;
    }
    const int toWord =
        Lookup(fields[3], std::array<std::string_view, 3>{"minimum", "maximum", "only"});
    if (toWord == 1) {
        to = "max";
    } else if (toWord == 2) {
        to = "only";
    } else if (toWord == 0 || !Year(fields[3], to)) {
        return false;
    }
    if (from != "min" && to != "max" && to != "only" &&
        std::atoi(to.c_str()) < std::atoi(from.c_str())) {
        return false;
    }
    std::string month;
    std::string day;
    std::string at;
    std::string save;
    std::int64_t saveSeconds = 0;
    if (!Month(fields[5], month) || !Day(fields[6], day) || !TimeOfDay(fields[7], at) ||
        !Time(fields[8], save, saveSeconds) || saveSeconds < -3600 || saveSeconds > 7200) {
        return false;
    }
    const std::string_view letters = fields[9];
    if (letters.size() > 16) {
        return false;
    }
    for (const char c : letters) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '+' || c == '-')) {
            return false;
        }
    }
    rulesMade.insert(std::string(fields[1]));
    out += "Rule\t" + std::string(fields[1]) + "\t" + from + "\t" + to + "\t-\t" + month + "\t" +
           day + "\t" + at + "\t" + save + "\t" + std::string(letters) + "\n";
    return true;
}

} // namespace

bool ExpandZoneText(std::string_view text, TZoneText& result, std::size_t& badLine) {
    result = {};
    badLine = 0;
    std::set<std::string, std::less<>> rulesMade;
    std::map<std::string, std::size_t> rulesUsed; // and the first line naming each
    std::set<std::string, std::less<>> names;
    std::vector<std::string_view> fields;
    bool continuation = false; // the last zone line had an UNTIL
    long long until = 0;       // its year and month
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (number == 1 && line.rfind("# version ", 0) == 0) {
            std::string release(line.substr(10));
            while (!release.empty() && (release.back() == '\r' || release.back() == ' ')) {
                release.pop_back();
            }
            result.Release = release;
        }
        if (line.find('\0') != std::string_view::npos || !Fields(line, fields)) {
            badLine = number;
            return false;
        }
        if (fields.empty()) {
            continue;
        }
        bool good = false;
        if (continuation) {
            result.LongForm += "\t";
            good = ZoneFields(fields, 0, result.LongForm, rulesUsed, number, continuation, until);
            result.LongForm += "\n";
        } else {
            switch (Lookup(fields[0], Keywords)) {
            case 0:
                good = RuleLine(fields, result.LongForm, rulesMade);
                break;
            case 1:
                good = fields.size() >= 2 && ValidZoneName(fields[1]) &&
                       names.insert(std::string(fields[1])).second;
                if (good) {
                    result.Zones.emplace_back(fields[1]);
                    result.LongForm += "Zone\t" + std::string(fields[1]) + "\t";
                    until = std::numeric_limits<long long>::min();
                    good = ZoneFields(fields, 2, result.LongForm, rulesUsed, number, continuation,
                                      until);
                    result.LongForm += "\n";
                }
                break;
            case 2:
                good = fields.size() == 3 && ValidZoneName(fields[1]) && ValidZoneName(fields[2]) &&
                       names.insert(std::string(fields[2])).second;
                if (good) {
                    result.Zones.emplace_back(fields[2]);
                    result.LongForm +=
                        "Link\t" + std::string(fields[1]) + "\t" + std::string(fields[2]) + "\n";
                }
                break;
            default:
                break;
            }
        }
        if (!good) {
            badLine = number;
            return false;
        }
    }
    if (continuation) {
        badLine = number;
        return false;
    }
    // Every rule a zone names must be there, and something must be.
    for (const auto& [rule, line] : rulesUsed) {
        if (!rulesMade.contains(rule)) {
            badLine = line;
            return false;
        }
    }
    return !result.Zones.empty();
}

bool ValidZoneName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '/' || name.back() == '/') {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        for (const char c : part) {
            const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '_' || c == '+' || c == '-' || c == '.';
            if (!ok) {
                return false;
            }
        }
        start = end + 1;
    }
    return true;
}

} // namespace kiv

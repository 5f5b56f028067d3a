#include "kiv/KivWorkingHours.h"

#include "kiv/KivText.h"
#include "kiv/KivTimeZone.h"

#include <array>
#include <cstdio>

namespace kiv {

namespace {

constexpr std::array<const char*, 7> DayNames = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::string_view AnyTimeText = "any";

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// "HH:MM" (one or two digits of hours) to minutes after midnight; -1 when not.
int ParseClockTime(std::string_view text) {
    text = TrimBlanks(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
        return -1;
    }
    int hours = 0;
    int minutes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == colon) {
            continue;
        }
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        int& part = i < colon ? hours : minutes;
        part = part * 10 + (text[i] - '0');
    }
    if (hours > 23 || minutes > 59) {
        return -1;
    }
    return hours * 60 + minutes;
}

void Fail(std::string* reason, const std::string& why) {
    if (reason != nullptr) {
        *reason = why;
    }
}

} // namespace

void TWorkingHours::SetDay(int isoWeekday, bool on) {
    const auto bit = static_cast<std::uint8_t>(1U << (isoWeekday - 1));
    Days = static_cast<std::uint8_t>(on ? (Days | bit) : (Days & ~bit));
}

bool TWorkingHours::IsValid() const {
    if (AnyTime) {
        return true;
    }
    return StartMinutes >= 0 && StartMinutes < MinsPerDay && EndMinutes >= 0 &&
           EndMinutes < MinsPerDay && StartMinutes != EndMinutes && (Days & AllDays) != 0 &&
           (Days & ~AllDays) == 0;
}

bool TWorkingHours::ContainsLocal(TDateTime local) const {
    return ContainsLocalMSecs(DateTimeToMSecs(local));
}

bool TWorkingHours::ContainsLocalMSecs(std::int64_t ms) const {
    if (AnyTime) {
        return true;
    }
    std::int64_t day = ms / MSecsPerDay;
    std::int64_t inDay = ms % MSecsPerDay;
    if (inDay < 0) {
        inDay += MSecsPerDay;
        --day;
    }
    const auto minute = static_cast<int>(inDay / 60000);
    const int weekday = DayOfTheWeekOfDays(day);
    if (StartMinutes < EndMinutes) {
        return HasDay(weekday) && minute >= StartMinutes && minute < EndMinutes;
    }
    // Over midnight: the evening of a listed day, or the morning after one.
    const int dayBefore = weekday == 1 ? 7 : weekday - 1;
    return (HasDay(weekday) && minute >= StartMinutes) ||
           (HasDay(dayBefore) && minute < EndMinutes);
}

std::string WorkingHoursText(const TWorkingHours& hours) {
    if (hours.AnyTime) {
        return std::string(AnyTimeText);
    }
    char times[48];
    std::snprintf(times, sizeof times, "%02d:%02d-%02d:%02d", hours.StartMinutes / 60,
                  hours.StartMinutes % 60, hours.EndMinutes / 60, hours.EndMinutes % 60);
    std::string text = times;
    char separator = ' ';
    for (int d = 1; d <= 7; ++d) {
        if (hours.HasDay(d)) {
            text += separator;
            text += DayNames[d - 1];
            separator = ',';
        }
    }
    return text;
}

bool TryParseWorkingHours(std::string_view text, TWorkingHours& hours, std::string* reason) {
    text = TrimBlanks(text);
    if (SameText(text, AnyTimeText)) {
        hours = TWorkingHours{};
        hours.AnyTime = true;
        return true;
    }
    const std::size_t blank = text.find_first_of(" \t");
    const std::string_view times = text.substr(0, blank);
    const std::string_view days =
        blank == std::string_view::npos ? std::string_view{} : TrimBlanks(text.substr(blank));
    const std::size_t dash = times.find('-');
    if (dash == std::string_view::npos) {
        Fail(reason, "no start and end time");
        return false;
    }
    TWorkingHours read;
    read.StartMinutes = ParseClockTime(times.substr(0, dash));
    read.EndMinutes = ParseClockTime(times.substr(dash + 1));
    if (read.StartMinutes < 0 || read.EndMinutes < 0) {
        Fail(reason, "a time is not of the form HH:MM");
        return false;
    }
    if (read.StartMinutes == read.EndMinutes) {
        Fail(reason, "the start is the end");
        return false;
    }
    read.Days = 0;
    std::string_view rest = days;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = TrimBlanks(rest.substr(0, comma));
        int found = 0;
        for (int d = 1; d <= 7; ++d) {
            if (SameText(name, DayNames[d - 1])) {
                found = d;
            }
        }
        if (found == 0 || read.HasDay(found)) {
            Fail(reason, "'" + std::string(name) + "' is not a day of the week, or is named twice");
            return false;
        }
        read.SetDay(found, true);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (comma != std::string_view::npos && rest.empty()) {
            Fail(reason, "a day is missing after the last comma");
            return false;
        }
    }
    if (read.Days == 0) {
        Fail(reason, "no day of the week");
        return false;
    }
    hours = read;
    return true;
}

TWorkingHours DecodeWorkingHours(std::string_view text, std::string& damaged) {
    damaged.clear();
    TWorkingHours hours;
    if (!TryParseWorkingHours(text, hours, &damaged)) {
        return TWorkingHours{};
    }
    return hours;
}

bool IsWithinHours(const TTimeZone& db, const TZoneData& zone, const TWorkingHours& hours,
                   TDateTime utc) {
    if (hours.AnyTime) {
        return true;
    }
    std::string abbreviation;
    std::int32_t minutes = 0;
    return hours.ContainsLocal(db.ZoneLocalTime(zone, utc, abbreviation, minutes));
}

} // namespace kiv

#include "kiv/KivDateTime.h"

#include "kiv/KivErrors.h"

#include <cmath>
#include <cstdio>

namespace kiv {

namespace {

// Floor division and modulo for the day arithmetic below.
constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

constexpr std::int64_t FloorMod(std::int64_t a, std::int64_t b) {
    return a - FloorDiv(a, b) * b;
}

// Days from 1970-01-01 of a proleptic Gregorian date with month 1..12 (the
// era-based method: 400-year cycles of 146097 days, years starting in March).
constexpr std::int64_t UnixDays(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::string DateText(int year, int month, int day) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    return buf;
}

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0) && ((year % 100 != 0) || (year % 400 == 0));
}

int DaysInAMonth(int year, int month) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

std::int64_t DaysFromCivil(int year, int month, int day) {
    // Bring the month into 1..12, carrying whole years.
    const std::int64_t m0 = std::int64_t{month} - 1;
    const std::int64_t y = std::int64_t{year} + FloorDiv(m0, 12);
    const int m = static_cast<int>(FloorMod(m0, 12)) + 1;
    return UnixDays(y, m, 1) + (std::int64_t{day} - 1) + static_cast<std::int64_t>(UnixDateDelta);
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    const std::int64_t z = days - static_cast<std::int64_t>(UnixDateDelta) + 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < MinYear || year > MaxYear || month < 1 || month > 12 || day < 1 ||
        day > DaysInAMonth(year, month)) {
        return false;
    }
    result = static_cast<TDateTime>(DaysFromCivil(year, month, day));
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
    if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
        msec < 0 || msec >= 1000) {
        return false;
    }
    const std::int64_t ms = ((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000 + msec;
    result = static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result = 0;
    if (!TryEncodeDate(year, month, day, result)) {
        throw EConvertError("'" + DateText(year, month, day) + "' is not a valid date");
    }
    return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    TDateTime result = 0;
    if (!TryEncodeTime(hour, minute, second, msec, result)) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "'%02d:%02d:%02d.%03d' is not a valid time", hour, minute,
                      second, msec);
        throw EConvertError(buf);
    }
    return result;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const TDateTime date = EncodeDate(year, month, day);
    EncodeTime(hour, minute, second, msec); // validates the time of day
    const std::int64_t ms = ((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000 + msec;
    return MSecsToDateTime(static_cast<std::int64_t>(date) * MSecsPerDay + ms);
}

std::int64_t DateTimeToMSecs(TDateTime value) {
    const double ms = std::nearbyint(value * static_cast<double>(MSecsPerDay));
    // Values beyond any real date are clamped rather than overflowing.
    constexpr double limit = 9.0e18;
    if (!(ms > -limit)) {
        return static_cast<std::int64_t>(-limit);
    }
    if (!(ms < limit)) {
        return static_cast<std::int64_t>(limit);
    }
    return static_cast<std::int64_t>(ms);
}

TDateTime MSecsToDateTime(std::int64_t msecs) {
    // The whole days and the milliseconds of the day are divided apart so that a
    // value at 00:00 is exactly its integer day.
    const std::int64_t days = FloorDiv(msecs, MSecsPerDay);
    const std::int64_t rest = msecs - days * MSecsPerDay;
    return static_cast<double>(days) + static_cast<double>(rest) / static_cast<double>(MSecsPerDay);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    const std::int64_t ms = DateTimeToMSecs(value);
    CivilFromDays(FloorDiv(ms, MSecsPerDay), year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
    std::int64_t rest = FloorMod(DateTimeToMSecs(value), MSecsPerDay);
    msec = static_cast<int>(rest % 1000);
    rest /= 1000;
    second = static_cast<int>(rest % 60);
    rest /= 60;
    minute = static_cast<int>(rest % 60);
    hour = static_cast<int>(rest / 60);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec) {
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
}

int YearOf(TDateTime value) {
    int y = 0, m = 0, d = 0;
    DecodeDate(value, y, m, d);
    return y;
}

int MonthOf(TDateTime value) {
    int y = 0, m = 0, d = 0;
    DecodeDate(value, y, m, d);
    return m;
}

int DayOf(TDateTime value) {
    int y = 0, m = 0, d = 0;
    DecodeDate(value, y, m, d);
    return d;
}

int HourOf(TDateTime value) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(value, h, n, s, ms);
    return h;
}

int MinuteOf(TDateTime value) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(value, h, n, s, ms);
    return n;
}

int SecondOf(TDateTime value) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(value, h, n, s, ms);
    return s;
}

int MilliSecondOf(TDateTime value) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(value, h, n, s, ms);
    return ms;
}

TDateTime DateOf(TDateTime value) {
    return static_cast<double>(FloorDiv(DateTimeToMSecs(value), MSecsPerDay));
}

int DayOfTheWeekOfDays(std::int64_t days) {
    // Day 0 (1899-12-30) was a Saturday, ISO weekday 6.
    return static_cast<int>(FloorMod(days + 5, 7)) + 1;
}

int DayOfTheWeek(TDateTime value) {
    return DayOfTheWeekOfDays(FloorDiv(DateTimeToMSecs(value), MSecsPerDay));
}

int NthDayOfWeekDay(int year, int month, int n, int weekday) {
    if (month < 1 || month > 12 || weekday < 1 || weekday > 7 || n < 1) {
        return 0;
    }
    const int f = DayOfTheWeekOfDays(DaysFromCivil(year, month, 1));
    const int day = (f <= weekday ? weekday - f + 1 : 7 - f + 1 + weekday) + 7 * (n - 1);
    return day <= DaysInAMonth(year, month) ? day : 0;
}

bool TryNthDayOfWeek(int year, int month, int n, int weekday, TDateTime& result) {
    const int day = NthDayOfWeekDay(year, month, n, weekday);
    return day != 0 && TryEncodeDate(year, month, day, result);
}

TDateTime IncHour(TDateTime value, std::int64_t hours) {
    return MSecsToDateTime(DateTimeToMSecs(value) + hours * 3600000);
}

TDateTime IncMinute(TDateTime value, std::int64_t minutes) {
    return MSecsToDateTime(DateTimeToMSecs(value) + minutes * 60000);
}

double MinuteSpanSigned(TDateTime from, TDateTime to) {
    return static_cast<double>(DateTimeToMSecs(to) - DateTimeToMSecs(from)) / 60000.0;
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff < 0.5) {
        return lower;
    }
    if (diff > 0.5) {
        return lower + 1.0;
    }
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

TDateTime TIsoDateTime::Utc() const {
    return IncMinute(Value, -OffsetMinutes);
}

namespace {

// A cursor over ISO 8601 text that reads fixed-width digit groups.
class TIsoReader {
public:
    explicit TIsoReader(std::string_view text) : Text(text) {}

    bool AtEnd() const { return Pos == Text.size(); }
    char Peek() const { return AtEnd() ? '\0' : Text[Pos]; }
    // Reads exactly `count` decimal digits.
    bool Digits(int count, int& value) {
        value = 0;
        for (int i = 0; i < count; ++i, ++Pos) {
            if (AtEnd() || Text[Pos] < '0' || Text[Pos] > '9') {
                return false;
            }
            value = value * 10 + (Text[Pos] - '0');
        }
        return true;
    }
    // Skips the character when it is one of `chars`.
    bool Take(std::string_view chars) {
        if (!AtEnd() && chars.find(Text[Pos]) != std::string_view::npos) {
            ++Pos;
            return true;
        }
        return false;
    }

private:
    std::string_view Text;
    std::size_t Pos = 0;
};

bool Refuse(std::string* reason, const char* why) {
    if (reason) {
        *reason = why;
    }
    return false;
}

} // namespace

bool TryParseIsoDateTime(std::string_view text, TIsoDateTime& result, std::string* reason) {
    static constexpr const char* form =
        "it is not a date and time of the form YYYY-MM-DDThh:mm[:ss] with an optional "
        "Z or +hh:mm";
    TIsoReader r(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    if (!r.Digits(4, year) || !r.Take("-") || !r.Digits(2, month) || !r.Take("-") ||
        !r.Digits(2, day) || !r.Take("Tt") || !r.Digits(2, hour) || !r.Take(":") ||
        !r.Digits(2, minute)) {
        return Refuse(reason, form);
    }
    if (r.Take(":")) {
        if (!r.Digits(2, second)) {
            return Refuse(reason, form);
        }
        if (r.Take(".,")) {
            // A fraction of the second, cut to whole milliseconds.
            int digits = 0;
            int digit = 0;
            while (r.Digits(1, digit)) {
                if (digits < 3) {
                    msec = msec * 10 + digit;
                }
                if (++digits > 9) {
                    return Refuse(reason, form);
                }
            }
            if (digits == 0) {
                return Refuse(reason, form);
            }
            for (; digits < 3; ++digits) {
                msec *= 10;
            }
        }
    }
    bool hasOffset = false;
    int offset = 0;
    if (r.Take("Zz")) {
        hasOffset = true;
    } else if (r.Peek() == '+' || r.Peek() == '-') {
        const bool west = r.Peek() == '-';
        r.Take("+-");
        int offsetHours = 0, offsetMinutes = 0;
        if (!r.Digits(2, offsetHours)) {
            return Refuse(reason, form);
        }
        // "+hh:mm", "+hhmm" or "+hh".
        const bool colon = r.Take(":");
        if ((colon || !r.AtEnd()) && !r.Digits(2, offsetMinutes)) {
            return Refuse(reason, form);
        }
        if (offsetMinutes >= 60) {
            return Refuse(reason, "the UTC offset does not exist");
        }
        offset = offsetHours * 60 + offsetMinutes;
        if (offset > MaxIsoOffsetMinutes) {
            return Refuse(reason, "the UTC offset is larger than 18 hours");
        }
        offset = west ? -offset : offset;
        hasOffset = true;
    }
    if (!r.AtEnd()) {
        return Refuse(reason, form);
    }
    TDateTime date = 0;
    if (!TryEncodeDate(year, month, day, date)) {
        return Refuse(reason, "that day does not exist");
    }
    TDateTime time = 0;
    if (!TryEncodeTime(hour, minute, second, msec, time)) {
        return Refuse(reason, "that time of day does not exist");
    }
    result.Value =
        MSecsToDateTime(static_cast<std::int64_t>(date) * MSecsPerDay + DateTimeToMSecs(time));
    result.HasOffset = hasOffset;
    result.OffsetMinutes = offset;
    return true;
}

} // namespace kiv

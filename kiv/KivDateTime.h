// The date-time value: a double counting days since 1899-12-30 00:00. The
// integer part is the day, the fraction the time of day (0.5 is 12:00). Local
// times, UTC times and rule dates are all such values.
//
// Values before the epoch are read on the plain continuous scale (the day is
// the floor of the value, the time its distance above it), so arithmetic on
// values stays linear everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

using TDateTime = double;

constexpr int HoursPerDay = 24;
constexpr int MinsPerDay = 24 * 60;
constexpr int SecsPerDay = MinsPerDay * 60;
constexpr std::int64_t MSecsPerDay = std::int64_t{SecsPerDay} * 1000;
// The value of 1970-01-01 00:00, the Unix epoch.
constexpr TDateTime UnixDateDelta = 25569.0;

// Day numbers used by EncodeDate/DecodeDate: years 1..9999.
constexpr int MinYear = 1;
constexpr int MaxYear = 9999;

bool IsLeapYear(int year);
// Days of the month (28..31); 0 when the month lies outside 1..12.
int DaysInAMonth(int year, int month);

// The day number (days since 1899-12-30) of a proleptic Gregorian date. No
// range checks: any month/day is counted on from the 1st of the year's month
// (month 13 is January of the next year, day 0 the last day of the month before).
std::int64_t DaysFromCivil(int year, int month, int day);
// The inverse of DaysFromCivil for a day number.
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

// Fills `result` and returns true when the date exists (year 1..9999).
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
// Raise EConvertError naming the date or time when it does not exist.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);

// The value as whole milliseconds since the epoch, to the nearest millisecond,
// and back. Every value made by this unit is a whole number of milliseconds, so
// the round trip is exact.
std::int64_t DateTimeToMSecs(TDateTime value);
TDateTime MSecsToDateTime(std::int64_t msecs);

// Splits a value into its parts, to the nearest millisecond (23:59:59.9996
// becomes 00:00:00.000 of the next day).
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);

int YearOf(TDateTime value);
int MonthOf(TDateTime value);
int DayOf(TDateTime value);
int HourOf(TDateTime value);
int MinuteOf(TDateTime value);
int SecondOf(TDateTime value);
int MilliSecondOf(TDateTime value);
// The date part at 00:00.
TDateTime DateOf(TDateTime value);

// ISO 8601 weekday: 1 Monday .. 7 Sunday.
int DayOfTheWeek(TDateTime value);
int DayOfTheWeekOfDays(std::int64_t days);

// The day of month (1..31) of the n-th (1 = first) weekday (1..7, ISO) of a
// month, or 0 when that occurrence does not exist in the month.
int NthDayOfWeekDay(int year, int month, int n, int weekday);
// The n-th weekday of a month at 00:00; returns false when it does not exist.
bool TryNthDayOfWeek(int year, int month, int n, int weekday, TDateTime& result);

// Shift by whole hours or minutes (negative goes back), exact to the millisecond.
TDateTime IncHour(TDateTime value, std::int64_t hours);
TDateTime IncMinute(TDateTime value, std::int64_t minutes);
// The distance from `from` to `to` in minutes, negative when `to` is earlier.
double MinuteSpanSigned(TDateTime from, TDateTime to);

// Rounds to the nearest integer; an exact half goes to the even neighbour.
double RoundHalfEven(double value);

// A date and time read from ISO 8601 text by TryParseIsoDateTime.
struct TIsoDateTime {
    // The date and time of day as written (in the zone of the offset, or local).
    TDateTime Value = 0;
    // True when the text gave a UTC offset ("Z" or a signed hours and minutes).
    bool HasOffset = false;
    // The offset east of UTC in minutes; 0 without one.
    int OffsetMinutes = 0;
    // Value minus the offset: the UTC moment when HasOffset.
    TDateTime Utc() const;
};

// The latest UTC offset that TryParseIsoDateTime accepts either way, in minutes.
constexpr int MaxIsoOffsetMinutes = 18 * 60;

// Reads an ISO 8601 date and time in the extended form:
//   YYYY-MM-DDThh:mm[:ss[.fff]][offset]
// with the year 0001..9999, the seconds optional, a decimal fraction of the
// seconds (1 to 9 digits, cut to milliseconds), and an optional offset "Z",
// "+hh:mm", "+hhmm" or "+hh" (or "-"), at most MaxIsoOffsetMinutes. "T" and "Z"
// may be lower case. Nothing else is accepted: no blanks, no missing zeros, no
// hour 24, no leap second, no date without a time. Returns false with a short
// reason (what is wrong, not the text) when the text is none of these.
bool TryParseIsoDateTime(std::string_view text, TIsoDateTime& result,
                         std::string* reason = nullptr);

} // namespace kiv

// The inputs of the solar position library (internal to it): the calendar of
// the record's date, the work its function mask asks for, and the check of
// the values that work uses.
#pragma once

#include "solar/SolPos.h"

#include <cstdint>

namespace solar::solpos {

// Defaults of the inputs the caller may leave alone.
constexpr double kDefaultPress = 1013.0;  // millibars
constexpr double kDefaultTemp = 15.0;     // degrees Celsius
constexpr double kDefaultSolcon = 1367.0; // W/m2
constexpr double kDefaultAspect = 180.0;  // facing the equator from the north
constexpr double kDefaultSbwid = 7.6;     // shadow band width, cm
constexpr double kDefaultSbrad = 31.7;    // shadow band radius, cm
constexpr double kDefaultSbsky = 0.04;    // sky-condition term of the band correction
// Pressure against which ampress scales the air mass, millibars.
constexpr double kAirMassPress = 1013.0;

// Whether the year has a 29 February (Gregorian).
bool IsLeap(int year);
int DaysInYear(int year);
int DaysInMonth(int year, int month);
// Day of the year (1-based) of a valid month and day.
int DayOfYear(int year, int month, int day);
// Month and day of a valid day of the year.
void MonthAndDay(int year, int daynum, int& month, int& day);
// Days from 2000-01-01 to January 1 of the year (negative before 2000).
long DaysToYear(int year);

// The work to do: the caller's mask with every prerequisite added.
int ExpandMask(int f);
// Checks every input that the expanded mask uses; returns the first bad one.
int32_t Validate(const TPosData& r, int work);

} // namespace solar::solpos

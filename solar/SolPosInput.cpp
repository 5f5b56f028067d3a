#include "solar/SolPosInput.h"

namespace solar::solpos {

namespace {

// Days from 0001-01-01 to 2000-01-01 in the proleptic Gregorian calendar.
constexpr long kDaysTo2000 = 730119;

inline bool InRange(double x, double lo, double hi) {
    return x >= lo && x <= hi; // false for NaN
}

} // namespace

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInYear(int year) {
    return IsLeap(year) ? 366 : 365;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

int DayOfYear(int year, int month, int day) {
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return kBefore[month - 1] + day + (month > 2 && IsLeap(year) ? 1 : 0);
}

void MonthAndDay(int year, int daynum, int& month, int& day) {
    month = 1;
    while (daynum > DaysInMonth(year, month)) {
        daynum -= DaysInMonth(year, month);
        ++month;
    }
    day = daynum;
}

long DaysToYear(int year) {
    const long y = year - 1; // year >= 1800, so the divisions below are floors
    return 365 * y + y / 4 - y / 100 + y / 400 - kDaysTo2000;
}

int ExpandMask(int f) {
    if (f & S_PRIME) {
        f |= S_AMASS;
    }
    if (f & S_AMASS) {
        f |= S_REFRAC;
    }
    if (f & S_TILT) {
        f |= S_SOLAZM | S_REFRAC | S_ETR;
    }
    if (f & S_ETR) {
        f |= S_REFRAC;
    }
    if (f & (S_REFRAC | S_SOLAZM)) {
        f |= S_ZENETR;
    }
    if (f & S_SBCF) {
        f |= S_SSHA;
    }
    if (f & (S_ZENETR | S_SSHA | S_TST | S_SRSS)) {
        f |= S_GEOM;
    }
    return f;
}

int32_t Validate(const TPosData& r, int work) {
    if (r.year < S_YEAR_FIRST || r.year > S_YEAR_LAST) {
        return S_ERR_YEAR;
    }
    if (work & S_DOY) {
        if (r.daynum < 1 || r.daynum > DaysInYear(r.year)) {
            return S_ERR_DAYNUM;
        }
    } else {
        if (r.month < 1 || r.month > 12) {
            return S_ERR_MONTH;
        }
        if (r.day < 1 || r.day > DaysInMonth(r.year, r.month)) {
            return S_ERR_DAY;
        }
    }
    if (r.hour < 0 || r.hour > 24) {
        return S_ERR_HOUR;
    }
    if (r.minute < 0 || r.minute > 59) {
        return S_ERR_MINUTE;
    }
    if (r.second < 0 || r.second > 59) {
        return S_ERR_SECOND;
    }
    if (r.hour == 24 && (r.minute != 0 || r.second != 0)) {
        return S_ERR_HOUR;
    }
    if (r.interval < 0 || r.interval > 28800) {
        return S_ERR_INTERVAL;
    }
    if (!InRange(r.timezone, -18.0, 18.0)) {
        return S_ERR_TIMEZONE;
    }
    if (!InRange(r.latitude, -90.0, 90.0)) {
        return S_ERR_LATITUDE;
    }
    if (!InRange(r.longitude, -180.0, 180.0)) {
        return S_ERR_LONGITUDE;
    }
    if (work & S_REFRAC) {
        if (!InRange(r.press, 0.0, 2000.0)) {
            return S_ERR_PRESS;
        }
        if (!InRange(r.temp, -100.0, 100.0)) {
            return S_ERR_TEMP;
        }
    }
    if (work & S_TILT) {
        if (!InRange(r.tilt, -180.0, 180.0)) {
            return S_ERR_TILT;
        }
        if (!InRange(r.aspect, -360.0, 360.0)) {
            return S_ERR_ASPECT;
        }
    }
    if ((work & S_ETR) && !InRange(r.solcon, 1000.0, 2000.0)) {
        return S_ERR_SOLCON;
    }
    if (work & S_SBCF) {
        if (!InRange(r.sbrad, 0.0, 100.0) || r.sbrad == 0.0) {
            return S_ERR_SBRAD;
        }
        // A band at least half as wide as its radius would hide the whole sky.
        if (!InRange(r.sbwid, 0.0, 100.0) || r.sbwid == 0.0 || 2.0 * r.sbwid >= r.sbrad) {
            return S_ERR_SBWID;
        }
        if (!InRange(r.sbsky, -1.0, 1.0)) {
            return S_ERR_SBSKY;
        }
    }
    return S_OK;
}

} // namespace solar::solpos

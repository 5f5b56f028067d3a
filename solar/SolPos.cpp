// The solar position library: the sun's place in the sky for a place on Earth
// and a local standard time, with the quantities derived from it (sunrise and
// sunset, refraction, air mass, irradiance on horizontal and tilted planes).
//
// The sun's apparent longitude follows the classic almanac theory: mean
// longitude, mean anomaly and the three-term equation of the centre with
// time-dependent coefficients, plus the five largest periodic perturbations by
// Venus, Jupiter and the Moon and a long-period term, nutation in longitude
// and obliquity (the principal 18.6-year terms) and annual aberration. Time
// runs in Terrestrial Time for the sun (from UT with a smooth Delta-T) and in
// UT for the Earth's rotation (IAU 1982 mean sidereal time plus the equation
// of the equinoxes). Checked against a VSOP87-based ephemeris over 1950..2100,
// the zenith angle stays within about 0.004 degree.
#include "solar/SolPos.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

static_assert(sizeof(TPosData) == 408, "TPosData must keep its 408-byte layout");
static_assert(offsetof(TPosData, day) == 0);
static_assert(offsetof(TPosData, daynum) == 4);
static_assert(offsetof(TPosData, function) == 8);
static_assert(offsetof(TPosData, hour) == 12);
static_assert(offsetof(TPosData, minute) == 20);
static_assert(offsetof(TPosData, month) == 24);
static_assert(offsetof(TPosData, second) == 28);
static_assert(offsetof(TPosData, year) == 32);
static_assert(offsetof(TPosData, amass) == 40);
static_assert(offsetof(TPosData, latitude) == 208);
static_assert(offsetof(TPosData, longitude) == 216);
static_assert(offsetof(TPosData, sretr) == 320);
static_assert(offsetof(TPosData, ssetr) == 328);
static_assert(offsetof(TPosData, timezone) == 352);
static_assert(offsetof(TPosData, zenetr) == 392);
static_assert(offsetof(TPosData, zenref) == 400);

namespace solar {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0; // degrees to radians
constexpr double kDeg = 180.0 / kPi; // radians to degrees

// Earth's rotation relative to the mean equinox, degrees per day of UT.
constexpr double kSiderealRate = 360.98564736629;
// Days from 0001-01-01 to 2000-01-01 in the proleptic Gregorian calendar.
constexpr long kDaysTo2000 = 730119;

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

// Adding and then subtracting 1.5 * 2^52 rounds a double to the nearest
// integer (ties to even) in two additions, with no conversion to an integer
// register; the sum also carries the integer's low bits in its mantissa.
constexpr double kRoundMagic = 6755399441055744.0;

// Nearest integer of x (|x| < 2^51), as a double.
inline double RoundNearest(double x) {
    return (x + kRoundMagic) - kRoundMagic;
}

// Angle reduced into [-180, 180].
inline double Norm180(double deg) {
    return deg - 360.0 * RoundNearest(deg * (1.0 / 360.0));
}

// Angle reduced into [0, 360).
inline double Norm360(double deg) {
    const double r = Norm180(deg);
    return r < 0.0 ? r + 360.0 : r;
}

// Sine and cosine of an angle in degrees, to about 1e-11. The angle is
// reduced to the nearest quarter turn exactly in degrees, so large arguments
// (a century of the Moon's elongation) need no prior reduction; the remainder,
// within +-45 degrees, goes through the Taylor series to the 11th and 12th
// power. This is several times faster than the library pair and is called a
// dozen times per position.
inline void SinCosDeg(double deg, double& sine, double& cosine) {
    const double shifted = deg * (1.0 / 90.0) + kRoundMagic;
    const uint64_t quarter = std::bit_cast<uint64_t>(shifted); // low bits: quarter turns
    const double x = (deg - 90.0 * (shifted - kRoundMagic)) * kRad;
    const double x2 = x * x;
    const double s =
        x * (1.0 + x2 * (-1.0 / 6 +
                         x2 * (1.0 / 120 +
                               x2 * (-1.0 / 5040 + x2 * (1.0 / 362880 + x2 * (-1.0 / 39916800))))));
    const double c =
        1.0 + x2 * (-1.0 / 2 +
                    x2 * (1.0 / 24 +
                          x2 * (-1.0 / 720 + x2 * (1.0 / 40320 + x2 * (-1.0 / 3628800 +
                                                                       x2 * (1.0 / 479001600))))));
    switch (quarter & 3) {
    case 0:
        sine = s, cosine = c;
        break;
    case 1:
        sine = c, cosine = -s;
        break;
    case 2:
        sine = -s, cosine = -c;
        break;
    default:
        sine = -c, cosine = s;
        break;
    }
}

// Right ascension (degrees, not reduced) of a point of the ecliptic at
// longitude `lambda` (degrees) with the given sine and cosine, from the series
// of the reduction to the equator in y = tan^2(obliquity / 2) = 0.043. Five
// terms leave an error near 1e-7 degree and cost less than an arc tangent.
inline double RightAscension(double lambda, double sinLam, double cosLam, double y) {
    const double s2 = 2.0 * sinLam * cosLam, c2 = cosLam * cosLam - sinLam * sinLam;
    const double s4 = 2.0 * s2 * c2, c4 = c2 * c2 - s2 * s2;
    const double s6 = s4 * c2 + c4 * s2;
    const double s8 = 2.0 * s4 * c4, c8 = c4 * c4 - s4 * s4;
    const double s10 = s8 * c2 + c8 * s2;
    const double sum =
        y * (-s2 + y * (s4 * 0.5 + y * (s6 * (-1.0 / 3.0) + y * (s8 * 0.25 + y * (s10 * -0.2)))));
    return lambda + sum * kDeg;
}

inline double Clamp(double x, double lo, double hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}

inline bool InRange(double x, double lo, double hi) {
    return x >= lo && x <= hi; // false for NaN
}

inline bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

inline int DaysInYear(int year) {
    return IsLeap(year) ? 366 : 365;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Day of the year (1-based) of a valid month and day.
int DayOfYear(int year, int month, int day) {
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return kBefore[month - 1] + day + (month > 2 && IsLeap(year) ? 1 : 0);
}

// Month and day of a valid day of the year.
void MonthAndDay(int year, int daynum, int& month, int& day) {
    month = 1;
    while (daynum > DaysInMonth(year, month)) {
        daynum -= DaysInMonth(year, month);
        ++month;
    }
    day = daynum;
}

// Days from 2000-01-01 to January 1 of the year (negative before 2000).
long DaysToYear(int year) {
    const long y = year - 1; // year >= 1800, so the divisions below are floors
    return 365 * y + y / 4 - y / 100 + y / 400 - kDaysTo2000;
}

// The work to do: the caller's mask with every prerequisite added.
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

// Checks every input that the expanded mask uses; returns the first bad one.
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

// Delta-T = TT - UT in seconds, a quadratic that follows the observed values
// around 2000 and the usual long-term parabola; a minute of error moves the
// sun by less than 0.001 degree.
inline double DeltaT(double daysUt) {
    const double t = daysUt * (1.0 / 365.25); // years since 2000
    return 62.92 + 0.32217 * t + 0.005589 * t * t;
}

// The sun for one moment: everything that does not depend on the place.
struct TSun {
    double daysUt;     // days since 2000-01-01 12:00 UT
    double daysTt;     // the same moment in Terrestrial Time
    double mnlong;     // geometric mean longitude, degrees
    double mnanom;     // mean anomaly, degrees
    double eclong;     // apparent ecliptic longitude, degrees
    double lambdaRate; // d(eclong)/dt, degrees per day
    double ecobli;     // true obliquity of the ecliptic, degrees
    double sinEps, cosEps;
    double tanHalfEps2; // tan^2(obliquity / 2)
    double radius;      // distance, astronomical units
    double invRadius;
    double sinDec, cosDec;
    double declin; // degrees
    double rascen; // apparent right ascension, degrees [0, 360)
    double gmst;   // Greenwich mean sidereal time, degrees [0, 360)
    double eqeq;   // equation of the equinoxes, degrees
};

TSun SunAt(double daysUt) {
    TSun s;
    s.daysUt = daysUt;
    s.daysTt = daysUt + DeltaT(daysUt) * (1.0 / 86400.0);
    const double T = s.daysTt * (1.0 / 36525.0); // Julian centuries of TT since J2000.0
    const double T1 = T + 1.0;                   // the same from 1900.0, for the perturbations

    s.mnlong = Norm360(280.46646 + 36000.76983 * T + 0.0003032 * T * T);
    s.mnanom = Norm360(357.52911 + 35999.05029 * T - 0.0001537 * T * T);
    const double ecc = 0.016708634 - 0.000042037 * T - 0.0000001267 * T * T;

    double sinM, cosM;
    SinCosDeg(s.mnanom, sinM, cosM);
    const double sin2M = 2.0 * sinM * cosM;
    const double cos2M = 2.0 * cosM * cosM - 1.0;
    const double sin3M = sinM * (3.0 - 4.0 * sinM * sinM);
    const double cos3M = cosM * (4.0 * cosM * cosM - 3.0);
    const double c1 = 1.914602 - 0.004817 * T - 0.000014 * T * T;
    const double c2 = 0.019993 - 0.000101 * T;
    const double c3 = 0.000289;
    const double center = c1 * sinM + c2 * sin2M + c3 * sin3M; // equation of the centre

    // Radius vector from the true anomaly nu = M + C; C is under 2 degrees, so
    // its cosine and sine come from short series.
    const double cr = center * kRad;
    const double cosC = 1.0 - cr * cr * (0.5 - cr * cr * (1.0 / 24.0));
    const double sinC = cr * (1.0 - cr * cr * (1.0 / 6.0));
    const double cosNu = cosM * cosC - sinM * sinC;
    double radius = 1.000001018 * (1.0 - ecc * ecc) / (1.0 + ecc * cosNu);

    // Periodic perturbations (Venus: A, B; Jupiter: C; Moon: D; long period: E).
    double sinA, cosA, sinJ, cosJ, sinD, cosD;
    SinCosDeg(153.23 + 22518.7541 * T1, sinA, cosA);
    SinCosDeg(312.69 + 32964.3577 * T1, sinJ, cosJ);
    SinCosDeg(350.74 + 445267.1142 * T1 - 0.00144 * T1 * T1, sinD, cosD);
    double sinE, cosE;
    SinCosDeg(231.19 + 20.20 * T1, sinE, cosE);
    // B = 216.57 + 45037.5082 T1 = 2A - 89.89 degrees.
    constexpr double kBOffset = -89.89 * kRad;
    const double sin2A = 2.0 * sinA * cosA;
    const double cos2A = 1.0 - 2.0 * sinA * sinA;
    const double cosOff = std::cos(kBOffset), sinOff = std::sin(kBOffset);
    const double cosB = cos2A * cosOff - sin2A * sinOff;
    const double sinB = sin2A * cosOff + cos2A * sinOff;
    const double perturbLon =
        0.00134 * cosA + 0.00154 * cosB + 0.00200 * cosJ + 0.00179 * sinD + 0.00178 * sinE;
    radius += 0.00000543 * sinA + 0.00001575 * sinB + 0.00001627 * sinJ + 0.00003076 * cosD;
    s.radius = radius;
    s.invRadius = 1.0 / radius;

    // Nutation: the principal terms of the 18.6-year lunar node cycle.
    double sinOm, cosOm;
    SinCosDeg(125.04452 - 1934.136261 * T, sinOm, cosOm);
    const double nutLon = -17.20 / 3600.0 * sinOm;
    const double nutObl = 9.20 / 3600.0 * cosOm;

    const double aberration = (-20.4898 / 3600.0) * s.invRadius;
    s.eclong = Norm360(s.mnlong + center + perturbLon + nutLon + aberration);
    // Rate of the longitude for the sunrise search: mean motion plus the
    // derivative of the equation of the centre.
    constexpr double kMeanAnomalyRate = 35999.05029 / 36525.0 * kRad; // radians per day
    s.lambdaRate = 36000.76983 / 36525.0 +
                   (c1 * cosM + 2.0 * c2 * cos2M + 3.0 * c3 * cos3M) * kMeanAnomalyRate;

    // The obliquity stays within 0.03 degree of its J2000 value over the years
    // accepted, so its sine and cosine come from a second-order expansion.
    constexpr double kEps0 = 23.43929111;
    s.ecobli = kEps0 - 0.013004167 * T + nutObl;
    const double de = (s.ecobli - kEps0) * kRad;
    const double sinEps0 = std::sin(kEps0 * kRad), cosEps0 = std::cos(kEps0 * kRad);
    s.sinEps = sinEps0 * (1.0 - 0.5 * de * de) + cosEps0 * de;
    s.cosEps = cosEps0 * (1.0 - 0.5 * de * de) - sinEps0 * de;
    s.tanHalfEps2 = (1.0 - s.cosEps) / (1.0 + s.cosEps);

    double sinLam, cosLam;
    SinCosDeg(s.eclong, sinLam, cosLam);
    s.sinDec = Clamp(s.sinEps * sinLam, -1.0, 1.0);
    s.cosDec = std::sqrt(1.0 - s.sinDec * s.sinDec);
    s.declin = std::asin(s.sinDec) * kDeg;
    s.rascen = Norm360(RightAscension(s.eclong, sinLam, cosLam, s.tanHalfEps2));

    // Mean sidereal time (IAU 1982) with the day count split so that the
    // whole turns drop out before they cost precision.
    const double Tu = daysUt * (1.0 / 36525.0);
    const double whole = RoundNearest(daysUt);
    s.gmst = Norm360(280.46061837 + 360.0 * (daysUt - whole) + 0.98564736629 * daysUt +
                     0.000387933 * Tu * Tu - Tu * Tu * Tu * (1.0 / 38710000.0));
    s.eqeq = nutLon * s.cosEps;
    return s;
}

// Right ascension and declination a short time away from a computed moment,
// from the longitude moved on at its rate (good to a few arc seconds within
// two days).
struct TSunNear {
    double rascen; // degrees
    double sinDec, cosDec;
};

TSunNear SunNear(const TSun& s, double daysUt) {
    const double lambda = s.eclong + s.lambdaRate * (daysUt - s.daysUt);
    double sinLam, cosLam;
    SinCosDeg(lambda, sinLam, cosLam);
    TSunNear n;
    n.sinDec = Clamp(s.sinEps * sinLam, -1.0, 1.0);
    n.cosDec = std::sqrt(1.0 - n.sinDec * n.sinDec);
    n.rascen = RightAscension(lambda, sinLam, cosLam, s.tanHalfEps2);
    return n;
}

// Greenwich hour angle of the sun near the computed moment, degrees.
double HourAngleNear(const TSun& s, const TSunNear& n, double daysUt, double longitude) {
    return s.gmst + s.eqeq + kSiderealRate * (daysUt - s.daysUt) + longitude - n.rascen;
}

enum class TDayKind { Normal, MidnightSun, PolarNight };

// Hour angle (degrees) at which the sun's centre is on the geometric horizon,
// or whether it never gets there that day.
TDayKind HorizonHourAngle(double sinLat, double cosLat, double sinDec, double cosDec, double& h0) {
    const double num = -sinLat * sinDec;
    const double den = cosLat * cosDec;
    if (num >= den) {
        h0 = 0.0;
        return TDayKind::PolarNight;
    }
    if (num <= -den) {
        h0 = 180.0;
        return TDayKind::MidnightSun;
    }
    h0 = std::acos(num / den) * kDeg;
    return TDayKind::Normal;
}

// Moment (UT days) near `start` of the sun's transit (hour angle 0) or, with
// `horizon` set, of the sun's centre on the horizon on the side given by
// `side` (-1 rising, +1 setting). Two steps of the correction reach a second.
double SolveEvent(const TSun& s, double start, double longitude, double sinLat, double cosLat,
                  double side, bool horizon) {
    double t = start;
    for (int i = 0; i < 2; ++i) {
        const TSunNear n = SunNear(s, t);
        double target = 0.0;
        if (horizon) {
            HorizonHourAngle(sinLat, cosLat, n.sinDec, n.cosDec, target);
            target *= side;
        }
        const double h = HourAngleNear(s, n, t, longitude);
        t += Norm180(target - h) * (1.0 / kSiderealRate);
    }
    return t;
}

// Sunrise and sunset of the local date that starts at `midnight` (UT days),
// in minutes after that midnight. The events are those around the sun's
// transit nearest to local noon; if that sunset would fall beyond 2000
// minutes (a zone far east of its longitude, with a long day), the previous
// transit is used so that real events always lie inside -2000..2000.
void SunriseSunset(const TSun& s, double midnight, double latitude, double longitude, double& sretr,
                   double& ssetr) {
    double sinLat, cosLat;
    SinCosDeg(latitude, sinLat, cosLat);
    double guess = midnight + 0.5;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const double transit = SolveEvent(s, guess, longitude, sinLat, cosLat, 0.0, false);
        const TSunNear n = SunNear(s, transit);
        double h0 = 0.0;
        switch (HorizonHourAngle(sinLat, cosLat, n.sinDec, n.cosDec, h0)) {
        case TDayKind::MidnightSun:
            sretr = -S_NO_EVENT;
            ssetr = S_NO_EVENT;
            return;
        case TDayKind::PolarNight:
            sretr = S_NO_EVENT;
            ssetr = -S_NO_EVENT;
            return;
        case TDayKind::Normal:
            break;
        }
        const double rise =
            SolveEvent(s, transit - h0 / kSiderealRate, longitude, sinLat, cosLat, -1.0, true);
        const double set =
            SolveEvent(s, transit + h0 / kSiderealRate, longitude, sinLat, cosLat, 1.0, true);
        sretr = (rise - midnight) * 1440.0;
        ssetr = (set - midnight) * 1440.0;
        if (ssetr <= 2000.0) {
            return;
        }
        guess = transit - 1.0;
    }
}

// Refraction (degrees) of the sun at true elevation `elev` (degrees):
// Saemundsson's formula scaled by pressure and temperature. It is used down to
// one degree below the horizon and tapers off to nothing at two degrees below,
// where the sun can no longer be seen.
double Refraction(double elev, double press, double temp) {
    if (elev < -2.0 || press <= 0.0) {
        return 0.0;
    }
    const double e = elev < -1.0 ? -1.0 : elev;
    double sinA, cosA;
    SinCosDeg(e + 10.3 / (e + 5.11), sinA, cosA);
    double arcmin = 1.02 * cosA / sinA;
    if (arcmin < 0.0) {
        arcmin = 0.0; // the formula dips a hair below zero at the zenith
    }
    arcmin *= (press / 1010.0) * (283.0 / (273.0 + temp));
    if (elev < -1.0) {
        arcmin *= elev + 2.0;
    }
    return arcmin / 60.0;
}

} // namespace
} // namespace solar

extern "C" SOLPOS_API int32_t _S_init(TPosData* record) {
    if (record == nullptr) {
        return S_ERR_RECORD;
    }
    *record = TPosData{};
    record->day = 1;
    record->daynum = 1;
    record->function = S_EVERYTHING;
    record->hour = 12;
    record->month = 1;
    record->year = 2000;
    record->aspect = solar::kDefaultAspect;
    record->press = solar::kDefaultPress;
    record->temp = solar::kDefaultTemp;
    record->solcon = solar::kDefaultSolcon;
    record->sbwid = solar::kDefaultSbwid;
    record->sbrad = solar::kDefaultSbrad;
    record->sbsky = solar::kDefaultSbsky;
    record->amass = -1.0;
    record->ampress = -1.0;
    record->erv = 1.0;
    record->prime = 1.0;
    record->unprime = 1.0;
    record->sbcf = 1.0;
    return S_OK;
}

extern "C" SOLPOS_API int32_t _S_solpos(TPosData* record) {
    using namespace solar;
    if (record == nullptr) {
        return S_ERR_RECORD;
    }
    TPosData& r = *record;
    if (r.function < 0 || r.function > 0xFFFF) {
        return S_ERR_FUNCTION;
    }
    const int work = ExpandMask(r.function);
    if ((work & ~S_DOY) == 0) {
        return S_OK; // nothing asked for
    }
    if (const int32_t err = Validate(r, work); err != S_OK) {
        return err;
    }

    // The moment: local standard time, moved back by half the interval to the
    // middle of a measurement period, turned into UT days since J2000.0.
    if (work & S_DOY) {
        MonthAndDay(r.year, r.daynum, r.month, r.day);
    } else {
        r.daynum = DayOfYear(r.year, r.month, r.day);
    }
    const double dayStart = static_cast<double>(DaysToYear(r.year) + r.daynum - 1);
    const double localSeconds =
        r.hour * 3600.0 + r.minute * 60.0 + r.second - 0.5 * static_cast<double>(r.interval);
    const double midnightUt = dayStart - r.timezone * (1.0 / 24.0) - 0.5; // days since J2000.0
    const double daysUt = midnightUt + localSeconds * (1.0 / 86400.0);
    const double utHours =
        Norm360((localSeconds * (1.0 / 3600.0) - r.timezone) * 15.0) * (1.0 / 15.0);

    const TSun sun = SunAt(daysUt);
    const double hrang = Norm180(sun.gmst + sun.eqeq + r.longitude - sun.rascen);

    if (work & S_GEOM) {
        r.julday = 2451545.0 + daysUt;
        r.ectime = sun.daysTt;
        r.utime = utHours;
        r.dayang = 360.0 * (r.daynum - 1) / 365.0;
        r.mnlong = sun.mnlong;
        r.mnanom = sun.mnanom;
        r.eclong = sun.eclong;
        r.ecobli = sun.ecobli;
        r.declin = sun.declin;
        r.rascen = sun.rascen;
        r.gmst = sun.gmst * (1.0 / 15.0);
        r.lmst = Norm360(sun.gmst + r.longitude);
        r.hrang = hrang;
        r.erv = sun.invRadius * sun.invRadius;
        // Apparent minus mean solar time: the true hour angle less the mean
        // sun's hour angle at this longitude, in minutes.
        r.eqntim = 4.0 * Norm180(hrang - (utHours * 15.0 + r.longitude - 180.0));
    }

    double sinLat = 0.0, cosLat = 1.0;
    if (work & (S_ZENETR | S_SSHA)) {
        SinCosDeg(r.latitude, sinLat, cosLat);
    }

    double sinH = 0.0, cosH = 1.0, cosZen = 1.0, sinZen = 0.0;
    if (work & S_ZENETR) {
        SinCosDeg(hrang, sinH, cosH);
        cosZen = Clamp(sinLat * sun.sinDec + cosLat * sun.cosDec * cosH, -1.0, 1.0);
        sinZen = std::sqrt(1.0 - cosZen * cosZen);
        // Geocentric zenith angle plus the sun's parallax seen from the surface.
        const double zen = std::acos(cosZen) * kDeg + (8.794 / 3600.0) * sun.invRadius * sinZen;
        r.zenetr = zen;
        r.elevetr = 90.0 - zen;
    }

    if (work & S_SSHA) {
        double h0 = 0.0;
        HorizonHourAngle(sinLat, cosLat, sun.sinDec, sun.cosDec, h0);
        r.ssha = h0;
    }

    if (work & S_SBCF) {
        // Drummond's shadow-band correction: the share of the isotropic sky the
        // band hides from sunrise to sunset, plus a sky-condition term.
        double sinT0, cosT0;
        SinCosDeg(r.ssha, sinT0, cosT0);
        const double cos3 = sun.cosDec * sun.cosDec * sun.cosDec;
        double hidden = 2.0 * r.sbwid / (kPi * r.sbrad) * cos3 *
                        (r.ssha * kRad * sinLat * sun.sinDec + cosLat * sun.cosDec * sinT0);
        hidden = Clamp(hidden, 0.0, 0.99);
        r.sbcf = r.sbsky + 1.0 / (1.0 - hidden);
    }

    if (work & S_TST) {
        r.tstfix = r.eqntim + 4.0 * r.longitude - 60.0 * r.timezone;
        const double tst = std::fmod(localSeconds / 60.0 + r.tstfix, 1440.0);
        r.tst = tst < 0.0 ? tst + 1440.0 : tst;
    }

    if (work & S_SRSS) {
        SunriseSunset(sun, midnightUt, r.latitude, r.longitude, r.sretr, r.ssetr);
    }

    if (work & S_SOLAZM) {
        // Azimuth from north through east.
        const double y = -sun.cosDec * sinH;
        const double x = sun.sinDec * cosLat - sun.cosDec * cosH * sinLat;
        r.azim = Norm360(std::atan2(y, x) * kDeg);
    }

    double sinZenRef = 0.0;
    if (work & S_REFRAC) {
        const double refr = Refraction(r.elevetr, r.press, r.temp);
        r.elevref = r.elevetr + refr;
        r.zenref = 90.0 - r.elevref;
        SinCosDeg(r.elevref, r.coszen, sinZenRef);
    }

    if (work & S_AMASS) {
        // Kasten and Young's relative optical air mass; none below 93 degrees.
        if (r.zenref > 93.0) {
            r.amass = -1.0;
            r.ampress = -1.0;
        } else {
            r.amass = 1.0 / (r.coszen + 0.50572 * std::pow(96.07995 - r.zenref, -1.6364));
            r.ampress = r.amass * r.press / kAirMassPress;
        }
    }

    if (work & S_PRIME) {
        // Perez's normalisation of clearness indices against air mass.
        if (r.amass < 0.0) {
            r.unprime = 1.0;
        } else {
            r.unprime = 1.031 * std::exp(-1.4 / (0.9 + 9.4 / r.amass)) + 0.1;
        }
        r.prime = 1.0 / r.unprime;
    }

    if (work & S_ETR) {
        if (r.coszen > 0.0) {
            r.etrn = r.solcon * r.erv;
            r.etr = r.etrn * r.coszen;
        } else {
            r.etrn = 0.0;
            r.etr = 0.0;
        }
    }

    if (work & S_TILT) {
        // Angle between the sun and the normal of a plane tilted by `tilt`
        // towards the azimuth `aspect`.
        double sinTilt, cosTilt, sinRel, cosRel;
        SinCosDeg(r.tilt, sinTilt, cosTilt);
        SinCosDeg(r.azim - r.aspect, sinRel, cosRel);
        r.cosinc = r.coszen * cosTilt + sinZenRef * sinTilt * cosRel;
        r.etrtilt = r.cosinc > 0.0 ? r.etrn * r.cosinc : 0.0;
    }
    return S_OK;
}

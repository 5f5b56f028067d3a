// The sun for a moment of time (internal to the solar position library):
// its place from the almanac theory, the hour angle at which it meets the
// horizon, its rising and setting, and the refraction of its light.
#pragma once

namespace solar::solpos {

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

// The sun at the moment, given in days since 2000-01-01 12:00 UT.
TSun SunAt(double daysUt);

enum class TDayKind { Normal, MidnightSun, PolarNight };

// Hour angle (degrees) at which the sun's centre is on the geometric horizon,
// or whether it never gets there that day.
TDayKind HorizonHourAngle(double sinLat, double cosLat, double sinDec, double cosDec, double& h0);

// Sunrise and sunset of the local date that starts at `midnight` (UT days),
// in minutes after that midnight. The events are those around the sun's
// transit nearest to local noon; if that sunset would fall beyond 2000
// minutes (a zone far east of its longitude, with a long day), the previous
// transit is used so that real events always lie inside -2000..2000.
void SunriseSunset(const TSun& s, double midnight, double latitude, double longitude, double& sretr,
                   double& ssetr);

// Refraction (degrees) of the sun at true elevation `elev` (degrees):
// Saemundsson's formula scaled by pressure and temperature. It is used down to
// one degree below the horizon and tapers off to nothing at two degrees below,
// where the sun can no longer be seen.
double Refraction(double elev, double press, double temp);

} // namespace solar::solpos

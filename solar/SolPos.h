/* The solar position library: one record of inputs and outputs, and two C
 * functions. The record is 408 bytes: nine 32-bit integers, 4 bytes of padding
 * and 46 doubles, in a fixed order that callers may rely on byte by byte. */
#ifndef CHRONARA_SOLPOS_H
#define CHRONARA_SOLPOS_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(SOLPOS_BUILDING)
#define SOLPOS_API __declspec(dllexport)
#else
#define SOLPOS_API __declspec(dllimport)
#endif
#else
#define SOLPOS_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TPosData {
    int32_t day;      /* day of month (input unless function bit 0x0001) */
    int32_t daynum;   /* day of year (input with function bit 0x0001) */
    int32_t function; /* mask of wanted outputs */
    int32_t hour;     /* local standard time in the record's zone */
    int32_t interval; /* measurement interval in seconds (0: instantaneous) */
    int32_t minute;
    int32_t month;
    int32_t second;
    int32_t year;
    int32_t padding_;
    double amass;
    double ampress;
    double aspect;
    double azim;
    double cosinc;
    double coszen;
    double dayang;
    double declin;
    double eclong;
    double ecobli;
    double ectime;
    double elevetr;
    double elevref;
    double eqntim;
    double erv;
    double etr;
    double etrn;
    double etrtilt;
    double gmst;
    double hrang;
    double julday;
    double latitude;
    double longitude;
    double lmst;
    double mnanom;
    double mnlong;
    double rascen;
    double press;
    double prime;
    double sbcf;
    double sbwid;
    double sbrad;
    double sbsky;
    double solcon;
    double ssha;
    double sretr;
    double ssetr;
    double temp;
    double tilt;
    double timezone;
    double tst;
    double tstfix;
    double unprime;
    double utime;
    double zenetr;
    double zenref;
} TPosData;

/* Function mask bits. */
enum {
    S_DOY = 0x0001,    /* date given as daynum instead of month and day */
    S_GEOM = 0x0002,   /* solar geometry: declination, equation of time, hour angle... */
    S_ZENETR = 0x0004, /* zenith angle without refraction */
    S_SSHA = 0x0008,   /* sunset hour angle */
    S_SBCF = 0x0010,   /* shadow-band correction */
    S_TST = 0x0020,    /* true solar time */
    S_SRSS = 0x0040,   /* sunrise and sunset */
    S_SOLAZM = 0x0080, /* azimuth */
    S_REFRAC = 0x0100, /* refraction-corrected zenith and elevation */
    S_AMASS = 0x0200,  /* air mass */
    S_PRIME = 0x0400,  /* Perez prime factors */
    S_TILT = 0x0800,   /* incidence on a tilted plane */
    S_ETR = 0x1000,    /* extraterrestrial irradiance */
    S_ALL = 0xFFFF,
    S_ZENITH_ONLY = 6,    /* geometry and zenith, date as month and day */
    S_EVERYTHING = 0xFFFE /* all outputs, date as month and day */
};

/* Return codes of _S_init and _S_solpos: 0 is success; any other code names
 * the first input found missing, out of range or not a number. The ranges are
 * those of the checks in SolPos.cpp; an input is checked only when the function
 * mask needs it. */
enum {
    S_OK = 0,
    S_ERR_RECORD = 1, /* null record pointer */
    S_ERR_FUNCTION,   /* function negative or with bits above 0xFFFF */
    S_ERR_YEAR,       /* year outside S_YEAR_FIRST..S_YEAR_LAST */
    S_ERR_MONTH,      /* month outside 1..12 */
    S_ERR_DAY,        /* day not a day of that month */
    S_ERR_DAYNUM,     /* daynum not a day of that year (date given as day of year) */
    S_ERR_HOUR,       /* hour outside 0..24, or 24 with minutes or seconds */
    S_ERR_MINUTE,     /* minute outside 0..59 */
    S_ERR_SECOND,     /* second outside 0..59 */
    S_ERR_INTERVAL,   /* interval outside 0..28800 seconds */
    S_ERR_TIMEZONE,   /* timezone outside -18..18 hours */
    S_ERR_LATITUDE,   /* latitude outside -90..90 degrees */
    S_ERR_LONGITUDE,  /* longitude outside -180..180 degrees */
    S_ERR_PRESS,      /* press outside 0..2000 millibars */
    S_ERR_TEMP,       /* temp outside -100..100 degrees Celsius */
    S_ERR_TILT,       /* tilt outside -180..180 degrees */
    S_ERR_ASPECT,     /* aspect outside -360..360 degrees */
    S_ERR_SOLCON,     /* solcon outside 1000..2000 W/m2 */
    S_ERR_SBWID,      /* sbwid outside 0..100 cm (exclusive of 0), or not below sbrad / 2 */
    S_ERR_SBRAD,      /* sbrad outside 0..100 cm (exclusive of 0) */
    S_ERR_SBSKY       /* sbsky outside -1..1 */
};

/* The years the library accepts. Its accuracy is checked for 1950..2100. */
enum { S_YEAR_FIRST = 1800, S_YEAR_LAST = 2200 };

/* sretr and ssetr on a day without sunrise or sunset: with the midnight sun
 * sretr = -S_NO_EVENT and ssetr = +S_NO_EVENT (the day has no ends, day length
 * positive); in the polar night sretr = +S_NO_EVENT and ssetr = -S_NO_EVENT. */
enum { S_NO_EVENT = 2999 };

/* Units and conventions of the outputs (angles in degrees):
 *   zenetr, elevetr   sun's zenith angle and elevation without refraction, seen
 *                     from the surface (parallax included)
 *   zenref, elevref   the same with refraction for press and temp; coszen = cos(zenref)
 *   azim              azimuth from north through east (0..360)
 *   declin, rascen    apparent declination and right ascension; eclong, ecobli the
 *                     apparent ecliptic longitude and true obliquity; mnlong, mnanom
 *                     mean longitude and mean anomaly
 *   hrang             hour angle, -180..180, positive in the afternoon
 *   gmst              Greenwich mean sidereal time in hours; lmst the local one in degrees
 *   julday            Julian day (UT) of the moment; ectime days of Terrestrial Time
 *                     since J2000.0; utime the UT hour of the day; dayang 360 * (daynum
 *                     - 1) / 365
 *   eqntim            equation of time (true minus mean solar time), minutes
 *   tst, tstfix       true solar time (minutes after solar midnight) and tst minus the
 *                     clock time, minutes
 *   sretr, ssetr      sunrise and sunset: the sun's centre on the geometric horizon, in
 *                     minutes after local midnight of the record's date in its zone; see
 *                     S_NO_EVENT for days without them
 *   ssha              sunset hour angle for the sun's centre (0 polar night, 180 midnight sun)
 *   erv               (mean distance / distance)^2; etrn = solcon * erv, etr on the
 *                     horizontal, etrtilt on the tilted plane, W/m2 (0 with the sun down)
 *   cosinc            cosine of the sun's incidence on the plane of tilt and aspect
 *                     (aspect as an azimuth, 180 facing south)
 *   amass, ampress    Kasten-Young air mass and the same scaled to press / 1013 mb (-1
 *                     with the sun more than 3 degrees down)
 *   prime, unprime    Perez factors that normalise and restore clearness indices
 *   sbcf              Drummond shadow-band correction factor plus sbsky
 * With an interval, the moment is the middle of the interval that ends at the
 * given time. When the date is given as month and day, daynum is filled in, and
 * month and day when it is given as daynum. */

/* Gives every field its default value: 2000-01-01 12:00:00 in zone 0 at 0 N 0 E,
 * function S_EVERYTHING, interval 0, press 1013 mb, temp 15 C, solcon 1367 W/m2,
 * tilt 0, aspect 180, shadow band 7.6 cm wide at radius 31.7 cm with sbsky 0.04.
 * Returns 0, or S_ERR_RECORD for a null pointer. */
SOLPOS_API int32_t _S_init(TPosData* record);

/* Computes the outputs that `function` asks for from the inputs. Returns 0 on
 * success; otherwise a non-zero code naming the first bad input, and the
 * outputs are left untouched. */
SOLPOS_API int32_t _S_solpos(TPosData* record);

#ifdef __cplusplus
}
#endif

#endif

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

/* Gives every field its default value. Returns 0. */
SOLPOS_API int32_t _S_init(TPosData* record);

/* Computes the outputs that `function` asks for from the inputs. Returns 0 on
 * success; otherwise a non-zero code naming the first bad input, and the
 * outputs are left untouched. */
SOLPOS_API int32_t _S_solpos(TPosData* record);

#ifdef __cplusplus
}
#endif

#endif

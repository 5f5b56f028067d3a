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

#include "solar/SolPosInput.h"
#include "solar/SolPosMath.h"
#include "solar/SolPosSun.h"

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
    record->aspect = solar::solpos::kDefaultAspect;
    record->press = solar::solpos::kDefaultPress;
    record->temp = solar::solpos::kDefaultTemp;
    record->solcon = solar::solpos::kDefaultSolcon;
    record->sbwid = solar::solpos::kDefaultSbwid;
    record->sbrad = solar::solpos::kDefaultSbrad;
    record->sbsky = solar::solpos::kDefaultSbsky;
    record->amass = -1.0;
    record->ampress = -1.0;
    record->erv = 1.0;
    record->prime = 1.0;
    record->unprime = 1.0;
    record->sbcf = 1.0;
    return S_OK;
}

extern "C" SOLPOS_API int32_t _S_solpos(TPosData* record) {
    using namespace solar::solpos;
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

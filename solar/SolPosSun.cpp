#include "solar/SolPosSun.h"

#include "solar/SolPos.h"
#include "solar/SolPosMath.h"

#include <cmath>

namespace solar::solpos {

namespace {

// Delta-T = TT - UT in seconds, a quadratic that follows the observed values
// around 2000 and the usual long-term parabola; a minute of error moves the
// sun by less than 0.001 degree.
inline double DeltaT(double daysUt) {
    const double t = daysUt * (1.0 / 365.25); // years since 2000
    return 62.92 + 0.32217 * t + 0.005589 * t * t;
}

} // namespace

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

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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

} // namespace solar::solpos

// The arithmetic of the solar position library (internal to it): angles in
// degrees, their reduction and their sine and cosine.
#pragma once

#include <bit>
#include <cstdint>

namespace solar::solpos {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0; // degrees to radians
constexpr double kDeg = 180.0 / kPi; // radians to degrees

// Earth's rotation relative to the mean equinox, degrees per day of UT.
constexpr double kSiderealRate = 360.98564736629;
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

} // namespace solar::solpos

// What the map is told about places: a listed place as the view marks it, and
// the radius within which places count as near a point (around the pointer,
// and around a selected row).
#pragma once

#include <QString>

namespace app {

// A listed place as the view marks it.
struct TViewPlace {
    QString Name;
    double Latitude = 0;
    double Longitude = 0;
    bool operator==(const TViewPlace&) const = default;
};

// The radius, in degrees, of the places near a point.
constexpr double NearestPlaceRadius = 20.0;

} // namespace app

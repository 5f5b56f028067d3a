// The place search: the place nearest a point of the map, the places within a
// radius of it, and the place menu of the places nearest it.
//
// The query answers with a record and changes nothing. The database record
// (KivTimeZone.h) keeps the last answer of its own query for the readers of
// its fields (TTimeZone::FindNearestPlace); new code takes the answer.
#pragma once

#include "kiv/KivText.h"
#include "kiv/KivZoneRecords.h"

#include <vector>

namespace kiv {

// At most this many places are offered by the place menu.
constexpr int PlaceMenuSize = 18;

// The flat distance in degrees in the latitude/longitude plane (no
// wrap-around) from the point to the record.
double FlatDistance(const TLatLongRecord& record, double latitude, double longitude);

// The answer of a nearest-place query.
struct TNearestPlace {
    int Index = -1;      // the Index of the nearest place (ties to the lower); -1 when none
    double Distance = 0; // its distance
    double Latitude = 0; // the point asked about
    double Longitude = 0;
    double Radius = 0; // the radius asked about

    // A place's distance from the point.
    double DistanceTo(const TLatLongRecord& place) const {
        return FlatDistance(place, Latitude, Longitude);
    }
    // Whether a place lies within the radius of the point.
    bool InRange(const TLatLongRecord& place) const { return DistanceTo(place) <= Radius; }
};

// The place nearest the point: the closest, ties to the lower position.
TNearestPlace FindNearestPlace(const std::vector<TTimeZonePlaces>& places, double latitude,
                               double longitude, double radius);
// The same query, also writing every place's Distance and InRange (Distance
// <= radius), for the readers of those fields.
TNearestPlace MarkNearestPlace(std::vector<TTimeZonePlaces>& places, double latitude,
                               double longitude, double radius);

// The place menu: the indexes of the (at most PlaceMenuSize) places nearest
// the answer's point, in the order of their names by `compare` (CompareByName
// when empty).
std::vector<int> PlaceMenuOrder(const std::vector<TTimeZonePlaces>& places,
                                const TNearestPlace& nearest, const TTextCompare& compare = {});
// The same by distances known otherwise: `distances` holds each place's, in
// place order.
std::vector<int> PlaceMenuOrder(const std::vector<TTimeZonePlaces>& places,
                                const std::vector<double>& distances,
                                const TTextCompare& compare = {});

// Sets the place's Distance to its flat distance from the point.
void UpdateDistance(TTimeZonePlaces& place, double latitude, double longitude);
// -1, 0 or +1: the sign of a.Distance - b.Distance.
int CompareByDistance(const TTimeZonePlaces& a, const TTimeZonePlaces& b);
// Negative, 0 or positive: a.Name against b.Name, letter case ignored.
int CompareByName(const TTimeZonePlaces& a, const TTimeZonePlaces& b);

} // namespace kiv

#include "kiv/KivPlaceSearch.h"

#include <algorithm>
#include <cmath>

namespace kiv {

namespace {

// The three-way sign of a double difference.
int Sign(double value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// The nearest place; `each(place, distance)` sees every place's distance.
template <class Places, class Each>
TNearestPlace Search(Places& places, double latitude, double longitude, double radius,
                     Each&& each) {
    TNearestPlace nearest;
    nearest.Latitude = latitude;
    nearest.Longitude = longitude;
    nearest.Radius = radius;
    double best = 99999;
    for (auto& place : places) {
        const double distance = FlatDistance(place, latitude, longitude);
        each(place, distance);
        if (distance < best) {
            best = distance;
            nearest.Index = place.Index;
            nearest.Distance = distance;
        }
    }
    return nearest;
}

} // namespace

double FlatDistance(const TLatLongRecord& record, double latitude, double longitude) {
    const double dLat = record.Latitude - latitude;
    const double dLong = record.Longitude - longitude;
    return std::sqrt(dLat * dLat + dLong * dLong);
}

TNearestPlace FindNearestPlace(const std::vector<TTimeZonePlaces>& places, double latitude,
                               double longitude, double radius) {
    return Search(places, latitude, longitude, radius, [](const TTimeZonePlaces&, double) {});
}

TNearestPlace MarkNearestPlace(std::vector<TTimeZonePlaces>& places, double latitude,
                               double longitude, double radius) {
    return Search(places, latitude, longitude, radius,
                  [radius](TTimeZonePlaces& place, double distance) {
                      place.Distance = distance;
                      place.InRange = distance <= radius;
                  });
}

std::vector<int> PlaceMenuOrder(const std::vector<TTimeZonePlaces>& places,
                                const TNearestPlace& nearest, const TTextCompare& compare) {
    std::vector<double> distances;
    distances.reserve(places.size());
    for (const TTimeZonePlaces& place : places) {
        distances.push_back(nearest.DistanceTo(place));
    }
    return PlaceMenuOrder(places, distances, compare);
}

std::vector<int> PlaceMenuOrder(const std::vector<TTimeZonePlaces>& places,
                                const std::vector<double>& distances, const TTextCompare& compare) {
    std::vector<int> order(places.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
    }
    const auto place = [&places](int i) -> const TTimeZonePlaces& {
        return places[static_cast<std::size_t>(i)];
    };
    // Only the nearest ones are needed in order; equal distances keep index order.
    const std::size_t keep = std::min(order.size(), static_cast<std::size_t>(PlaceMenuSize));
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(keep), order.end(),
                      [&](int a, int b) {
                          const int c = Sign(distances[static_cast<std::size_t>(a)] -
                                             distances[static_cast<std::size_t>(b)]);
                          return c != 0 ? c < 0 : a < b;
                      });
    order.resize(keep);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return (compare ? compare(place(a).Name, place(b).Name)
                        : CompareByName(place(a), place(b))) < 0;
    });
    for (int& i : order) {
        i = place(i).Index;
    }
    return order;
}

void UpdateDistance(TTimeZonePlaces& place, double latitude, double longitude) {
    place.Distance = FlatDistance(place, latitude, longitude);
}

int CompareByDistance(const TTimeZonePlaces& a, const TTimeZonePlaces& b) {
    return Sign(a.Distance - b.Distance);
}

int CompareByName(const TTimeZonePlaces& a, const TTimeZonePlaces& b) {
    return CompareText(a.Name, b.Name);
}

} // namespace kiv

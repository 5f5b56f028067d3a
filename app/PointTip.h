// The map's tooltip under the pointer: the time that clocks there show, with
// the zone's abbreviation and UTC offset, and sunrise and sunset in that local
// time. The status panels give the zone image's standard time and the sun's
// times in the user's own clock; this adds what people there read off their
// clocks. No widget is involved: given the world, a map pixel and an instant,
// it returns the text.
#pragma once

#include "app/Readouts.h"

#include <QPointF>
#include <QString>

namespace app {

// The text at a map pixel at the UTC instant. The zone of the place nearest to
// the point gives the time when its standard offset is the one the zone image
// shows there; otherwise the zone image's standard time is given, with the word
// that no daylight-saving rule is known there. Empty where the zone image has
// no known colour.
QString PointLocalTimeTip(const TReadoutWorld& world, QPointF mapPoint, kiv::TDateTime utc);

// The index of the place nearest to a point, by the nearest-place measure
// (ties to the lower index), leaving the database's working fields alone; -1
// when there are no places.
int NearestPlaceIndex(const kiv::TTimeZone& database, double latitude, double longitude);

} // namespace app

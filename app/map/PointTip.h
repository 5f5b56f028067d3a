// The map's tooltip under the pointer: the time that clocks there show, with
// the zone's abbreviation and UTC offset, and sunrise and sunset in that local
// time. The status panels give the zone image's standard time and the sun's
// times in the user's own clock; this adds what people there read off their
// clocks. No widget is involved: given the world, a map pixel and an instant,
// it returns the text.
#pragma once

#include "app/map/Readouts.h"
#include "kiv/KivTimeZone.h"

#include <QPointF>
#include <QString>

namespace app {

// The text at a map pixel at the UTC instant. The zone of the place nearest to
// the point gives the time when its standard offset is the one the zone image
// shows there, or when the machine's zone database knows that zone and the
// place lies in the same band (ZoneOfBand); otherwise the zone image's standard
// time is given, with the word that no daylight-saving rule is known there.
// Empty where the zone image has no known colour.
QString PointLocalTimeTip(const TReadoutWorld& world, QPointF mapPoint, kiv::TDateTime utc);

// The index of the place nearest to a point, by the nearest-place measure
// (ties to the lower index), leaving the database's working fields alone; -1
// when there are no places.
int NearestPlaceIndex(const kiv::TTimeZone& database, double latitude, double longitude);

// The zone whose clocks the band of a point keeps, from the place nearest to
// the point: that place's zone when its standard offset is the band's, or when
// the machine's database gives the zone's rules and the place lies in the
// same band (the band's offset then predates a change of the zone's rules,
// as British Columbia's lasting -07). Null when neither holds.
const kiv::TZoneData* ZoneOfBand(const TReadoutWorld& world, const kiv::TTimeZoneColor& band,
                                 int nearest);

} // namespace app

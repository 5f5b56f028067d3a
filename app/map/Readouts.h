// The status bar's read-outs for a point of the map: latitude and longitude,
// sunrise, sunset, day length and sun angle there, and the local time and UTC
// offset of the zone under it. No widget is involved: given the world and a
// moment, it returns the panel texts.
#pragma once

#include "app/locations/PlaceMarks.h"
#include "kiv/KivDateTime.h"

#include <QPointF>
#include <QString>

namespace kiv {
struct TTimeZone;
struct TTimeZoneColor;
class TFastDIB;
} // namespace kiv
namespace solar {
class TShadowMap;
}

namespace app {

// What the read-outs look at. The shadow map's solar record is filled by the
// query; the map's size is that of the composed map the pointer is over.
struct TReadoutWorld {
    const kiv::TTimeZone* Database = nullptr;
    const kiv::TFastDIB* ZoneImage = nullptr;
    solar::TShadowMap* ShadowMap = nullptr;
    int MapW = 0;
    int MapH = 0;
};

// The texts of the status panels 1 to 7 for one point.
struct TPointReadouts {
    double Latitude = 0;
    double Longitude = 0;
    QString LatLong;   // panel 7
    QString SunRise;   // panel 2
    QString SunSet;    // panel 3
    QString DayLength; // panel 4
    QString SunAngle;  // panel 5
    // The sun could be asked about the point; otherwise panels 2 to 5 say
    // that its times and angle are unknown.
    bool SunKnown = true;
    // The zone image's colour under the point is in the colour table: panels 1
    // and 6 take these texts; otherwise they keep theirs.
    bool ZoneFound = false;
    QString LocalTime; // panel 1
    QString UtcOffset; // panel 6
};

// The read-outs at a map pixel at the UTC instant, with the machine's own
// offset (minutes east of UTC, daylight saving included) for the sun's times.
TPointReadouts PointReadouts(const TReadoutWorld& world, QPointF mapPoint, kiv::TDateTime utc,
                             int offsetMinutes);

// The standard offset in hours of a zone band at a point: the band's, except
// where the machine's database gives the rules of the zone of the nearest
// place in that band and its standard offset is no longer the band's (a change
// of rules newer than the zone image); then the zone's.
double BandStandardHours(const TReadoutWorld& world, const kiv::TTimeZoneColor& band,
                         double latitude, double longitude, kiv::TDateTime utc);

// The colour-table entry of the zone image under a map pixel (read two pixels
// left of it); null off the image or for a colour the table lacks.
const kiv::TTimeZoneColor* ZoneColorAt(const TReadoutWorld& world, QPointF mapPoint);

// Looks for the place nearest to a map pixel (within the usual radius) and, when
// it is another place than before, gives its title; false when it is unchanged.
bool NearestPlaceReadout(kiv::TTimeZone& database, const solar::TShadowMap& map, QPointF mapPoint,
                         QString& title);

// "hh:mm" of a minute count, as sunrise, sunset and day length show: negative
// counts wrap forward a day, counts above a day wrap back.
QString MinutesToClock(double minutes);

} // namespace app

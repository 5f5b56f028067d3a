#include "app/map/PointTip.h"

#include "app/moment/ZoneTexts.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"
#include "solar/ShadowMap.h"

#include <cmath>

namespace app {

namespace {

QString Message(const char* text) {
    return TranslateMessage(QString::fromUtf8(text));
}

std::int64_t OffsetMinutes(double hours) {
    return std::llround(hours * 60.0);
}

// Sunrise and sunset at the point on the local date there, in the local time
// whose offset is given; empty when the sun cannot be asked.
QString LocalSunTimes(solar::TShadowMap& map, double latitude, double longitude,
                      kiv::TDateTime local, int minutes) {
    solar::SetRecordTime(map.Record, local, minutes / 60.0);
    if (!map.QueryPoint(latitude, longitude)) {
        return {};
    }
    const TPosData& r = map.Record;
    if (r.sretr > 2000 || r.sretr < -2000) {
        return Message(strings::NoSunriseSunset);
    }
    return Message(strings::LocalSunTimes).arg(MinutesToClock(r.sretr), MinutesToClock(r.ssetr));
}

} // namespace

int NearestPlaceIndex(const kiv::TTimeZone& database, double latitude, double longitude) {
    int nearest = -1;
    double best = 0;
    for (std::size_t i = 0; i < database.Places.size(); ++i) {
        const kiv::TTimeZonePlaces& place = database.Places[i];
        const double dLat = place.Latitude - latitude;
        const double dLong = place.Longitude - longitude;
        const double distance = std::sqrt(dLat * dLat + dLong * dLong);
        if (nearest < 0 || distance < best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

const kiv::TZoneData* ZoneOfBand(const TReadoutWorld& world, const kiv::TTimeZoneColor& band,
                                 int nearest) {
    const kiv::TTimeZone& database = *world.Database;
    if (nearest < 0) {
        return nullptr;
    }
    try {
        const kiv::TZoneData& zone =
            database.Zones[static_cast<std::size_t>(database.ZoneIndexOfPlace(nearest))];
        if (OffsetMinutes(zone.UtcOffset) == OffsetMinutes(band.UtcOffset)) {
            return &zone;
        }
        if (!database.UsesRunTimeRules(zone)) {
            return nullptr;
        }
        const kiv::TTimeZonePlaces& place = database.Places[static_cast<std::size_t>(nearest)];
        const QPointF placePoint((place.Longitude + 180.0) / 360.0 * world.MapW,
                                 (90.0 - place.Latitude) / 180.0 * world.MapH);
        return ZoneColorAt(world, placePoint) == &band ? &zone : nullptr;
    } catch (const kiv::EKivError&) {
        // A place without its zone: the band's standard time is all there is.
        return nullptr;
    }
}

QString PointLocalTimeTip(const TReadoutWorld& world, QPointF mapPoint, kiv::TDateTime utc) {
    const kiv::TTimeZoneColor* band = ZoneColorAt(world, mapPoint);
    if (band == nullptr || world.ShadowMap == nullptr) {
        return {};
    }
    const kiv::TTimeZone& database = *world.Database;
    double latitude = 0;
    double longitude = 0;
    world.ShadowMap->PixelToLatLong(static_cast<float>(mapPoint.x()),
                                    static_cast<float>(mapPoint.y()), latitude, longitude);

    // The zone of the nearest place, when it keeps the band's clocks.
    const int nearest = NearestPlaceIndex(database, latitude, longitude);
    const kiv::TZoneData* zone = ZoneOfBand(world, *band, nearest);

    const kiv::TDateTime standard = kiv::ColorLocalTime(*band, utc);
    kiv::TDateTime local = standard;
    std::int32_t minutes = static_cast<std::int32_t>(OffsetMinutes(band->UtcOffset));
    QString text;
    if (zone != nullptr) {
        try {
            std::string abbreviation;
            local = database.ZoneLocalTime(*zone, utc, abbreviation, minutes);
            const QString area =
                QString::fromStdString(database.Places[static_cast<std::size_t>(nearest)].Name);
            const bool daylight = minutes != OffsetMinutes(zone->UtcOffset);
            text =
                daylight
                    ? Message(strings::AreaDaylightTime)
                          .arg(area, ClockMinutesText(local), QString::fromStdString(abbreviation),
                               UtcOffsetText(minutes), ClockMinutesText(standard))
                    : Message(strings::AreaStandardTime)
                          .arg(area, ClockMinutesText(local), QString::fromStdString(abbreviation),
                               UtcOffsetText(minutes));
        } catch (const kiv::EKivError&) {
            // Rules the database lacks: as for a place of another band.
            zone = nullptr;
            local = standard;
            minutes = static_cast<std::int32_t>(OffsetMinutes(band->UtcOffset));
        }
    }
    if (zone == nullptr) {
        text = Message(strings::NoRuleKnown).arg(ClockMinutesText(local), UtcOffsetText(minutes));
    }
    const QString sun = LocalSunTimes(*world.ShadowMap, latitude, longitude, local, minutes);
    if (!sun.isEmpty()) {
        text += QStringLiteral("; ") + sun;
    }
    return text;
}

} // namespace app

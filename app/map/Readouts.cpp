#include "app/map/Readouts.h"

#include "app/map/PointTip.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivFastDIB.h"
#include "kiv/KivTimeZone.h"
#include "kiv/KivZoneRules.h"
#include "solar/ShadowMap.h"

#include <cmath>

namespace app {

TPointReadouts PointReadouts(const TReadoutWorld& world, QPointF mapPoint, kiv::TDateTime utc,
                             int offsetMinutes) {
    TPointReadouts out;
    solar::TShadowMap& map = *world.ShadowMap;
    map.PixelToLatLong(static_cast<float>(mapPoint.x()), static_cast<float>(mapPoint.y()),
                       out.Latitude, out.Longitude);
    out.LatLong = QString::asprintf("Lat: %3.2f Long: %3.2f", out.Latitude, out.Longitude);

    // The sun at the machine's own wall-clock time with the offset actually in
    // force (daylight saving included), so sunrise and sunset read in the
    // user's own time.
    solar::SetRecordTime(map.Record, kiv::IncMinute(utc, offsetMinutes), offsetMinutes / 60.0);
    const TPosData& r = map.Record;
    if (!map.QueryPoint(out.Latitude, out.Longitude)) {
        // Refused (off the globe, a date out of range) or the map is busy: the
        // record holds another point's answers, which must not show as these.
        out.SunKnown = false;
        out.SunRise = QStringLiteral("SR ?");
        out.SunSet = QStringLiteral("SS ?");
        out.DayLength = QStringLiteral("DL ?");
        out.SunAngle = QStringLiteral("SA ?");
    } else if (r.sretr > 2000 || r.sretr < -2000) {
        out.SunRise = QStringLiteral("SR --:--");
        out.SunSet = QStringLiteral("SS --:--");
        out.DayLength = QStringLiteral("DL > 24h");
    } else {
        out.SunRise = QStringLiteral("SR ") + MinutesToClock(r.sretr);
        out.SunSet = QStringLiteral("SS ") + MinutesToClock(r.ssetr);
        out.DayLength = QStringLiteral("DL ") + MinutesToClock(r.ssetr - r.sretr);
    }
    if (out.SunKnown) {
        out.SunAngle = r.zenetr > 90 ? TranslateMessage(QString::fromUtf8(strings::Night))
                                     : QString::asprintf("SA %2.1f", r.zenetr) + QChar(0xB0);
    }

    // The zone under the point, from the zone image's colour.
    if (const kiv::TTimeZoneColor* entry = ZoneColorAt(world, mapPoint)) {
        const double hours = BandStandardHours(world, *entry, out.Latitude, out.Longitude, utc);
        const QString number = QString::number(hours, 'g', 15);
        out.UtcOffset =
            hours >= 0 ? QStringLiteral("UTC +") + number : QStringLiteral("UTC ") + number;
        const kiv::TDateTime local = kiv::AddHours(utc, hours);
        out.LocalTime = QString::asprintf("%.2d:%.2d", kiv::HourOf(local), kiv::MinuteOf(local));
        out.ZoneFound = true;
    }
    return out;
}

double BandStandardHours(const TReadoutWorld& world, const kiv::TTimeZoneColor& band,
                         double latitude, double longitude, kiv::TDateTime utc) {
    const kiv::TTimeZone& database = *world.Database;
    if (!database.RunTimeRules) {
        return band.UtcOffset;
    }
    const kiv::TZoneData* zone =
        ZoneOfBand(world, band, NearestPlaceIndex(database, latitude, longitude));
    kiv::TZoneState state;
    if (zone == nullptr ||
        std::llround(zone->UtcOffset * 60) == std::llround(band.UtcOffset * 60) ||
        !database.RunTimeRules->StateAt(zone->ZoneName, utc, state)) {
        return band.UtcOffset;
    }
    // Standard time is the database's offset outside daylight saving; during
    // it, the tables' standard offset, made from the same rules.
    return state.Dst ? zone->UtcOffset : state.OffsetSeconds / 3600.0;
}

const kiv::TTimeZoneColor* ZoneColorAt(const TReadoutWorld& world, QPointF mapPoint) {
    const kiv::TFastDIB* zones = world.ZoneImage;
    const int mapW = world.MapW;
    const int mapH = world.MapH;
    const double zx = mapPoint.x() - 2;
    const double yb = mapH - mapPoint.y();
    if (zones == nullptr || world.Database == nullptr || zones->Width() <= 0 || !(yb >= 0) ||
        !(yb < mapH) || !(zx >= 0) || !(zx < mapW)) {
        return nullptr;
    }
    const int column = static_cast<int>(zx * zones->Width() / mapW);
    const int row = static_cast<int>(zones->Height() * yb / mapH);
    const kiv::TBgr pixel = zones->GetPixel(column, row);
    for (const kiv::TTimeZoneColor& entry : world.Database->Colors) {
        if (entry.Red == pixel.R && entry.Green == pixel.G && entry.Blue == pixel.B) {
            return &entry;
        }
    }
    return nullptr;
}

bool NearestPlaceReadout(kiv::TTimeZone& database, const solar::TShadowMap& map, QPointF mapPoint,
                         QString& title) {
    if (database.Places.empty()) {
        return false;
    }
    double latitude = 0;
    double longitude = 0;
    map.PixelToLatLong(static_cast<float>(mapPoint.x()), static_cast<float>(mapPoint.y()), latitude,
                       longitude);
    if (!database.FindNearestPlace(latitude, longitude, NearestPlaceRadius)) {
        return false;
    }
    title = QString::fromStdString(database.NearestPlaceTitle());
    return true;
}

QString MinutesToClock(double minutes) {
    if (minutes < 0) {
        minutes += 1440;
    }
    if (minutes > 1440) {
        minutes -= 1440;
    }
    const double hours = minutes / 60;
    const int h = static_cast<int>(hours);
    const int m = static_cast<int>((hours - std::trunc(hours)) * 60);
    return QString::asprintf("%.2d:%.2d", h, m);
}

} // namespace app

// The window's rows against the system's zone database (tzdata, read through
// QTimeZone): the window over the shipped zone tables, the places it shows and
// what each row must say at a moment.
#pragma once

#include "AppTestSupport.h"

#include "app/locations/LocationList.h"
#include "app/moment/ClockText.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cstdint>
#include <initializer_list>
#include <span>

namespace apptest {

struct TZonePlace {
    const char* Name;
    const char* Zone;
    double Latitude;
    double Longitude;
};

// Copies the shipped tables over a made-up world's.
inline bool UseShippedZones(const TTestWorld& world,
                            std::initializer_list<const char*> tables = {
                                "tz_data.dat", "tz_dst.dat", "moreplaces.dat"}) {
    for (const char* name : tables) {
        const QString target = world.DataFile(QLatin1String(name));
        QFile::remove(target);
        if (!QFile::copy(QStringLiteral(CHRONARA_SHIPPED_DATA_DIR "/") + QLatin1String(name),
                         target)) {
            return false;
        }
    }
    return true;
}

inline void AddPlaces(app::TLocationList& list, std::span<const TZonePlace> places) {
    for (const TZonePlace& place : places) {
        list.AddLocation(QString::fromUtf8(place.Name), QLatin1String(place.Zone), place.Latitude,
                         place.Longitude);
    }
}

inline kiv::TDateTime ToDateTime(std::int64_t unixMs) {
    static const std::int64_t epoch =
        kiv::DateTimeToMSecs(kiv::EncodeDateTime(1970, 1, 1, 0, 0, 0, 0));
    return kiv::MSecsToDateTime(epoch + unixMs);
}

inline QDateTime ToUtc(kiv::TDateTime utc) {
    return QDateTime::fromMSecsSinceEpoch(kiv::DateTimeToMSecs(utc - kiv::UnixDateDelta),
                                          QTimeZone::utc());
}

// The first moment after `utc` with another UTC offset; invalid when none
// comes within two years.
inline QDateTime NextOffsetChange(const QTimeZone& zone, const QDateTime& utc) {
    const int now = zone.offsetFromUtc(utc);
    const QDateTime limit = utc.addDays(2 * 366);
    for (QTimeZone::OffsetData change = zone.nextTransition(utc);
         change.atUtc.isValid() && change.atUtc < limit;
         change = zone.nextTransition(change.atUtc)) {
        if (change.offsetFromUtc != now) {
            return change.atUtc;
        }
    }
    return {};
}

// Where a row differs from the system's zone database at `utc`: its local
// time, offset, abbreviation and the time its text ends with. Empty when they
// agree.
inline QString RowMismatch(const app::TLocationEntry& entry, const QTimeZone& zone,
                           const QDateTime& utc) {
    const int offsetSeconds = zone.offsetFromUtc(utc);
    const QDateTime expected = utc.toOffsetFromUtc(offsetSeconds);
    const std::int64_t expectedLocalMs =
        utc.toMSecsSinceEpoch() + std::int64_t{offsetSeconds} * 1000;
    const QString abbreviation = zone.abbreviation(utc);
    const QString timeText =
        QLocale().toString(expected.time(), app::TClockFormats::Current().TimeFormat);
    if (!entry.TimeValid) {
        return QStringLiteral("no time (%1)").arg(entry.ZoneError);
    }
    if (entry.LocalTime != ToDateTime(expectedLocalMs)) {
        return QStringLiteral("local time");
    }
    if (entry.UtcOffset * 60 != offsetSeconds) {
        return QStringLiteral("offset %1 min").arg(entry.UtcOffset);
    }
    if (entry.Abbreviation != abbreviation) {
        return QStringLiteral("abbreviation %1, the database says %2")
            .arg(entry.Abbreviation, abbreviation);
    }
    if (!entry.TimeLabel->text().endsWith(timeText)) {
        return QStringLiteral("row text \"%1\" without \"%2\"")
            .arg(entry.TimeLabel->text(), timeText);
    }
    return {};
}

} // namespace apptest

// Texts about a zone's clocks, for the tooltips of the rows and the clock line
// and for what a screen reader reads: the UTC offset, the zone's next change of
// clocks, and a place's time as it reads aloud. Every text is made for the
// instant it is given (the tick's, or any other moment), from the database it
// is given; no widget is involved.
#pragma once

#include "kiv/KivDateTime.h"

#include <QLocale>
#include <QString>

namespace kiv {
struct TTimeZone;
struct TZoneData;
} // namespace kiv

namespace app {

// "UTC+9", "UTC-3:30", "UTC+5:45", "UTC+0" of an offset in minutes east of UTC.
QString UtcOffsetText(int minutes);

// A shift of the clocks: "1 hour", "30 minutes", "2 hours", "1 h 30 min".
QString ClockShiftText(int minutes);

// The hour and minute of a local time in the locale's way: "14:03", or
// "2:03 PM" where the locale counts twelve hours.
QString ClockMinutesText(kiv::TDateTime local, const QLocale& locale = QLocale());

// The zone's next change after the instant: "Clocks go back 1 hour on Sun 1 Nov
// 2026 at 02:00 local time" (the clock time just before the change), or that
// it keeps one offset all year. Raises the database's errors.
QString NextChangeText(const kiv::TTimeZone& database, const kiv::TZoneData& zone,
                       kiv::TDateTime utc, const QLocale& locale = QLocale());

// A place's tooltip: the zone's name, its offset and abbreviation at the
// instant, and on a second line its next change; for a zone the database cannot
// answer, the error's text.
QString ZoneTipText(const kiv::TTimeZone& database, const QString& zoneName, kiv::TDateTime utc,
                    const QLocale& locale = QLocale());

// What a place's clock says, read aloud: "Tokyo, Japan: 23:05, Tuesday 8
// December, JST", with each piece the place shows; the sun piece is the one
// the time text shows ("Night  ", the angle with its degree sign), empty when
// none is shown.
struct TSpokenClock {
    QString Name;
    kiv::TDateTime Local = 0;
    QString Abbreviation;
    bool ShowDate = false;
    bool ShowZone = false;
    QString SunPiece;
};
QString SpokenClockText(const TSpokenClock& clock, const QLocale& locale = QLocale());

// A status panel's text as it reads aloud: what the panel holds, then its
// value without the abbreviations and signs that only the eye reads
// ("SR 05:21" is "Sunrise: 05:21").
QString SpokenStatusText(int panel, const QString& text);

} // namespace app

// The time text of one place, as the list rows and the clock line show it: the
// sun angle, the zone abbreviation and the date in front of the time, each
// optional piece left out when it would not fit beside the time. Measuring is
// passed in, so the text is built and tested without any widget.
#pragma once

#include "kiv/KivDateTime.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QLocale>
#include <QString>

#include <functional>
#include <optional>

namespace solar {
class TShadowMap;
}

namespace app {

// The pixel width of a text on the surface that will show it.
using TTextWidth = std::function<int(const QString& text)>;

// The sun-angle piece for a latitude and longitude ("BUSY  ", "Night  " or the
// angle with the degree sign and two spaces); an empty text leaves it out.
using TSunAnglePiece = std::function<QString(double latitude, double longitude)>;

// Remembers the widths of texts in one font. Shaping a text is the costly part
// of building a time text, and the pieces (names, abbreviations, dates, sun
// angles) repeat from tick to tick; only the time itself is new each second.
class TTextWidthCache {
public:
    // Measures in this font from now on (the widths remembered for another
    // font are dropped). Underlining changes no width and is ignored, so a
    // hovered row shares its widths with the others.
    void UseFont(const QFont& font);
    // The width of the text in the font last given.
    int Width(const QString& text);

private:
    QFont Font;
    std::optional<QFontMetrics> Metrics;
    QHash<QString, int> Widths;
};

// The user's formats: the long time form (12- or 24-hour, with seconds, no
// time-zone name) and the short date form. Built once per tick, not per text.
struct TClockFormats {
    QLocale Locale;
    QString TimeFormat;
    QString DateFormat;

    // The formats of the default locale (QLocale()).
    static TClockFormats Current();
    static TClockFormats Of(const QLocale& locale);
};

// The locale's long time format without its time-zone name; seconds are added
// to a format that has none.
QString LongTimeFormatOf(const QLocale& locale);

// "Night  " above 90 degrees, else the angle with one decimal, the degree sign
// and two spaces.
QString SunAngleText(double zenith);

// The sun-angle piece at one point: "BUSY  " while the map computes, else the
// map's solar record is given the machine's local date-time and offset (hours
// east of UTC) and queried at the point. Empty when the query is refused.
QString SunAnglePieceAt(solar::TShadowMap& map, double latitude, double longitude,
                        kiv::TDateTime machineLocal, double machineOffsetHours);

// What one time text is built from: the measuring of the surface that will
// show it and the room there, the three switches, the place, its local time and
// zone abbreviation, the sun-angle piece and the user's formats. A tick builds
// one and changes only the place's fields from row to row.
struct TClockTextRequest {
    TTextWidth Width;
    int Available = 0;
    bool ShowSunAngle = false;
    bool ShowZone = false;
    bool ShowDate = false;
    double Latitude = 0;
    double Longitude = 0;
    kiv::TDateTime Local = 0;
    QString Abbreviation;
    TSunAnglePiece SunAngle;
    TClockFormats Formats;
};

// Builds the text: each switched-on piece, in the order sun angle, zone
// abbreviation, date, is appended when w(piece) + w(time) < available - w(text
// so far); the time always ends the text. `textWidth`, when given, receives
// the width of the whole text (the text so far and the time measured apart).
QString FormatClockText(const TClockTextRequest& request, int* textWidth = nullptr);

} // namespace app

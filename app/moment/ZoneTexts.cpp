#include "app/moment/ZoneTexts.h"

#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include <cstdlib>

namespace app {

namespace {

QString Message(const char* text) {
    return TranslateMessage(QString::fromUtf8(text));
}

QDate DateOf(kiv::TDateTime t) {
    int year = 0, month = 0, day = 0;
    kiv::DecodeDate(t, year, month, day);
    return {year, month, day};
}

// The degree sign the sun angle is shown with.
constexpr char16_t DegreeSign = 0xB0;

// "35.2°  " is "sun angle 35.2 degrees"; "Night  " stays a word; anything else
// (the busy mark) says nothing about the sun.
QString SpokenSunPiece(const QString& piece) {
    const QString text = piece.trimmed();
    if (text.endsWith(QChar(DegreeSign))) {
        return Message(strings::SpokenSunAngle).arg(text.chopped(1).trimmed());
    }
    if (text == Message(strings::Night)) {
        return text;
    }
    return {};
}

} // namespace

QString UtcOffsetText(int minutes) {
    const QChar sign = minutes < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int magnitude = std::abs(minutes);
    QString text = QStringLiteral("UTC") + sign + QString::number(magnitude / 60);
    if (magnitude % 60 != 0) {
        text += QStringLiteral(":%1").arg(magnitude % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

QString ClockShiftText(int minutes) {
    const int magnitude = std::abs(minutes);
    const int hours = magnitude / 60;
    const int rest = magnitude % 60;
    if (hours == 0) {
        return Message(strings::Minutes).arg(rest);
    }
    if (rest != 0) {
        return Message(strings::HoursMinutes).arg(hours).arg(rest);
    }
    return hours == 1 ? Message(strings::OneHour) : Message(strings::Hours).arg(hours);
}

QString ClockMinutesText(kiv::TDateTime local, const QLocale& locale) {
    int hour = 0, minute = 0, second = 0, msec = 0;
    kiv::DecodeTime(local, hour, minute, second, msec);
    // The locale's short form says whether it counts twelve hours; the text is
    // always hours and minutes.
    const QString shortForm = locale.timeFormat(QLocale::ShortFormat);
    const bool twelveHours = shortForm.contains(QLatin1Char('a'), Qt::CaseInsensitive);
    return locale.toString(QTime(hour, minute),
                           twelveHours ? QStringLiteral("h:mm AP") : QStringLiteral("HH:mm"));
}

QString NextChangeText(const kiv::TTimeZone& database, const kiv::TZoneData& zone,
                       kiv::TDateTime utc, const QLocale& locale) {
    kiv::TClockChange change;
    if (!database.NextClockChange(zone, utc, change)) {
        return Message(strings::NoClockChange);
    }
    const int shift = change.MinutesAfter - change.MinutesBefore;
    const QString day =
        locale.toString(DateOf(change.LocalBefore), Message(strings::ChangeDateFormat));
    return Message(shift > 0 ? strings::ClocksForward : strings::ClocksBack)
        .arg(ClockShiftText(shift), day, ClockMinutesText(change.LocalBefore, locale));
}

QString ZoneTipText(const kiv::TTimeZone& database, const QString& zoneName, kiv::TDateTime utc,
                    const QLocale& locale) {
    try {
        const kiv::TZoneData& zone = database.FindZone(zoneName.toStdString());
        std::string abbreviation;
        std::int32_t minutes = 0;
        database.ZoneLocalTime(zone, utc, abbreviation, minutes);
        QString tip =
            QString::fromStdString(zone.ZoneName) + QStringLiteral(", ") + UtcOffsetText(minutes);
        if (!abbreviation.empty()) {
            tip += QStringLiteral(" (") + QString::fromStdString(abbreviation) + QLatin1Char(')');
        }
        return tip + QLatin1Char('\n') + NextChangeText(database, zone, utc, locale);
    } catch (const kiv::EKivError& e) {
        return QString::fromUtf8(e.what());
    }
}

QString SpokenClockText(const TSpokenClock& clock, const QLocale& locale) {
    QString text = clock.Name + QStringLiteral(": ") + ClockMinutesText(clock.Local, locale);
    if (clock.ShowDate) {
        text += QStringLiteral(", ") +
                locale.toString(DateOf(clock.Local), Message(strings::SpokenDateFormat));
    }
    if (clock.ShowZone && !clock.Abbreviation.isEmpty()) {
        text += QStringLiteral(", ") + clock.Abbreviation;
    }
    if (const QString sun = SpokenSunPiece(clock.SunPiece); !sun.isEmpty()) {
        text += QStringLiteral(", ") + sun;
    }
    return text;
}

QString SpokenStatusText(int panel, const QString& text) {
    // What each panel holds, and the mark its value starts with.
    struct TPanel {
        const char* Caption;
        const char* Mark;
    };
    static const TPanel panels[8] = {{nullptr, ""},
                                     {strings::StandardTimeName, ""},
                                     {strings::Sunrise, "SR "},
                                     {strings::Sunset, "SS "},
                                     {strings::DayLength, "DL "},
                                     {strings::SunAngle, "SA "},
                                     {strings::UtcOffsetName, "UTC "},
                                     {strings::Position, ""}};
    if (panel < 0 || panel >= 8 || panels[panel].Caption == nullptr || text.isEmpty()) {
        return text;
    }
    QString value = text;
    const QLatin1String mark(panels[panel].Mark);
    if (value.startsWith(mark)) {
        value.remove(0, mark.size());
    }
    if (value == QLatin1String("?")) {
        value = Message(strings::Unknown);
    } else if (value == QLatin1String("--:--")) {
        value = Message(strings::NoneToday);
    } else if (value == QLatin1String("> 24h")) {
        value = Message(strings::MoreThanADay);
    } else if (value.endsWith(QChar(DegreeSign))) {
        value = Message(strings::Degrees).arg(value.chopped(1));
    } else if (panel == 7) {
        static const QRegularExpression latLong(QStringLiteral("^Lat: *(\\S+) +Long: *(\\S+)$"));
        const QRegularExpressionMatch m = latLong.match(value);
        if (m.hasMatch()) {
            value = Message(strings::LatitudeLongitude).arg(m.captured(1), m.captured(2));
        }
    }
    return Message(panels[panel].Caption) + QStringLiteral(": ") + value;
}

} // namespace app

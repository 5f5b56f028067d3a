#include "app/moment/ClockText.h"

#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "solar/ShadowMap.h"

#include <QDate>
#include <QTime>

namespace app {

namespace {

// Removes every run of the letter t (the time-zone name) outside quoted text and
// the blanks it leaves at the ends or doubled inside.
QString WithoutZoneName(const QString& format) {
    QString out;
    out.reserve(format.size());
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        }
        if (!quoted && c == QLatin1Char('t')) {
            continue;
        }
        if (c == QLatin1Char(' ') && (out.isEmpty() || out.endsWith(QLatin1Char(' ')))) {
            continue;
        }
        out += c;
    }
    while (out.endsWith(QLatin1Char(' '))) {
        out.chop(1);
    }
    return out;
}

bool HasUnquoted(const QString& format, QChar letter) {
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && c == letter) {
            return true;
        }
    }
    return false;
}

} // namespace

void TTextWidthCache::UseFont(const QFont& font) {
    QFont plain = font;
    plain.setUnderline(false);
    if (!Metrics || plain != Font) {
        Font = plain;
        Metrics.emplace(Font);
        Widths.clear();
    }
}

int TTextWidthCache::Width(const QString& text) {
    if (!Metrics) {
        UseFont(QFont());
    }
    if (const auto found = Widths.constFind(text); found != Widths.constEnd()) {
        return *found;
    }
    // Each second brings new times: start over rather than grow for ever.
    if (Widths.size() >= 1024) {
        Widths.clear();
    }
    const int w = Metrics->horizontalAdvance(text);
    Widths.insert(text, w);
    return w;
}

QString LongTimeFormatOf(const QLocale& locale) {
    QString format = WithoutZoneName(locale.timeFormat(QLocale::LongFormat));
    if (!HasUnquoted(format, QLatin1Char('s'))) {
        // Put the seconds behind the last minute letter.
        const qsizetype m = format.lastIndexOf(QLatin1Char('m'));
        if (m >= 0) {
            format.insert(m + 1, QStringLiteral(":ss"));
        } else {
            format += QStringLiteral(":ss");
        }
    }
    return format;
}

TClockFormats TClockFormats::Of(const QLocale& locale) {
    return {locale, LongTimeFormatOf(locale), locale.dateFormat(QLocale::ShortFormat)};
}

TClockFormats TClockFormats::Current() {
    return Of(QLocale());
}

QString SunAngleText(double zenith) {
    if (zenith > 90) {
        return TranslateMessage(QString::fromUtf8(strings::Night)) + QStringLiteral("  ");
    }
    return QString::asprintf("%2.1f", zenith) + QChar(0xB0) + QStringLiteral("  ");
}

QString SunAnglePieceAt(solar::TShadowMap& map, double latitude, double longitude,
                        kiv::TDateTime machineLocal, double machineOffsetHours) {
    if (map.Busy()) {
        return TranslateMessage(QString::fromUtf8(strings::Busy)) + QStringLiteral("  ");
    }
    solar::SetRecordTime(map.Record, machineLocal, machineOffsetHours);
    if (!map.QueryPoint(latitude, longitude)) {
        return {};
    }
    return SunAngleText(map.Record.zenetr);
}

QString FormatClockText(const TClockTextRequest& request, int* textWidth) {
    const TTextWidth& width = request.Width;
    const TClockFormats& formats = request.Formats;
    const kiv::TDateTime local = request.Local;
    const int available = request.Available;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    kiv::DecodeDateTime(local, year, month, day, hour, minute, second, msec);
    const QString time = formats.Locale.toString(QTime(hour, minute, second), formats.TimeFormat);
    const int timeWidth = width(time);

    QString text;
    int soFar = 0;
    bool measured = true; // soFar is the width of text
    auto offer = [&](const QString& piece) {
        if (piece.isEmpty()) {
            return;
        }
        if (!measured) {
            // Measured whole, as the surface measures the text so far.
            soFar = width(text);
            measured = true;
        }
        if (width(piece) + timeWidth < available - soFar) {
            text += piece;
            measured = false;
        }
    };
    if (request.ShowSunAngle && request.SunAngle) {
        offer(request.SunAngle(request.Latitude, request.Longitude));
    }
    if (request.ShowZone) {
        offer(QLatin1Char('(') + request.Abbreviation + QStringLiteral(")  "));
    }
    if (request.ShowDate) {
        offer(formats.Locale.toString(QDate(year, month, day), formats.DateFormat) +
              QStringLiteral("   "));
    }
    if (textWidth != nullptr) {
        *textWidth = (measured ? soFar : width(text)) + timeWidth;
    }
    return text + time;
}

} // namespace app

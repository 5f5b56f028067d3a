#include "app/moment/ShownMoment.h"

#include "app/text/Translation.h"
#include "kiv/KivClock.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace app {

namespace {

constexpr std::int64_t MSecsPerQuarter = 15 * 60 * 1000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

TShownMoment::TShownMoment(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ShownMoment"));
}

kiv::TDateTime TShownMoment::Utc() const {
    return Picked ? *Picked : PresentUtc();
}

void TShownMoment::Show(kiv::TDateTime utc) {
    Touch();
    if (Picked && kiv::DateTimeToMSecs(*Picked) == kiv::DateTimeToMSecs(utc)) {
        return;
    }
    Picked = utc;
    emit Changed();
}

void TShownMoment::ShowPresent() {
    if (!Picked) {
        return;
    }
    Picked.reset();
    emit Changed();
}

void TShownMoment::Touch() {
    LastTouch = PresentUtc();
}

bool TShownMoment::ReturnWhenIdle() {
    if (!Picked) {
        return false;
    }
    // A clock set back makes the span negative: that counts as untouched too,
    // or a picked moment could stay for as long as the clock was put back.
    const double idle = kiv::MinuteSpanSigned(LastTouch, PresentUtc());
    if (idle >= ReturnAfterMinutes || idle < -1.0) {
        ShowPresent();
        return true;
    }
    return false;
}

kiv::TDateTime PresentUtc() {
    return kiv::CurrentClock().UtcNow();
}

kiv::TDateTime MachineLocalAt(kiv::TDateTime utc) {
    return kiv::IncMinute(utc, kiv::CurrentClock().OffsetMinutesAt(utc));
}

kiv::TDateTime UtcOfMachineLocal(kiv::TDateTime local) {
    const kiv::TClock& clock = kiv::CurrentClock();
    // The offset in force at the standard-time reading of the wall clock, then
    // once more at the instant that gives: right on both sides of a change.
    kiv::TDateTime utc = kiv::IncMinute(local, -clock.StandardOffsetMinutes());
    utc = kiv::IncMinute(local, -clock.OffsetMinutesAt(utc));
    return kiv::IncMinute(local, -clock.OffsetMinutesAt(utc));
}

kiv::TDateTime SteppedMoment(kiv::TDateTime anchor, int steps) {
    if (steps == 0) {
        return anchor;
    }
    const std::int64_t ms = kiv::DateTimeToMSecs(anchor) + steps * MSecsPerQuarter;
    // Forward steps round down onto the quarter-hour, backward ones up, so the
    // first step from between two quarters lands on the nearer one that way.
    std::int64_t quarter = FloorDiv(ms, MSecsPerQuarter);
    if (steps < 0 && quarter * MSecsPerQuarter != ms) {
        ++quarter;
    }
    return kiv::MSecsToDateTime(quarter * MSecsPerQuarter);
}

QString MomentDifferenceText(kiv::TDateTime momentUtc, kiv::TDateTime nowUtc) {
    const double span = kiv::MinuteSpanSigned(nowUtc, momentUtc);
    const long long minutes = std::llround(span);
    if (minutes == 0) {
        return TranslateMessage(QStringLiteral("now"));
    }
    long long rest = std::llabs(minutes);
    const long long days = rest / 1440;
    rest %= 1440;
    const long long hours = rest / 60;
    const long long mins = rest % 60;
    QStringList parts;
    if (days > 0) {
        parts << QStringLiteral("%1 d").arg(days);
    }
    if (hours > 0) {
        parts << QStringLiteral("%1 h").arg(hours);
    }
    if (mins > 0) {
        parts << QStringLiteral("%1 min").arg(mins);
    }
    return (minutes > 0 ? QStringLiteral("+") : QStringLiteral("-")) + parts.join(QLatin1Char(' '));
}

QString MomentMarkText(kiv::TDateTime momentUtc, kiv::TDateTime nowUtc) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    kiv::DecodeDateTime(MachineLocalAt(momentUtc), year, month, day, hour, minute, second, msec);
    const QLocale locale;
    // The user's short forms; the seconds of a picked moment say nothing.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("[:.]?s+")));
    const QString when = locale.toString(QDate(year, month, day), QLocale::ShortFormat) +
                         QLatin1Char(' ') + locale.toString(QTime(hour, minute), timeFormat);
    return TranslateMessage(QStringLiteral("Shown: %1 (%2)"))
        .arg(when, MomentDifferenceText(momentUtc, nowUtc));
}

} // namespace app

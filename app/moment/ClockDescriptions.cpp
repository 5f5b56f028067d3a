#include "app/moment/ClockDescriptions.h"

#include "kiv/KivTimeZone.h"

#include <QLabel>

namespace app {

std::int64_t MinuteOfInstant(kiv::TDateTime utc) {
    const std::int64_t ms = kiv::DateTimeToMSecs(utc);
    return ms >= 0 ? ms / 60000 : -((-ms + 59999) / 60000);
}

void DescribeRow(TLocationEntry& entry, const TSpokenClock& spoken, kiv::TDateTime utc) {
    TLocationRow& row = *entry.RowShape;
    row.SetSpokenText(entry.TimeValid
                          ? SpokenClockText(spoken)
                          : entry.Name + QStringLiteral(": ") + entry.TimeLabel->text());
    const std::int64_t minute = MinuteOfInstant(utc);
    if (minute != entry.TipMinute) {
        entry.TipMinute = minute;
        row.SetTip(ZoneTipText(kiv::ZoneDB, entry.ZoneName, utc));
    }
}

void DescribeClockLine(QLabel& label, const QString& zoneName, const QString& spoken,
                       kiv::TDateTime utc, TTipMemory& memory) {
    if (label.accessibleName() != spoken) {
        label.setAccessibleName(spoken);
    }
    const std::int64_t minute = zoneName.isEmpty() ? -1 : MinuteOfInstant(utc);
    if (minute == memory.Minute && zoneName == memory.Zone) {
        return;
    }
    memory.Minute = minute;
    memory.Zone = zoneName;
    const QString tip = zoneName.isEmpty() ? QString() : ZoneTipText(kiv::ZoneDB, zoneName, utc);
    if (label.toolTip() != tip) {
        label.setToolTip(tip);
    }
}

} // namespace app

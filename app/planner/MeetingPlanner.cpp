#include "app/planner/MeetingPlanner.h"

#include "app/moment/ShownMoment.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivClock.h"
#include "kiv/KivText.h"
#include "kiv/KivTimeZone.h"

namespace app {

std::vector<kiv::TPlannerPlace> PlannerPlaces(const kiv::TTimeZone& db,
                                              std::span<const TPlannerEntry> entries) {
    std::vector<kiv::TPlannerPlace> places;
    for (const TPlannerEntry& entry : entries) {
        const std::string zoneName = entry.ZoneName.toStdString();
        for (const kiv::TZoneData& zone : db.Zones) {
            if (kiv::SameText(zone.ZoneName, zoneName)) {
                places.push_back({&zone, entry.Hours, entry.Title.toStdString()});
                break;
            }
        }
    }
    return places;
}

kiv::TMeetingSlot TFindATime::FindAndShow(const kiv::TTimeZone& db,
                                          std::span<const kiv::TPlannerPlace> places,
                                          TShownMoment& moment) {
    const bool goOn = LastFound.has_value() && !moment.IsPresent() &&
                      kiv::DateTimeToMSecs(moment.Utc()) == kiv::DateTimeToMSecs(*LastFound);
    const kiv::TMeetingSlot slot =
        kiv::FindMeetingTime(db, places, goOn ? *LastFound : PresentUtc());
    moment.Show(slot.Utc);
    LastFound = slot.Utc;
    return slot;
}

QString FoundTimeMessage(const kiv::TMeetingSlot& slot, int places) {
    if (slot.All) {
        return {};
    }
    return TranslateMessage(QString::fromUtf8(strings::NoCommonHour)).arg(slot.Within).arg(places);
}

QString DifferenceFromMachine(const kiv::TTimeZone& db, const kiv::TZoneData& zone,
                              kiv::TDateTime utc) {
    const kiv::TDifferenceWords words{
        TranslateMessage(QString::fromUtf8(strings::Tomorrow)).toStdString(),
        TranslateMessage(QString::fromUtf8(strings::Yesterday)).toStdString(),
        TranslateMessage(QString::fromUtf8(strings::SameTime)).toStdString()};
    const kiv::TClockDifference difference =
        kiv::ClockDifference(db, zone, utc, kiv::CurrentClock().OffsetMinutesAt(utc));
    return QString::fromStdString(kiv::ClockDifferenceText(difference, words));
}

QString HoursStateText(bool within) {
    return TranslateMessage(
        QString::fromUtf8(within ? strings::WithinHours : strings::OutsideHours));
}

kiv::TDateNames LocaleDateNames(const QLocale& locale) {
    kiv::TDateNames names;
    for (int d = 1; d <= 7; ++d) {
        names.Weekdays[static_cast<std::size_t>(d - 1)] =
            locale.dayName(d, QLocale::ShortFormat).toStdString();
    }
    for (int m = 1; m <= 12; ++m) {
        names.Months[static_cast<std::size_t>(m - 1)] =
            locale.monthName(m, QLocale::ShortFormat).toStdString();
    }
    return names;
}

QString MeetingText(const kiv::TTimeZone& db, std::span<const kiv::TPlannerPlace> places,
                    kiv::TDateTime utc, const QLocale& locale) {
    return QString::fromStdString(kiv::MeetingLines(db, places, utc, LocaleDateNames(locale)));
}

} // namespace app

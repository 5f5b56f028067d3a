#include "app/planner/CalendarEvent.h"

#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivClock.h"
#include "kiv/KivErrors.h"
#include "platform/WholeFile.h"

#include <QUuid>

#include <libical/ical.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace app {

namespace {

struct TComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using TComponent = std::unique_ptr<icalcomponent, TComponentFree>;

icaltimetype UtcTime(kiv::TDateTime utc) {
    const auto seconds = static_cast<time_t>(
        std::llround((utc - kiv::UnixDateDelta) * static_cast<double>(kiv::SecsPerDay)));
    return icaltime_from_timet_with_zone(seconds, 0, icaltimezone_get_utc_timezone());
}

} // namespace

TCalendarEvent MeetingEvent(kiv::TDateTime startUtc, const std::string& summary,
                            const std::string& description) {
    TCalendarEvent event;
    event.StartUtc = startUtc;
    event.Summary = summary;
    event.Description = description;
    event.Uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + "@chronara";
    event.StampUtc = kiv::CurrentClock().UtcNow();
    return event;
}

std::string CalendarText(const TCalendarEvent& event) {
    TComponent calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(),
                               icalproperty_new_prodid("-//Chronara//Meeting Time//EN"));
    icalcomponent* vevent = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    icalcomponent_add_property(vevent, icalproperty_new_uid(event.Uid.c_str()));
    icalcomponent_add_property(vevent, icalproperty_new_dtstamp(UtcTime(event.StampUtc)));
    icalcomponent_add_property(vevent, icalproperty_new_dtstart(UtcTime(event.StartUtc)));
    icalcomponent_add_property(vevent, icalproperty_new_dtend(UtcTime(
                                           kiv::IncMinute(event.StartUtc, event.DurationMinutes))));
    icalcomponent_add_property(vevent, icalproperty_new_summary(event.Summary.c_str()));
    icalcomponent_add_property(vevent, icalproperty_new_description(event.Description.c_str()));
    icalcomponent_add_component(calendar.get(), vevent);
    char* text = icalcomponent_as_ical_string_r(calendar.get());
    std::string result = text != nullptr ? text : "";
    std::free(text);
    return result;
}

void SaveCalendarEvent(const QString& path, const TCalendarEvent& event) {
    const std::string text = CalendarText(event);
    if (const auto why = platform::WriteWholeFile(path, QByteArray::fromStdString(text))) {
        throw kiv::EFOpenError(TranslateMessage(QString::fromUtf8(strings::CalendarNotSaved))
                                   .arg(path, *why)
                                   .toStdString());
    }
}

} // namespace app

// A meeting as an iCalendar file: one event at a UTC moment, an hour long,
// with the places' local times in its description, made by libical and
// written whole (a temporary file renamed over the target) so that a failed
// save leaves any earlier file as it was.
#pragma once

#include "kiv/KivDateTime.h"

#include <QString>

#include <string>

namespace app {

struct TCalendarEvent {
    kiv::TDateTime StartUtc = 0;
    int DurationMinutes = 60;
    std::string Summary;
    std::string Description;
    std::string Uid;
    kiv::TDateTime StampUtc = 0; // when the file was made
};

// An event at the moment, stamped now by the clock, with a fresh UID.
TCalendarEvent MeetingEvent(kiv::TDateTime startUtc, const std::string& summary,
                            const std::string& description);

// The calendar text (RFC 5545, CRLF line ends, long lines folded).
std::string CalendarText(const TCalendarEvent& event);

// Writes the event to the file. Raises kiv::EFOpenError with the translated
// message naming the file and the reason when it cannot be written.
void SaveCalendarEvent(const QString& path, const TCalendarEvent& event);

} // namespace app

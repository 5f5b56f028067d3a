// What the window asks of the meeting planner: the listed places with their
// working hours, "Find a time" (from now, or from the moment it found last
// while that is still shown), the texts of a row's state at the shown moment,
// and the meeting's lines for the clipboard and the calendar file.
#pragma once

#include "kiv/KivMeetingPlanner.h"

#include <QLocale>
#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace kiv {
struct TTimeZone;
}

namespace app {

class TShownMoment;

// One listed place as the planner needs it: its zone's name, its title and
// its hours.
struct TPlannerEntry {
    QString Title;
    QString ZoneName;
    kiv::TWorkingHours Hours;
};

// The places of the entries whose zone the database knows (a place without
// one has no clock to plan with and is left out).
std::vector<kiv::TPlannerPlace> PlannerPlaces(const kiv::TTimeZone& db,
                                              std::span<const TPlannerEntry> entries);

// "Find a time": the first search starts from now; a search while the moment
// it found last is still shown goes on from there, so repeating the command
// steps through the suitable quarter hours.
class TFindATime {
public:
    // Finds the next moment and shows it; returns what was found.
    kiv::TMeetingSlot FindAndShow(const kiv::TTimeZone& db,
                                  std::span<const kiv::TPlannerPlace> places, TShownMoment& moment);

private:
    std::optional<kiv::TDateTime> LastFound;
};

// The message when no quarter hour suited every place ("... %1 of %2."), or
// an empty text when one did.
QString FoundTimeMessage(const kiv::TMeetingSlot& slot, int places);

// The place against this machine's clock at the moment: "+8 h", "-5 h 30",
// "-6 h, yesterday", "same time" (translated words).
QString DifferenceFromMachine(const kiv::TTimeZone& db, const kiv::TZoneData& zone,
                              kiv::TDateTime utc);
// "within working hours" or "outside working hours", translated: for the
// row's mark and its accessible name.
QString HoursStateText(bool within);

// The day and month names of the locale, in their short forms.
kiv::TDateNames LocaleDateNames(const QLocale& locale = QLocale());
// One line per place ("Tokyo, Japan: Wed 9 Dec 2026 09:00 JST"), for
// "Copy Meeting Time" and the calendar event's description.
QString MeetingText(const kiv::TTimeZone& db, std::span<const kiv::TPlannerPlace> places,
                    kiv::TDateTime utc, const QLocale& locale = QLocale());

} // namespace app

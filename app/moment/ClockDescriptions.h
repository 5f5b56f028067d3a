// What the rows and the clock line tell beyond their shown text: the tooltip
// with the zone, its offset and its next change of clocks, and the text a
// screen reader reads for them. The tick calls these after it has written a
// row's or the clock line's time, with the instant the time is for.
#pragma once

#include "app/locations/LocationRow.h"
#include "app/moment/ZoneTexts.h"

#include <cstdint>

class QLabel;

namespace app {

// The minute a tooltip was made for and the zone it was made of: a tooltip
// changes at most once a minute, and the next change is exact to the minute.
struct TTipMemory {
    std::int64_t Minute = -1;
    QString Zone;
};

// The minute of a UTC instant, counted from the date-time origin.
std::int64_t MinuteOfInstant(kiv::TDateTime utc);

// A row after the tick wrote its time: its tooltip (made again when the minute
// changed) and the text read aloud (`spoken`: its pieces as the row shows them;
// a row whose zone failed reads its name and the shown mark).
void DescribeRow(TLocationEntry& entry, const TSpokenClock& spoken, kiv::TDateTime utc);

// The clock line after the tick wrote it: the zone's tooltip and the text read
// aloud; an empty zone (the hint stands) clears both, an empty spoken text
// leaves the line's own text to be read.
void DescribeClockLine(QLabel& label, const QString& zoneName, const QString& spoken,
                       kiv::TDateTime utc, TTipMemory& memory);

} // namespace app

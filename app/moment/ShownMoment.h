// The moment the window shows: the present, or a moment the user picked with
// the time control. The rows, the clock line, the tray tooltip, the pointer
// read-outs and the shadow on the map ask this unit for their instant; the
// wallpaper and everything stored keep reading the real present from the
// clock.
//
// A picked moment stands still: it is the moment the user asked about ("what
// is it like at 18:00 on Friday"), so its clocks do not run on and its shadow
// does not move. Only the difference from now, shown beside it, changes as
// real time passes. Left alone for ReturnAfterMinutes, the window shows the
// present again.
#pragma once

#include "kiv/KivDateTime.h"

#include <QObject>
#include <QString>

#include <optional>

namespace app {

class TShownMoment : public QObject {
    Q_OBJECT
public:
    // Untouched for this long, a picked moment gives way to the present.
    static constexpr int ReturnAfterMinutes = 10;

    explicit TShownMoment(QObject* parent = nullptr);

    // True while the present is shown.
    bool IsPresent() const { return !Picked.has_value(); }
    // The instant shown (UTC): the clock's present, or the picked moment.
    kiv::TDateTime Utc() const;

    // Shows a picked moment (UTC) and restarts the countdown to the present.
    void Show(kiv::TDateTime utc);
    // Shows the present again.
    void ShowPresent();
    // The control was used without a new moment: the countdown restarts.
    void Touch();
    // Called every second: once the control has been left alone for
    // ReturnAfterMinutes by the clock, the present is shown. True when it was.
    bool ReturnWhenIdle();

signals:
    // The moment shown changed (another picked moment, or the present).
    void Changed();

private:
    std::optional<kiv::TDateTime> Picked;
    kiv::TDateTime LastTouch = 0;
};

// The clock's present moment (UTC).
kiv::TDateTime PresentUtc();
// The machine's wall-clock time at a UTC instant, with the offset in force
// then (daylight saving of that moment included).
kiv::TDateTime MachineLocalAt(kiv::TDateTime utc);
// The UTC instant at which the machine's wall clock reads `local`.
kiv::TDateTime UtcOfMachineLocal(kiv::TDateTime local);

// A moment `steps` quarter-hours from `anchor`. The steps land on whole
// quarter-hours of the clock (00, 15, 30, 45 minutes) even from an anchor
// between them: one step forward from 10:07 is 10:15, one back is 10:00.
kiv::TDateTime SteppedMoment(kiv::TDateTime anchor, int steps);

// How far a moment lies from now, in whole minutes: "+3 d 6 h 15 min",
// "-45 min", "+1 h"; "now" under half a minute.
QString MomentDifferenceText(kiv::TDateTime momentUtc, kiv::TDateTime nowUtc);

// The mark of a picked moment: its wall-clock date and time on this machine
// and its difference from now, e.g. "Shown: 25/12/2026 18:00 (+3 d 6 h)".
QString MomentMarkText(kiv::TDateTime momentUtc, kiv::TDateTime nowUtc);

} // namespace app

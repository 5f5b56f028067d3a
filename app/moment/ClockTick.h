// The one-second clock tick: the time text of every list row, the clock line,
// the tray icon's tooltip and the shadow map's periodic refresh. The window
// hands each tick what it reads and writes; the tick keeps its own memory (the
// busy flag, text widths, zone errors waiting to be reported).
#pragma once

#include "app/locations/LocationList.h"
#include "app/moment/ClockDescriptions.h"
#include "app/moment/ClockText.h"
#include "app/settings/DisplaySettings.h"

#include "kiv/KivClock.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QLabel;
class QWidget;

namespace solar {
class TShadowMap;
}

namespace app {

class TShownMoment;
class TToolTipOwner;

// What one tick works on.
struct TTickScene {
    TDisplaySettings* Settings = nullptr;
    TLocationList* List = nullptr;
    QLabel* ClockLabel = nullptr;
    TToolTipOwner* TrayIcon = nullptr;      // the tray icon
    solar::TShadowMap* ShadowMap = nullptr; // none after a failed start-up
    bool ShowClock = false;                 // "Show Clock" is checked
    bool MapHidden = false;
    bool WindowVisible = false;
    // The moment the texts show (UTC), unless it is the present. The offsets
    // kept for storing are always the present's.
    bool Present = true;
    kiv::TDateTime Moment = 0;
    // Put in front of the tooltip while a picked moment is shown.
    QString TrayMark;
    // A tick of the timer counts toward the shadow refresh; a rewrite of the
    // texts for another moment does not.
    bool Counts = true;
};

class TClockTick : public QObject {
    Q_OBJECT
public:
    // Errors are reported in boxes over `messageParent`.
    TClockTick(QWidget* messageParent, QObject* parent);

    // True while a tick runs: a tick inside it only counts.
    bool TickBusy = false;
    // The last tick's UTC and steady readings and the machine's offset then.
    bool HaveLastTick = false;
    std::int64_t LastTickUtcMSecs = 0;
    std::int64_t LastTickSteadyMSecs = 0;
    int LastTickOffset = 0;

    // One tick: count toward the refresh, write the rows, the clock line and
    // the tooltip, and start a due shadow refresh.
    void Run(const TTickScene& scene);

    // The window's side, wired once: the moment shown, the mark on the clock
    // line while it is not the present, and what else a tick works on.
    void Attach(TShownMoment* moment, QLabel* momentMark, std::function<TTickScene()> scene);
    // A tick of the one-second timer: a picked moment left alone long enough
    // gives way to the present, then every time text is written (counted
    // toward the shadow refresh).
    void Second();
    // Every time text again, for the moment shown now (not counted).
    void Rewrite();

signals:
    // A tick showed the present (the time control's field follows the clock).
    void PresentShown();

private:
    // A tick for the moment shown; counts: toward the shadow refresh.
    void RunShown(bool counts);
    void WriteRows(const TTickScene& scene, kiv::TDateTime utc, kiv::TDateTime nowUtc,
                   TClockTextRequest& request, QString& trayTip);
    // The tooltip follows every text of a picked moment, and the present's at
    // once when it comes back; else only at second 0.
    bool TrayTipDue(const TTickScene& scene, kiv::TDateTime local) const;
    // The clock line for a place: its name (before the first comma unless
    // CShowCty), a colon and its time text.
    QString ClockLineText(const TTickScene& scene, const QString& name, TClockTextRequest request);
    // The clock line read aloud, with the pieces the last ClockLineText showed.
    QString SpokenClockLine(const TTickScene& scene, const QString& name,
                            const TClockTextRequest& request) const;
    void RefreshShadow(const TTickScene& scene);
    // Reports a zone error after the tick (each text once per tick).
    void ReportZoneError(const QString& text);
    // Zone files of the machine's database that could not be used, each once.
    void ReportZoneFileProblems();
    // Whether the wall clock jumped or the machine's offset changed since the
    // last tick (resume from suspend, a manual change, a new machine zone).
    bool ClockJumped(const kiv::TClock& clock, kiv::TDateTime nowUtc);

    QWidget* MessageParent;
    TShownMoment* Moment = nullptr;
    QLabel* MomentMark = nullptr;
    std::function<TTickScene()> Scene;
    QStringList PendingZoneErrors;
    // The last tick showed a picked moment.
    bool ShowedMoment = false;
    // Remembered text widths of the rows' font and of the clock line's.
    TTextWidthCache RowWidths;
    TTextWidthCache ClockWidths;
    // The sun piece the last time text was given, and the clock line's tooltip.
    QString LastSunPiece;
    TTipMemory ClockTip;
};

} // namespace app

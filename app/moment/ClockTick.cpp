#include "app/moment/ClockTick.h"

#include "app/commandline/ZoneRulesText.h"
#include "app/moment/ShownMoment.h"
#include "app/text/Messages.h"
#include "app/text/Translation.h"
#include "kiv/KivClock.h"
#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"
#include "kiv/KivZoneRules.h"
#include "solar/ShadowMap.h"

#include <QLabel>
#include <QLayout>
#include <QTimer>

#include <cstdint>
#include <cstdlib>

namespace app {

namespace {

const char* const kHintText = "Double Click on Map or select from PopUp Menu";

// The tray tooltip holds at most this many characters.
constexpr qsizetype MaxTrayTipLength = 63;

// A zone's local time at the UTC instant; false, with the error's text, when
// the database does not know the zone or its rules.
bool LocalTimeOf(const QString& zoneName, kiv::TDateTime utc, kiv::TDateTime& local,
                 QString& abbreviation, std::int32_t& minutes, QString& error) {
    try {
        std::string letters;
        local = kiv::ZoneDB.ZoneLocalTime(zoneName.toStdString(), utc, letters, minutes);
        abbreviation = QString::fromStdString(letters);
        return true;
    } catch (const kiv::EKivError& e) {
        error = QString::fromUtf8(e.what());
        return false;
    }
}

// The zone's offset (minutes) now, for storing while another moment is
// shown; `fallback` when the zone cannot say.
std::int32_t PresentOffset(const QString& zoneName, kiv::TDateTime nowUtc, std::int32_t fallback) {
    kiv::TDateTime local = 0;
    QString abbreviation;
    QString error;
    std::int32_t minutes = fallback;
    return LocalTimeOf(zoneName, nowUtc, local, abbreviation, minutes, error) ? minutes : fallback;
}

// What a row or the clock line shows in place of a time its zone cannot give.
QString ZoneErrorMark(const QString& error) {
    return error.startsWith(QLatin1String("Could not locate Zone"))
               ? QStringLiteral("unknown zone")
               : QStringLiteral("zone rules missing");
}

// A place's name as the clock line shows it: the part before the first comma
// unless the whole name is asked for.
QString ShownName(const QString& name, bool wholeName) {
    return wholeName ? name : name.section(QLatin1Char(','), 0, 0);
}

} // namespace

TClockTick::TClockTick(QWidget* messageParent, QObject* parent)
    : QObject(parent), MessageParent(messageParent) {
    setObjectName(QStringLiteral("ClockTick"));
}

void TClockTick::Attach(TShownMoment* moment, QLabel* momentMark,
                        std::function<TTickScene()> scene) {
    Moment = moment;
    MomentMark = momentMark;
    Scene = std::move(scene);
}

void TClockTick::Second() {
    // Left alone long enough, a picked moment gives way to the present.
    Moment->ReturnWhenIdle();
    RunShown(true);
}

void TClockTick::Rewrite() {
    RunShown(false);
}

void TClockTick::RunShown(bool counts) {
    const bool present = Moment->IsPresent();
    const kiv::TDateTime now = PresentUtc();
    const QString mark = present ? QString() : MomentMarkText(Moment->Utc(), now);
    TTickScene scene = Scene();
    scene.Counts = counts;
    scene.Present = present;
    scene.Moment = Moment->Utc();
    if (!present) {
        scene.TrayMark =
            QLatin1Char('[') + MomentDifferenceText(scene.Moment, now) + QStringLiteral("] ");
    }
    // The mark first: the clock line's room is measured with it in place.
    if (MomentMark->text() != mark) {
        MomentMark->setText(mark);
    }
    if (MomentMark->isHidden() != present) {
        MomentMark->setVisible(!present);
        MomentMark->parentWidget()->layout()->activate();
    }
    Run(scene);
    if (present) {
        emit PresentShown();
    }
}

void TClockTick::Run(const TTickScene& scene) {
    TDisplaySettings& settings = *scene.Settings;
    // 1. Counted even when a tick is running.
    if (scene.Counts && settings.SMUpdate > 0) {
        ++settings.ShadowRefreshCounter;
    }
    // 2.
    if (TickBusy) {
        return;
    }
    TickBusy = true;
    try {
        // One instant for the whole tick: every row, the clock line and the sun
        // angles read the same moment, the present or the one picked.
        kiv::TClock& clock = kiv::CurrentClock();
        const kiv::TDateTime nowUtc = clock.UtcNow();
        // A jump of the wall clock or a new machine zone: the shadow (and with
        // it the wallpaper) is made again now, not at the next interval.
        if (ClockJumped(clock, nowUtc) && settings.SMUpdate > 0) {
            settings.ShadowRefreshCounter = settings.SMUpdate + 1;
        }
        const kiv::TDateTime utc = scene.Present ? nowUtc : scene.Moment;
        const int machineOffset = clock.OffsetMinutesAt(utc);
        const kiv::TDateTime machineLocal = kiv::IncMinute(utc, machineOffset);
        TClockTextRequest request;
        request.Formats = TClockFormats::Current();
        // The sun at the machine's wall-clock time, daylight saving included.
        solar::TShadowMap* map = scene.ShadowMap;
        request.SunAngle = [map, machineLocal, machineOffset](double latitude, double longitude) {
            return map ? SunAnglePieceAt(*map, latitude, longitude, machineLocal,
                                         machineOffset / 60.0)
                       : QString();
        };
        // The piece each text got, for what is read aloud.
        request.SunAngle = [this, piece = std::move(request.SunAngle)](double lat, double lon) {
            return LastSunPiece = piece ? piece(lat, lon) : QString();
        };
        // 3. The hint stands unless a time replaces it below.
        QString clockLine = TranslateMessage(QLatin1String(kHintText));
        QString clockZone;
        QString clockSpoken;
        QString trayTip;
        TLocationList& list = *scene.List;
        if (list.ListMode()) {
            // 4. Every row, first to last.
            WriteRows(scene, utc, nowUtc, request, trayTip);
            // 5. The clock line shows the last row.
            if (scene.ShowClock && !list.IsEmpty() && !scene.MapHidden) {
                const TLocationEntry& last = list.Entries().back();
                if (last.TimeValid) {
                    request.Latitude = last.Latitude;
                    request.Longitude = last.Longitude;
                    request.Local = last.LocalTime;
                    request.Abbreviation = last.Abbreviation;
                    clockLine = ClockLineText(scene, last.Name, request);
                    clockSpoken = SpokenClockLine(scene, last.Name, request);
                } else {
                    clockLine = ShownName(last.Name, settings.CShowCty) + QStringLiteral(": ") +
                                ZoneErrorMark(last.ZoneError);
                }
                clockZone = last.ZoneName;
            }
        } else if (!list.SingleLocation.ZoneName.isEmpty() && scene.ShowClock) {
            // 6. The single location on the clock line.
            TSingleLocation& single = list.SingleLocation;
            std::int32_t minutes = 0;
            QString error;
            if (LocalTimeOf(single.ZoneName, utc, request.Local, request.Abbreviation, minutes,
                            error)) {
                single.ZoneError.clear();
                request.Latitude = single.Latitude;
                request.Longitude = single.Longitude;
                clockLine = ClockLineText(scene, single.Name, request);
                clockSpoken = SpokenClockLine(scene, single.Name, request);
                single.UtcOffset =
                    scene.Present ? minutes : PresentOffset(single.ZoneName, nowUtc, minutes);
                if (TrayTipDue(scene, request.Local)) {
                    trayTip = clockLine;
                }
            } else {
                clockLine = ShownName(single.Name, settings.CShowCty) + QStringLiteral(": ") +
                            ZoneErrorMark(error);
                if (single.ZoneError != error) {
                    single.ZoneError = error;
                    ReportZoneError(error);
                }
            }
            clockZone = single.ZoneName;
        }
        if (scene.ClockLabel->text() != clockLine) {
            scene.ClockLabel->setText(clockLine);
        }
        DescribeClockLine(*scene.ClockLabel, clockZone, clockSpoken, utc, ClockTip);
        if (!trayTip.isEmpty()) {
            trayTip.prepend(scene.TrayMark);
            trayTip.truncate(MaxTrayTipLength);
            if (scene.TrayIcon->toolTip() != trayTip) {
                scene.TrayIcon->setToolTip(trayTip);
            }
        }
        // 7. The shadow map's periodic refresh.
        RefreshShadow(scene);
        ReportZoneFileProblems();
    } catch (const std::exception& e) {
        TickBusy = false;
        ShowError(MessageParent, QString::fromUtf8(e.what()));
        return;
    }
    // 8.
    ShowedMoment = !scene.Present;
    TickBusy = false;
}

bool TClockTick::TrayTipDue(const TTickScene& scene, kiv::TDateTime local) const {
    return kiv::SecondOf(local) == 0 || !scene.Present || ShowedMoment;
}

void TClockTick::WriteRows(const TTickScene& scene, kiv::TDateTime utc, kiv::TDateTime nowUtc,
                           TClockTextRequest& request, QString& trayTip) {
    const TDisplaySettings& settings = *scene.Settings;
    TLocationList& list = *scene.List;
    // The rows' labels all have the hint label's font.
    RowWidths.UseFont(list.RowFont());
    request.Width = [this](const QString& text) { return RowWidths.Width(text); };
    request.ShowSunAngle = settings.ShowSA;
    request.ShowZone = settings.ShowZA;
    request.ShowDate = settings.ShowDate;
    for (int row = 0; row < list.Count(); ++row) {
        TLocationEntry& entry = list.EntryAt(row);
        std::int32_t minutes = 0;
        QString error;
        if (!LocalTimeOf(entry.ZoneName, utc, entry.LocalTime, entry.Abbreviation, minutes,
                         error)) {
            // The row shows the fault; the other rows and the clock go on.
            entry.TimeValid = false;
            const QString mark = ZoneErrorMark(error);
            entry.RowShape->SetTimeText(mark, RowWidths.Width(mark));
            entry.TimeLabel->setToolTip(error);
            if (entry.ZoneError != error) {
                entry.ZoneError = error;
                ReportZoneError(error);
            }
            DescribeRow(entry, {}, utc);
            continue;
        }
        if (!entry.ZoneError.isEmpty()) {
            entry.ZoneError.clear();
            entry.TimeLabel->setToolTip(QString());
        }
        entry.TimeValid = true;
        request.Available = entry.RowShape->width() - RowWidths.Width(entry.NameLabel->text()) - 30;
        request.Latitude = entry.Latitude;
        request.Longitude = entry.Longitude;
        request.Local = entry.LocalTime;
        request.Abbreviation = entry.Abbreviation;
        int textWidth = 0;
        const QString text = FormatClockText(request, &textWidth);
        entry.RowShape->SetTimeText(text, textWidth);
        DescribeRow(entry,
                    {entry.Name, entry.LocalTime, entry.Abbreviation, settings.ShowDate,
                     settings.ShowZA, settings.ShowSA ? LastSunPiece : QString()},
                    utc);
        entry.UtcOffset = scene.Present ? minutes : PresentOffset(entry.ZoneName, nowUtc, minutes);
        if (TrayTipDue(scene, entry.LocalTime)) {
            // Rows reaching second 0 together: the last one stays.
            trayTip = entry.NameLabel->text() + QStringLiteral(": ") + entry.TimeLabel->text();
        }
    }
}

QString TClockTick::ClockLineText(const TTickScene& scene, const QString& name,
                                  TClockTextRequest request) {
    const TDisplaySettings& settings = *scene.Settings;
    ClockWidths.UseFont(scene.ClockLabel->font());
    request.Width = [this](const QString& text) { return ClockWidths.Width(text); };
    request.ShowSunAngle = settings.CShowSA;
    request.ShowZone = settings.CShowZA;
    request.ShowDate = settings.CShowDate;
    // The whole name is subtracted even when only the city is shown.
    request.Available = scene.ClockLabel->width() - ClockWidths.Width(name) - 10;
    return ShownName(name, settings.CShowCty) + QStringLiteral(": ") + FormatClockText(request);
}

QString TClockTick::SpokenClockLine(const TTickScene& scene, const QString& name,
                                    const TClockTextRequest& request) const {
    const TDisplaySettings& settings = *scene.Settings;
    return SpokenClockText({ShownName(name, settings.CShowCty), request.Local, request.Abbreviation,
                            settings.CShowDate, settings.CShowZA,
                            settings.CShowSA ? LastSunPiece : QString()});
}

void TClockTick::RefreshShadow(const TTickScene& scene) {
    TDisplaySettings& settings = *scene.Settings;
    if (settings.ShadowRefreshCounter > settings.SMUpdate && settings.ShowSM && !scene.MapHidden &&
        settings.SMUpdate > 0 && scene.WindowVisible && scene.ShadowMap) {
        settings.ShadowRefreshCounter = 0;
        // The terminator of this moment: the machine's wall-clock time with the
        // offset in force now, daylight saving included.
        kiv::TClock& clock = kiv::CurrentClock();
        const kiv::TDateTime utc = clock.UtcNow();
        const int offset = clock.OffsetMinutesAt(utc);
        scene.ShadowMap->SetDateTime(offset / 60.0, kiv::IncMinute(utc, offset));
    }
}

bool TClockTick::ClockJumped(const kiv::TClock& clock, kiv::TDateTime nowUtc) {
    const std::int64_t utc = kiv::DateTimeToMSecs(nowUtc);
    const std::int64_t steady = clock.SteadyMSecs();
    const int offset = clock.OffsetMinutesAt(nowUtc);
    // More than the timer's own jitter, less than any real jump.
    constexpr std::int64_t Tolerance = 2000;
    const bool jumped =
        HaveLastTick &&
        (std::llabs((utc - LastTickUtcMSecs) - (steady - LastTickSteadyMSecs)) > Tolerance ||
         offset != LastTickOffset);
    HaveLastTick = true;
    LastTickUtcMSecs = utc;
    LastTickSteadyMSecs = steady;
    LastTickOffset = offset;
    return jumped;
}

void TClockTick::ReportZoneFileProblems() {
    if (!kiv::ZoneDB.RunTimeRules) {
        return;
    }
    for (const kiv::TZoneFileProblem& problem : kiv::ZoneDB.RunTimeRules->TakeProblems()) {
        ReportZoneError(
            QString::fromStdString(ZoneFileMessage(problem, [](std::string_view english) {
                return TranslateMessage(QString::fromUtf8(english.data(),
                                                          static_cast<qsizetype>(english.size())))
                    .toStdString();
            })));
    }
}

void TClockTick::ReportZoneError(const QString& text) {
    // Without a database (its load failed and was reported at start-up) every
    // zone is unknown: the rows say so, and no box repeats it for each place.
    if (PendingZoneErrors.contains(text) || kiv::ZoneDB.Zones.empty()) {
        return;
    }
    PendingZoneErrors.append(text);
    if (PendingZoneErrors.size() == 1) {
        // After the tick: a box must not hold the tick open.
        QTimer::singleShot(0, this, [this] {
            const QStringList texts = std::exchange(PendingZoneErrors, {});
            for (const QString& text : texts) {
                ShowError(MessageParent, text);
            }
        });
    }
}

} // namespace app

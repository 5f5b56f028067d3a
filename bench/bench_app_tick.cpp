// One clock tick of the main window with a full list of 15 places and every
// piece of the time text switched on (sun angle, zone abbreviation, date, on
// the rows and on the clock line), with the shipped data. Runs offscreen.
#include "app/window/UnitChronara.h"
#include "kiv/KivClock.h"
#include "kiv/KivTimeZone.h"
#include "tests/app/WindowParts.h"

#include <QApplication>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace apptest;

struct TTickWindow {
    kiv::TFakeClock Clock{kiv::EncodeDateTime(2026, 6, 21, 9, 30, 0, 0), 60, 120};
    kiv::TClockOverride Override{Clock};
    std::unique_ptr<app::TFormChronara> Form;
    app::TClockTick* Tick = nullptr;
    QWidget* PanelLocations = nullptr;
    QWidget* PanelClock = nullptr;
    app::TLocationList* List = nullptr;
    solar::TShadowMap* ShadowMap = nullptr;

    TTickWindow() {
        app::TStartOptions options;
        options.Max = true;
        options.ProgramDir = CHRONARA_SOURCE_DIR;
        Form = std::make_unique<app::TFormChronara>(options);
        Form->show();
        QCoreApplication::processEvents();
        TimerOf(*Form)->stop();
        Tick = Part<app::TClockTick>(*Form, "ClockTick");
        PanelLocations = Part<QWidget>(*Form, "PanelLocations");
        PanelClock = Part<QWidget>(*Form, "PanelClock");
        List = LocationsOf(*Form);
        ShadowMap = MapOf(*Form)->ShadowMap();
        Form->resize(900, 700);
        app::TFormChronara& f = *Form;
        DisplayOf(f).ShowSA = DisplayOf(f).ShowZA = DisplayOf(f).ShowDate = true;
        DisplayOf(f).CShowSA = DisplayOf(f).CShowZA = DisplayOf(f).CShowDate = true;
        ActionOf(f, "ShowClock")->trigger();
        // Only the clocks are measured, not a shadow computation.
        DisplayOf(f).SMUpdate = 0;
        // Fifteen places spread over the database.
        const int places = static_cast<int>(kiv::ZoneDB.Places.size());
        for (int i = 0; i < app::MaxLocations; ++i) {
            LocationsOf(f)->AddPlace(i * places / app::MaxLocations);
        }
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
        }
    }
};

// Every tick in a new second: every row gets a new text.
void BM_TickNewSecond(benchmark::State& state) {
    TTickWindow window;
    for (auto _ : state) {
        window.Clock.AdvanceSeconds(1);
        window.Tick->Second();
    }
    state.counters["rows"] = static_cast<double>(window.List->Entries().size());
}

// A second tick in the same second: every text is unchanged.
void BM_TickSameSecond(benchmark::State& state) {
    TTickWindow window;
    for (auto _ : state) {
        window.Tick->Second();
    }
}

// The tick with the texts' repaints that follow it in the event loop.
void BM_TickAndRepaint(benchmark::State& state) {
    TTickWindow window;
    for (auto _ : state) {
        window.Clock.AdvanceSeconds(1);
        window.Tick->Second();
        window.PanelLocations->repaint();
        window.PanelClock->repaint();
    }
}

// The parts of a tick, over the same 15 rows: the zone engine, the sun angle
// and the text with its measuring.
void BM_PartZoneLocalTime(benchmark::State& state) {
    TTickWindow window;
    const kiv::TDateTime utc = window.Clock.UtcNow();
    for (auto _ : state) {
        for (const app::TLocationEntry& e : window.List->Entries()) {
            std::string abbreviation;
            std::int32_t minutes = 0;
            benchmark::DoNotOptimize(
                kiv::ZoneDB.ZoneLocalTime(e.ZoneName.toStdString(), utc, abbreviation, minutes));
        }
    }
}

void BM_PartSunAngle(benchmark::State& state) {
    TTickWindow window;
    const kiv::TDateTime local = window.Clock.LocalNow();
    for (auto _ : state) {
        for (const app::TLocationEntry& e : window.List->Entries()) {
            benchmark::DoNotOptimize(
                app::SunAnglePieceAt(*window.ShadowMap, e.Latitude, e.Longitude, local, 1));
        }
    }
}

void BM_PartFormatText(benchmark::State& state) {
    TTickWindow window;
    kiv::TDateTime local = window.Clock.LocalNow();
    app::TTextWidthCache widths;
    widths.UseFont(Part<QWidget>(*window.Form, "LabelTop")->font());
    app::TClockTextRequest request{
        .Width = [&widths](const QString& t) { return widths.Width(t); },
        .Available = 600,
        .ShowSunAngle = true,
        .ShowZone = true,
        .ShowDate = true,
        .Abbreviation = QStringLiteral("CEST"),
        .SunAngle = [](double, double) { return QStringLiteral("45.0 deg  "); },
        .Formats = app::TClockFormats::Current()};
    for (auto _ : state) {
        local = kiv::IncMinute(local, 1); // a new time text for every row
        request.Local = local;
        for (const app::TLocationEntry& e : window.List->Entries()) {
            request.Latitude = e.Latitude;
            request.Longitude = e.Longitude;
            benchmark::DoNotOptimize(app::FormatClockText(request));
        }
    }
}

} // namespace

BENCHMARK(BM_PartZoneLocalTime)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PartSunAngle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PartFormatText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickNewSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickSameSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickAndRepaint)->Unit(benchmark::kMicrosecond);

// Dragging the time control: how fast whole maps of a picked moment (the full
// shadow grid, the stretch and the blend, at the shipped image size) come,
// and how many of them reach the view while the slider moves, with the
// shipped data and the real window offscreen.
#include "app/map/MapComposer.h"
#include "app/moment/MomentControl.h"
#include "app/moment/MomentShadow.h"
#include "app/moment/ShownMoment.h"
#include "app/window/UnitChronara.h"
#include "kiv/KivClock.h"
#include "kiv/KivFastDibLoaders.h"
#include "tests/app/WindowParts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace apptest;

const kiv::TDateTime Start = kiv::EncodeDateTime(2026, 12, 21, 12, 0, 0, 0);

// Waits in the event loop until `counter` reaches `count`.
void WaitFor(const int& counter, int count) {
    while (counter < count) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

// One whole shadow of a new moment at the shipped size (the full grid and
// its stretch), from the request to its delivery on the window thread.
void BM_MomentShadowWhole(benchmark::State& state) {
    kiv::TFastDIB day;
    kiv::LoadPngImage(day, std::string(CHRONARA_SHIPPED_DATA_DIR) + "/earth_day.png");
    app::TMomentShadow shadow;
    shadow.SetSize(day.Width(), day.Height());
    int delivered = 0;
    QObject::connect(&shadow, &app::TMomentShadow::Ready, [&delivered] { ++delivered; });
    kiv::TDateTime moment = Start;
    for (auto _ : state) {
        moment = kiv::IncMinute(moment, 15);
        shadow.Request(moment);
        WaitFor(delivered, delivered + 1);
    }
    state.counters["shadows_per_s"] =
        benchmark::Counter(static_cast<double>(delivered), benchmark::Counter::kIsRate);
    state.counters["width"] = day.Width();
}
BENCHMARK(BM_MomentShadowWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

// The shadow and the mix of day and night through it, as one frame of a
// drag goes from the request to a map the view can take.
void BM_MomentMapWhole(benchmark::State& state) {
    const std::string dir = CHRONARA_SHIPPED_DATA_DIR;
    kiv::TFastDIB day;
    kiv::LoadPngImage(day, dir + "/earth_day.png");
    app::TMomentShadow shadow;
    shadow.SetSize(day.Width(), day.Height());
    app::TMapComposer composer(dir + "/earth_day.png", dir + "/earth_night.jpg", nullptr);
    int composed = 0;
    QObject::connect(&shadow, &app::TMomentShadow::Ready,
                     [&] { composer.Request(&shadow.Shadow); });
    QObject::connect(&composer, &app::TMapComposer::Composed, [&composed] { ++composed; });
    kiv::TFastDIB map;
    kiv::TDateTime moment = Start;
    for (auto _ : state) {
        moment = kiv::IncMinute(moment, 15);
        shadow.Request(moment);
        WaitFor(composed, composed + 1);
        composer.TakeMap(map);
    }
    state.counters["maps_per_s"] =
        benchmark::Counter(static_cast<double>(composed), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MomentMapWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

// A drag of the slider in the window (view 1280 x 720): one step every 16 ms
// for two seconds, as a hand moves it. Counts the whole maps (a new shadow
// mixed into day and night) that reached the view per second of dragging.
void BM_DragRate(benchmark::State& state) {
    kiv::TFakeClock clock{Start, 0, 0};
    kiv::TClockOverride override{clock};
    app::TStartOptions options;
    options.Max = true;
    options.ProgramDir = CHRONARA_SOURCE_DIR;
    auto form = std::make_unique<app::TFormChronara>(options);
    form->show();
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
    }
    TimerOf(*form)->stop();
    form->resize(1280 + 60, 720 + 200);
    QCoreApplication::processEvents();
    int shown = 0;
    QObject::connect(Part<app::TMapComposer>(*form, "MomentComposer"), &app::TMapComposer::Composed,
                     [&shown] { ++shown; });
    app::TMomentControl* bar = Part<app::TMomentControl>(*form, "MomentControl");
    app::TMomentSlider* slider = bar->Slider;
    double seconds = 0;
    int steps = 0;
    for (auto _ : state) {
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer step;
        step.setInterval(16);
        QEventLoop loop;
        QObject::connect(&step, &QTimer::timeout, [&] {
            slider->setValue(slider->value() + 1);
            ++steps;
            if (elapsed.elapsed() >= 2000) {
                loop.quit();
            }
        });
        step.start();
        loop.exec();
        seconds += static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
        bar->MINow->trigger();
    }
    state.counters["shadows_per_s"] = shown / seconds;
    state.counters["steps_per_s"] = steps / seconds;
    form.reset();
}
BENCHMARK(BM_DragRate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

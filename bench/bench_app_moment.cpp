// Dragging the time control: how fast whole maps of a picked moment (the full
// shadow grid, the stretch and the blend, at the shipped image size) come,
// and how many of them reach the view while the slider moves, with the
// shipped data and the real window offscreen.
#include "app/MomentControl.h"
#include "app/MomentMap.h"
#include "app/ShownMoment.h"
#include "app/UnitChronara.h"
#include "kiv/KivClock.h"
#include "kiv/KivFastDibLoaders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

const kiv::TDateTime Start = kiv::EncodeDateTime(2026, 12, 21, 12, 0, 0, 0);

// Waits in the event loop until `delivered` reaches `count`.
void WaitForMaps(const int& delivered, int count) {
    while (delivered < count) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

// One whole map of a new moment, from the request to its delivery on the
// window thread: the worker's part alone.
void BM_MomentMapWhole(benchmark::State& state) {
    kiv::TFastDIB day;
    kiv::TFastDIB night;
    kiv::LoadPngImage(day, std::string(CHRONARA_SHIPPED_DATA_DIR) + "/earth_day.png");
    kiv::LoadJpegImage(night, std::string(CHRONARA_SHIPPED_DATA_DIR) + "/earth_night.jpg");
    app::TMomentMap map;
    map.SetImages(day, night);
    int delivered = 0;
    QObject::connect(&map, &app::TMomentMap::Ready, [&delivered] { ++delivered; });
    kiv::TDateTime moment = Start;
    for (auto _ : state) {
        moment = kiv::IncMinute(moment, 15);
        map.Request(moment);
        WaitForMaps(delivered, delivered + 1);
    }
    state.counters["maps_per_s"] =
        benchmark::Counter(static_cast<double>(delivered), benchmark::Counter::kIsRate);
    state.counters["width"] = day.Width();
}
BENCHMARK(BM_MomentMapWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

// A drag of the slider in the window (view 1280 x 720): one step every 16 ms
// for two seconds, as a hand moves it. Counts the whole maps that reached
// the view per second of dragging, and the window thread's share.
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
    form->Timer->stop();
    form->resize(1280 + 60, 720 + 200);
    QCoreApplication::processEvents();
    int shown = 0;
    QObject::connect(form->MomentMap, &app::TMomentMap::Ready, [&shown] { ++shown; });
    app::TMomentSlider* slider = form->MomentBar->Slider;
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
        form->MomentBar->MINow->trigger();
    }
    state.counters["shadows_per_s"] = shown / seconds;
    state.counters["steps_per_s"] = steps / seconds;
    form.reset();
}
BENCHMARK(BM_DragRate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

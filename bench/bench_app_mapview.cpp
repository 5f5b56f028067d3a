// What the user feels on the map: a pointer move (read-outs and a paint) and a
// pan step (resampling the view and a paint), at full-HD and 4K paint boxes,
// with the shipped data. Runs offscreen.
#include "app/map/MapComposer.h"
#include "app/window/UnitChronara.h"
#include "kiv/KivData.h"
#include "kiv/KivTimeZone.h"
#include "solar/ShadowMap.h"
#include "tests/app/WindowParts.h"

#include <QAction>

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace apptest;

std::unique_ptr<app::TFormChronara> OpenWindow(int width, int height) {
    app::TStartOptions options;
    options.Max = true;
    options.ProgramDir = CHRONARA_SOURCE_DIR;
    auto form = std::make_unique<app::TFormChronara>(options);
    form->show();
    QCoreApplication::processEvents();
    TimerOf(*form)->stop();
    for (int i = 0; i < 5 && PaintBoxOf(*form)->size() != QSize(width, height); ++i) {
        form->resize(form->size() + QSize(width, height) - PaintBoxOf(*form)->size());
        QCoreApplication::processEvents();
    }
    ActionOf(*form, "MIHighlightCities")->setChecked(true);
    return form;
}

void BM_PointerMove(benchmark::State& state) {
    auto form = OpenWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    app::TMapWidget* paintBox = PaintBoxOf(*form);
    paintBox->View.SetView(300, 150, 0.5f); // close enough for the grid and labels
    paintBox->LayoutView(false);
    int x = 100;
    for (auto _ : state) {
        x = x >= 900 ? 100 : x + 7;
        paintBox->PointerPos = QPoint(x, 400);
        paintBox->PointerInside = true;
        paintBox->PanelPaintBoxMouseMove(Qt::NoButton, x, 400);
    }
}

void BM_PanStep(benchmark::State& state) {
    auto form = OpenWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    app::TMapWidget* paintBox = PaintBoxOf(*form);
    paintBox->View.SetView(300, 150, static_cast<float>(state.range(2)) / 100.f);
    paintBox->LayoutView(false);
    paintBox->PanelPaintBoxMouseDown(Qt::LeftButton, 500, 400);
    int dx = 1;
    int x = 500;
    for (auto _ : state) {
        if (x > 560 || x < 440) {
            dx = -dx;
        }
        x += dx;
        paintBox->PointerPos = QPoint(x, 400);
        paintBox->PointerInside = true;
        paintBox->PanelPaintBoxMouseMove(Qt::LeftButton, x, 400);
    }
}

} // namespace

// Paint box width, height (and zoom x 100 for panning: nearest-pixel and smoothed).
BENCHMARK(BM_PointerMove)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanStep)
    ->Args({1920, 1080, 50})
    ->Args({1920, 1080, 70})
    ->Args({3840, 2160, 20})
    ->Unit(benchmark::kMillisecond);

// The two halves of a pan step: resampling the view, and one paint.
namespace {
void BM_LayoutOnly(benchmark::State& state) {
    auto form = OpenWindow(1920, 1080);
    app::TMapWidget* paintBox = PaintBoxOf(*form);
    const float zoom = static_cast<float>(state.range(0)) / 100.f;
    bool shifted = false;
    for (auto _ : state) {
        // Moved by a fraction of a pixel each time: the whole view is resampled.
        shifted = !shifted;
        paintBox->View.SetView(shifted ? 20.37f : 20.f, 0, zoom);
        paintBox->View.LayoutView(1920, 1080);
    }
}
void BM_PaintOnly(benchmark::State& state) {
    auto form = OpenWindow(1920, 1080);
    app::TMapWidget* paintBox = PaintBoxOf(*form);
    paintBox->View.SetView(300, 150, 0.5f);
    paintBox->LayoutView(false);
    QImage image(1920, 1080, QImage::Format_RGB32);
    paintBox->PointerPos = QPoint(500, 400);
    paintBox->PointerInside = true;
    for (auto _ : state) {
        QPainter p(&image);
        paintBox->PaintBoxPaint(p);
    }
}
} // namespace
BENCHMARK(BM_LayoutOnly)->Arg(50)->Arg(70)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintOnly)->Unit(benchmark::kMillisecond);

// The map rebuild after a shadow refresh, at the shipped image size: the
// composition (on the composer's worker in the window) with the sources read
// from their files or kept from the last one, and the window thread's part
// (taking up the map: the view's copy of it, a layout and a paint of a
// 1920 x 1080 view).
namespace {
kiv::TFastDIB HalfNight() {
    kiv::TFastDIB shadow(1024, 512, 8);
    for (int y = 0; y < shadow.Height(); ++y) {
        for (int x = 0; x < shadow.Width(); ++x) {
            shadow.Row(y)[x] = static_cast<std::uint8_t>(x < 400   ? 255
                                                         : x < 500 ? (500 - x) * 2
                                                                   : 0);
        }
    }
    return shadow;
}
void BM_ComposeReading(benchmark::State& state) {
    const kiv::TFastDIB shadow = HalfNight();
    for (auto _ : state) {
        app::TMapComposer composer(kiv::ProgramPath("data\\earth_day.png", CHRONARA_SOURCE_DIR),
                                   kiv::ProgramPath("data\\earth_night.jpg", CHRONARA_SOURCE_DIR),
                                   nullptr);
        composer.ComposeNow(&shadow);
    }
}
void BM_ComposeKept(benchmark::State& state) {
    const kiv::TFastDIB shadow = HalfNight();
    app::TMapComposer composer(kiv::ProgramPath("data\\earth_day.png", CHRONARA_SOURCE_DIR),
                               kiv::ProgramPath("data\\earth_night.jpg", CHRONARA_SOURCE_DIR),
                               nullptr);
    for (auto _ : state) {
        composer.ComposeNow(&shadow);
    }
}
void BM_ShowComposedMap(benchmark::State& state) {
    auto form = OpenWindow(1920, 1080);
    ActionOf(*form, "ShowSM1")->setChecked(true);
    app::TMapController* map = MapOf(*form);
    auto* composer = Part<app::TMapComposer>(*form, "MapComposer");
    solar::TShadowMap* shadowMap = map->ShadowMap();
    shadowMap->Shadow = HalfNight();
    for (auto _ : state) {
        state.PauseTiming();
        composer->ComposeNow(&shadowMap->Shadow);
        state.ResumeTiming();
        map->ShowComposedMap();
    }
}
} // namespace
BENCHMARK(BM_ComposeReading)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeKept)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowComposedMap)->Unit(benchmark::kMillisecond);

// A whole re-layout of the view: one zoom step of the wheel (alternately out
// and in, so every step resamples the whole view and adds the grid again) and
// one resize of the window by a few pixels (the view's new size, its layout
// and the paint), at full-HD and 4K paint boxes with "Highlight Cities" on.
namespace {
void BM_ZoomStep(benchmark::State& state) {
    auto form = OpenWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    app::TMapWidget* paintBox = PaintBoxOf(*form);
    // Smoothed at both zooms of the alternation, grid and labels drawn.
    paintBox->View.SetView(300, 150, 0.2f);
    paintBox->LayoutView(true);
    bool out = true;
    for (auto _ : state) {
        if (out) {
            paintBox->FormMouseWheelDown();
        } else {
            paintBox->FormMouseWheelUp();
        }
        out = !out;
    }
}
void BM_Resize(benchmark::State& state) {
    const QSize box(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    auto form = OpenWindow(box.width(), box.height());
    const QSize window = form->size();
    bool narrower = true;
    for (auto _ : state) {
        form->resize(window - (narrower ? QSize(8, 6) : QSize(0, 0)));
        narrower = !narrower;
        QCoreApplication::processEvents();
    }
}
} // namespace
BENCHMARK(BM_ZoomStep)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resize)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

// The first pointer move after the zone image was let go (30 s without
// read-outs): the image is read again before the read-outs, at the shipped
// size (2048 x 1024). Argument 0 is the same move with the image kept.
namespace {
void BM_ColdReadout(benchmark::State& state) {
    auto form = OpenWindow(1280, 720);
    app::TMapWidget* paintBox = PaintBoxOf(*form);
    paintBox->View.SetView(300, 150, 0.5f);
    paintBox->LayoutView(false);
    const QPoint berlin = paintBox->View.PlaceToView(52.5, 13.4);
    int x = berlin.x();
    for (auto _ : state) {
        state.PauseTiming();
        if (state.range(0) != 0) {
            paintBox->ZonesIdle();
        }
        x = x == berlin.x() ? x + 3 : berlin.x();
        paintBox->PointerPos = QPoint(x, berlin.y());
        paintBox->PointerInside = true;
        state.ResumeTiming();
        paintBox->PanelPaintBoxMouseMove(Qt::NoButton, x, berlin.y());
    }
}
} // namespace
BENCHMARK(BM_ColdReadout)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

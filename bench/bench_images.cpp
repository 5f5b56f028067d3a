// The image hot paths: the shadow computation at the map's size, the table mix
// after every shadow refresh, the 16.16 resampling, the batch composition and
// the loaders and writer of the batch mode.
#include "app/commandline/BatchMode.h"
#include "kiv/KivClock.h"
#include "kiv/KivDateTime.h"
#include "kiv/KivFastDIB.h"
#include "kiv/KivFastDibLoaders.h"
#include "solar/ShadowMap.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

const kiv::TDateTime Moment = kiv::EncodeDateTime(2024, 6, 21, 9, 30, 0, 0);

kiv::TFastDIB Pattern(int width, int height, int bpp) {
    kiv::TFastDIB image(width, height, bpp);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.Row(y);
        for (std::size_t i = 0; i < static_cast<std::size_t>(width) * (bpp / 8); ++i) {
            row[i] = static_cast<std::uint8_t>(i * 7 + y * 13);
        }
    }
    return image;
}

void BM_ShadowCompute(benchmark::State& state) {
    solar::TShadowMap map(1024, 512);
    map.Synchronous = true;
    for (auto _ : state) {
        map.SetDateTime(0.0, Moment);
        benchmark::DoNotOptimize(map.Shadow.Bits());
    }
}
BENCHMARK(BM_ShadowCompute)->Unit(benchmark::kMillisecond);

void BM_BlendThroughShadow(benchmark::State& state) {
    kiv::TFastDIB day = Pattern(1024, 512, 24);
    const kiv::TFastDIB night = Pattern(1024, 512, 24);
    solar::TShadowMap map(1024, 512);
    map.Synchronous = true;
    map.SetDateTime(0.0, Moment);
    kiv::TFastDIB dest(1024, 512, 24);
    for (auto _ : state) {
        kiv::BlendThroughShadow(dest, day, night, map.Shadow);
        benchmark::DoNotOptimize(dest.Bits());
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 512);
}
BENCHMARK(BM_BlendThroughShadow)->Unit(benchmark::kMillisecond);

void BM_BlendThroughShadowExact(benchmark::State& state) {
    const kiv::TFastDIB day = Pattern(1024, 512, 24);
    const kiv::TFastDIB night = Pattern(1024, 512, 24);
    const kiv::TFastDIB mask = Pattern(1024, 512, 8);
    kiv::TFastDIB dest;
    for (auto _ : state) {
        kiv::BlendThroughShadowExact(dest, day, night, mask);
        benchmark::DoNotOptimize(dest.Bits());
    }
}
BENCHMARK(BM_BlendThroughShadowExact)->Unit(benchmark::kMillisecond);

// The batch mode's stretch of a 1024 x 512 map to the given width, half as high.
void BM_ResampleBilinear(benchmark::State& state) {
    const kiv::TFastDIB source = Pattern(1024, 512, 24);
    const int width = static_cast<int>(state.range(0));
    kiv::TFastDIB dest(width, width / 2, 24);
    for (auto _ : state) {
        kiv::ResampleBilinear(source, dest);
        benchmark::DoNotOptimize(dest.Bits());
    }
    state.SetItemsProcessed(state.iterations() * width * (width / 2));
}
BENCHMARK(BM_ResampleBilinear)->Arg(800)->Arg(1920)->Arg(3840)->Unit(benchmark::kMillisecond);

void BM_ResampleBilinearWallpaper(benchmark::State& state) {
    const kiv::TFastDIB source = Pattern(1024, 512, 24);
    kiv::TFastDIB dest(1920, 960, 24);
    for (auto _ : state) {
        kiv::ResampleBilinearWallpaper(source, dest);
        benchmark::DoNotOptimize(dest.Bits());
    }
}
BENCHMARK(BM_ResampleBilinearWallpaper)->Unit(benchmark::kMillisecond);

// The whole composition of "-C FILE 3840" without the loading and saving.
void BM_ComposeDayNight(benchmark::State& state) {
    const kiv::TFastDIB day = Pattern(1024, 512, 24);
    const kiv::TFastDIB night = Pattern(1024, 512, 24);
    kiv::TFastDIB output(3840, 1920, 24);
    for (auto _ : state) {
        solar::ComposeDayNight(output, day, night, true, Moment);
        benchmark::DoNotOptimize(output.Bits());
    }
}
BENCHMARK(BM_ComposeDayNight)->Unit(benchmark::kMillisecond);

void BM_LoadShippedImages(benchmark::State& state) {
    const std::string dir = CHRONARA_SHIPPED_DATA_DIR;
    if (!std::filesystem::exists(dir + "/earth_day.png")) {
        state.SkipWithError("the shipped images are missing");
        return;
    }
    kiv::TFastDIB day, night, mask;
    for (auto _ : state) {
        kiv::LoadPngImage(day, dir + "/earth_day.png");
        kiv::LoadJpegImage(night, dir + "/earth_night.jpg");
        kiv::LoadPngImage(mask, dir + "/mask.png");
    }
}
BENCHMARK(BM_LoadShippedImages)->Unit(benchmark::kMillisecond);

void BM_SaveBitmapFile3840(benchmark::State& state) {
    const kiv::TFastDIB image = Pattern(3840, 1920, 24);
    const std::string name =
        (std::filesystem::temp_directory_path() / "chronara-bench-images.bmp").string();
    for (auto _ : state) {
        kiv::SaveBitmapFile(image, name);
    }
    std::remove(name.c_str());
}
BENCHMARK(BM_SaveBitmapFile3840)->Unit(benchmark::kMillisecond);

// The whole batch mode "-C FILE 3840 --at ..." after the command line, in each
// output format: loading the shipped images, the mix of the moment, and the
// stretched map written to a file. Wall time, since it uses every core.
void BM_BatchMode3840(benchmark::State& state) {
    static const char* const names[] = {"bmp", "png", "jpg"};
    const std::string dir = CHRONARA_SHIPPED_DATA_DIR;
    if (!std::filesystem::exists(dir + "/earth_day.png")) {
        state.SkipWithError("the shipped images are not there");
        return;
    }
    state.SetLabel(names[state.range(0)]);
    app::TBatchRequest request;
    request.Requested = true;
    request.FileName = (std::filesystem::temp_directory_path() /
                        (std::string("chronara-bench-batch.") + names[state.range(0)]))
                           .string();
    request.WidthText = "3840";
    request.HasAt = true;
    request.AtText = "2024-06-21T09:30Z";
    const kiv::TFakeClock clock;
    for (auto _ : state) {
        std::ostringstream errors;
        if (app::RunBatchMode(request, errors, clock, dir + "/..") != app::bsWritten) {
            state.SkipWithError(errors.str().c_str());
            break;
        }
    }
    std::remove(request.FileName.c_str());
}
BENCHMARK(BM_BatchMode3840)->DenseRange(0, 2)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

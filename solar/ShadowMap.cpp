#include "solar/ShadowMap.h"

#include "kiv/KivErrors.h"

#include <algorithm>
#include <string>
#include <utility>

namespace solar {

std::uint8_t ShadowDarkness(double zenith) {
    return ShadowDarknessOfE(2.832 * zenith);
}

std::uint8_t ShadowDarknessOfE(double e) {
    constexpr double k = (255.0 - 40.0) / (255.0 - 230.0); // 8.6
    if (e > 255.0) {
        e = 255.0;
    }
    const double value = e < 230.0 ? e * 40.0 / 230.0 : k * e + (40.0 - k * 230.0);
    return static_cast<std::uint8_t>(std::clamp(kiv::RoundHalfEven(value), 0.0, 255.0));
}

// ---------------------------------------------------------------------------
// TShadowThread

TShadowThread::TShadowThread(TShadowMap* map, const TPosData& record, int width, int height)
    : Map(map), Record(record), Width(width), Height(height) {}

void TShadowThread::Execute() {
    // The grid samples each cell at its south-west corner: row 0 is the southern
    // edge (latitude -90), column 0 the western edge (longitude -180).
    const int gridWidth = Width / 8;
    const int gridHeight = Height / 8;
    Shadow.SetSize(Width, Height, 8);
    if (gridWidth < 1 || gridHeight < 1) {
        // Too small for a grid: the map stays all daylight.
        return;
    }
    kiv::TFastDIB grid(gridWidth, gridHeight, 8);
    const double longitudeStep = 360.0 / gridWidth;
    const double latitudeStep = 180.0 / gridHeight;
    for (int i = 0; i < gridHeight; ++i) {
        if (Cancelled.load(std::memory_order_relaxed)) {
            return;
        }
        std::uint8_t* row = grid.Row(i);
        for (int j = 0; j < gridWidth; ++j) {
            Record.longitude = j * longitudeStep - 180.0;
            Record.latitude = i * latitudeStep - 90.0;
            const std::int32_t result = _S_solpos(&Record);
            if (result != 0) {
                if (SolPosError == 0) {
                    SolPosError = result;
                }
                row[j] = 0;
                continue;
            }
            row[j] = ShadowDarkness(Record.zenetr);
        }
    }
    kiv::ResampleBilinear(grid, Shadow);
}

// ---------------------------------------------------------------------------
// TShadowMap

TShadowMap::TShadowMap(int width, int height, TDispatcher dispatcher)
    : FDispatcher(std::move(dispatcher)) {
    SetSize(width, height);
    _S_init(&Record);
}

void SetRecordTime(TPosData& record, kiv::TDateTime local, double timeZoneHours) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    kiv::DecodeDateTime(local, year, month, day, hour, minute, second, msec);
    record.year = year;
    record.month = month;
    record.day = day;
    record.hour = hour;
    record.minute = minute;
    record.second = second;
    record.timezone = timeZoneHours;
}

TShadowMap::~TShadowMap() {
    if (FWorker) {
        FWorker->Cancelled.store(true);
        FWorker->Map = nullptr;
    }
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TShadowMap::SetSize(int width, int height) {
    Shadow.SetSize(width, height, 8);
    FWidth = width;
    FHeight = height;
}

void TShadowMap::SetDateTime(double timeZone, kiv::TDateTime dateTime) {
    if (FBusy) {
        return;
    }
    SetRecordTime(Record, dateTime, timeZone);
    Record.function = S_ZENITH_ONLY;
    if (OnShadowReady || Synchronous) {
        StartComputation();
    }
}

void TShadowMap::PixelToLatLong(float x, float y, double& latitude, double& longitude) const {
    longitude = static_cast<double>(x) * 360.0 / FWidth - 180.0;
    latitude = -(static_cast<double>(y) * 180.0 / FHeight - 90.0);
}

bool TShadowMap::QueryPoint(double latitude, double longitude) {
    if (FBusy) {
        return false;
    }
    Record.latitude = latitude;
    Record.longitude = longitude;
    Record.function = S_EVERYTHING;
    return _S_solpos(&Record) == 0;
}

void TShadowMap::StartComputation() {
    FBusy = true;
    // The thread of the previous computation has queued its completion (which
    // has run, since Busy was clear) and is ending or has ended.
    if (FThread.joinable()) {
        FThread.join();
    }
    FWorker = std::make_shared<TShadowThread>(this, Record, FWidth, FHeight);

    if (Synchronous || !FDispatcher) {
        // Computed right here; the completion step runs inline.
        const std::shared_ptr<TShadowThread> worker = FWorker;
        try {
            worker->Execute();
        } catch (...) {
            FBusy = false;
            FWorker.reset();
            throw;
        }
        Complete(*worker);
        return;
    }

    std::shared_ptr<TShadowThread> worker = FWorker;
    TDispatcher dispatcher = FDispatcher;
    try {
        FThread = std::thread([worker, dispatcher]() {
            try {
                worker->Execute();
            } catch (...) {
                worker->Failed = true;
            }
            if (worker->Cancelled.load()) {
                return;
            }
            try {
                dispatcher([worker]() {
                    // On the owning thread: the map is still there unless its
                    // destructor has cleared Map.
                    if (worker->Map) {
                        worker->Map->Complete(*worker);
                    }
                });
            } catch (...) {
                // Nothing reaches the owning thread (its queue is gone or full);
                // the map stays busy rather than the process ending here.
            }
        });
    } catch (...) {
        FBusy = false;
        FWorker.reset();
        throw;
    }
}

void TShadowMap::Complete(TShadowThread& worker) {
    if (FWorker.get() != &worker) {
        return;
    }
    worker.Map = nullptr;
    FLastSolPosError = worker.SolPosError;
    if (!worker.Failed) {
        if (worker.Shadow.Width() == FWidth && worker.Shadow.Height() == FHeight) {
            Shadow = std::move(worker.Shadow);
        } else {
            // The map was resized while the worker ran.
            kiv::ResampleBilinear(worker.Shadow, Shadow);
        }
    }
    FWorker.reset();
    FBusy = false;
    if (!Synchronous && OnShadowReady) {
        OnShadowReady(*this);
    }
}

// ---------------------------------------------------------------------------
// ComposeDayNight

kiv::TFastDIB ComposeDayNightMix(const kiv::TFastDIB& day, const kiv::TFastDIB& night,
                                 kiv::TDateTime utc) {
    TShadowMap map(day.Width(), day.Height());
    map.Synchronous = true;
    map.SetDateTime(0.0, utc);
    if (map.LastSolPosError() != 0) {
        throw kiv::EKivError("Cannot compute the position of the sun for this date (error " +
                             std::to_string(map.LastSolPosError()) + ")");
    }
    const kiv::TFastDIB* nightImage = &night;
    kiv::TFastDIB fitted;
    if ((night.Width() != day.Width() || night.Height() != day.Height()) && night.Bpp() == 24 &&
        !night.Empty()) {
        fitted.SetSize(day.Width(), day.Height(), 24);
        kiv::ResampleBilinear(night, fitted);
        nightImage = &fitted;
    }
    kiv::TFastDIB mix;
    kiv::BlendThroughShadowExact(mix, day, *nightImage, map.Shadow);
    return mix;
}

void ComposeDayNight(kiv::TFastDIB& output, const kiv::TFastDIB& day, const kiv::TFastDIB& night,
                     bool stretch, kiv::TDateTime utc) {
    if (output.Empty()) {
        output.SetSize(day.Width(), day.Height(), 24);
    }
    kiv::TFastDIB mix = ComposeDayNightMix(day, night, utc);
    if (!stretch) {
        output = std::move(mix);
        return;
    }
    if (output.Bpp() != 24) {
        output.SetSize(output.Width(), output.Height(), 24);
    }
    kiv::ResampleBilinear(mix, output);
}

} // namespace solar

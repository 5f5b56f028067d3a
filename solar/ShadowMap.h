// The shadow map: an 8-bit image of how dark each point of the Earth is at one
// moment (0 full daylight, 255 full night), computed from the sun's zenith angle
// on a grid of one eighth of the image in each direction and stretched to full
// size, on a worker thread. It also answers single-point sun queries through its
// solar record. ComposeDayNight mixes the day and night images through it.
#pragma once

#include "kiv/KivDateTime.h"
#include "kiv/KivFastDIB.h"
#include "solar/SolPos.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace solar {

// Hands a function to the thread that owns a shadow map, to run there later. It
// is called on the worker thread and must only queue the function and return
// (never wait for the owner thread); it must stay callable for as long as the
// map exists. A Qt window passes something like
//     [app = qApp](std::function<void()> f) {
//         QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
//     }
using TDispatcher = std::function<void(std::function<void()>)>;

// Writes a local date and time (year down to the second) and its zone in hours
// east of UTC into a solar record.
void SetRecordTime(TPosData& record, kiv::TDateTime local, double timeZoneHours);

// The darkness of a point whose sun stands at the zenith angle (degrees): with
// e = min(2.832 * zenith, 255), e * 40 / 230 below e = 230 and the steep line
// 8.6 * e + (40 - 8.6 * 230) from there, rounded half to even. 0 at the zenith,
// 40 at about 81.21 degrees, 255 from about 90.04 degrees on.
std::uint8_t ShadowDarkness(double zenith);
// The same curve over e itself (e = 2.832 * zenith).
std::uint8_t ShadowDarknessOfE(double e);

class TShadowMap;

// One computation: a copy of the solar record taken when it starts, the grid
// and the stretched image. It works only on its own fields, so it may run on
// any thread; `Map` is read and written only on the thread that owns the map.
class TShadowThread {
public:
    TShadowThread(TShadowMap* map, const TPosData& record, int width, int height);

    // Computes the grid and stretches it into Shadow. Stops early, leaving
    // Shadow unfinished, when Cancelled is set.
    void Execute();

    TShadowMap* Map;
    TPosData Record;
    int Width;
    int Height;
    kiv::TFastDIB Shadow;
    // The first non-zero result of the solar library during Execute (0: none).
    // A cell whose call failed counts as full daylight.
    std::int32_t SolPosError = 0;
    // Set when Execute failed with an exception (out of memory).
    bool Failed = false;
    std::atomic<bool> Cancelled{false};
};

class TShadowMap {
public:
    // Makes Shadow a width x height 8-bit image (all daylight) and initialises
    // Record. Without a dispatcher every computation runs on the calling thread.
    TShadowMap(int width, int height, TDispatcher dispatcher = {});
    // A computation still running is cancelled and its thread joined; its
    // completion, if already queued, finds the map gone and does nothing.
    ~TShadowMap();
    TShadowMap(const TShadowMap&) = delete;
    TShadowMap& operator=(const TShadowMap&) = delete;

    // Called on the owning thread when an asynchronous computation has finished
    // and Shadow holds the new image. Not called in Synchronous mode.
    std::function<void(TShadowMap&)> OnShadowReady;
    // The result, Width x Height, stored row 0 the southern edge.
    kiv::TFastDIB Shadow;
    // Date, time and time zone of the next computation; also the record of the
    // point queries.
    TPosData Record{};
    // SetDateTime computes before it returns; OnShadowReady is not called.
    bool Synchronous = false;

    bool Busy() const { return FBusy; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The solar library's error of the last finished computation (0: none).
    std::int32_t LastSolPosError() const { return FLastSolPosError; }

    // Gives Shadow the new size (all daylight). While a computation runs, its
    // result is stretched to the new size when it arrives.
    void SetSize(int width, int height);
    // Ignored while Busy. Stores the date-time's parts and the time zone (hours
    // east of UTC) in Record with the zenith-only function code and, when
    // OnShadowReady is assigned or Synchronous is set, starts a computation.
    void SetDateTime(double timeZone, kiv::TDateTime dateTime);
    // The latitude and longitude of a map pixel counted from the top-left corner.
    void PixelToLatLong(float x, float y, double& latitude, double& longitude) const;
    // Ignored while Busy (returns false). Computes every output of Record for the
    // point on the calling thread; the caller has filled date, time and time zone
    // before. Returns true when the solar library accepted the inputs.
    bool QueryPoint(double latitude, double longitude);

private:
    void StartComputation();
    // The completion step, on the owning thread.
    void Complete(TShadowThread& worker);

    TDispatcher FDispatcher;
    bool FBusy = false;
    int FWidth = 0;
    int FHeight = 0;
    std::int32_t FLastSolPosError = 0;
    std::shared_ptr<TShadowThread> FWorker;
    std::thread FThread;
};

// The batch composition: a synchronous shadow map of the day image's size for
// the UTC moment, the exact mix of day and night through it (bottom row black),
// then, with `stretch`, resampled into `output` at output's size (24-bit),
// otherwise output becomes a copy of the mix. An empty output is first made
// 24-bit of the day image's size. A night image of another size is stretched to
// the day image's first. Raises EKivError when the sun's position cannot be
// computed for the moment.
void ComposeDayNight(kiv::TFastDIB& output, const kiv::TFastDIB& day, const kiv::TFastDIB& night,
                     bool stretch, kiv::TDateTime utc);

// The mix of ComposeDayNight before any stretch, at the day image's size.
kiv::TFastDIB ComposeDayNightMix(const kiv::TFastDIB& day, const kiv::TFastDIB& night,
                                 kiv::TDateTime utc);

} // namespace solar

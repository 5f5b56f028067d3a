// The map of a picked moment: the day and night images mixed through the
// shadow of that moment, computed on a thread of its own so that dragging the
// time control never holds up the window.
//
// Requests come faster than maps while the user drags. The newest request
// wins: one computation runs at a time, and a request that arrives while it
// runs replaces any that was waiting, which is dropped without being computed.
// A finished map is shown only when no map of a later request has been shown
// already, and never after Cancel (the present is back). Each map is whole:
// the full shadow grid and the full blend, never a coarser picture.
#pragma once

#include "kiv/KivDateTime.h"
#include "kiv/KivFastDIB.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace app {

class TMomentMap : public QObject {
    Q_OBJECT
public:
    explicit TMomentMap(QObject* parent = nullptr);
    // Stops the thread; a map it finishes later is never delivered.
    ~TMomentMap() override;

    // The plain day and night images the maps are mixed from (a night image of
    // another size is stretched to the day's). Taken for the requests from now on.
    void SetImages(const kiv::TFastDIB& day, const kiv::TFastDIB& night);
    bool HasImages() const { return static_cast<bool>(Images); }

    // Asks for the map of a UTC moment.
    void Request(kiv::TDateTime utc);
    // Drops the waiting request and every map not yet delivered.
    void Cancel();
    // Cancel, and lets go of the images and the last map (the present is back:
    // they are not needed until another moment is picked).
    void Release();

    // The last map delivered, its shadow, and the moment they show.
    kiv::TFastDIB Map;
    kiv::TFastDIB Shadow;
    kiv::TDateTime MapMoment = 0;
    // The solar library's error for the last map (0: none); its cells show daylight.
    std::int32_t SolPosError = 0;

    // Counts on the thread, read by tests and benchmarks once maps have been
    // delivered: computations started, and requests replaced before they began.
    std::atomic<int> Computed{0};
    std::atomic<int> Dropped{0};
    // Called on the thread before each computation with its moment (tests
    // hold the thread here to line up requests).
    std::function<void(kiv::TDateTime)> BeforeCompute;

signals:
    // A newer map is in Map (on the window thread).
    void Ready();

private:
    struct TImages {
        kiv::TFastDIB Day;
        kiv::TFastDIB Night;
    };
    struct TRequest {
        std::uint64_t Serial = 0;
        kiv::TDateTime Utc = 0;
        std::shared_ptr<const TImages> Images;
    };
    struct TResult {
        std::uint64_t Serial = 0;
        kiv::TDateTime Utc = 0;
        kiv::TFastDIB Map;
        kiv::TFastDIB Shadow;
        std::int32_t SolPosError = 0;
    };

    void Run();
    static void Compute(const TRequest& request, TResult& result);
    void Deliver(const std::shared_ptr<TResult>& result);

    std::shared_ptr<const TImages> Images;
    // Window thread only: the serial of the last request, of the last map
    // shown, and below which every map is dropped (set by Cancel).
    std::uint64_t LastSerial = 0;
    std::uint64_t ShownSerial = 0;
    std::uint64_t CancelledUpTo = 0;

    std::mutex Lock;
    std::condition_variable Wake;
    std::optional<TRequest> Waiting; // guarded by Lock
    bool Stopping = false;           // guarded by Lock
    std::thread Thread;
};

} // namespace app

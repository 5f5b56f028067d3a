// The shadow of a picked moment, computed on a thread of its own so that
// dragging the time control never holds up the window. The window has it
// mixed into a map by a composer of its own (the present's map keeps its own).
//
// Requests come faster than shadows while the user drags. The newest request
// wins: one computation runs at a time, and a request that arrives while it
// runs replaces any that was waiting, which is dropped without being computed.
// The running one is never abandoned, so a steady drag still gets new shadows;
// a finished shadow is delivered only when no shadow of a later request has
// been delivered already, and never after Cancel (the present is back). Each
// shadow is whole: the full grid stretched to the map's size, never a coarser
// picture.
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

namespace platform {
class TPostedCalls;
}

namespace app {

class TMomentShadow : public QObject {
    Q_OBJECT
public:
    explicit TMomentShadow(QObject* parent = nullptr);
    // Stops the thread; a shadow it finishes later is never delivered.
    ~TMomentShadow() override;

    // The size of the shadows asked for from now on (the day image's).
    void SetSize(int width, int height);

    // Asks for the shadow of a UTC moment.
    void Request(kiv::TDateTime utc);
    // Drops the waiting request and every shadow not yet delivered.
    void Cancel();

    // The last shadow delivered (8-bit, rows bottom-up) and its moment.
    kiv::TFastDIB Shadow;
    kiv::TDateTime ShadowMoment = 0;
    // The solar library's error for the last shadow (0: none); its cells show daylight.
    std::int32_t SolPosError = 0;

    // Counts on the thread, read by tests and benchmarks once shadows have
    // been delivered: computations started, and requests replaced before they
    // began.
    std::atomic<int> Computed{0};
    std::atomic<int> Dropped{0};
    // Called on the thread before each computation with its moment (tests
    // hold the thread here to line up requests).
    std::function<void(kiv::TDateTime)> BeforeCompute;

signals:
    // A newer shadow is in Shadow (on the window thread).
    void Ready();

private:
    struct TRequest {
        std::uint64_t Serial = 0;
        kiv::TDateTime Utc = 0;
        int Width = 0;
        int Height = 0;
    };
    struct TResult {
        std::uint64_t Serial = 0;
        kiv::TDateTime Utc = 0;
        kiv::TFastDIB Shadow;
        std::int32_t SolPosError = 0;
    };

    void Run();
    static void Compute(const TRequest& request, TResult& result);
    void Deliver(const std::shared_ptr<TResult>& result);

    int Width = 0;
    int Height = 0;
    // Window thread only: the serial of the last request, of the last shadow
    // delivered, and up to which every shadow is dropped (set by Cancel).
    std::uint64_t LastSerial = 0;
    std::uint64_t ShownSerial = 0;
    std::uint64_t CancelledUpTo = 0;

    std::mutex Lock;
    std::condition_variable Wake;
    std::optional<TRequest> Waiting; // guarded by Lock
    bool Stopping = false;           // guarded by Lock
    // The finished shadows, onto the window thread.
    platform::TPostedCalls* Posted;
    std::thread Thread;
};

} // namespace app

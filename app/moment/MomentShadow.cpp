#include "app/moment/MomentShadow.h"

#include "platform/PostedCalls.h"
#include "solar/ShadowMap.h"
#include "solar/SolPos.h"

namespace app {

TMomentShadow::TMomentShadow(QObject* parent)
    : QObject(parent), Posted(new platform::TPostedCalls(this)) {
    setObjectName(QStringLiteral("MomentShadow"));
    Thread = std::thread([this] { Run(); });
}

TMomentShadow::~TMomentShadow() {
    {
        const std::lock_guard guard(Lock);
        Stopping = true;
        Waiting.reset();
    }
    Wake.notify_all();
    Thread.join();
}

void TMomentShadow::SetSize(int width, int height) {
    Width = width;
    Height = height;
}

void TMomentShadow::Request(kiv::TDateTime utc) {
    {
        const std::lock_guard guard(Lock);
        if (Waiting) {
            // Made stale by this one before it began.
            ++Dropped;
        }
        Waiting = TRequest{++LastSerial, utc, Width, Height};
    }
    Wake.notify_one();
}

void TMomentShadow::Cancel() {
    const std::lock_guard guard(Lock);
    if (Waiting) {
        ++Dropped;
        Waiting.reset();
    }
    CancelledUpTo = LastSerial;
}

void TMomentShadow::Run() {
    for (;;) {
        TRequest request;
        {
            std::unique_lock guard(Lock);
            Wake.wait(guard, [this] { return Stopping || Waiting.has_value(); });
            if (Stopping) {
                return;
            }
            request = *Waiting;
            Waiting.reset();
        }
        if (BeforeCompute) {
            BeforeCompute(request.Utc);
        }
        ++Computed;
        auto result = std::make_shared<TResult>();
        try {
            Compute(request, *result);
        } catch (...) {
            // Out of memory: this moment gets no shadow; the next request tries again.
            continue;
        }
        // Onto the window thread; the destructor waits for this thread.
        Posted->Post([this, result] { Deliver(result); });
    }
}

void TMomentShadow::Compute(const TRequest& request, TResult& result) {
    // The shadow is the same for any zone: the UTC moment itself, zone 0.
    TPosData record{};
    _S_init(&record);
    solar::SetRecordTime(record, request.Utc, 0.0);
    record.function = S_ZENITH_ONLY;
    solar::TShadowThread worker(nullptr, record, request.Width, request.Height);
    worker.Execute();
    result.Serial = request.Serial;
    result.Utc = request.Utc;
    result.SolPosError = worker.SolPosError;
    result.Shadow = std::move(worker.Shadow);
}

void TMomentShadow::Deliver(const std::shared_ptr<TResult>& result) {
    // A later request's shadow is already out, or the present is back.
    if (result->Serial <= ShownSerial || result->Serial <= CancelledUpTo) {
        return;
    }
    ShownSerial = result->Serial;
    Shadow = std::move(result->Shadow);
    ShadowMoment = result->Utc;
    SolPosError = result->SolPosError;
    emit Ready();
}

} // namespace app

#include "app/MomentMap.h"

#include "solar/SolPos.h"
#include "solar/shadow.h"

#include <QMetaObject>
#include <QPointer>

namespace app {

TMomentMap::TMomentMap(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("MomentMap"));
    Thread = std::thread([this] { Run(); });
}

TMomentMap::~TMomentMap() {
    {
        const std::lock_guard guard(Lock);
        Stopping = true;
        Waiting.reset();
    }
    Wake.notify_all();
    Thread.join();
}

void TMomentMap::SetImages(const kiv::TFastDIB& day, const kiv::TFastDIB& night) {
    auto images = std::make_shared<TImages>();
    images->Day = day;
    if (night.Width() == day.Width() && night.Height() == day.Height()) {
        images->Night = night;
    } else {
        images->Night.SetSize(day.Width(), day.Height(), 24);
        kiv::ResampleBilinear(night, images->Night);
    }
    Images = std::move(images);
}

void TMomentMap::Request(kiv::TDateTime utc) {
    if (!Images) {
        return;
    }
    {
        const std::lock_guard guard(Lock);
        if (Waiting) {
            // Made stale by this one before it began.
            ++Dropped;
        }
        Waiting = TRequest{++LastSerial, utc, Images};
    }
    Wake.notify_one();
}

void TMomentMap::Cancel() {
    const std::lock_guard guard(Lock);
    if (Waiting) {
        ++Dropped;
        Waiting.reset();
    }
    CancelledUpTo = LastSerial;
}

void TMomentMap::Release() {
    Cancel();
    // A computation still running keeps its own share of the images.
    Images.reset();
    Map.Clear();
    Shadow.Clear();
}

void TMomentMap::Run() {
    for (;;) {
        TRequest request;
        {
            std::unique_lock guard(Lock);
            Wake.wait(guard, [this] { return Stopping || Waiting.has_value(); });
            if (Stopping) {
                return;
            }
            request = std::move(*Waiting);
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
            // Out of memory: this moment gets no map; the next request tries again.
            continue;
        }
        // Onto the window thread; dropped by Qt when this object is gone first.
        QMetaObject::invokeMethod(
            this, [this, result] { Deliver(result); }, Qt::QueuedConnection);
    }
}

void TMomentMap::Compute(const TRequest& request, TResult& result) {
    const kiv::TFastDIB& day = request.Images->Day;
    // The shadow is the same for any zone: the UTC moment itself, zone 0.
    TPosData record{};
    _S_init(&record);
    solar::SetRecordTime(record, request.Utc, 0.0);
    record.function = S_ZENITH_ONLY;
    solar::TShadowThread worker(nullptr, record, day.Width(), day.Height());
    worker.Execute();
    result.Serial = request.Serial;
    result.Utc = request.Utc;
    result.SolPosError = worker.SolPosError;
    result.Map.SetSize(day.Width(), day.Height(), 24);
    kiv::BlendThroughShadow(result.Map, day, request.Images->Night, worker.Shadow);
    result.Shadow = std::move(worker.Shadow);
}

void TMomentMap::Deliver(const std::shared_ptr<TResult>& result) {
    // A later request's map is already up, or the present is back.
    if (result->Serial <= ShownSerial || result->Serial <= CancelledUpTo) {
        return;
    }
    ShownSerial = result->Serial;
    Map = std::move(result->Map);
    Shadow = std::move(result->Shadow);
    MapMoment = result->Utc;
    SolPosError = result->SolPosError;
    emit Ready();
}

} // namespace app

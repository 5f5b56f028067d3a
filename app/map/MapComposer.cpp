#include "app/map/MapComposer.h"

#include "app/commandline/DataFiles.h"
#include "kiv/KivData.h"

#include "kiv/KivFastDibLoaders.h"
#include "platform/PostedCalls.h"
#include "platform/ProcessMemory.h"

#include <QTimer>

#include <algorithm>
#include <exception>
#include <utility>

namespace app {

TMapComposer::TMapComposer(std::string dayFile, std::string nightFile, QObject* parent)
    : QObject(parent), FSources(std::make_unique<TSources>()), FReleaseTimer(new QTimer(this)),
      FPosted(new platform::TPostedCalls(this)) {
    FSources->DayFile = std::move(dayFile);
    FSources->NightFile = std::move(nightFile);
    FReleaseTimer->setSingleShot(true);
    connect(FReleaseTimer, &QTimer::timeout, this, [this] {
        if (!Busy()) {
            ReleaseSources();
        }
    });
}

TMapComposer* TMapComposer::FromProgramDir(const std::string& programDir, QObject* parent) {
    return new TMapComposer(kiv::ProgramPath(datafiles::DayImage, programDir),
                            kiv::ProgramPath(datafiles::NightImage, programDir), parent);
}

TMapComposer::~TMapComposer() {
    Drop();
}

std::shared_ptr<TMapComposer::TJob> TMapComposer::MakeJob(const kiv::TFastDIB* shadow) {
    auto job = std::make_shared<TJob>();
    if (shadow != nullptr && !shadow->Empty()) {
        job->Blend = true;
        job->Shadow = *shadow;
    }
    return job;
}

void TMapComposer::Compose(TSources& sources, TJob& job) {
    try {
        if (sources.Day.Empty()) {
            datafiles::LoadOrClear(
                sources.Day, [&](kiv::TFastDIB& day) { kiv::LoadPngImage(day, sources.DayFile); });
        }
        if (job.Stale) {
            return;
        }
        if (!job.Blend) {
            job.Result = sources.Day;
            return;
        }
        if (sources.Night.Empty()) {
            datafiles::LoadOrClear(sources.Night, [&](kiv::TFastDIB& night) {
                kiv::LoadJpegImage(night, sources.NightFile);
            });
        }
        if (job.Stale) {
            return;
        }
        const kiv::TFastDIB& day = sources.Day;
        if (job.Result.Width() != day.Width() || job.Result.Height() != day.Height() ||
            job.Result.Bpp() != 24) {
            job.Result.SetSize(day.Width(), day.Height(), 24);
        }
        // Where the night image or the shadow has no pixel, the day shows.
        if (day.Bpp() == 24) {
            std::copy_n(day.Bits(), day.ImageSize(), job.Result.Bits());
        } else {
            job.Result = day;
        }
        kiv::BlendThroughShadow(job.Result, day, sources.Night, job.Shadow);
    } catch (...) {
        job.Error = std::current_exception();
    }
}

void TMapComposer::ComposeNow(const kiv::TFastDIB* shadow) {
    Drop();
    const std::shared_ptr<TJob> job = MakeJob(shadow);
    job->Result = std::move(FSpare);
    Compose(*FSources, *job);
    if (job->Error) {
        FSpare = std::move(job->Result);
        std::rethrow_exception(job->Error);
    }
    FSpare = std::move(FMap);
    FMap = std::move(job->Result);
    FReleaseTimer->start(KeepSourcesMs);
}

void TMapComposer::Request(const kiv::TFastDIB* shadow) {
    std::shared_ptr<TJob> job = MakeJob(shadow);
    if (FRunning) {
        // Started when the running one ends, which is stale from now on; a
        // request still waiting is overtaken by this one.
        FRunning->Stale = true;
        FWaiting = std::move(job);
        return;
    }
    Start(std::move(job));
}

void TMapComposer::Start(std::shared_ptr<TJob> job) {
    FReleaseTimer->stop();
    job->Result = std::move(FSpare);
    FRunning = job;
    TSources* sources = FSources.get();
    FThread = std::thread([this, sources, job] {
        Compose(*sources, *job);
        // The composer waits for this thread before it goes.
        FPosted->Post([this, job] { Complete(job); });
    });
}

void TMapComposer::Complete(const std::shared_ptr<TJob>& job) {
    if (job != FRunning) {
        return; // dropped in between
    }
    FThread.join();
    FRunning.reset();
    if (job->Stale) {
        FSpare = std::move(job->Result);
    } else if (job->Error) {
        FSpare = std::move(job->Result);
        try {
            std::rethrow_exception(job->Error);
        } catch (const std::exception& e) {
            emit Failed(QString::fromUtf8(e.what()));
        } catch (...) {
            // Only the readers' and the allocator's errors come here.
        }
    } else {
        FSpare = std::move(FMap);
        FMap = std::move(job->Result);
        emit Composed();
    }
    if (FWaiting && !FRunning) {
        Start(std::move(FWaiting));
        FWaiting.reset();
    } else if (!FRunning) {
        FReleaseTimer->start(KeepSourcesMs);
    }
}

void TMapComposer::Drop() {
    FWaiting.reset();
    if (FRunning) {
        FRunning->Stale = true;
        FThread.join();
        FSpare = std::move(FRunning->Result);
        FRunning.reset();
    }
}

void TMapComposer::TakeMap(kiv::TFastDIB& map) {
    std::swap(map, FMap);
    // What came back is a buffer for later; the composer needs one at most.
    if (FSpare.Empty()) {
        FSpare = std::move(FMap);
    }
    FMap.Clear();
}

void TMapComposer::ReleaseSources() {
    FSources->Day = kiv::TFastDIB();
    FSources->Night = kiv::TFastDIB();
    FSpare = kiv::TFastDIB();
    platform::ReturnFreeMemory();
}

} // namespace app

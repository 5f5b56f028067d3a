// The map the window shows: the day image alone, or the day and night images
// mixed through the sun's shadow. Composed on a worker thread after a shadow
// refresh, so the window thread only takes up the finished picture.
//
// Requests may come faster than compositions end (a time control dragged over
// the day): a newer request makes older work stale. Stale work stops at its
// next check and is never shown; the newest request is composed next. Every
// request that is not overtaken is shown, in order.
//
// The decoded source images are kept while requests follow each other and
// released after a pause (they are read again from their files when needed).
#pragma once

#include "kiv/KivFastDIB.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <thread>

class QTimer;

namespace platform {
class TPostedCalls;
}

namespace app {

class TMapComposer : public QObject {
    Q_OBJECT
public:
    // The two source files (day: PNG, night: JPEG).
    TMapComposer(std::string dayFile, std::string nightFile, QObject* parent);
    // Work still running is made stale and waited for.
    ~TMapComposer() override;
    // A composer of the shipped day and night images in `programDir`.
    static TMapComposer* FromProgramDir(const std::string& programDir, QObject* parent);

    // Composes on the calling thread and returns when Map holds the result;
    // work under way or waiting is dropped. With a shadow (8-bit, the day
    // image's size) night shows through it; without one the day image alone.
    // Raises the image readers' errors; Map is then unchanged.
    void ComposeNow(const kiv::TFastDIB* shadow);
    // Starts composing on the worker (the shadow is copied). Composed is
    // emitted when Map holds the result, Failed with the error's text.
    void Request(const kiv::TFastDIB* shadow);
    // A composition runs or waits.
    bool Busy() const { return static_cast<bool>(FRunning); }

    // Swaps the composed map (24-bit, rows bottom-up) into `map`; the composer
    // keeps `map`'s old pixels as the buffer of the next composition.
    void TakeMap(kiv::TFastDIB& map);

    // How long the sources are kept after the last composition.
    int KeepSourcesMs = 5000;
    // The decoded sources are held (for tests).
    bool HoldsSources() const { return !FSources->Day.Empty() || !FSources->Night.Empty(); }

signals:
    void Composed();
    void Failed(const QString& message);

private:
    struct TSources {
        std::string DayFile;
        std::string NightFile;
        kiv::TFastDIB Day;
        kiv::TFastDIB Night;
    };
    struct TJob {
        bool Blend = false;
        kiv::TFastDIB Shadow;
        kiv::TFastDIB Result;
        std::exception_ptr Error;
        std::atomic<bool> Stale{false};
    };
    // Fills job.Result from the sources (read when missing); stops early once
    // the job is stale. An error is kept in job.Error.
    static void Compose(TSources& sources, TJob& job);
    static std::shared_ptr<TJob> MakeJob(const kiv::TFastDIB* shadow);
    void Start(std::shared_ptr<TJob> job);
    // On the owner thread when the worker is done with `job`.
    void Complete(const std::shared_ptr<TJob>& job);
    // Drops work under way (waiting for the worker) and waiting work.
    void Drop();
    void ReleaseSources();

    // The sources belong to the worker while a job runs, else to this thread.
    std::unique_ptr<TSources> FSources;
    kiv::TFastDIB FMap;
    // A spare buffer for the next result.
    kiv::TFastDIB FSpare;
    std::shared_ptr<TJob> FRunning;
    std::shared_ptr<TJob> FWaiting;
    std::thread FThread;
    QTimer* FReleaseTimer;
    // The worker's completion, onto this object's thread.
    platform::TPostedCalls* FPosted;
};

} // namespace app

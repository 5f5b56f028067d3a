#include "platform/Wallpaper.h"

#include "kiv/KivErrors.h"
#include "kiv/KivFastDibLoaders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

namespace platform {

int WallpaperHeight(int dayWidth, int dayHeight, int width) {
    if (dayWidth <= 0) {
        return 0;
    }
    return static_cast<int>(std::nearbyint(double(dayHeight) * width / dayWidth));
}

std::uint32_t WallpaperColor(const QString& colorText) {
    return ParseColorText(colorText).value_or(DefaultBackgroundColor);
}

void BuildWallpaperImage(const kiv::TFastDIB& day, const kiv::TFastDIB& mask,
                         std::uint32_t packedColor, int width, kiv::TFastDIB& out) {
    if (width < 1 || width > MaxWallpaperWidth) {
        throw kiv::EKivError("The wallpaper width " + std::to_string(width) +
                             " is not usable; choose one from 1 to " +
                             std::to_string(MaxWallpaperWidth) + " pixels.");
    }
    kiv::TFastDIB coloured;
    kiv::BlendToColor(coloured, day, mask, packedColor);
    out.SetSize(width, WallpaperHeight(day.Width(), day.Height(), width), 24);
    kiv::ResampleBilinearWallpaper(coloured, out);
}

QString WallpaperFolder(const QString& programDir) {
    const QFileInfo dir(programDir);
    if (dir.isDir() && dir.isWritable()) {
        return QDir::cleanPath(dir.absoluteFilePath());
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/chronara");
    QDir().mkpath(data);
    return data;
}

QString WallpaperFile(const QString& folder, std::uint64_t n, bool newNameEachTime) {
    const bool other = newNameEachTime && n % 2 == 1;
    return folder + (other ? QStringLiteral("/Wallpaper-1.bmp") : QStringLiteral("/Wallpaper.bmp"));
}

void SaveWallpaperFile(const TWallpaperJob& job, const QString& colorText, const QString& file) {
    // The images live only in this scope, so they are freed however it ends.
    kiv::TFastDIB mask;
    kiv::LoadPngImage(mask, job.MaskFile.toStdString());
    kiv::TFastDIB wallpaper;
    BuildWallpaperImage(job.Day, mask, WallpaperColor(colorText), job.Width, wallpaper);
    mask.Clear();
    kiv::SaveBitmapFile(wallpaper, QFile::encodeName(file).toStdString());
}

void BuildAndSetWallpaper(const TWallpaperJob& job, TDesktop& desktop, const QString& file) {
    SaveWallpaperFile(job, desktop.BackgroundColor(), file);
    desktop.SetWallpaper(file);
}

TWallpaperBuilder::TWallpaperBuilder(std::shared_ptr<TDesktop> desktop, QObject* parent)
    : QObject(parent), DesktopService(std::move(desktop)), Posted(new TPostedCalls(this)) {}

TWallpaperBuilder::~TWallpaperBuilder() {
    {
        std::lock_guard guard(Lock);
        Quit = true;
        Pending.reset();
    }
    Wake.notify_all();
    if (Worker.joinable()) {
        Worker.join();
    }
}

void TWallpaperBuilder::Build(TWallpaperJob job) {
    {
        std::lock_guard guard(Lock);
        Pending = std::move(job);
        if (!Worker.joinable()) {
            Worker = std::thread([this] { WorkerLoop(); });
        }
    }
    Wake.notify_all();
}

void TWallpaperBuilder::Stop() {
    {
        std::lock_guard guard(Lock);
        Pending.reset();
        ++Generation;
    }
    // A hand-over that started before the generation changed ends first.
    std::lock_guard wait(HandOver);
}

bool TWallpaperBuilder::Busy() const {
    std::lock_guard guard(Lock);
    return Running || Pending.has_value();
}

void TWallpaperBuilder::WorkerLoop() {
    for (;;) {
        TWallpaperJob job;
        std::uint64_t generation = 0;
        {
            std::unique_lock guard(Lock);
            Wake.wait(guard, [this] { return Quit || Pending.has_value(); });
            if (Quit) {
                return;
            }
            job = std::move(*Pending);
            Pending.reset();
            generation = Generation;
            Running = true;
        }
        QString file;
        QString error;
        try {
            file = WallpaperFile(job.Folder, Builds, DesktopService->NeedsNewFileName());
            SaveWallpaperFile(job, DesktopService->BackgroundColor(), file);
            job.Day.Clear();
            // Handed over only when no Stop came meanwhile.
            std::lock_guard handOver(HandOver);
            if (generation == Generation) {
                DesktopService->SetWallpaper(file);
                ++Builds;
            } else {
                file.clear();
            }
        } catch (const std::exception& e) {
            file.clear();
            error = QString::fromUtf8(e.what());
        }
        {
            std::lock_guard guard(Lock);
            Running = false;
        }
        if (!file.isEmpty() || !error.isEmpty()) {
            Posted->Post([this, file, error] { emit Finished(file, error); });
        }
    }
}

} // namespace platform

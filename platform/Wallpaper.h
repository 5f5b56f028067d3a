// The wallpaper build: the (shaded) map with the desktop colour laid in where the
// mask is white, scaled to the wallpaper width, saved as a bitmap and handed to
// the desktop. TWallpaperBuilder runs it off the window thread.
#pragma once

#include "kiv/KivFastDIB.h"
#include "platform/Desktop.h"
#include "platform/PostedCalls.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {

// The widest wallpaper we build.
constexpr int MaxWallpaperWidth = 16384;

// The wallpaper's height for a width: round(dayHeight * width / dayWidth),
// halves to even.
int WallpaperHeight(int dayWidth, int dayHeight, int width);

// The packed colour of a desktop colour text ("r g b"); the default "0 128 128"
// when the text is empty or not of that form.
std::uint32_t WallpaperColor(const QString& colorText);

// Lays the colour into the day image where the mask's red channel says, then
// scales the result into out, made 24-bit, width x WallpaperHeight pixels.
// Raises kiv::EKivError when the width is below 1 or above MaxWallpaperWidth.
void BuildWallpaperImage(const kiv::TFastDIB& day, const kiv::TFastDIB& mask,
                         std::uint32_t packedColor, int width, kiv::TFastDIB& out);

// The folder the wallpaper file goes to: programDir when we may write there,
// else the user's data folder ($XDG_DATA_HOME/chronara/), created when needed.
QString WallpaperFolder(const QString& programDir);

// The file of build number n in folder: "Wallpaper.bmp", and for a desktop that
// needs a new name for every picture, "Wallpaper-1.bmp" for every other build.
QString WallpaperFile(const QString& folder, std::uint64_t n, bool newNameEachTime);

// One build's input.
struct TWallpaperJob {
    kiv::TFastDIB Day; // the map as shown (shaded when the shadow is on)
    QString MaskFile;  // the mask image
    int Width = 1024;  // wallpaper width in pixels
    QString Folder;    // where the file is written
};

// Loads the mask, builds the image with the colour text's colour and saves it as
// file. Every image of the build is freed whatever step fails.
void SaveWallpaperFile(const TWallpaperJob& job, const QString& colorText, const QString& file);

// Loads the mask, asks the desktop for its colour, builds the image, saves it
// as file and hands it to the desktop. Every image of the build is freed
// whatever step fails; the error goes on to the caller.
void BuildAndSetWallpaper(const TWallpaperJob& job, TDesktop& desktop, const QString& file);

// Runs wallpaper builds on a worker thread of its own, one at a time. A build
// asked for while one runs waits for it; a newer request replaces a waiting one.
class TWallpaperBuilder : public QObject {
    Q_OBJECT
public:
    explicit TWallpaperBuilder(std::shared_ptr<TDesktop> desktop, QObject* parent = nullptr);
    ~TWallpaperBuilder() override;
    TWallpaperBuilder(const TWallpaperBuilder&) = delete;
    TWallpaperBuilder& operator=(const TWallpaperBuilder&) = delete;

    void Build(TWallpaperJob job);
    // Drops a waiting build and waits until a running one has finished with
    // the desktop; after it returns nothing more is handed to the desktop (so
    // the user's wallpaper can be put back) until Build is called again.
    void Stop();
    // A build runs or waits.
    bool Busy() const;
    TDesktop& Desktop() const { return *DesktopService; }

signals:
    // After each build, on the builder's thread: the file handed to the desktop,
    // or the error that stopped the build (file then empty).
    void Finished(const QString& file, const QString& error);

private:
    void WorkerLoop();

    std::shared_ptr<TDesktop> DesktopService;
    mutable std::mutex Lock;
    std::condition_variable Wake;
    std::optional<TWallpaperJob> Pending;
    bool Running = false;
    bool Quit = false;
    std::atomic<std::uint64_t> Generation{0};
    std::mutex HandOver;
    std::uint64_t Builds = 0; // worker thread only
    // The finished builds, onto this object's thread.
    TPostedCalls* Posted;
    std::thread Worker;
};

} // namespace platform

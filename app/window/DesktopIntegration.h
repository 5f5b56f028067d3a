// What the main window does beyond itself: the wallpaper mode (the shaded map as
// the desktop wallpaper, renewed with every shadow update, the user's own put
// back when it ends), the desktop icons' text colours, and staying on top. The
// window creates one, hands it its commands and calls it from the map rebuild,
// the first activation and closing; the work happens here.
#pragma once

#include "kiv/KivFastDIB.h"
#include "platform/Desktop.h"
#include "platform/Wallpaper.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QWidget;

namespace app {

// The information shown when wallpaper mode is switched on.
extern const QString WallpaperModeMessage;
// Shown when the desktop offers no way to set the wallpaper.
extern const QString NoWallpaperMessage;
// The tooltip of the icon-text commands where the desktop has no icon list.
extern const QString NoIconListTip;

class TDesktopIntegration : public QObject {
    Q_OBJECT
public:
    // The commands the integration owns, by their names in the menus.
    struct TCommands {
        QAction* Wallpaper = nullptr;
        QAction* TranspDesk = nullptr;
        QAction* PISetDesktopIconTextColor = nullptr;
        QAction* Stayontop1 = nullptr;
        QAction* PIStayOnTop = nullptr;
    };

    // programDir: where "data" and the wallpaper file live (the program's own
    // directory when empty); desktop: the session's own when none is given.
    // Connects the commands to their handlers.
    TDesktopIntegration(QWidget* window, const TCommands& commands,
                        std::shared_ptr<platform::TDesktop> desktop, std::string programDir);
    ~TDesktopIntegration() override;

    // Set by the window: whether a shadow computation runs, and a call that
    // makes the next-but-one tick start one (the counter to SMUpdate - 1).
    std::function<bool()> ShadowBusy;
    std::function<void()> RefreshSoon;

    platform::TDesktop& Desktop() const { return *DesktopService; }
    platform::TWallpaperBuilder& Builder() const { return *WallpaperBuilder; }

    // At the first activation: the user's own wallpaper, to be put back later.
    void ReadUserWallpaper();
    const platform::TSavedWallpaper& SavedWallpaper() const { return Saved; }

    // "Wallpaper Mode" after its check mark changed (on: the message and an early
    // refresh; off: the user's wallpaper back).
    void WallpaperClick();
    // The stored mode: only the check mark, no message, no refresh.
    void SetWallpaperChecked(bool checked);
    // Step 3 of the map rebuild: starts a wallpaper build from the day image
    // (copied) when the mode is on. width is WallpaperWidth.
    void BuildWallpaper(const kiv::TFastDIB& day, int width);

    // "Transparent Desktop Icons" after its check mark changed.
    void TranspDeskClick();
    // "Set Desktop Icon Text Color...".
    void PISetDesktopIconTextColorClick();
    // Either "Stay on Top" item was chosen: both show the new state.
    void PIStayOnTopClick(QAction* chosen);

    // At every close, after the settings were saved: the wallpaper mode and the
    // icon transparency are switched off as their commands do. A failure is
    // reported without waiting for an answer when nobody may give one (the
    // program ends on a quit signal).
    void FormClose(bool answerable = true);

signals:
    // A wallpaper build ended: the file handed over, or the error.
    void WallpaperBuilt(const QString& file, const QString& error);

private:
    void BuildFinished(const QString& file, const QString& error);
    void Report(const QString& text);
    // Where the wallpaper files go, and the record of the user's wallpaper kept
    // there while ours is set.
    QString Folder() const;
    QString KeptFile() const;

    QWidget* Window;
    TCommands Commands;
    std::shared_ptr<platform::TDesktop> DesktopService;
    std::unique_ptr<platform::TWallpaperBuilder> WallpaperBuilder;
    std::string ProgramDir;
    platform::TSavedWallpaper Saved;
    // The last build error shown; the same error is not shown again until a
    // build succeeds.
    QString LastError;
    // The record of the user's wallpaper is on disk for this run's pictures.
    bool Kept = false;
    // A record that could not be written was reported (once a run).
    bool RecordFailureShown = false;
    // The desktop showed our picture at the start, left by an earlier run.
    bool OursLeftOver = false;
};

} // namespace app

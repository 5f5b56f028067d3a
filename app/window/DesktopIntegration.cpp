#include "app/window/DesktopIntegration.h"

#include "app/commandline/DataFiles.h"
#include "app/text/Messages.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivData.h"
#include "platform/WallpaperRecord.h"

#include <QAction>
#include <QColorDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QProcessEnvironment>
#include <QScreen>
#include <QWidget>

namespace app {

namespace {

// The desktop service of this session's desktop, over its screens.
std::shared_ptr<platform::TDesktop> SessionDesktop() {
    QStringList screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens << screen->name();
    }
    return platform::CreateDesktop(QProcessEnvironment::systemEnvironment(), screens);
}

} // namespace

const QString WallpaperModeMessage = QString::fromUtf8(strings::WallpaperMode);
const QString NoWallpaperMessage = QString::fromUtf8(strings::NoWallpaper);
const QString NoIconListTip =
    QStringLiteral("The text of the desktop icons can be changed only on Windows.");

TDesktopIntegration::TDesktopIntegration(QWidget* window, const TCommands& commands,
                                         std::shared_ptr<platform::TDesktop> desktop,
                                         std::string programDir)
    : QObject(window), Window(window), Commands(commands),
      DesktopService(desktop ? std::move(desktop) : SessionDesktop()),
      WallpaperBuilder(std::make_unique<platform::TWallpaperBuilder>(DesktopService)),
      ProgramDir(std::move(programDir)) {
    connect(WallpaperBuilder.get(), &platform::TWallpaperBuilder::Finished, this,
            &TDesktopIntegration::BuildFinished);

    const auto guarded = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, [this, handler] {
            try {
                handler();
            } catch (const std::exception& e) {
                Report(QString::fromUtf8(e.what()));
            }
        });
    };
    guarded(Commands.Wallpaper, [this] { WallpaperClick(); });
    guarded(Commands.TranspDesk, [this] { TranspDeskClick(); });
    guarded(Commands.PISetDesktopIconTextColor, [this] { PISetDesktopIconTextColorClick(); });
    guarded(Commands.Stayontop1, [this] { PIStayOnTopClick(Commands.Stayontop1); });
    guarded(Commands.PIStayOnTop, [this] { PIStayOnTopClick(Commands.PIStayOnTop); });
    for (QAction* a : {Commands.Wallpaper, Commands.Stayontop1, Commands.PIStayOnTop}) {
        a->setEnabled(true);
    }

    // Without an icon list the two icon commands cannot work; the transparency
    // check is still kept as loaded, so a settings file shared with Windows
    // loses nothing.
    const bool iconList = DesktopService->HasIconList();
    for (QAction* a : {Commands.TranspDesk, Commands.PISetDesktopIconTextColor}) {
        a->setEnabled(iconList);
        a->setToolTip(iconList ? a->text() : NoIconListTip);
        for (QObject* owner : a->associatedObjects()) {
            if (auto* menu = qobject_cast<QMenu*>(owner)) {
                menu->setToolTipsVisible(true);
            }
        }
    }
}

TDesktopIntegration::~TDesktopIntegration() = default;

void TDesktopIntegration::ReadUserWallpaper() {
    // Like the other settings at load: a failed read is silent, and then
    // nothing is ever written back.
    platform::TSavedWallpaper now;
    try {
        now = DesktopService->ReadWallpaper();
    } catch (const std::exception&) {
        now = {};
    }
    // Our own picture still on the desktop: the last run ended without putting
    // the user's back, and its record of the user's is the one to keep.
    const platform::TWallpaperRecord::TStart start =
        platform::TWallpaperRecord(KeptFile()).Start(DesktopService->Name(), now);
    Saved = start.Saved;
    Kept = false;
    // Ours left on the desktop is put back at the close even when the mode
    // comes up off (a kill before the mode was ever saved as on).
    OursLeftOver = platform::NamesOurWallpaper(now);
    QStringList told;
    if (start.Damaged) {
        told << (start.DamagedCopy.isEmpty()
                     ? TranslateMessage(QString::fromUtf8(strings::WallpaperRecordNotKept))
                           .arg(KeptFile(), start.Problem)
                     : TranslateMessage(QString::fromUtf8(strings::WallpaperRecordDamaged))
                           .arg(KeptFile(), start.Problem, start.DamagedCopy));
    }
    if (start.EntryMissing) {
        told
            << TranslateMessage(QString::fromUtf8(strings::WallpaperRecordMissing)).arg(KeptFile());
    }
    if (!told.isEmpty()) {
        ShowWarning(Window, told.join(QStringLiteral("\n\n")));
    }
}

QString TDesktopIntegration::Folder() const {
    return platform::WallpaperFolder(
        QString::fromStdString(ProgramDir.empty() ? kiv::ProgramDir() : ProgramDir));
}

QString TDesktopIntegration::KeptFile() const {
    return Folder() + QStringLiteral("/SavedWallpaper.json");
}

void TDesktopIntegration::WallpaperClick() {
    if (Commands.Wallpaper->isChecked()) {
        if (!DesktopService->CanSetWallpaper()) {
            Commands.Wallpaper->setChecked(false);
            ShowInformation(Window, NoWallpaperMessage);
            return;
        }
        if (!(ShadowBusy && ShadowBusy()) && RefreshSoon) {
            RefreshSoon();
        }
        ShowInformation(Window, WallpaperModeMessage);
        return;
    }
    // Off: nothing more reaches the desktop, then the user's own comes back,
    // and only then the record of it goes.
    WallpaperBuilder->Stop();
    DesktopService->RestoreWallpaper(Saved);
    platform::TWallpaperRecord(KeptFile()).Forget(DesktopService->Name());
    Kept = false;
    OursLeftOver = false;
}

void TDesktopIntegration::SetWallpaperChecked(bool checked) {
    Commands.Wallpaper->setChecked(checked);
}

void TDesktopIntegration::BuildWallpaper(const kiv::TFastDIB& day, int width) {
    if (!Commands.Wallpaper->isChecked() || !DesktopService->CanSetWallpaper() || day.Empty()) {
        return;
    }
    // The user's record is on disk before our picture first reaches the
    // desktop; while it cannot be written, ours is not set.
    if (!Kept) {
        try {
            platform::TWallpaperRecord(KeptFile()).Keep(DesktopService->Name(), Saved);
            Kept = true;
        } catch (const std::exception& e) {
            if (!RecordFailureShown) {
                RecordFailureShown = true;
                Report(TranslateMessage(QString::fromUtf8(strings::WallpaperRecordUnsaved))
                           .arg(KeptFile(), QString::fromUtf8(e.what())));
            }
            return;
        }
    }
    platform::TWallpaperJob job;
    job.Day = day;
    job.MaskFile = QString::fromStdString(kiv::ProgramPath(datafiles::WallpaperMask, ProgramDir));
    job.Width = width;
    job.Folder = Folder();
    WallpaperBuilder->Build(std::move(job));
}

void TDesktopIntegration::BuildFinished(const QString& file, const QString& error) {
    if (error.isEmpty()) {
        LastError.clear();
    } else if (error != LastError) {
        LastError = error;
        Report(error);
    }
    emit WallpaperBuilt(file, error);
}

void TDesktopIntegration::TranspDeskClick() {
    DesktopService->SetIconTextTransparent(Commands.TranspDesk->isChecked());
}

void TDesktopIntegration::PISetDesktopIconTextColorClick() {
    QColorDialog dialog(Window);
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    if (dialog.exec() == QDialog::Accepted) {
        const QColor c = dialog.selectedColor();
        DesktopService->SetIconTextColor(static_cast<std::uint32_t>(c.red()) << 16 |
                                         static_cast<std::uint32_t>(c.green()) << 8 |
                                         static_cast<std::uint32_t>(c.blue()));
    }
}

void TDesktopIntegration::PIStayOnTopClick(QAction* chosen) {
    const bool on = chosen->isChecked();
    Commands.Stayontop1->setChecked(on);
    Commands.PIStayOnTop->setChecked(on);
    if (Window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) {
        return;
    }
    // Changing the flag hides the window; it comes back as it was.
    const bool visible = Window->isVisible();
    const Qt::WindowStates state = Window->windowState();
    Window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) {
        Window->setWindowState(state);
        Window->show();
    }
}

void TDesktopIntegration::FormClose(bool answerable) {
    // Closing is never refused: a desktop that fails is reported and closing
    // goes on.
    try {
        if (Commands.Wallpaper->isChecked() || OursLeftOver) {
            Commands.Wallpaper->setChecked(false);
            WallpaperClick();
        }
        if (Commands.TranspDesk->isChecked() && DesktopService->HasIconList()) {
            Commands.TranspDesk->setChecked(false);
            TranspDeskClick();
        }
    } catch (const std::exception& e) {
        if (answerable) {
            Report(QString::fromUtf8(e.what()));
        } else {
            ReportWithoutWaiting(TMessageKind::Error, QString::fromUtf8(e.what()));
        }
    }
    WallpaperBuilder->Stop();
}

void TDesktopIntegration::Report(const QString& text) {
    ShowError(Window, text);
}

} // namespace app

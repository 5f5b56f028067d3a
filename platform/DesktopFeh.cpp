// Other X11 window managers: feh draws the picture on the root window. It reads
// the file at every call, so one file name serves every build. The user's own
// background is the command feh keeps in ~/.fehbg; we never overwrite that file
// and run it again to restore.
#include "platform/DesktopBackends.h"

#include <QFileInfo>

namespace platform {

namespace {

class TFehDesktop final : public TDesktop {
public:
    TFehDesktop(TRunProgram run, const QString& homeDir)
        : Run(std::move(run)), FehBg(homeDir + QStringLiteral("/.fehbg")) {}

    QString Name() const override { return QStringLiteral("feh"); }
    bool NeedsNewFileName() const override { return false; }

    TSavedWallpaper ReadWallpaper() override {
        TSavedWallpaper saved;
        saved.Valid = true;
        if (QFileInfo::exists(FehBg)) {
            saved.Values.push_back({QStringLiteral("fehbg"), FehBg});
        }
        return saved;
    }

    QString BackgroundColor() override { return {}; }

    void SetWallpaper(const QString& imagePath) override {
        QString ignored;
        if (Run(QStringLiteral("feh"),
                {QStringLiteral("--no-fehbg"), QStringLiteral("--bg-center"), imagePath},
                &ignored) != 0) {
            throw EDesktopError("feh could not set the wallpaper.");
        }
    }

    void RestoreWallpaper(const TSavedWallpaper& saved) override {
        const QString script = saved.Get(QStringLiteral("fehbg"));
        if (!saved.Valid || script.isEmpty()) {
            return; // nothing kept: the root window keeps our picture
        }
        QString ignored;
        Run(QStringLiteral("sh"), {script}, &ignored);
    }

private:
    TRunProgram Run;
    QString FehBg;
};

} // namespace

std::unique_ptr<TDesktop> CreateFehDesktop(TRunProgram run, const QString& homeDir) {
    return std::make_unique<TFehDesktop>(std::move(run), homeDir);
}

} // namespace platform

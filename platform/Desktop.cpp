#include "platform/Desktop.h"

#include <QProcess>

namespace platform {

QString TSavedWallpaper::Get(const QString& key) const {
    for (const TDesktopValue& v : Values) {
        if (v.Key == key) {
            return v.Value.value_or(QString());
        }
    }
    return {};
}

int RunProgram(const QString& program, const QStringList& args, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args, QIODevice::ReadOnly);
    if (!process.waitForStarted(10000)) {
        return -1;
    }
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    if (output) {
        *output = QString::fromUtf8(process.readAllStandardOutput());
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString DesktopFamily(const QString& xdgCurrentDesktop) {
    static const std::pair<const char*, const char*> Families[] = {
        {"gnome", "GNOME"},
        {"gnome-classic", "GNOME"},
        {"gnome-flashback", "GNOME"},
        {"ubuntu", "GNOME"},
        {"budgie", "GNOME"},
        {"unity", "GNOME"},
        {"pantheon", "GNOME"},
        {"x-cinnamon", "Cinnamon"},
        {"cinnamon", "Cinnamon"},
        {"mate", "MATE"},
        {"kde", "KDE"},
        {"xfce", "XFCE"},
    };
    for (const QString& part : xdgCurrentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed().toLower();
        for (const auto& [known, family] : Families) {
            if (name == QLatin1String(known)) {
                return QLatin1String(family);
            }
        }
    }
    return {};
}

std::optional<std::uint32_t> ParseColorText(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(' '));
    if (parts.size() != 3) {
        return std::nullopt;
    }
    std::uint32_t packed = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const int v = part.toInt(&ok);
        if (!ok || v < 0 || v > 255) {
            return std::nullopt;
        }
        packed = packed * 256 + static_cast<std::uint32_t>(v);
    }
    return packed;
}

QString HexColorToText(QString hex) {
    hex = hex.trimmed();
    if (!hex.startsWith(QLatin1Char('#'))) {
        return {};
    }
    hex.remove(0, 1);
    if (hex.size() != 3 && hex.size() != 6 && hex.size() != 12) {
        return {};
    }
    const int digits = static_cast<int>(hex.size()) / 3;
    QStringList channels;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const unsigned v = hex.mid(i * digits, digits).toUInt(&ok, 16);
        if (!ok) {
            return {};
        }
        // Scale each channel to 0..255 whatever its number of digits.
        const unsigned max = (1u << (4 * digits)) - 1;
        channels << QString::number((v * 255 + max / 2) / max);
    }
    return channels.join(QLatin1Char(' '));
}

namespace {

class TNoDesktop final : public TDesktop {
public:
    QString Name() const override { return QStringLiteral("none"); }
    bool CanSetWallpaper() const override { return false; }
    bool NeedsNewFileName() const override { return false; }
    TSavedWallpaper ReadWallpaper() override { return {}; }
    QString BackgroundColor() override { return {}; }
    void SetWallpaper(const QString&) override {
        throw EDesktopError("This desktop offers no way to set the wallpaper.");
    }
    void RestoreWallpaper(const TSavedWallpaper&) override {}
};

} // namespace

std::unique_ptr<TDesktop> CreateNoDesktop() {
    return std::make_unique<TNoDesktop>();
}

} // namespace platform

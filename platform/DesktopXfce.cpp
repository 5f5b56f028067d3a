// XFCE back end: the xfce4-desktop channel of xfconf. The desktop keeps one
// backdrop per monitor and workspace under
// /backdrop/screen<n>/monitor<name>/workspace<n>/; we set and restore every one.
#include "platform/DesktopBackends.h"

#include <QRegularExpression>

#include <cmath>
#include <set>

namespace platform {

namespace {

const QString Channel = QStringLiteral("xfce4-desktop");
const QString ImageKey = QStringLiteral("last-image");
const QString StyleKey = QStringLiteral("image-style");
// image-style 1 places the picture in the middle at its own size.
const QString Centred = QStringLiteral("1");

class TXfceDesktop final : public TDesktop {
public:
    TXfceDesktop(TRunProgram run, QStringList monitorNames)
        : Run(std::move(run)), Monitors(std::move(monitorNames)) {}

    QString Name() const override { return QStringLiteral("XFCE"); }

    TSavedWallpaper ReadWallpaper() override {
        TSavedWallpaper saved;
        for (const QString& prefix : Backdrops()) {
            for (const QString& key : {ImageKey, StyleKey}) {
                saved.Values.push_back({prefix + key, Get(prefix + key)});
            }
        }
        saved.Valid = true;
        return saved;
    }

    QString BackgroundColor() override {
        for (const QString& prefix : Existing()) {
            // rgba1: four doubles 0..1 (current); color1: four 16-bit numbers (older).
            if (const auto rgba = Numbers(prefix + QStringLiteral("rgba1")); rgba.size() >= 3) {
                return Text(rgba, 255.0);
            }
            if (const auto color = Numbers(prefix + QStringLiteral("color1")); color.size() >= 3) {
                return Text(color, 255.0 / 65535.0);
            }
        }
        return {};
    }

    void SetWallpaper(const QString& imagePath) override {
        for (const QString& prefix : Backdrops()) {
            Set(prefix + StyleKey, QStringLiteral("int"), Centred);
            Set(prefix + ImageKey, QStringLiteral("string"), imagePath);
        }
    }

    void RestoreWallpaper(const TSavedWallpaper& saved) override {
        if (!saved.Valid) {
            return;
        }
        for (const TDesktopValue& v : saved.Values) {
            if (v.Value) {
                Set(v.Key,
                    v.Key.endsWith(StyleKey) ? QStringLiteral("int") : QStringLiteral("string"),
                    *v.Value);
            } else {
                QString ignored;
                Run(QStringLiteral("xfconf-query"),
                    {QStringLiteral("-c"), Channel, QStringLiteral("-p"), v.Key,
                     QStringLiteral("-r")},
                    &ignored);
            }
        }
    }

private:
    // The backdrop prefixes the channel holds now.
    std::set<QString> Existing() {
        QString list;
        if (Run(QStringLiteral("xfconf-query"),
                {QStringLiteral("-c"), Channel, QStringLiteral("-l")}, &list) != 0) {
            return {};
        }
        static const QRegularExpression backdrop(
            QStringLiteral("^(/backdrop/screen\\d+/monitor[^/]+/workspace\\d+/)[^/]+$"));
        std::set<QString> prefixes;
        for (const QString& line : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = backdrop.match(line.trimmed());
            if (m.hasMatch()) {
                prefixes.insert(m.captured(1));
            }
        }
        return prefixes;
    }

    // Every backdrop: those the channel holds, and one per workspace of each
    // known monitor (a new user's channel holds none until the desktop's
    // settings are first changed). Without either, the first monitor's.
    std::set<QString> Backdrops() {
        std::set<QString> prefixes = Existing();
        int workspaces = 1;
        QString count;
        if (!Monitors.isEmpty() &&
            Run(QStringLiteral("xfconf-query"),
                {QStringLiteral("-c"), QStringLiteral("xfwm4"), QStringLiteral("-p"),
                 QStringLiteral("/general/workspace_count")},
                &count) == 0) {
            workspaces = std::clamp(count.trimmed().toInt(), 1, 64);
        }
        for (const QString& monitor : Monitors) {
            for (int w = 0; w < workspaces; ++w) {
                prefixes.insert(
                    QStringLiteral("/backdrop/screen0/monitor%1/workspace%2/").arg(monitor).arg(w));
            }
        }
        if (prefixes.empty()) {
            prefixes.insert(QStringLiteral("/backdrop/screen0/monitor0/workspace0/"));
        }
        return prefixes;
    }

    std::optional<QString> Get(const QString& property) {
        QString value;
        if (Run(QStringLiteral("xfconf-query"),
                {QStringLiteral("-c"), Channel, QStringLiteral("-p"), property}, &value) != 0) {
            return std::nullopt; // not set
        }
        if (value.endsWith(QLatin1Char('\n'))) {
            value.chop(1);
        }
        return value;
    }

    // The numbers of an array property ("Value is an array with 4 items:" and
    // one number a line).
    std::vector<double> Numbers(const QString& property) {
        std::vector<double> numbers;
        QString text;
        if (Run(QStringLiteral("xfconf-query"),
                {QStringLiteral("-c"), Channel, QStringLiteral("-p"), property}, &text) != 0) {
            return numbers;
        }
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            bool ok = false;
            const double v = line.trimmed().toDouble(&ok);
            if (ok) {
                numbers.push_back(v);
            }
        }
        return numbers;
    }

    static QString Text(const std::vector<double>& channels, double scale) {
        QStringList parts;
        for (int i = 0; i < 3; ++i) {
            parts << QString::number(
                std::clamp(static_cast<int>(std::lround(channels[i] * scale)), 0, 255));
        }
        return parts.join(QLatin1Char(' '));
    }

    // Sets the property, creating it with the type when it does not exist.
    void Set(const QString& property, const QString& type, const QString& value) {
        QString ignored;
        if (Run(QStringLiteral("xfconf-query"),
                {QStringLiteral("-c"), Channel, QStringLiteral("-p"), property,
                 QStringLiteral("-n"), QStringLiteral("-t"), type, QStringLiteral("-s"), value},
                &ignored) != 0) {
            throw EDesktopError("Could not change the desktop setting " + property.toStdString() +
                                ".");
        }
    }

    TRunProgram Run;
    QStringList Monitors;
};

} // namespace

std::unique_ptr<TDesktop> CreateXfceDesktop(TRunProgram run, QStringList monitorNames) {
    return std::make_unique<TXfceDesktop>(std::move(run), std::move(monitorNames));
}

} // namespace platform

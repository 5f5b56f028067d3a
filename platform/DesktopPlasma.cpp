// KDE Plasma back end: the shell's scripting call. Every desktop (one per screen
// and activity) has its own wallpaper plugin and image configuration.
#include "platform/DesktopBackends.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>

namespace platform {

namespace {

const QString ImageGroup = QStringLiteral("[\"Wallpaper\", \"org.kde.image\", \"General\"]");
// The image plugin's FillMode 6 pads the picture: centred at its own size.
const QString Centred = QStringLiteral("6");

// A script string literal.
QString JsString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c.unicode() < 0x20) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

class TPlasmaDesktop final : public TDesktop {
public:
    explicit TPlasmaDesktop(TPlasmaEvaluate evaluate) : Evaluate(std::move(evaluate)) {}

    QString Name() const override { return QStringLiteral("KDE"); }

    // One line per desktop: id, plugin, image and fill mode, tab-separated.
    // Saved keys are "<id>/plugin", "<id>/Image" and "<id>/FillMode".
    TSavedWallpaper ReadWallpaper() override {
        const QString out = Evaluate(
            QStringLiteral("var lines = [];\n"
                           "desktops().forEach(function (d) {\n"
                           "    var plugin = d.wallpaperPlugin;\n"
                           "    d.currentConfigGroup = %1;\n"
                           "    lines.push([d.id, plugin, d.readConfig(\"Image\", \"\"),\n"
                           "                d.readConfig(\"FillMode\", \"\")].join(\"\\t\"));\n"
                           "});\n"
                           "print(lines.join(\"\\n\"));\n")
                .arg(ImageGroup));
        TSavedWallpaper saved;
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QLatin1Char('\t'));
            if (f.size() < 4) {
                continue;
            }
            const QString id = f[0];
            saved.Values.push_back({id + QStringLiteral("/plugin"), f[1]});
            saved.Values.push_back({id + QStringLiteral("/Image"), f[2]});
            saved.Values.push_back({id + QStringLiteral("/FillMode"), f[3]});
        }
        saved.Valid = true;
        return saved;
    }

    QString BackgroundColor() override {
        // The image plugin's fill colour of the first desktop: "r,g,b" or "#rrggbb".
        const QString color =
            Evaluate(QStringLiteral("var d = desktops()[0];\n"
                                    "if (d) { d.currentConfigGroup = %1;\n"
                                    "         print(d.readConfig(\"Color\", \"\")); }\n")
                         .arg(ImageGroup))
                .trimmed();
        const QString hex = HexColorToText(color);
        if (!hex.isEmpty()) {
            return hex;
        }
        QStringList parts = color.split(QLatin1Char(','));
        if (parts.size() < 3) {
            return {};
        }
        parts = parts.mid(0, 3);
        for (QString& part : parts) {
            part = part.trimmed();
        }
        const QString text = parts.join(QLatin1Char(' '));
        return ParseColorText(text) ? text : QString();
    }

    void SetWallpaper(const QString& imagePath) override {
        const QString url = QUrl::fromLocalFile(imagePath).toString(QUrl::FullyEncoded);
        Evaluate(QStringLiteral("desktops().forEach(function (d) {\n"
                                "    d.wallpaperPlugin = \"org.kde.image\";\n"
                                "    d.currentConfigGroup = %1;\n"
                                "    d.writeConfig(\"FillMode\", %2);\n"
                                "    d.writeConfig(\"Image\", %3);\n"
                                "});\n")
                     .arg(ImageGroup, Centred, JsString(url)));
    }

    void RestoreWallpaper(const TSavedWallpaper& saved) override {
        if (!saved.Valid || saved.Values.empty()) {
            return;
        }
        QString script;
        for (std::size_t i = 0; i + 2 < saved.Values.size(); i += 3) {
            const QString id = saved.Values[i].Key.section(QLatin1Char('/'), 0, 0);
            script += QStringLiteral("(function (d) {\n"
                                     "    if (!d) return;\n"
                                     "    d.wallpaperPlugin = \"org.kde.image\";\n"
                                     "    d.currentConfigGroup = %1;\n"
                                     "    d.writeConfig(\"FillMode\", %2);\n"
                                     "    d.writeConfig(\"Image\", %3);\n"
                                     "    d.wallpaperPlugin = %4;\n"
                                     "})(desktopById(%5));\n")
                          .arg(ImageGroup, JsString(saved.Values[i + 2].Value.value_or(QString())),
                               JsString(saved.Values[i + 1].Value.value_or(QString())),
                               JsString(saved.Values[i].Value.value_or(QString())), id);
        }
        Evaluate(script);
    }

private:
    TPlasmaEvaluate Evaluate;
};

} // namespace

std::unique_ptr<TDesktop> CreatePlasmaDesktop(TPlasmaEvaluate evaluate) {
    return std::make_unique<TPlasmaDesktop>(std::move(evaluate));
}

QString PlasmaEvaluateOverDBus(const QString& script) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
        QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
    call << script;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        throw EDesktopError("The Plasma shell did not take the wallpaper: " +
                            reply.errorMessage().toStdString());
    }
    return reply.arguments().value(0).toString();
}

bool PlasmaShellRunning() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.kde.plasmashell")).value();
}

} // namespace platform

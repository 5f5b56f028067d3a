// GSettings back end (GNOME family, Cinnamon, MATE).
#include "platform/DesktopBackends.h"

#include <QUrl>

namespace platform {

namespace {

struct TSchema {
    QString Schema;
    QString DconfPath;       // where dconf keeps the schema's keys
    QStringList PictureKeys; // the keys that name the picture
    bool PictureIsUri = true;
};

TSchema SchemaOf(const QString& family) {
    if (family == QLatin1String("Cinnamon")) {
        return {QStringLiteral("org.cinnamon.desktop.background"),
                QStringLiteral("/org/cinnamon/desktop/background/"),
                {QStringLiteral("picture-uri")},
                true};
    }
    if (family == QLatin1String("MATE")) {
        return {QStringLiteral("org.mate.background"),
                QStringLiteral("/org/mate/desktop/background/"),
                {QStringLiteral("picture-filename")},
                false};
    }
    return {QStringLiteral("org.gnome.desktop.background"),
            QStringLiteral("/org/gnome/desktop/background/"),
            {QStringLiteral("picture-uri"), QStringLiteral("picture-uri-dark")},
            true};
}

// A GVariant string literal.
QString Quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    escaped.replace(QLatin1String("'"), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

// The text of a printed GVariant string ('...' or "..."), unescaped.
QString Unquoted(QString printed) {
    printed = printed.trimmed();
    if (printed.size() >= 2 &&
        (printed.front() == QLatin1Char('\'') || printed.front() == QLatin1Char('"'))) {
        printed = printed.mid(1, printed.size() - 2);
        QString out;
        for (qsizetype i = 0; i < printed.size(); ++i) {
            if (printed[i] == QLatin1Char('\\') && i + 1 < printed.size()) {
                ++i;
            }
            out += printed[i];
        }
        return out;
    }
    return printed;
}

const QString OptionsKey = QStringLiteral("picture-options");

class TGSettingsDesktop final : public TDesktop {
public:
    TGSettingsDesktop(const QString& family, TRunProgram run)
        : Family(family), S(SchemaOf(family)), Run(std::move(run)) {
        // Older schemas lack some keys (no dark picture before GNOME 42).
        QString keys;
        if (Run(QStringLiteral("gsettings"), {QStringLiteral("list-keys"), S.Schema}, &keys) == 0) {
            const QStringList present = keys.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (!present.isEmpty()) {
                S.PictureKeys.removeIf([&](const QString& k) { return !present.contains(k); });
            }
        }
        // dconf tells a value the user set from the schema's default.
        QString ignored;
        HaveDconf = Run(QStringLiteral("dconf"), {QStringLiteral("help")}, &ignored) == 0;
    }

    QString Name() const override { return Family; }

    TSavedWallpaper ReadWallpaper() override {
        TSavedWallpaper saved;
        QStringList keys = S.PictureKeys;
        keys << OptionsKey;
        for (const QString& key : keys) {
            TDesktopValue value{key, Get(key)};
            if (HaveDconf) {
                QString stored;
                if (Run(QStringLiteral("dconf"), {QStringLiteral("read"), S.DconfPath + key},
                        &stored) == 0 &&
                    stored.trimmed().isEmpty()) {
                    value.Value.reset();
                }
            }
            saved.Values.push_back(value);
        }
        saved.Valid = true;
        return saved;
    }

    QString BackgroundColor() override {
        QString printed;
        if (Run(QStringLiteral("gsettings"),
                {QStringLiteral("get"), S.Schema, QStringLiteral("primary-color")},
                &printed) != 0) {
            return {};
        }
        return HexColorToText(Unquoted(printed));
    }

    void SetWallpaper(const QString& imagePath) override {
        const QString picture = S.PictureIsUri
                                    ? QUrl::fromLocalFile(imagePath).toString(QUrl::FullyEncoded)
                                    : imagePath;
        // The placement first, so the new picture never shows stretched.
        Set(OptionsKey, Quoted(QStringLiteral("centered")));
        for (const QString& key : S.PictureKeys) {
            Set(key, Quoted(picture));
        }
    }

    void RestoreWallpaper(const TSavedWallpaper& saved) override {
        if (!saved.Valid) {
            return;
        }
        for (const TDesktopValue& v : saved.Values) {
            if (v.Value) {
                Set(v.Key, *v.Value);
            } else {
                Call({QStringLiteral("reset"), S.Schema, v.Key});
            }
        }
    }

private:
    std::optional<QString> Get(const QString& key) {
        QString printed;
        if (Run(QStringLiteral("gsettings"), {QStringLiteral("get"), S.Schema, key}, &printed) !=
            0) {
            throw EDesktopError("Could not read the desktop setting " +
                                (S.Schema + QLatin1Char(' ') + key).toStdString() + ".");
        }
        return printed.trimmed();
    }

    void Set(const QString& key, const QString& gvariantText) {
        Call({QStringLiteral("set"), S.Schema, key, gvariantText});
    }

    void Call(const QStringList& args) {
        QString ignored;
        if (Run(QStringLiteral("gsettings"), args, &ignored) != 0) {
            throw EDesktopError("Could not change the desktop setting " +
                                (args.value(1) + QLatin1Char(' ') + args.value(2)).toStdString() +
                                ".");
        }
    }

    QString Family;
    TSchema S;
    TRunProgram Run;
    bool HaveDconf = false;
};

} // namespace

std::unique_ptr<TDesktop> CreateGSettingsDesktop(const QString& family, TRunProgram run) {
    return std::make_unique<TGSettingsDesktop>(family, std::move(run));
}

} // namespace platform

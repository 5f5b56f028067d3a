// The store as one text file, for systems without a registry.
#ifndef _WIN32

#include "platform/RegFile.h"
#include "platform/RegistryBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

const QString Root = QStringLiteral("HKEY_CURRENT_USER");

QString Full(const QString& key) {
    return key.isEmpty() ? Root : Root + QLatin1Char('\\') + key;
}

[[noreturn]] void FailedToSet(const QString& what) {
    throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(what).toStdString());
}

class TFileBackend : public TRegistryBackend {
public:
    explicit TFileBackend(const QString& fileDir) : File(SettingsFilePath(fileDir)) {
        QFile file(File);
        if (!file.exists()) {
            return;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            ReadProblems << QStringLiteral("the file cannot be read: %1").arg(file.errorString());
            return;
        }
        Text = file.readAll();
        TRegParseResult parsed = ParseRegText(Text);
        Tree = std::move(parsed.Tree);
        ReadProblems = std::move(parsed.Problems);
    }

    bool KeyExists(const QString& key) const override { return Tree.Exists(Full(key)); }

    std::optional<TRegValue> Value(const QString& key, const QString& name) const override {
        const TRegKey* k = Tree.Find(Full(key));
        if (!k) {
            return std::nullopt;
        }
        const TRegValue* v = k->Find(name);
        return v ? std::optional<TRegValue>(*v) : std::nullopt;
    }

    void Commit(const std::vector<TRegWrite>& writes) override {
        TRegTree next = Tree;
        for (const TRegWrite& w : writes) {
            TRegKey& key = next.Make(Full(w.Key));
            if (w.Value) {
                key.Set(w.Name, *w.Value);
            }
        }
        const QByteArray text = FormatRegText(next);
        if (text == Text && ReadProblems.isEmpty() && QFileInfo::exists(File)) {
            // The file already says exactly this: no write, no disk flush.
            Tree = std::move(next);
            return;
        }
        // A temporary file beside the old one, flushed to disk, then renamed
        // over it: a crash at any moment leaves the old file or the new one.
        if (!QDir().mkpath(QFileInfo(File).absolutePath())) {
            FailedToSet(File);
        }
        QSaveFile file(File);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            FailedToSet(File);
        }
        // A short write (a full disk) is no error to QSaveFile, which would
        // then put the cut file in place: count the bytes and cancel.
        if (file.write(text) != text.size() || file.size() != text.size()) {
            file.cancelWriting();
            file.commit();
            FailedToSet(File);
        }
        if (!file.commit()) {
            FailedToSet(File);
        }
        Tree = std::move(next);
        Text = text;
    }

    QStringList Problems() const override { return ReadProblems; }
    QString FileName() const override { return File; }

private:
    QString File;
    TRegTree Tree;
    QByteArray Text; // the file as read or last written
    QStringList ReadProblems;
};

} // namespace

std::unique_ptr<TRegistryBackend> MakeRegistryBackend(const QString& fileDir) {
    return std::make_unique<TFileBackend>(fileDir);
}

} // namespace platform

#endif

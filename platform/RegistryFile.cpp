// The store as one text file, for systems without a registry.
#ifndef _WIN32

#include "platform/RegFile.h"
#include "platform/RegistryBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <string>

namespace platform {

namespace {

const std::string Root = "HKEY_CURRENT_USER";

std::string Full(const std::string& key) {
    return key.empty() ? Root : Root + '\\' + key;
}

[[noreturn]] void FailedToSet(const QString& what) {
    throw ERegistryException("Failed to set data for '" + what.toStdString() + "'");
}

class TFileBackend : public TRegistryBackend {
public:
    explicit TFileBackend(const std::string& fileDir)
        : File(QString::fromStdString(SettingsFilePath(fileDir))) {
        QFile file(File);
        if (!file.exists()) {
            return;
        }
        if (QFileInfo(File).isDir()) {
            ReadProblems.push_back("Cannot open file \"" + File.toStdString() +
                                   "\". It is a directory");
            return;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            ReadProblems.push_back("the file cannot be read: " + file.errorString().toStdString());
            return;
        }
        // At most one byte past the limit is read, also from a file that grows
        // meanwhile or a device without an end.
        QByteArray text =
            file.size() > SettingsFileLimit ? QByteArray() : file.read(SettingsFileLimit + 1);
        if (file.size() > SettingsFileLimit || text.size() > SettingsFileLimit) {
            TooLarge = true;
            ReadProblems.push_back("Cannot open file \"" + File.toStdString() +
                                   "\". It is too large (" +
                                   std::to_string(std::max<qint64>(file.size(), text.size())) +
                                   " bytes; a settings file holds at most " +
                                   std::to_string(SettingsFileLimit / (1024 * 1024)) + " MiB)");
            return;
        }
        Text = std::move(text);
        TRegParseResult parsed = ParseRegText(std::string_view(Text.constData(), Text.size()));
        Tree = std::move(parsed.Tree);
        ReadProblems = std::move(parsed.Problems);
    }

    bool KeyExists(const std::string& key) const override { return Tree.Exists(Full(key)); }

    std::optional<TRegValue> Value(const std::string& key, const std::string& name) const override {
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
        const QByteArray text = QByteArray::fromStdString(FormatRegText(next));
        if (text == Text && ReadProblems.empty() && QFileInfo::exists(File)) {
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

    std::vector<std::string> Problems() const override { return ReadProblems; }
    std::string FileName() const override { return File.toStdString(); }

    std::string KeepCopy(const std::string& suffix) const override {
        if (!QFileInfo::exists(File)) {
            return {};
        }
        const QString base = File + QString::fromStdString(suffix);
        QString copy = base;
        for (int n = 2; QFileInfo::exists(copy); ++n) {
            copy = base + QLatin1Char('-') + QString::number(n);
        }
        if (!TooLarge && QFile::copy(File, copy)) {
            return copy.toStdString();
        }
        // What cannot be copied (a file without read permission, a directory)
        // or would fill the disk twice over (a file too large to read) is moved
        // aside whole instead, so that the next save neither fails on it nor
        // replaces it; the store starts from nothing then.
        return QDir().rename(File, copy) ? copy.toStdString() : std::string();
    }

private:
    QString File;
    TRegTree Tree;
    QByteArray Text; // the file as read or last written
    std::vector<std::string> ReadProblems;
    bool TooLarge = false; // larger than SettingsFileLimit: not read
};

} // namespace

std::unique_ptr<TRegistryBackend> MakeRegistryBackend(const std::string& fileDir) {
    return std::make_unique<TFileBackend>(fileDir);
}

std::string SettingsFilePath(const std::string& dir) {
    QString folder = QString::fromStdString(dir);
    if (folder.isEmpty()) {
        // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/chronara");
    }
    return QDir(folder).filePath(QStringLiteral("Chronara.reg")).toStdString();
}

} // namespace platform

#endif

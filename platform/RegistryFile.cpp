// The store as one text file, for systems without a registry.
#ifndef _WIN32

#include "platform/RegFile.h"
#include "platform/RegistryBackend.h"
#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const std::string Root = "HKEY_CURRENT_USER";

std::string Full(const std::string& key) {
    return key.empty() ? Root : Root + '\\' + key;
}

// The store's write error, with its cause.
[[noreturn]] void FailedToSet(const QString& what, const QString& why) {
    throw ERegistryException("Failed to set data for '" + what.toStdString() + "' (" +
                             why.toStdString() + ")");
}

class TFileBackend : public TRegistryBackend {
public:
    explicit TFileBackend(const std::string& fileDir)
        : File(QString::fromStdString(SettingsFilePath(fileDir))) {
        const QFileInfo info(File);
        if (!info.exists() && !info.isSymLink()) {
            return;
        }
        if (info.isDir()) {
            Unread = true;
            ReadProblems.push_back("Cannot open file \"" + File.toStdString() +
                                   "\". It is a directory");
            return;
        }
        // Only a plain file is opened, and without waiting: a named pipe or a
        // device would block the start for good (and keep the single-instance
        // lock with it).
        const int fd =
            ::open(QFile::encodeName(File).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat status {};
        if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            const std::string why = fd < 0 ? std::strerror(errno) : "It is not a plain file";
            if (fd >= 0) {
                ::close(fd);
            }
            Unread = true;
            ReadProblems.push_back("Cannot open file \"" + File.toStdString() + "\". " + why);
            return;
        }
        QFile file;
        if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            Unread = true;
            ReadProblems.push_back("the file cannot be read: " + file.errorString().toStdString());
            return;
        }
        // At most one byte past the limit is read, also from a file that grows
        // meanwhile or a device without an end.
        QByteArray text =
            file.size() > SettingsFileLimit ? QByteArray() : file.read(SettingsFileLimit + 1);
        if (file.size() > SettingsFileLimit || text.size() > SettingsFileLimit) {
            Unread = true;
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
        const QString folder = QFileInfo(File).absolutePath();
        if (!QDir().mkpath(folder)) {
            FailedToSet(File, QStringLiteral("the folder \"%1\" cannot be made").arg(folder));
        }
        if (const auto why = WriteWholeFile(File, text)) {
            FailedToSet(File, *why);
        }
        Tree = std::move(next);
        Text = text;
    }

    std::vector<std::string> Problems() const override { return ReadProblems; }
    std::string FileName() const override { return File.toStdString(); }

    std::string KeepCopy(const std::string& suffix) const override {
        const QFileInfo info(File);
        if (!info.exists() && !info.isSymLink()) {
            return {};
        }
        const QString base = File + QString::fromStdString(suffix);
        QString copy = base;
        for (int n = 2; QFileInfo::exists(copy) || QFileInfo(copy).isSymLink(); ++n) {
            // A copy of these very bytes is kept already (a store that cannot
            // be rewritten is found damaged at every start): one is enough.
            if (!Unread && SameBytes(copy)) {
                return copy.toStdString();
            }
            copy = base + QLatin1Char('-') + QString::number(n);
        }
        if (Unread) {
            // What could not be read (a directory, no read permission, a
            // named pipe, a file too large to read) is moved aside whole, so
            // that the next save neither fails on it nor replaces it; the store
            // starts from nothing then.
            if (QDir().rename(File, copy)) {
                return copy.toStdString();
            }
            throw ERegistryException("It could not be moved aside");
        }
        // What was read stays where it is whatever happens to the copy: on a
        // full disk the copy fails, never the store.
        if (const auto why = WriteWholeFile(copy, Text)) {
            throw ERegistryException(why->toStdString());
        }
        return copy.toStdString();
    }

private:
    QString File;
    TRegTree Tree;
    QByteArray Text; // the file as read or last written
    std::vector<std::string> ReadProblems;
    // Not read at all (a directory, not a plain file, no permission, larger
    // than SettingsFileLimit).
    bool Unread = false;

    bool SameBytes(const QString& other) const {
        QFile f(other);
        return QFileInfo(other).isFile() && f.size() == Text.size() &&
               f.open(QIODevice::ReadOnly) && f.readAll() == Text;
    }
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

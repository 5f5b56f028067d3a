#include "platform/WallpaperRecord.h"

#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <set>

namespace platform {

namespace {

// A record holds a few hundred bytes; anything much larger is not one.
constexpr qint64 RecordLimit = 1024 * 1024;

const QString KeyName = QStringLiteral("key");
const QString ValueName = QStringLiteral("value");

// A value that names a file (a picture), as opposed to a placement or style.
bool NamesAFile(const std::optional<QString>& value) {
    return value && (value->contains(QLatin1Char('/')) || value->contains(QLatin1Char('\\')));
}

// The group a key belongs to: the part up to its last "/" (one backdrop of
// one monitor, one Plasma desktop), or empty.
QString GroupOf(const QString& key) {
    return key.left(key.lastIndexOf(QLatin1Char('/')) + 1);
}

const TDesktopValue* Find(const std::vector<TDesktopValue>* values, const QString& key) {
    if (values) {
        for (const TDesktopValue& v : *values) {
            if (v.Key == key) {
                return &v;
            }
        }
    }
    return nullptr;
}

// The values of one desktop's entry; false when it is not of the record's form.
bool ValuesOf(const QJsonValue& entry, std::vector<TDesktopValue>& values) {
    if (!entry.isArray() || entry.toArray().isEmpty()) {
        return false;
    }
    for (const QJsonValue& item : entry.toArray()) {
        const QJsonObject o = item.toObject();
        const QJsonValue key = o.value(KeyName);
        const QJsonValue value = o.value(ValueName);
        if (!key.isString() || !(value.isString() || value.isNull())) {
            return false;
        }
        values.push_back(
            {key.toString(), value.isString() ? std::optional(value.toString()) : std::nullopt});
    }
    return true;
}

// A JSON string literal's text.
QString Unescaped(const QString& literal) {
    const QJsonDocument doc =
        QJsonDocument::fromJson((QLatin1Char('[') + literal + QLatin1Char(']')).toUtf8());
    return doc.array().at(0).toString();
}

// What can be read of a damaged file: each desktop's name where its entry
// starts, and each whole key and value pair after it.
void Recover(const QString& text, std::map<QString, std::vector<TDesktopValue>>& entries) {
    static const QRegularExpression pattern(QStringLiteral(
        R"re(("(?:[^"\\]|\\.)*")\s*:\s*\[|\{\s*"key"\s*:\s*("(?:[^"\\]|\\.)*")\s*,\s*"value"\s*:\s*("(?:[^"\\]|\\.)*"|null)\s*\})re"));
    QString desktop;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(1) > 0) {
            desktop = Unescaped(m.captured(1));
            continue;
        }
        const QString value = m.captured(3);
        entries[desktop].push_back(
            {Unescaped(m.captured(2)),
             value == QLatin1String("null") ? std::nullopt : std::optional(Unescaped(value))});
    }
}

// Moves a damaged file aside under a name not taken yet, or to the copy that
// already holds the same bytes. The new name, or empty when it cannot move.
QString SetAside(const QString& file, const QByteArray& bytes, bool readWhole) {
    const QString base = file + QStringLiteral(".damaged");
    QString copy = base;
    for (int n = 2; QFileInfo::exists(copy) || QFileInfo(copy).isSymLink(); ++n) {
        QFile earlier(copy);
        if (readWhole && QFileInfo(copy).isFile() && earlier.size() == bytes.size() &&
            earlier.open(QIODevice::ReadOnly) && earlier.readAll() == bytes) {
            QFile::remove(file);
            return copy;
        }
        copy = base + QLatin1Char('-') + QString::number(n);
    }
    return QDir().rename(file, copy) ? copy : QString();
}

} // namespace

bool NamesOurWallpaper(const std::optional<QString>& value) {
    if (!value) {
        return false;
    }
    QString text = *value;
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    for (const char* name : {"/Wallpaper.bmp", "/Wallpaper-1.bmp"}) {
        if (text.contains(QLatin1String(name), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

bool NamesOurWallpaper(const TSavedWallpaper& saved) {
    for (const TDesktopValue& v : saved.Values) {
        if (NamesOurWallpaper(v.Value)) {
            return true;
        }
    }
    return false;
}

TSavedWallpaper MergeKeptWallpaper(const TSavedWallpaper& now,
                                   const std::vector<TDesktopValue>* kept) {
    const auto keptValue = [kept](const QString& key) -> std::optional<QString> {
        const TDesktopValue* k = Find(kept, key);
        if (!k || NamesOurWallpaper(k->Value)) {
            return std::nullopt; // never our own picture as the user's
        }
        return k->Value;
    };
    // The pictures first: the groups whose picture goes back.
    std::set<QString> restoredGroups;
    for (const TDesktopValue& v : now.Values) {
        if (NamesOurWallpaper(v.Value)) {
            restoredGroups.insert(GroupOf(v.Key));
        }
    }
    TSavedWallpaper out;
    out.Valid = true;
    for (const TDesktopValue& v : now.Values) {
        const TDesktopValue* k = Find(kept, v.Key);
        std::optional<QString> value;
        if (NamesOurWallpaper(v.Value)) {
            value = keptValue(v.Key);
        } else if (NamesAFile(v.Value) || (k && NamesAFile(k->Value))) {
            value = v.Value; // a picture the user chose since
        } else {
            value = restoredGroups.count(GroupOf(v.Key)) ? keptValue(v.Key) : v.Value;
        }
        out.Values.push_back({v.Key, value});
    }
    return out;
}

TWallpaperRecord::TWallpaperRecord(QString file) : Path(std::move(file)) {}

bool TWallpaperRecord::Read(TEntries& entries, QString& problem) const {
    const QFileInfo info(Path);
    if (!info.exists() && !info.isSymLink()) {
        return true;
    }
    // Only a plain file is opened: a named pipe would block the start.
    if (info.isDir()) {
        problem = QStringLiteral("It is a directory");
        return false;
    }
    if (!info.isFile()) {
        problem = QStringLiteral("It is not a plain file");
        return false;
    }
    if (info.size() > RecordLimit) {
        problem = QStringLiteral("It is too large");
        return false;
    }
    QFile in(Path);
    if (!in.open(QIODevice::ReadOnly)) {
        problem = in.errorString();
        return false;
    }
    return ParseWallpaperRecord(in.read(RecordLimit), entries, problem);
}

bool ParseWallpaperRecord(const QByteArray& bytes, TWallpaperEntries& entries, QString& problem) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    bool whole = error.error == QJsonParseError::NoError;
    if (whole && doc.isArray()) {
        whole = ValuesOf(doc.array(), entries[QString()]);
    } else if (whole && doc.isObject() && !doc.object().isEmpty()) {
        const QJsonObject o = doc.object();
        for (auto it = o.begin(); whole && it != o.end(); ++it) {
            whole = ValuesOf(it.value(), entries[it.key()]);
        }
    } else {
        whole = false;
    }
    if (whole) {
        return true;
    }
    problem = error.error != QJsonParseError::NoError
                  ? error.errorString() + QStringLiteral(" at byte %1").arg(error.offset)
                  : QStringLiteral("It holds no wallpaper values in the form of a record");
    entries.clear();
    Recover(QString::fromUtf8(bytes), entries);
    return false;
}

void TWallpaperRecord::Write(const TEntries& entries) const {
    QJsonObject top;
    for (const auto& [desktop, values] : entries) {
        QJsonArray list;
        for (const TDesktopValue& v : values) {
            QJsonObject o{{KeyName, v.Key}};
            o.insert(ValueName, v.Value ? QJsonValue(*v.Value) : QJsonValue());
            list.append(o);
        }
        top.insert(desktop, list);
    }
    if (top.isEmpty()) {
        if (QFileInfo(Path).isFile()) {
            QFile::remove(Path);
        }
        return;
    }
    const QByteArray text = QJsonDocument(top).toJson();
    // Replaced whole or not at all, so a good record is never cut.
    if (const auto why = WriteWholeFile(Path, text)) {
        throw EDesktopError(why->toStdString());
    }
}

TWallpaperRecord::TStart TWallpaperRecord::Start(const QString& desktop,
                                                 const TSavedWallpaper& now) {
    TStart start;
    TEntries entries;
    QByteArray bytes;
    {
        QFile in(Path);
        if (QFileInfo(Path).isFile() && in.open(QIODevice::ReadOnly)) {
            bytes = in.read(RecordLimit + 1);
        }
    }
    bool changed = false;
    if (!Read(entries, start.Problem)) {
        start.Damaged = true;
        start.DamagedCopy = SetAside(Path, bytes, QFileInfo(Path).isFile());
        changed = true;
    }
    // The first form of the file belongs to the desktop that reads it first.
    if (const auto legacy = entries.find(QString()); legacy != entries.end() && now.Valid) {
        if (!entries.count(desktop)) {
            entries[desktop] = legacy->second;
        }
        entries.erase(QString());
        changed = true;
    }
    const auto entry = entries.find(desktop);
    const bool have = entry != entries.end() && !entry->second.empty();
    if (!now.Valid) {
        // The desktop could not be read: the record is all there is.
        start.Saved = have ? TSavedWallpaper{true, entry->second} : now;
    } else if (NamesOurWallpaper(now)) {
        start.Saved = MergeKeptWallpaper(now, have ? &entry->second : nullptr);
        start.EntryMissing = !have;
        if (!have || entry->second != start.Saved.Values) {
            entries[desktop] = start.Saved.Values;
            changed = true;
        }
    } else {
        start.Saved = now;
        if (entry != entries.end()) {
            entries.erase(entry);
            changed = true;
        }
    }
    if (changed) {
        try {
            Write(entries);
        } catch (const EDesktopError&) {
            // Tried again, and reported, before our picture is next set.
        }
    }
    return start;
}

void TWallpaperRecord::Keep(const QString& desktop, const TSavedWallpaper& saved) {
    TEntries entries;
    QString problem;
    Read(entries, problem); // a damaged file was set aside at the start
    entries.erase(QString());
    if (saved.Values.empty()) {
        entries.erase(desktop); // nothing read from the desktop: nothing to keep
    } else {
        entries[desktop] = saved.Values;
    }
    Write(entries);
}

void TWallpaperRecord::Forget(const QString& desktop) {
    TEntries entries;
    QString problem;
    if (!Read(entries, problem) || !entries.count(desktop)) {
        return;
    }
    entries.erase(desktop);
    try {
        Write(entries);
    } catch (const EDesktopError&) {
    }
}

} // namespace platform

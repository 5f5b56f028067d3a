// The record of the user's own wallpaper, kept in a file while our picture is
// the wallpaper, so that a run which ends without putting the user's back (a
// kill, a crash, a power cut) does not lose it. It holds one entry per desktop
// family, so a start on another desktop neither takes nor drops the entry of
// the desktop the record belongs to.
//
// The file is JSON: {"GNOME": [{"key": "picture-uri", "value": "'file:///...'"},
// {"key": "picture-options", "value": null}], ...}; a null value is one the
// user never set. An array at the top (the first form of the file) belongs to
// whichever desktop reads it first.
#pragma once

#include "platform/Desktop.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace platform {

// True when a value of the record names one of our wallpaper files.
bool NamesOurWallpaper(const TSavedWallpaper& saved);
bool NamesOurWallpaper(const std::optional<QString>& value);

// The user's wallpaper to put back when the desktop still shows ours: per
// key, the kept value where the desktop's value still names our picture; the
// desktop's own where it names another picture (the user chose it after our
// run ended); a placement or style value (one that names no file) is put back
// when a picture is, else left. A kept value that names our picture, or none
// kept at all, puts the key back to the desktop's default.
TSavedWallpaper MergeKeptWallpaper(const TSavedWallpaper& now,
                                   const std::vector<TDesktopValue>* kept);

// The entries of a record file's text, per desktop (the first form's under an
// empty name). True when the text is whole; else false with the reason in
// problem, and entries hold what could be recovered: every whole key and
// value pair, under the desktop whose entry it stood in.
using TWallpaperEntries = std::map<QString, std::vector<TDesktopValue>>;
bool ParseWallpaperRecord(const QByteArray& bytes, TWallpaperEntries& entries, QString& problem);

class TWallpaperRecord {
public:
    explicit TWallpaperRecord(QString file);

    // What a start found.
    struct TStart {
        TSavedWallpaper Saved; // the user's wallpaper, to be put back later
        // The desktop shows our picture but the record held no entry for it
        // (missing, or lost with a damaged file).
        bool EntryMissing = false;
        // The file could not be read whole; what could be read is used, and the
        // file is kept under this name (empty when it could not be moved).
        bool Damaged = false;
        QString DamagedCopy;
        QString Problem; // why the file could not be read
    };
    // At the first activation: from what the desktop shows now (`now`, invalid
    // when it could not be read) and the record. While the desktop shows our
    // picture the entry is kept (and rewritten with what was recovered);
    // once it shows the user's own, the entry of this desktop goes.
    TStart Start(const QString& desktop, const TSavedWallpaper& now);

    // Writes the entry of this desktop, the file replaced whole or not at all.
    // Raises EDesktopError naming the file and the cause.
    void Keep(const QString& desktop, const TSavedWallpaper& saved);
    // The desktop was put back: its entry goes, and the file with the last one.
    // Failures are silent: the next start finds the user's picture set and
    // drops the entry then.
    void Forget(const QString& desktop);

    const QString& File() const { return Path; }

private:
    using TEntries = TWallpaperEntries;
    // Reads the file: whole (true), or what could be recovered (false, with
    // the reason in problem). An absent file reads as whole and empty.
    bool Read(TEntries& entries, QString& problem) const;
    void Write(const TEntries& entries) const;

    QString Path;
};

} // namespace platform

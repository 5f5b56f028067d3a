// The stored settings as tables: every value of the settings key, of a place's
// subkey and of the desktop key, each an entry of its name in the store, its
// kind, its default and its bounds, in the order the store keeps them. Reading,
// writing and the options dialog's checks all walk these tables and spell no
// stored name of their own.
#pragma once

#include "app/settings/SettingsHost.h"
#include "platform/Registry.h"

#include <QString>
#include <QStringList>

#include <limits>
#include <span>
#include <stdexcept>
#include <variant>
#include <vector>

namespace app {

// How a value is kept in the store.
enum class TStoredKind {
    Flag,       // DWORD: 1 or 0; any non-zero reads as true
    Integer,    // DWORD: signed 32 bits
    Text,       // string
    OffsetText, // string: a signed whole number of minutes in decimal
    Real,       // binary: an 8-byte double, little-endian
    Color,      // binary: a 4-byte colour word, little-endian
};

// The values an integer may take; a stored one outside them loads as its default.
struct TBounds {
    int Min = std::numeric_limits<int>::min();
    int Max = std::numeric_limits<int>::max();

    bool Contains(int value) const { return value >= Min && value <= Max; }
    bool operator==(const TBounds&) const = default;
};

// A field of a record that holds a stored value, and a value of one.
using TFieldRef = std::variant<bool*, int*, double*, TColorWord*, QString*>;
using TStoredValue = std::variant<bool, int, double, TColorWord, QString>;

TStoredValue ValueAt(TFieldRef field);
void SetValueAt(TFieldRef field, const TStoredValue& value);

// One stored value of a Record: its name, kind and bounds, and the field that
// holds it. Its default is the field's value in a Record made anew, which is
// what the window holds before any settings are read.
template <class Record> struct TStoredEntry {
    const char* Name;
    TStoredKind Kind;
    TFieldRef (*Field)(Record&);
    TBounds Bounds = {};
    // False for a value written for other readers and never read back.
    bool ReadBack = true;

    TStoredValue Default() const {
        Record fresh{};
        return ValueAt(Field(fresh));
    }
};

// The check marks of the window's commands whose state is stored, in the
// order loading applies them.
struct TCheckMarks {
    bool ShowClock = false;
    bool SingleMode = false; // the inverse of "Show Location List"
    bool WallpaperMode = false;
    bool TranspDesk = false;
    bool ShowClouds = false;
    bool HighlightCities = false;

    bool operator==(const TCheckMarks&) const = default;
};

// Everything the settings key holds.
struct TStoredSettings {
    TSettingsValues Values;
    TStoredLocation Single = DefaultSingleLocation;
    TCheckMarks Checks;
    int LocationCount = 0; // how many place subkeys follow

    bool operator==(const TStoredSettings&) const = default;
};

using TSettingEntry = TStoredEntry<TStoredSettings>;
using TPlaceEntry = TStoredEntry<TStoredLocation>;
using TDesktopEntry = TStoredEntry<TSavedWallpaper>;

// The values of the settings key, of place i's subkey "i" and of the desktop
// key, each in the order they are written.
extern const std::span<const TSettingEntry> SettingEntries;
extern const std::span<const TPlaceEntry> PlaceEntries;
extern const std::span<const TDesktopEntry> DesktopEntries;

// The bounds the store keeps a plain value within.
TBounds BoundsOf(int TSettingsValues::*field);

// Reads one value of the open key into `field` when it is there and readable.
// One that is there but cannot be read (of another kind, not a number) is
// noted in `problems` as "<key>\<name>: <why>" and `field` keeps its value.
bool ReadValue(platform::TRegistry& registry, const char* name, TStoredKind kind, TFieldRef field,
               QStringList& problems);
// Stages one value into the open key.
void WriteValue(platform::TRegistry& registry, const char* name, TStoredKind kind, TFieldRef field);
// Notes a value of the open key that is damaged or missing, as ReadValue does.
void NoteProblem(const platform::TRegistry& registry, QStringList& problems, const char* name,
                 const QString& why);

// The entry of `table` that holds `field` of `record`.
template <class Record>
const TStoredEntry<Record>& EntryAt(std::span<const TStoredEntry<Record>> table, Record& record,
                                    TFieldRef field) {
    for (const TStoredEntry<Record>& entry : table) {
        if (entry.Field(record) == field) {
            return entry;
        }
    }
    throw std::logic_error("the field holds no stored value");
}

// Reads every entry of the open key into `record` with ReadValue; an integer
// out of its bounds takes its default. Returns the fields that were read.
template <class Record>
std::vector<TFieldRef> ReadRecord(platform::TRegistry& registry,
                                  std::span<const TStoredEntry<Record>> table, Record& record,
                                  QStringList& problems) {
    std::vector<TFieldRef> read;
    for (const TStoredEntry<Record>& entry : table) {
        const TFieldRef field = entry.Field(record);
        if (!entry.ReadBack || !ReadValue(registry, entry.Name, entry.Kind, field, problems)) {
            continue;
        }
        const auto* number = std::get_if<int*>(&field);
        if (number && !entry.Bounds.Contains(**number)) {
            // A value the program cannot use.
            SetValueAt(field, entry.Default());
        }
        read.push_back(field);
    }
    return read;
}

// Stages every entry of `record` into the open key, in the table's order.
template <class Record>
void WriteRecord(platform::TRegistry& registry, std::span<const TStoredEntry<Record>> table,
                 Record record) {
    for (const TStoredEntry<Record>& entry : table) {
        WriteValue(registry, entry.Name, entry.Kind, entry.Field(record));
    }
}

} // namespace app

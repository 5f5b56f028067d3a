// The text form of a registry store, as the registry editor exports it:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Kiv\Chronara\Data]
//   "ShowDate"=dword:00000001
//   "SLName"="Melbourne, Australia"
//   "SLLatitude"=hex:3d,0a,d7,a3,70,e8,42,c0
//
// Text is UTF-8; backslashes and double quotes in names and texts are escaped
// with a backslash. A text holding line breaks or other control characters is
// written as hex(1): its UTF-8 bytes and a closing zero byte.
#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace platform {

// One key: its full path (with the root's name) and its values in order.
struct TRegKey {
    QString Path;
    std::vector<std::pair<QString, TRegValue>> Values;

    // Value names compare without regard to letter case, as the registry's do.
    const TRegValue* Find(const QString& name) const;
    void Set(const QString& name, const TRegValue& value);
};

// The keys of a store in the order they were read or made.
class TRegTree {
public:
    const TRegKey* Find(const QString& path) const;
    TRegKey& Make(const QString& path);
    // The key exists, or a key below it does (a key of the text form makes
    // every key above it exist).
    bool Exists(const QString& path) const;
    const std::vector<TRegKey>& Keys() const { return List; }

private:
    std::vector<TRegKey> List;
    QHash<QString, std::size_t> Index; // folded path -> position
};

struct TRegParseResult {
    TRegTree Tree;
    // One entry per line that could not be understood ("line N: text").
    QStringList Problems;
};

// Reads the text form. Lines that cannot be understood are skipped and named
// in Problems; everything else is kept.
TRegParseResult ParseRegText(const QByteArray& text);
// Writes the text form of every key, in order.
QByteArray FormatRegText(const TRegTree& tree);

} // namespace platform

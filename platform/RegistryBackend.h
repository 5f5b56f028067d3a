// What TRegistry needs of a store: reading keys and values, and putting a set
// of writes into the store all at once or not at all. One back end per system.
#pragma once

#include "platform/Registry.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace platform {

// One staged write: a value, or (without one) only the key made.
struct TRegWrite {
    QString Key; // below the root, no leading backslash
    QString Name;
    std::optional<TRegValue> Value;
};

class TRegistryBackend {
public:
    virtual ~TRegistryBackend() = default;
    // Paths are below the root (HKEY_CURRENT_USER), without a leading backslash.
    virtual bool KeyExists(const QString& key) const = 0;
    virtual std::optional<TRegValue> Value(const QString& key, const QString& name) const = 0;
    // All of the writes or none; throws ERegistryException.
    virtual void Commit(const std::vector<TRegWrite>& writes) = 0;
    virtual QStringList Problems() const { return {}; }
    virtual QString FileName() const { return {}; }
};

// The back end of this system.
std::unique_ptr<TRegistryBackend> MakeRegistryBackend(const QString& fileDir);

} // namespace platform

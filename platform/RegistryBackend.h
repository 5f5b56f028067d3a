// What TRegistry needs of a store: reading keys and values, and putting a set
// of writes into the store all at once or not at all. One back end per system.
#pragma once

#include "platform/Registry.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One staged write: a value, or (without one) only the key made.
struct TRegWrite {
    std::string Key; // below the root, no leading backslash
    std::string Name;
    std::optional<TRegValue> Value;
};

class TRegistryBackend {
public:
    virtual ~TRegistryBackend() = default;
    // Paths are below the root (HKEY_CURRENT_USER), without a leading backslash.
    virtual bool KeyExists(const std::string& key) const = 0;
    virtual std::optional<TRegValue> Value(const std::string& key,
                                           const std::string& name) const = 0;
    // All of the writes or none; throws ERegistryException.
    virtual void Commit(const std::vector<TRegWrite>& writes) = 0;
    virtual std::vector<std::string> Problems() const { return {}; }
    virtual std::string FileName() const { return {}; }
    virtual std::string KeepCopy(const std::string&) const { return {}; }
};

// The back end of this system.
std::unique_ptr<TRegistryBackend> MakeRegistryBackend(const std::string& fileDir);

} // namespace platform

// The registry of the current user (HKEY_CURRENT_USER) in the Windows API's own
// terms: UTF-16 key and value names, values as a type number and their bytes.
// No Qt: the settings store's Windows back end sits on it, and it is built and
// tested wherever Windows programs are built. Windows only.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform::winreg {

// Type numbers of the registry.
enum : std::uint32_t {
    TypeString = 1,       // REG_SZ: UTF-16 text with its terminating NUL
    TypeExpandString = 2, // REG_EXPAND_SZ
    TypeBinary = 3,       // REG_BINARY
    TypeDword = 4,        // REG_DWORD: 4 bytes, little-endian
    TypeMultiString = 7,  // REG_MULTI_SZ
    TypeQword = 11,       // REG_QWORD
};

struct TRawValue {
    std::uint32_t Type = TypeBinary;
    std::vector<std::uint8_t> Bytes;
    bool operator==(const TRawValue&) const = default;
};

// One write: the key (below HKEY_CURRENT_USER, parts joined by backslashes) is
// made when missing; with a value, the value of that name is set.
struct TRawWrite {
    std::wstring Key;
    std::wstring Name;
    std::optional<TRawValue> Value;
};

// A write that failed; Name is the value's name, or the key's path when the key
// could not be made.
class EWriteFailed : public std::runtime_error {
public:
    EWriteFailed(const std::wstring& name, long error)
        : std::runtime_error("registry write failed"), Name(name), Error(error) {}
    std::wstring Name;
    long Error;
};

// Whether the key exists; the empty path is the root and always does.
bool KeyExists(const std::wstring& key);
// The value of that name in the key, if both exist.
std::optional<TRawValue> ReadValue(const std::wstring& key, const std::wstring& name);
// Carries out the writes in order. When one fails, the values already set get
// their old contents back (or are removed again), the keys made are removed,
// and EWriteFailed names the write that failed: all of them or none.
void Commit(const std::vector<TRawWrite>& writes);
// Removes a key with everything below it (for tests and uninstalling); false
// when it did not exist or could not be removed.
bool DeleteTree(const std::wstring& key);

// Text as the registry keeps a REG_SZ value (UTF-16, NUL-terminated), and back
// (up to the first NUL; an odd last byte is dropped).
std::vector<std::uint8_t> StringBytes(const std::wstring& text);
std::wstring BytesString(const std::vector<std::uint8_t>& bytes);

} // namespace platform::winreg

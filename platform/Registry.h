// The settings store of the current user: keys and subkeys holding typed
// values, as the Windows registry keeps them. On Windows it is the registry
// itself (under HKEY_CURRENT_USER); elsewhere one UTF-8 text file in the form
// the registry editor exports ("REGEDIT4"), in the user's configuration folder.
//
// Reads see the store as it was when the accessor was made, plus the writes
// made through it. Writes are kept until Commit, which puts all of them into
// the store at once, or none: a failed save never leaves half a store behind.
//
// Names, paths and texts are UTF-8. The header needs nothing beyond the
// standard library, so the Windows back end builds without Qt.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// A failure of the store, carrying the message shown to the user.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The registry's value types that the store knows by name; others are kept
// as bytes with their type number.
enum : int { RegSz = 1, RegBinary = 3, RegDword = 4 };

using TBytes = std::vector<std::uint8_t>;

struct TRegValue {
    int Type = RegSz;
    std::uint32_t DWord = 0; // RegDword
    std::string Text;        // RegSz, UTF-8
    TBytes Bytes;            // RegBinary and every other type

    static TRegValue OfDword(std::uint32_t v);
    static TRegValue OfText(std::string text);
    static TRegValue OfBinary(TBytes bytes, int type = RegBinary);
    bool operator==(const TRegValue&) const = default;
};

class TRegistryBackend;

class TRegistry {
public:
    // The store of the current user. On systems without a registry the file
    // lies in `fileDir` when given, else in $XDG_CONFIG_HOME/chronara/ (or
    // ~/.config/chronara/); `fileDir` is ignored on Windows.
    explicit TRegistry(const std::string& fileDir = {});
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Opens a key: a path with a leading backslash starts at the root
    // (HKEY_CURRENT_USER), one without it below the key that is open. With
    // canCreate a missing key is made (at the next Commit); without it a
    // missing key is not opened and false is returned.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
    // Back to the root.
    void CloseKey();
    // The open key's path below the root, without a leading backslash.
    std::string CurrentPath() const { return Current; }

    // Whether the key exists (path as for OpenKey).
    bool KeyExists(const std::string& key) const;
    // Whether the open key holds a value of that name (any type).
    bool ValueExists(const std::string& name) const;
    // The value, if the open key holds one of that name.
    std::optional<TRegValue> Value(const std::string& name) const;

    // Typed reads of the open key. Each throws ERegistryException "Invalid
    // data type for '<name>'" when the value is missing or of another type;
    // ReadString gives an empty text for a missing value.
    bool ReadBool(const std::string& name) const;            // a DWORD, any non-zero is true
    std::int32_t ReadInteger(const std::string& name) const; // a DWORD, signed
    std::string ReadString(const std::string& name) const;   // text
    double ReadFloat(const std::string& name) const;         // binary, exactly 8 bytes
    std::uint32_t ReadColor(const std::string& name) const;  // binary, exactly 4 bytes
    TBytes ReadBinaryData(const std::string& name) const;

    // Typed writes into the open key, kept until Commit.
    void WriteBool(const std::string& name, bool value);
    void WriteInteger(const std::string& name, std::int32_t value);
    void WriteString(const std::string& name, const std::string& value);
    void WriteFloat(const std::string& name, double value);
    void WriteColor(const std::string& name, std::uint32_t value);
    void WriteBinaryData(const std::string& name, const TBytes& value);
    void WriteValue(const std::string& name, const TRegValue& value);

    // Puts every write made since the last Commit into the store, all at once
    // or none. Throws ERegistryException "Failed to set data for '<name>' (<cause>)"
    // naming the value, or the file when the file cannot be written.
    void Commit();
    // Drops the writes not yet committed.
    void Discard();
    bool HasPendingWrites() const;

    // Lines of the file that could not be understood when it was read (each
    // "line N: text"), or why the file could not be read at all (a directory,
    // no permission, larger than SettingsFileLimit); always empty on Windows.
    // What they hold was skipped.
    std::vector<std::string> Problems() const;
    // The settings file (empty on Windows).
    std::string FileName() const;
    // Keeps a copy of the settings file beside it, under a name not taken yet
    // (or the earlier copy that holds the same bytes), and returns that name;
    // empty when there is no file to keep. What could not be read at all (a
    // directory, a named pipe, no read permission, too large) is moved there
    // instead. A file that was read always stays where it is: when the copy
    // fails (a full disk) this throws ERegistryException with the cause.
    std::string KeepCopy(const std::string& suffix) const;

private:
    std::string Resolve(const std::string& key) const;

    std::unique_ptr<TRegistryBackend> Backend;
    std::string Current;
};

// A settings file holds a few kilobytes. A file larger than this is not read
// (something else wrote over it): it counts as damaged.
constexpr std::int64_t SettingsFileLimit = 4 * 1024 * 1024;

// Where the settings file of this user lies: $XDG_CONFIG_HOME/chronara/ (or
// ~/.config/chronara/) when dir is empty, else dir; the file is "Chronara.reg".
std::string SettingsFilePath(const std::string& dir = {});

} // namespace platform

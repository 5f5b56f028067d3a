#if defined(_WIN32)
#include "platform/WinRegistry.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::winreg {

namespace {

// An open key, closed at the end of its scope.
class TKey {
public:
    TKey() = default;
    ~TKey() {
        if (Handle != nullptr) {
            RegCloseKey(Handle);
        }
    }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    HKEY Handle = nullptr;
};

LSTATUS Open(const std::wstring& key, REGSAM access, TKey& out) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, access, &out.Handle);
}

// The shortest leading part of the path that does not exist yet (what making
// the key creates, and so what undoing it removes); empty when all exist.
std::wstring FirstMissing(const std::wstring& key) {
    std::size_t end = 0;
    while (end != std::wstring::npos) {
        end = key.find(L'\\', end + 1);
        const std::wstring part = key.substr(0, end);
        if (!part.empty() && !KeyExists(part)) {
            return part;
        }
    }
    return {};
}

// A value as it was before the commit touched it.
struct TUndoValue {
    std::wstring Key;
    std::wstring Name;
    std::optional<TRawValue> Old;
};

void Undo(const std::vector<TUndoValue>& values, const std::vector<std::wstring>& madeKeys) {
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        TKey key;
        if (Open(it->Key, KEY_SET_VALUE, key) != ERROR_SUCCESS) {
            continue;
        }
        if (it->Old) {
            RegSetValueExW(key.Handle, it->Name.c_str(), 0, it->Old->Type, it->Old->Bytes.data(),
                           static_cast<DWORD>(it->Old->Bytes.size()));
        } else {
            RegDeleteValueW(key.Handle, it->Name.c_str());
        }
    }
    for (auto it = madeKeys.rbegin(); it != madeKeys.rend(); ++it) {
        DeleteTree(*it);
    }
}

} // namespace

bool KeyExists(const std::wstring& key) {
    if (key.empty()) {
        return true;
    }
    TKey handle;
    return Open(key, KEY_READ, handle) == ERROR_SUCCESS;
}

std::optional<TRawValue> ReadValue(const std::wstring& key, const std::wstring& name) {
    TKey handle;
    if (Open(key, KEY_QUERY_VALUE, handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    TRawValue value;
    // The size can change between asking and reading: ask again until it fits.
    DWORD size = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        value.Bytes.resize(std::max<DWORD>(size, 1));
        size = static_cast<DWORD>(value.Bytes.size());
        const LSTATUS rc = RegQueryValueExW(handle.Handle, name.c_str(), nullptr, &type,
                                            value.Bytes.data(), &size);
        if (rc == ERROR_SUCCESS) {
            value.Type = type;
            value.Bytes.resize(size);
            return value;
        }
        if (rc != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void Commit(const std::vector<TRawWrite>& writes) {
    std::vector<TUndoValue> undoValues;
    std::vector<std::wstring> madeKeys;
    const auto fail = [&](const std::wstring& name, LSTATUS error) {
        Undo(undoValues, madeKeys);
        throw EWriteFailed(name, error);
    };
    for (const TRawWrite& write : writes) {
        const std::wstring missing = FirstMissing(write.Key);
        TKey key;
        const LSTATUS made = RegCreateKeyExW(
            HKEY_CURRENT_USER, write.Key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
            KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key.Handle, nullptr);
        if (made != ERROR_SUCCESS || write.Key.empty()) {
            fail(write.Key, made != ERROR_SUCCESS ? made : ERROR_INVALID_PARAMETER);
        }
        if (!missing.empty()) {
            madeKeys.push_back(missing);
        }
        if (!write.Value) {
            continue;
        }
        const bool seen =
            std::any_of(undoValues.begin(), undoValues.end(), [&](const TUndoValue& u) {
                return CompareStringOrdinal(u.Key.c_str(), -1, write.Key.c_str(), -1, TRUE) ==
                           CSTR_EQUAL &&
                       CompareStringOrdinal(u.Name.c_str(), -1, write.Name.c_str(), -1, TRUE) ==
                           CSTR_EQUAL;
            });
        if (!seen) {
            undoValues.push_back({write.Key, write.Name, ReadValue(write.Key, write.Name)});
        }
        const TRawValue& value = *write.Value;
        const LSTATUS set =
            RegSetValueExW(key.Handle, write.Name.c_str(), 0, value.Type, value.Bytes.data(),
                           static_cast<DWORD>(value.Bytes.size()));
        if (set != ERROR_SUCCESS) {
            fail(write.Name, set);
        }
    }
}

bool DeleteTree(const std::wstring& key) {
    if (key.empty()) {
        return false;
    }
    return RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()) == ERROR_SUCCESS &&
           RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()) == ERROR_SUCCESS;
}

std::vector<std::uint8_t> StringBytes(const std::wstring& text) {
    std::vector<std::uint8_t> bytes((text.size() + 1) * sizeof(wchar_t), 0);
    std::memcpy(bytes.data(), text.c_str(), text.size() * sizeof(wchar_t));
    return bytes;
}

std::wstring BytesString(const std::vector<std::uint8_t>& bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    const auto nul = text.find(L'\0');
    if (nul != std::wstring::npos) {
        text.resize(nul);
    }
    return text;
}

} // namespace platform::winreg

#endif // _WIN32

// The store as the Windows registry itself, under HKEY_CURRENT_USER.
#ifdef _WIN32

#include "platform/RegistryBackend.h"

#include <windows.h>

#include <algorithm>

namespace platform {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

[[noreturn]] void FailedToSet(const std::string& name) {
    throw ERegistryException("Failed to set data for '" + name + "'");
}

// An open key, closed when it goes.
class TKey {
public:
    TKey() = default;
    ~TKey() {
        if (Handle) {
            RegCloseKey(Handle);
        }
    }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    HKEY Handle = nullptr;
};

bool OpenForReading(const std::string& key, TKey& out) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key).c_str(), 0, KEY_READ, &out.Handle) ==
           ERROR_SUCCESS;
}

bool SetValue(HKEY key, const std::string& name, const TRegValue& value) {
    const std::wstring wideName = Wide(name);
    LONG result = ERROR_SUCCESS;
    if (value.Type == RegDword) {
        const DWORD v = value.DWord;
        result = RegSetValueExW(key, wideName.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&v), sizeof v);
    } else if (value.Type == RegSz) {
        const std::wstring text = Wide(value.Text);
        result = RegSetValueExW(key, wideName.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    } else {
        result = RegSetValueExW(key, wideName.c_str(), 0, static_cast<DWORD>(value.Type),
                                value.Bytes.data(), static_cast<DWORD>(value.Bytes.size()));
    }
    return result == ERROR_SUCCESS;
}

class TWindowsBackend : public TRegistryBackend {
public:
    bool KeyExists(const std::string& key) const override {
        TKey k;
        return OpenForReading(key, k);
    }

    std::optional<TRegValue> Value(const std::string& key, const std::string& name) const override {
        TKey k;
        if (!OpenForReading(key, k)) {
            return std::nullopt;
        }
        const std::wstring wideName = Wide(name);
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(k.Handle, wideName.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        TBytes bytes(size);
        if (RegQueryValueExW(k.Handle, wideName.c_str(), nullptr, &type, bytes.data(), &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        bytes.resize(size);
        if (type == REG_DWORD && bytes.size() == 4) {
            DWORD v = 0;
            std::copy(bytes.begin(), bytes.end(), reinterpret_cast<BYTE*>(&v));
            return TRegValue::OfDword(v);
        }
        if (type == REG_SZ) {
            std::size_t length = bytes.size() / sizeof(wchar_t);
            const auto* text = reinterpret_cast<const wchar_t*>(bytes.data());
            while (length > 0 && text[length - 1] == L'\0') {
                --length;
            }
            return TRegValue::OfText(Utf8(text, length));
        }
        return TRegValue::OfBinary(std::move(bytes), static_cast<int>(type));
    }

    void Commit(const std::vector<TRegWrite>& writes) override {
        // What each value was before, so that a failure can put it back: the
        // registry has no transaction of its own here.
        struct TOld {
            std::string Key, Name;
            std::optional<TRegValue> Value;
        };
        std::vector<TOld> olds;
        std::vector<std::string> madeKeys;
        for (const TRegWrite& w : writes) {
            if (w.Value) {
                olds.push_back({w.Key, w.Name, Value(w.Key, w.Name)});
            }
        }
        std::string failed;
        for (const TRegWrite& w : writes) {
            TKey k;
            DWORD disposition = 0;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(w.Key).c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, &k.Handle, &disposition) != ERROR_SUCCESS) {
                failed = w.Value ? w.Name : w.Key;
                break;
            }
            if (disposition == REG_CREATED_NEW_KEY) {
                madeKeys.push_back(w.Key);
            }
            if (w.Value && !SetValue(k.Handle, w.Name, *w.Value)) {
                failed = w.Name;
                break;
            }
        }
        if (failed.empty()) {
            return;
        }
        // Put back what was there, then remove the keys this save made.
        for (auto it = olds.rbegin(); it != olds.rend(); ++it) {
            TKey k;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(it->Key).c_str(), 0, KEY_SET_VALUE,
                              &k.Handle) != ERROR_SUCCESS) {
                continue;
            }
            if (it->Value) {
                SetValue(k.Handle, it->Name, *it->Value);
            } else {
                RegDeleteValueW(k.Handle, Wide(it->Name).c_str());
            }
        }
        for (auto it = madeKeys.rbegin(); it != madeKeys.rend(); ++it) {
            RegDeleteKeyW(HKEY_CURRENT_USER, Wide(*it).c_str());
        }
        FailedToSet(failed);
    }
};

} // namespace

std::unique_ptr<TRegistryBackend> MakeRegistryBackend(const std::string&) {
    return std::make_unique<TWindowsBackend>();
}

std::string SettingsFilePath(const std::string&) {
    return {};
}

} // namespace platform

#endif

// The store on Windows: the registry itself, under HKEY_CURRENT_USER, through
// the Qt-free layer of WinRegistry. Texts are REG_SZ, flags and integers
// REG_DWORD, reals and colours REG_BINARY; values of other types are kept as
// their bytes with their type number.
#if defined(_WIN32)

#include "platform/RegistryBackend.h"
#include "platform/WinRegistry.h"

#include <QByteArray>
#include <QString>

#include <cstring>

namespace platform {

namespace {

std::wstring Wide(const QString& text) {
    return text.toStdWString();
}

TRegValue FromRaw(const winreg::TRawValue& raw) {
    if (raw.Type == winreg::TypeString) {
        return TRegValue::OfText(QString::fromStdWString(winreg::BytesString(raw.Bytes)));
    }
    if (raw.Type == winreg::TypeDword && raw.Bytes.size() == 4) {
        std::uint32_t v = 0;
        std::memcpy(&v, raw.Bytes.data(), 4);
        return TRegValue::OfDword(v);
    }
    return TRegValue::OfBinary(QByteArray(reinterpret_cast<const char*>(raw.Bytes.data()),
                                          static_cast<qsizetype>(raw.Bytes.size())),
                               static_cast<int>(raw.Type));
}

winreg::TRawValue ToRaw(const TRegValue& value) {
    winreg::TRawValue raw;
    raw.Type = static_cast<std::uint32_t>(value.Type);
    if (value.Type == RegSz) {
        raw.Bytes = winreg::StringBytes(Wide(value.Text));
    } else if (value.Type == RegDword) {
        raw.Bytes.resize(4);
        std::memcpy(raw.Bytes.data(), &value.DWord, 4);
    } else {
        raw.Bytes.assign(value.Bytes.begin(), value.Bytes.end());
    }
    return raw;
}

class TWindowsBackend : public TRegistryBackend {
public:
    bool KeyExists(const QString& key) const override { return winreg::KeyExists(Wide(key)); }

    std::optional<TRegValue> Value(const QString& key, const QString& name) const override {
        const auto raw = winreg::ReadValue(Wide(key), Wide(name));
        return raw ? std::optional<TRegValue>(FromRaw(*raw)) : std::nullopt;
    }

    void Commit(const std::vector<TRegWrite>& writes) override {
        std::vector<winreg::TRawWrite> raw;
        raw.reserve(writes.size());
        for (const TRegWrite& w : writes) {
            raw.push_back(
                {Wide(w.Key), Wide(w.Name),
                 w.Value ? std::optional<winreg::TRawValue>(ToRaw(*w.Value)) : std::nullopt});
        }
        try {
            winreg::Commit(raw);
        } catch (const winreg::EWriteFailed& e) {
            throw ERegistryException(QStringLiteral("Failed to set data for '%1'")
                                         .arg(QString::fromStdWString(e.Name))
                                         .toStdString());
        }
    }
};

} // namespace

std::unique_ptr<TRegistryBackend> MakeRegistryBackend(const QString& /*fileDir*/) {
    return std::make_unique<TWindowsBackend>();
}

} // namespace platform

#endif // _WIN32

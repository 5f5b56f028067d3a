#include "platform/Registry.h"

#include "kiv/KivText.h"
#include "platform/RegistryBackend.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform {

namespace {

std::string InvalidType(const std::string& name) {
    return "Invalid data type for '" + name + "'";
}

// A key path without leading, trailing or doubled backslashes.
std::string CleanPath(const std::string& path) {
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            if (!out.empty()) {
                out += '\\';
            }
            out.append(path, start, end - start);
        }
        start = end + 1;
    }
    return out;
}

// TRegistry keeps its staged writes in front of the system's back end: reads
// see them, Commit hands them over in one piece.
class TStagedBackend : public TRegistryBackend {
public:
    explicit TStagedBackend(std::unique_ptr<TRegistryBackend> inner) : Inner(std::move(inner)) {}

    bool KeyExists(const std::string& key) const override {
        for (const TRegWrite& w : Pending) {
            if (kiv::SameText(w.Key, key) || kiv::StartsWithText(w.Key, key + '\\')) {
                return true;
            }
        }
        return Inner->KeyExists(key);
    }
    std::optional<TRegValue> Value(const std::string& key, const std::string& name) const override {
        for (auto it = Pending.rbegin(); it != Pending.rend(); ++it) {
            if (it->Value && kiv::SameText(it->Key, key) && kiv::SameText(it->Name, name)) {
                return it->Value;
            }
        }
        return Inner->Value(key, name);
    }
    void Commit(const std::vector<TRegWrite>& writes) override { Inner->Commit(writes); }
    std::vector<std::string> Problems() const override { return Inner->Problems(); }
    std::string FileName() const override { return Inner->FileName(); }
    std::string KeepCopy(const std::string& suffix) const override {
        return Inner->KeepCopy(suffix);
    }

    std::unique_ptr<TRegistryBackend> Inner;
    std::vector<TRegWrite> Pending;
};

TStagedBackend& Staged(const std::unique_ptr<TRegistryBackend>& b) {
    return static_cast<TStagedBackend&>(*b);
}

// Little-endian bytes of a value and back.
template <class T> TBytes LittleEndian(T value) {
    TBytes bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(bytes.begin(), bytes.end());
    }
    return bytes;
}

template <class T> T FromLittleEndian(TBytes bytes) {
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(bytes.begin(), bytes.end());
    }
    T value;
    std::memcpy(&value, bytes.data(), sizeof(T));
    return value;
}

} // namespace

TRegValue TRegValue::OfDword(std::uint32_t v) {
    TRegValue r;
    r.Type = RegDword;
    r.DWord = v;
    return r;
}

TRegValue TRegValue::OfText(std::string text) {
    TRegValue r;
    r.Type = RegSz;
    r.Text = std::move(text);
    return r;
}

TRegValue TRegValue::OfBinary(TBytes bytes, int type) {
    TRegValue r;
    r.Type = type;
    r.Bytes = std::move(bytes);
    return r;
}

TRegistry::TRegistry(const std::string& fileDir)
    : Backend(std::make_unique<TStagedBackend>(MakeRegistryBackend(fileDir))) {}

TRegistry::~TRegistry() = default;

std::string TRegistry::Resolve(const std::string& key) const {
    if ((!key.empty() && key[0] == '\\') || Current.empty()) {
        return CleanPath(key);
    }
    return CleanPath(Current + '\\' + key);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    const std::string path = Resolve(key);
    if (!Backend->KeyExists(path)) {
        if (!canCreate || path.empty()) {
            return false;
        }
        Staged(Backend).Pending.push_back(TRegWrite{path, {}, std::nullopt});
    }
    Current = path;
    return true;
}

void TRegistry::CloseKey() {
    Current.clear();
}

bool TRegistry::KeyExists(const std::string& key) const {
    const std::string path = Resolve(key);
    return path.empty() || Backend->KeyExists(path);
}

bool TRegistry::ValueExists(const std::string& name) const {
    return Value(name).has_value();
}

std::optional<TRegValue> TRegistry::Value(const std::string& name) const {
    return Backend->Value(Current, name);
}

bool TRegistry::ReadBool(const std::string& name) const {
    return ReadInteger(name) != 0;
}

std::int32_t TRegistry::ReadInteger(const std::string& name) const {
    const auto v = Value(name);
    if (!v || v->Type != RegDword) {
        throw ERegistryException(InvalidType(name));
    }
    return static_cast<std::int32_t>(v->DWord);
}

std::string TRegistry::ReadString(const std::string& name) const {
    const auto v = Value(name);
    if (!v) {
        return {};
    }
    if (v->Type != RegSz) {
        throw ERegistryException(InvalidType(name));
    }
    return v->Text;
}

TBytes TRegistry::ReadBinaryData(const std::string& name) const {
    const auto v = Value(name);
    if (!v || v->Type != RegBinary) {
        throw ERegistryException(InvalidType(name));
    }
    return v->Bytes;
}

double TRegistry::ReadFloat(const std::string& name) const {
    TBytes data = ReadBinaryData(name);
    if (data.size() != sizeof(double)) {
        throw ERegistryException(InvalidType(name));
    }
    return FromLittleEndian<double>(std::move(data));
}

std::uint32_t TRegistry::ReadColor(const std::string& name) const {
    TBytes data = ReadBinaryData(name);
    if (data.size() != 4) {
        throw ERegistryException(InvalidType(name));
    }
    return FromLittleEndian<std::uint32_t>(std::move(data));
}

void TRegistry::WriteValue(const std::string& name, const TRegValue& value) {
    Staged(Backend).Pending.push_back(TRegWrite{Current, name, value});
}

void TRegistry::WriteBool(const std::string& name, bool value) {
    WriteValue(name, TRegValue::OfDword(value ? 1 : 0));
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value) {
    WriteValue(name, TRegValue::OfDword(static_cast<std::uint32_t>(value)));
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    WriteValue(name, TRegValue::OfText(value));
}

void TRegistry::WriteFloat(const std::string& name, double value) {
    WriteValue(name, TRegValue::OfBinary(LittleEndian(value)));
}

void TRegistry::WriteColor(const std::string& name, std::uint32_t value) {
    WriteValue(name, TRegValue::OfBinary(LittleEndian(value)));
}

void TRegistry::WriteBinaryData(const std::string& name, const TBytes& value) {
    WriteValue(name, TRegValue::OfBinary(value));
}

void TRegistry::Commit() {
    TStagedBackend& staged = Staged(Backend);
    if (staged.Pending.empty()) {
        return;
    }
    staged.Inner->Commit(staged.Pending);
    staged.Pending.clear();
}

void TRegistry::Discard() {
    Staged(Backend).Pending.clear();
}

bool TRegistry::HasPendingWrites() const {
    return !Staged(Backend).Pending.empty();
}

std::vector<std::string> TRegistry::Problems() const {
    return Backend->Problems();
}

std::string TRegistry::FileName() const {
    return Backend->FileName();
}

std::string TRegistry::KeepCopy(const std::string& suffix) const {
    return Backend->KeepCopy(suffix);
}

} // namespace platform

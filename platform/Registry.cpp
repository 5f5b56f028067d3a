#include "platform/Registry.h"

#include "platform/RegistryBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace platform {

namespace {

QString InvalidType(const QString& name) {
    return QStringLiteral("Invalid data type for '%1'").arg(name);
}

// Joins and tidies a key path: no leading, trailing or doubled backslashes.
QString CleanPath(const QString& path) {
    QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('\\'));
}

} // namespace

TRegValue TRegValue::OfDword(std::uint32_t v) {
    TRegValue r;
    r.Type = RegDword;
    r.DWord = v;
    return r;
}

TRegValue TRegValue::OfText(const QString& text) {
    TRegValue r;
    r.Type = RegSz;
    r.Text = text;
    return r;
}

TRegValue TRegValue::OfBinary(const QByteArray& bytes, int type) {
    TRegValue r;
    r.Type = type;
    r.Bytes = bytes;
    return r;
}

namespace {

// TRegistry keeps its staged writes in a back end wrapper, so the public
// header needs nothing but the back end's name.
class TStagedBackend : public TRegistryBackend {
public:
    explicit TStagedBackend(std::unique_ptr<TRegistryBackend> inner) : Inner(std::move(inner)) {}

    bool KeyExists(const QString& key) const override {
        const QString prefix = key + QLatin1Char('\\');
        for (const TRegWrite& w : Pending) {
            if (w.Key.compare(key, Qt::CaseInsensitive) == 0 ||
                w.Key.startsWith(prefix, Qt::CaseInsensitive)) {
                return true;
            }
        }
        return Inner->KeyExists(key);
    }
    std::optional<TRegValue> Value(const QString& key, const QString& name) const override {
        for (auto it = Pending.rbegin(); it != Pending.rend(); ++it) {
            if (it->Value && it->Key.compare(key, Qt::CaseInsensitive) == 0 &&
                it->Name.compare(name, Qt::CaseInsensitive) == 0) {
                return it->Value;
            }
        }
        return Inner->Value(key, name);
    }
    void Commit(const std::vector<TRegWrite>& writes) override { Inner->Commit(writes); }
    QStringList Problems() const override { return Inner->Problems(); }
    QString FileName() const override { return Inner->FileName(); }

    std::unique_ptr<TRegistryBackend> Inner;
    std::vector<TRegWrite> Pending;
};

TStagedBackend& Staged(const std::unique_ptr<TRegistryBackend>& b) {
    return static_cast<TStagedBackend&>(*b);
}
} // namespace

TRegistry::TRegistry(const QString& fileDir)
    : Backend(std::make_unique<TStagedBackend>(MakeRegistryBackend(fileDir))) {}

TRegistry::~TRegistry() = default;

QString TRegistry::Resolve(const QString& key) const {
    if (key.startsWith(QLatin1Char('\\')) || Current.isEmpty()) {
        return CleanPath(key);
    }
    return CleanPath(Current + QLatin1Char('\\') + key);
}

bool TRegistry::OpenKey(const QString& key, bool canCreate) {
    const QString path = Resolve(key);
    if (!Backend->KeyExists(path)) {
        if (!canCreate || path.isEmpty()) {
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

bool TRegistry::KeyExists(const QString& key) const {
    const QString path = Resolve(key);
    return path.isEmpty() || Backend->KeyExists(path);
}

bool TRegistry::ValueExists(const QString& name) const {
    return Value(name).has_value();
}

std::optional<TRegValue> TRegistry::Value(const QString& name) const {
    return Backend->Value(Current, name);
}

bool TRegistry::ReadBool(const QString& name) const {
    return ReadInteger(name) != 0;
}

std::int32_t TRegistry::ReadInteger(const QString& name) const {
    const auto v = Value(name);
    if (!v || v->Type != RegDword) {
        throw ERegistryException(InvalidType(name).toStdString());
    }
    return static_cast<std::int32_t>(v->DWord);
}

QString TRegistry::ReadString(const QString& name) const {
    const auto v = Value(name);
    if (!v) {
        return {};
    }
    if (v->Type != RegSz) {
        throw ERegistryException(InvalidType(name).toStdString());
    }
    return v->Text;
}

QByteArray TRegistry::ReadBinaryData(const QString& name) const {
    const auto v = Value(name);
    if (!v || v->Type != RegBinary) {
        throw ERegistryException(InvalidType(name).toStdString());
    }
    return v->Bytes;
}

namespace {
// Little-endian bytes of a value and back.
template <class T> QByteArray LittleEndian(T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(std::begin(bytes), std::end(bytes));
    }
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof(T));
}
template <class T> T FromLittleEndian(const QByteArray& data) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, data.constData(), sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(std::begin(bytes), std::end(bytes));
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}
} // namespace

double TRegistry::ReadFloat(const QString& name) const {
    const QByteArray data = ReadBinaryData(name);
    if (data.size() != static_cast<qsizetype>(sizeof(double))) {
        throw ERegistryException(InvalidType(name).toStdString());
    }
    return FromLittleEndian<double>(data);
}

std::uint32_t TRegistry::ReadColor(const QString& name) const {
    const QByteArray data = ReadBinaryData(name);
    if (data.size() != 4) {
        throw ERegistryException(InvalidType(name).toStdString());
    }
    return FromLittleEndian<std::uint32_t>(data);
}

void TRegistry::WriteValue(const QString& name, const TRegValue& value) {
    Staged(Backend).Pending.push_back(TRegWrite{Current, name, value});
}

void TRegistry::WriteBool(const QString& name, bool value) {
    WriteValue(name, TRegValue::OfDword(value ? 1 : 0));
}

void TRegistry::WriteInteger(const QString& name, std::int32_t value) {
    WriteValue(name, TRegValue::OfDword(static_cast<std::uint32_t>(value)));
}

void TRegistry::WriteString(const QString& name, const QString& value) {
    WriteValue(name, TRegValue::OfText(value));
}

void TRegistry::WriteFloat(const QString& name, double value) {
    WriteValue(name, TRegValue::OfBinary(LittleEndian(value)));
}

void TRegistry::WriteColor(const QString& name, std::uint32_t value) {
    WriteValue(name, TRegValue::OfBinary(LittleEndian(value)));
}

void TRegistry::WriteBinaryData(const QString& name, const QByteArray& value) {
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

QStringList TRegistry::Problems() const {
    return Backend->Problems();
}

QString TRegistry::FileName() const {
    return Backend->FileName();
}

QString TRegistry::KeepCopy(const QString& suffix) const {
    const QString file = FileName();
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        return {};
    }
    QString copy = file + suffix;
    for (int n = 2; QFileInfo::exists(copy); ++n) {
        copy = file + suffix + QLatin1Char('-') + QString::number(n);
    }
    return QFile::copy(file, copy) ? copy : QString();
}

QString SettingsFilePath(const QString& dir) {
    QString folder = dir;
    if (folder.isEmpty()) {
        // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/chronara");
    }
    return QDir(folder).filePath(QStringLiteral("Chronara.reg"));
}

} // namespace platform

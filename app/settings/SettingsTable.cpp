#include "app/settings/SettingsTable.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace app {

namespace {

using platform::ERegistryException;
using platform::TRegistry;
using enum TStoredKind;

// The fields the entries hold: of the plain values, of the single location,
// of the check marks, or of the record itself.
template <auto Field> TFieldRef Value(TStoredSettings& s) {
    return &(s.Values.*Field);
}
template <auto Field> TFieldRef Single(TStoredSettings& s) {
    return &(s.Single.*Field);
}
template <auto Field> TFieldRef Check(TStoredSettings& s) {
    return &(s.Checks.*Field);
}
template <auto Field, class Record> TFieldRef Own(Record& record) {
    return &(record.*Field);
}

constexpr TSettingEntry SettingsKeyEntries[] = {
    {"ShowDate", Flag, Value<&TSettingsValues::ShowDate>},
    {"ShowZA", Flag, Value<&TSettingsValues::ShowZA>},
    {"ShowSA", Flag, Value<&TSettingsValues::ShowSA>},
    {"ShowClouds", Flag, Check<&TCheckMarks::ShowClouds>},
    {"CShowDate", Flag, Value<&TSettingsValues::CShowDate>},
    {"CShowZA", Flag, Value<&TSettingsValues::CShowZA>},
    {"CShowSA", Flag, Value<&TSettingsValues::CShowSA>},
    {"CShowCty", Flag, Value<&TSettingsValues::CShowCty>},
    {"ShowSM", Flag, Value<&TSettingsValues::ShowSM>},
    {"ShowClock", Flag, Check<&TCheckMarks::ShowClock>},
    {"SingleMode", Flag, Check<&TCheckMarks::SingleMode>},
    {"WallpaperMode", Flag, Check<&TCheckMarks::WallpaperMode>},
    {"TranspDesk", Flag, Check<&TCheckMarks::TranspDesk>},
    {"HighlightCities", Flag, Check<&TCheckMarks::HighlightCities>},
    // The widths the wallpaper build makes.
    {"WallpaperWidth", Integer, Value<&TSettingsValues::WallpaperWidth>, {16, 16384}},
    {"SMUpdate", Integer, Value<&TSettingsValues::SMUpdate>},
    {"ClockBGColor", Color, Value<&TSettingsValues::ClockBGColor>},
    {"ClockFGColor", Color, Value<&TSettingsValues::ClockFGColor>},
    {"SLName", Text, Single<&TStoredLocation::Name>},
    {"SLZoneName", Text, Single<&TStoredLocation::ZoneName>},
    {"SLLatitude", Real, Single<&TStoredLocation::Latitude>},
    {"SLLongitude", Real, Single<&TStoredLocation::Longitude>},
    {"SLGMTOffset", OffsetText, Single<&TStoredLocation::UtcOffset>},
    {"LocationCount", Integer, Own<&TStoredSettings::LocationCount>},
    // The cloud layer's settings: read and written back, nothing else uses them.
    {"Proxy", Text, Value<&TSettingsValues::Proxy>},
    {"ProxyPort", Integer, Value<&TSettingsValues::ProxyPort>},
    {"CloudSource", Text, Value<&TSettingsValues::CloudSource>},
    {"CloudIntensity", Integer, Value<&TSettingsValues::CloudIntensity>},
};

constexpr TPlaceEntry PlaceKeyEntries[] = {
    {"Name", Text, Own<&TStoredLocation::Name>},
    {"ZoneName", Text, Own<&TStoredLocation::ZoneName>},
    {"Latitude", Real, Own<&TStoredLocation::Latitude>},
    {"Longitude", Real, Own<&TStoredLocation::Longitude>},
    // The offset when saved, for other readers: the clock tick computes it anew.
    {"GMTOffset", OffsetText, Own<&TStoredLocation::UtcOffset>, {}, false},
};

constexpr TDesktopEntry DesktopKeyEntries[] = {
    {"TileWallpaper", Text, Own<&TSavedWallpaper::TileWallpaper>},
    {"WallpaperStyle", Text, Own<&TSavedWallpaper::WallpaperStyle>},
    {"Wallpaper", Text, Own<&TSavedWallpaper::Wallpaper>},
};

[[noreturn]] void InvalidType(const char* name) {
    throw ERegistryException(std::string("Invalid data type for '") + name + "'");
}

} // namespace

bool ReadValue(TRegistry& reg, const char* name, TStoredKind kind, TFieldRef field,
               QStringList& problems) {
    if (!reg.ValueExists(name)) {
        return false;
    }
    try {
        switch (kind) {
        case Flag:
            *std::get<bool*>(field) = reg.ReadBool(name);
            break;
        case Integer:
            *std::get<int*>(field) = reg.ReadInteger(name);
            break;
        case Text:
            *std::get<QString*>(field) = QString::fromStdString(reg.ReadString(name));
            break;
        case OffsetText: {
            bool ok = false;
            const int v = QString::fromStdString(reg.ReadString(name)).trimmed().toInt(&ok);
            if (!ok) {
                throw std::invalid_argument("not an integer");
            }
            *std::get<int*>(field) = v;
            break;
        }
        case Real: {
            const double v = reg.ReadFloat(name);
            if (!std::isfinite(v)) {
                InvalidType(name);
            }
            *std::get<double*>(field) = v;
            break;
        }
        case Color:
            *std::get<TColorWord*>(field) = reg.ReadColor(name);
            break;
        }
        return true;
    } catch (const ERegistryException& e) {
        NoteProblem(reg, problems, name, QString::fromUtf8(e.what()));
    } catch (const std::invalid_argument&) {
        NoteProblem(reg, problems, name,
                    QStringLiteral("'%1' is not a valid integer value")
                        .arg(QString::fromStdString(reg.ReadString(name))));
    }
    return false;
}

void WriteValue(TRegistry& reg, const char* name, TStoredKind kind, TFieldRef field) {
    // Every kind but the offset text is written as its field's type says.
    struct TWriter {
        TRegistry& Reg;
        const char* Name;
        void operator()(const bool* v) const { Reg.WriteBool(Name, *v); }
        void operator()(const int* v) const { Reg.WriteInteger(Name, *v); }
        void operator()(const double* v) const { Reg.WriteFloat(Name, *v); }
        void operator()(const TColorWord* v) const { Reg.WriteColor(Name, *v); }
        void operator()(const QString* v) const { Reg.WriteString(Name, v->toStdString()); }
    };
    if (kind == OffsetText) {
        reg.WriteString(name, std::to_string(*std::get<int*>(field)));
    } else {
        std::visit(TWriter{reg, name}, field);
    }
}

TStoredValue ValueAt(TFieldRef field) {
    return std::visit([](auto* f) { return TStoredValue(*f); }, field);
}

void SetValueAt(TFieldRef field, const TStoredValue& value) {
    std::visit([&value](auto* f) { *f = std::get<std::remove_pointer_t<decltype(f)>>(value); },
               field);
}

constinit const std::span<const TSettingEntry> SettingEntries = SettingsKeyEntries;
constinit const std::span<const TPlaceEntry> PlaceEntries = PlaceKeyEntries;
constinit const std::span<const TDesktopEntry> DesktopEntries = DesktopKeyEntries;

TBounds BoundsOf(int TSettingsValues::*field) {
    TStoredSettings probe;
    return EntryAt(SettingEntries, probe, &(probe.Values.*field)).Bounds;
}

void NoteProblem(const TRegistry& reg, QStringList& problems, const char* name,
                 const QString& why) {
    problems << QStringLiteral("%1\\%2: %3")
                    .arg(QString::fromStdString(reg.CurrentPath()), QString::fromLatin1(name), why);
}

} // namespace app

#include "app/settings/StoredSettings.h"

#include "kiv/KivTimeZone.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <limits>

namespace app {

namespace {

using platform::ERegistryException;
using platform::TRegistry;

// The list holds at most this many places; the ones after them are read only
// to be kept, up to a number no store of places reaches.
constexpr int StoredPlacesLimit = 15;
constexpr int KeptPlacesLimit = 1000;

// Reads one value of the open key into `target` when it is there and readable;
// a value that is there but unreadable is noted and `target` keeps its value.
class TValueReader {
public:
    TValueReader(TRegistry& registry, QStringList& problems)
        : Registry(registry), Problems(problems) {}

    template <class T, class Read> bool Get(const char* name, T& target, Read read) {
        if (!Registry.ValueExists(name)) {
            return false;
        }
        try {
            target = read(name);
            return true;
        } catch (const ERegistryException& e) {
            Note(name, QString::fromUtf8(e.what()));
        } catch (const std::invalid_argument&) {
            Note(name, QStringLiteral("'%1' is not a valid integer value")
                           .arg(QString::fromStdString(Registry.ReadString(name))));
        }
        return false;
    }
    bool Flag(const char* name, bool& target) {
        return Get(name, target, [this](const char* n) { return Registry.ReadBool(n); });
    }
    bool Integer(const char* name, int& target) {
        return Get(name, target, [this](const char* n) { return Registry.ReadInteger(n); });
    }
    bool Text(const char* name, QString& target) {
        return Get(name, target, [this](const char* n) {
            return QString::fromStdString(Registry.ReadString(n));
        });
    }
    bool Color(const char* name, TColorWord& target) {
        return Get(name, target, [this](const char* n) { return Registry.ReadColor(n); });
    }
    bool Real(const char* name, double& target) {
        return Get(name, target, [this](const char* n) {
            const double v = Registry.ReadFloat(n);
            if (!std::isfinite(v)) {
                throw ERegistryException(std::string("Invalid data type for '") + n + "'");
            }
            return v;
        });
    }
    // A signed whole number of minutes stored as text.
    bool OffsetText(const char* name, int& target) {
        return Get(name, target, [this](const char* n) {
            bool ok = false;
            const int v = QString::fromStdString(Registry.ReadString(n)).trimmed().toInt(&ok);
            if (!ok) {
                throw std::invalid_argument("not an integer");
            }
            return v;
        });
    }

    void Note(const char* name, const QString& why) {
        Problems << QStringLiteral("%1\\%2: %3")
                        .arg(QString::fromStdString(Registry.CurrentPath()),
                             QString::fromLatin1(name), why);
    }

private:
    TRegistry& Registry;
    QStringList& Problems;
};

std::string PlaceKey(int index) {
    return SettingsKey + '\\' + std::to_string(index);
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

// One place of the open subkey; false when it names no zone (a clock needs
// one). Missing coordinates are its zone's own, a missing name the zone's.
bool ReadPlace(TRegistry& reg, TValueReader& read, TStoredLocation& place) {
    const bool lat = read.Real("Latitude", place.Latitude);
    const bool lon = read.Real("Longitude", place.Longitude);
    const bool zoneRead = read.Text("ZoneName", place.ZoneName);
    const bool name = read.Text("Name", place.Name);
    const auto missing = [&](const char* value, const QString& instead) {
        if (!reg.ValueExists(value)) {
            read.Note(value, QStringLiteral("missing; %1").arg(instead));
        }
    };
    if (!zoneRead || place.ZoneName.isEmpty()) {
        missing("ZoneName", QStringLiteral("the place is not listed"));
        if (zoneRead) {
            read.Note("ZoneName", QStringLiteral("empty; the place is not listed"));
        }
        return false;
    }
    if (!lat || !lon) {
        double zoneLatitude = 0;
        double zoneLongitude = 0;
        try {
            const kiv::TZoneData& z = kiv::ZoneDB.FindZone(Utf8(place.ZoneName));
            zoneLatitude = z.Latitude;
            zoneLongitude = z.Longitude;
        } catch (const std::exception&) {
            // A zone the database does not know: the place still keeps its clock.
        }
        if (!lat) {
            place.Latitude = zoneLatitude;
            missing("Latitude", QStringLiteral("the zone's own is used"));
        }
        if (!lon) {
            place.Longitude = zoneLongitude;
            missing("Longitude", QStringLiteral("the zone's own is used"));
        }
    }
    if (!name) {
        place.Name = place.ZoneName;
        missing("Name", QStringLiteral("the zone's name is used"));
    }
    return true;
}

int MinusOne(int v) {
    return v == std::numeric_limits<int>::min() ? v : v - 1;
}

} // namespace

TSavedWallpaper ReadDesktopWallpaper(TRegistry& reg) {
    TSavedWallpaper saved;
    if (reg.OpenKeyReadOnly(DesktopKey)) {
        QStringList ignored;
        TValueReader read(reg, ignored);
        read.Text("TileWallpaper", saved.TileWallpaper);
        read.Text("WallpaperStyle", saved.WallpaperStyle);
        read.Text("Wallpaper", saved.Wallpaper);
    }
    reg.CloseKey();
    return saved;
}

TLoadReport ReadSettings(TSettingsHost& host, TRegistry& reg) {
    TLoadReport report;
    // Reading moves the accessor between keys; it is put back to the root.
    const auto closeAtEnd = qScopeGuard([&reg] { reg.CloseKey(); });
    if (!reg.OpenKeyReadOnly(SettingsKey)) {
        // First start: clock shown, cities highlighted, the single location
        // instead of the list (which keeps both on), the cloud switch on.
        report.FirstRun = true;
        host.SetShowClock(true);
        host.SetHighlightCities(true);
        host.SetMultiMode(false);
        host.SetShowClouds(true);
        return report;
    }
    TValueReader read(reg, report.Problems);

    TSettingsValues v = host.Values();
    if (read.Integer("WallpaperWidth", v.WallpaperWidth) &&
        (v.WallpaperWidth < MinWallpaperWidth || v.WallpaperWidth > MaxWallpaperWidth)) {
        // A width the wallpaper build cannot make.
        v.WallpaperWidth = TSettingsValues{}.WallpaperWidth;
    }
    read.Flag("ShowDate", v.ShowDate);
    read.Flag("ShowZA", v.ShowZA);
    read.Flag("ShowSA", v.ShowSA);
    read.Flag("CShowDate", v.CShowDate);
    read.Flag("CShowZA", v.CShowZA);
    read.Flag("CShowSA", v.CShowSA);
    read.Flag("CShowCty", v.CShowCty);
    read.Color("ClockBGColor", v.ClockBGColor);
    read.Color("ClockFGColor", v.ClockFGColor);
    read.Flag("ShowSM", v.ShowSM);
    read.Integer("SMUpdate", v.SMUpdate);
    TStoredLocation single = host.SingleLocation();
    read.Text("SLName", single.Name);
    read.Text("SLZoneName", single.ZoneName);
    read.Real("SLLatitude", single.Latitude);
    read.Real("SLLongitude", single.Longitude);
    read.OffsetText("SLGMTOffset", single.UtcOffset);
    read.Text("Proxy", v.Proxy);
    read.Integer("ProxyPort", v.ProxyPort);
    read.Text("CloudSource", v.CloudSource);
    read.Integer("CloudIntensity", v.CloudIntensity);
    int count = 0;
    read.Integer("LocationCount", count);
    host.SetValues(v);
    host.SetSingleLocation(single);

    // The places, in list mode (the stored mode is applied below). A missing
    // subkey is skipped; a place that lacks values keeps what it has.
    for (int i = 0; i < std::min(count, KeptPlacesLimit); ++i) {
        TStoredLocation place;
        if (!reg.OpenKeyReadOnly(PlaceKey(i)) || !ReadPlace(reg, read, place)) {
            continue;
        }
        if (i < StoredPlacesLimit) {
            host.AddLocation(place.Name, place.ZoneName, place.Latitude, place.Longitude);
        } else {
            report.NotLoaded.push_back(place);
        }
    }

    // The stored check marks, each run as its command in this order; each acts
    // on the state the ones before it left.
    reg.OpenKeyReadOnly(SettingsKey);
    const auto stored = [&read](const char* name) {
        bool on = false;
        return read.Flag(name, on) && on;
    };
    if (stored("ShowClock")) {
        host.SetShowClock(!host.ShowClockChecked());
    }
    if (stored("SingleMode")) {
        host.SetMultiMode(!host.MultiModeChecked());
    }
    if (stored("WallpaperMode")) {
        host.SetWallpaperChecked(true);
    }
    if (stored("TranspDesk")) {
        host.SetTranspDesk(!host.TranspDeskChecked());
    }
    if (stored("ShowClouds")) {
        host.SetShowClouds(!host.ShowCloudsChecked());
    }
    if (stored("HighlightCities")) {
        host.SetHighlightCities(!host.HighlightCitiesChecked());
    }
    host.SetShadowRefreshCounter(MinusOne(v.SMUpdate));
    return report;
}

void WriteSettings(const TSettingsHost& host, TRegistry& reg,
                   const std::vector<TStoredLocation>& notLoaded) {
    const TSettingsValues v = host.Values();
    const TStoredLocation single = host.SingleLocation();
    std::vector<TStoredLocation> places = host.Locations();
    places.insert(places.end(), notLoaded.begin(), notLoaded.end());
    reg.Discard();
    reg.OpenKey(SettingsKey, true);
    reg.WriteBool("ShowDate", v.ShowDate);
    reg.WriteBool("ShowZA", v.ShowZA);
    reg.WriteBool("ShowSA", v.ShowSA);
    reg.WriteBool("ShowClouds", host.ShowCloudsChecked());
    reg.WriteBool("CShowDate", v.CShowDate);
    reg.WriteBool("CShowZA", v.CShowZA);
    reg.WriteBool("CShowSA", v.CShowSA);
    reg.WriteBool("CShowCty", v.CShowCty);
    reg.WriteBool("ShowSM", v.ShowSM);
    reg.WriteBool("ShowClock", host.ShowClockChecked());
    reg.WriteBool("SingleMode", !host.MultiModeChecked());
    reg.WriteBool("WallpaperMode", host.WallpaperChecked());
    reg.WriteBool("TranspDesk", host.TranspDeskChecked());
    reg.WriteBool("HighlightCities", host.HighlightCitiesChecked());
    reg.WriteInteger("WallpaperWidth", v.WallpaperWidth);
    reg.WriteInteger("SMUpdate", v.SMUpdate);
    reg.WriteColor("ClockBGColor", v.ClockBGColor);
    reg.WriteColor("ClockFGColor", v.ClockFGColor);
    reg.WriteString("SLName", Utf8(single.Name));
    reg.WriteString("SLZoneName", Utf8(single.ZoneName));
    reg.WriteFloat("SLLatitude", single.Latitude);
    reg.WriteFloat("SLLongitude", single.Longitude);
    reg.WriteString("SLGMTOffset", std::to_string(single.UtcOffset));
    reg.WriteInteger("LocationCount", static_cast<int>(places.size()));
    reg.WriteString("Proxy", Utf8(v.Proxy));
    reg.WriteInteger("ProxyPort", v.ProxyPort);
    reg.WriteString("CloudSource", Utf8(v.CloudSource));
    reg.WriteInteger("CloudIntensity", v.CloudIntensity);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const TStoredLocation& place = places[i];
        reg.OpenKey(PlaceKey(static_cast<int>(i)), true);
        reg.WriteString("Name", Utf8(place.Name));
        reg.WriteString("ZoneName", Utf8(place.ZoneName));
        reg.WriteFloat("Latitude", place.Latitude);
        reg.WriteFloat("Longitude", place.Longitude);
        reg.WriteString("GMTOffset", std::to_string(place.UtcOffset));
    }
    reg.CloseKey();
    try {
        reg.Commit();
    } catch (...) {
        reg.Discard();
        throw;
    }
}

} // namespace app

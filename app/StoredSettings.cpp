#include "app/StoredSettings.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <limits>

namespace app {

namespace {

using platform::ERegistryException;
using platform::TRegistry;

// The list holds at most this many places; a larger stored count reads no more.
constexpr int StoredPlacesLimit = 15;

// Reads one value of the open key into `target` when it is there and readable;
// a value that is there but unreadable is noted and `target` keeps its value.
class TValueReader {
public:
    TValueReader(TRegistry& registry, QStringList& problems)
        : Registry(registry), Problems(problems) {}

    template <class T, class Read> bool Get(const QString& name, T& target, Read read) {
        if (!Registry.ValueExists(name)) {
            return false;
        }
        try {
            target = read(name);
            return true;
        } catch (const ERegistryException& e) {
            Note(name, QString::fromUtf8(e.what()));
        } catch (const std::invalid_argument&) {
            Note(
                name,
                QStringLiteral("'%1' is not a valid integer value").arg(Registry.ReadString(name)));
        }
        return false;
    }
    bool Flag(const QString& name, bool& target) {
        return Get(name, target, [this](const QString& n) { return Registry.ReadBool(n); });
    }
    bool Integer(const QString& name, int& target) {
        return Get(name, target, [this](const QString& n) { return Registry.ReadInteger(n); });
    }
    bool Text(const QString& name, QString& target) {
        return Get(name, target, [this](const QString& n) { return Registry.ReadString(n); });
    }
    bool Color(const QString& name, TColorWord& target) {
        return Get(name, target, [this](const QString& n) { return Registry.ReadColor(n); });
    }
    bool Real(const QString& name, double& target) {
        return Get(name, target, [this](const QString& n) {
            const double v = Registry.ReadFloat(n);
            if (!std::isfinite(v)) {
                throw ERegistryException(
                    QStringLiteral("Invalid data type for '%1'").arg(n).toStdString());
            }
            return v;
        });
    }
    // A signed whole number of minutes stored as text.
    bool OffsetText(const QString& name, int& target) {
        return Get(name, target, [this](const QString& n) {
            bool ok = false;
            const int v = Registry.ReadString(n).trimmed().toInt(&ok);
            if (!ok) {
                throw std::invalid_argument("not an integer");
            }
            return v;
        });
    }

private:
    void Note(const QString& name, const QString& why) {
        const QString key = Registry.CurrentPath();
        Problems << QStringLiteral("%1\\%2: %3").arg(key, name, why);
    }

    TRegistry& Registry;
    QStringList& Problems;
};

QString PlaceKey(int index) {
    return SettingsKey + QLatin1Char('\\') + QString::number(index);
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
        read.Text(QStringLiteral("TileWallpaper"), saved.TileWallpaper);
        read.Text(QStringLiteral("WallpaperStyle"), saved.WallpaperStyle);
        read.Text(QStringLiteral("Wallpaper"), saved.Wallpaper);
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
        host.ShowClockClick();
        host.MIHighlightCitiesClick();
        host.MultiModeClick();
        host.ShowCloudsClick();
        return report;
    }
    TValueReader read(reg, report.Problems);

    TSettingsValues v = host.Values();
    if (read.Integer(QStringLiteral("WallpaperWidth"), v.WallpaperWidth) &&
        (v.WallpaperWidth < MinWallpaperWidth || v.WallpaperWidth > MaxWallpaperWidth)) {
        // A width the wallpaper build cannot make.
        v.WallpaperWidth = TSettingsValues{}.WallpaperWidth;
    }
    read.Flag(QStringLiteral("ShowDate"), v.ShowDate);
    read.Flag(QStringLiteral("ShowZA"), v.ShowZA);
    read.Flag(QStringLiteral("ShowSA"), v.ShowSA);
    read.Flag(QStringLiteral("CShowDate"), v.CShowDate);
    read.Flag(QStringLiteral("CShowZA"), v.CShowZA);
    read.Flag(QStringLiteral("CShowSA"), v.CShowSA);
    read.Flag(QStringLiteral("CShowCty"), v.CShowCty);
    read.Color(QStringLiteral("ClockBGColor"), v.ClockBGColor);
    read.Color(QStringLiteral("ClockFGColor"), v.ClockFGColor);
    read.Flag(QStringLiteral("ShowSM"), v.ShowSM);
    read.Integer(QStringLiteral("SMUpdate"), v.SMUpdate);
    TStoredLocation single = host.SingleLocation();
    read.Text(QStringLiteral("SLName"), single.Name);
    read.Text(QStringLiteral("SLZoneName"), single.ZoneName);
    read.Real(QStringLiteral("SLLatitude"), single.Latitude);
    read.Real(QStringLiteral("SLLongitude"), single.Longitude);
    read.OffsetText(QStringLiteral("SLGMTOffset"), single.UtcOffset);
    read.Text(QStringLiteral("Proxy"), v.Proxy);
    read.Integer(QStringLiteral("ProxyPort"), v.ProxyPort);
    read.Text(QStringLiteral("CloudSource"), v.CloudSource);
    read.Integer(QStringLiteral("CloudIntensity"), v.CloudIntensity);
    int count = 0;
    read.Integer(QStringLiteral("LocationCount"), count);
    host.SetValues(v);
    host.SetSingleLocation(single);

    // The places, in list mode (the stored mode is applied below). A missing
    // subkey, or one without a zone or coordinates, is skipped.
    for (int i = 0; i < std::min(count, StoredPlacesLimit); ++i) {
        if (!reg.OpenKeyReadOnly(PlaceKey(i))) {
            continue;
        }
        TStoredLocation place;
        const bool lat = read.Real(QStringLiteral("Latitude"), place.Latitude);
        const bool lon = read.Real(QStringLiteral("Longitude"), place.Longitude);
        const bool zone = read.Text(QStringLiteral("ZoneName"), place.ZoneName);
        read.Text(QStringLiteral("Name"), place.Name);
        if (lat && lon && zone) {
            host.AddLocation(place.Name, place.ZoneName, place.Latitude, place.Longitude);
        }
    }

    // The stored check marks, each run as its command in this order; each acts
    // on the state the ones before it left.
    reg.OpenKeyReadOnly(SettingsKey);
    const auto stored = [&read](const char* name) {
        bool on = false;
        return read.Flag(QString::fromLatin1(name), on) && on;
    };
    if (stored("ShowClock")) {
        host.ShowClockClick();
    }
    if (stored("SingleMode")) {
        host.MultiModeClick();
    }
    if (stored("WallpaperMode")) {
        host.SetWallpaperChecked(true);
    }
    if (stored("TranspDesk")) {
        host.TranspDeskClick();
    }
    if (stored("ShowClouds")) {
        host.ShowCloudsClick();
    }
    if (stored("HighlightCities")) {
        host.MIHighlightCitiesClick();
    }
    host.SetShadowRefreshCounter(MinusOne(v.SMUpdate));
    return report;
}

void WriteSettings(const TSettingsHost& host, TRegistry& reg) {
    const TSettingsValues v = host.Values();
    const TStoredLocation single = host.SingleLocation();
    const std::vector<TStoredLocation> places = host.Locations();
    reg.Discard();
    reg.OpenKey(SettingsKey, true);
    reg.WriteBool(QStringLiteral("ShowDate"), v.ShowDate);
    reg.WriteBool(QStringLiteral("ShowZA"), v.ShowZA);
    reg.WriteBool(QStringLiteral("ShowSA"), v.ShowSA);
    reg.WriteBool(QStringLiteral("ShowClouds"), host.ShowCloudsChecked());
    reg.WriteBool(QStringLiteral("CShowDate"), v.CShowDate);
    reg.WriteBool(QStringLiteral("CShowZA"), v.CShowZA);
    reg.WriteBool(QStringLiteral("CShowSA"), v.CShowSA);
    reg.WriteBool(QStringLiteral("CShowCty"), v.CShowCty);
    reg.WriteBool(QStringLiteral("ShowSM"), v.ShowSM);
    reg.WriteBool(QStringLiteral("ShowClock"), host.ShowClockChecked());
    reg.WriteBool(QStringLiteral("SingleMode"), !host.MultiModeChecked());
    reg.WriteBool(QStringLiteral("WallpaperMode"), host.WallpaperChecked());
    reg.WriteBool(QStringLiteral("TranspDesk"), host.TranspDeskChecked());
    reg.WriteBool(QStringLiteral("HighlightCities"), host.HighlightCitiesChecked());
    reg.WriteInteger(QStringLiteral("WallpaperWidth"), v.WallpaperWidth);
    reg.WriteInteger(QStringLiteral("SMUpdate"), v.SMUpdate);
    reg.WriteColor(QStringLiteral("ClockBGColor"), v.ClockBGColor);
    reg.WriteColor(QStringLiteral("ClockFGColor"), v.ClockFGColor);
    reg.WriteString(QStringLiteral("SLName"), single.Name);
    reg.WriteString(QStringLiteral("SLZoneName"), single.ZoneName);
    reg.WriteFloat(QStringLiteral("SLLatitude"), single.Latitude);
    reg.WriteFloat(QStringLiteral("SLLongitude"), single.Longitude);
    reg.WriteString(QStringLiteral("SLGMTOffset"), QString::number(single.UtcOffset));
    reg.WriteInteger(QStringLiteral("LocationCount"), static_cast<int>(places.size()));
    reg.WriteString(QStringLiteral("Proxy"), v.Proxy);
    reg.WriteInteger(QStringLiteral("ProxyPort"), v.ProxyPort);
    reg.WriteString(QStringLiteral("CloudSource"), v.CloudSource);
    reg.WriteInteger(QStringLiteral("CloudIntensity"), v.CloudIntensity);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const TStoredLocation& place = places[i];
        reg.OpenKey(PlaceKey(static_cast<int>(i)), true);
        reg.WriteString(QStringLiteral("Name"), place.Name);
        reg.WriteString(QStringLiteral("ZoneName"), place.ZoneName);
        reg.WriteFloat(QStringLiteral("Latitude"), place.Latitude);
        reg.WriteFloat(QStringLiteral("Longitude"), place.Longitude);
        reg.WriteString(QStringLiteral("GMTOffset"), QString::number(place.UtcOffset));
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

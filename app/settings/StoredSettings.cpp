#include "app/settings/StoredSettings.h"

#include "app/settings/SettingsTable.h"
#include "kiv/KivTimeZone.h"

#include <QScopeGuard>

#include <algorithm>
#include <limits>

namespace app {

namespace {

using platform::TRegistry;

// The list holds at most this many places; the ones after them are read only
// to be kept, up to a number no store of places reaches.
constexpr int StoredPlacesLimit = 15;
constexpr int KeptPlacesLimit = 1000;

std::string PlaceKey(int index) {
    return SettingsKey + '\\' + std::to_string(index);
}

// One place of the open subkey; false when it names no zone (a clock needs
// one). Missing coordinates are its zone's own, a missing name the zone's.
bool ReadPlace(TRegistry& reg, QStringList& problems, TStoredLocation& place) {
    const std::vector<TFieldRef> read = ReadRecord(reg, PlaceEntries, place, problems);
    const auto wasRead = [&read](TFieldRef field) {
        return std::find(read.begin(), read.end(), field) != read.end();
    };
    const auto note = [&](TFieldRef field, const QString& why) {
        NoteProblem(reg, problems, EntryAt(PlaceEntries, place, field).Name, why);
    };
    const auto missing = [&](TFieldRef field, const QString& instead) {
        if (!reg.ValueExists(EntryAt(PlaceEntries, place, field).Name)) {
            note(field, QStringLiteral("missing; %1").arg(instead));
        }
    };
    const bool zoneRead = wasRead(&place.ZoneName);
    if (!zoneRead || place.ZoneName.isEmpty()) {
        missing(&place.ZoneName, QStringLiteral("the place is not listed"));
        if (zoneRead) {
            note(&place.ZoneName, QStringLiteral("empty; the place is not listed"));
        }
        return false;
    }
    const bool lat = wasRead(&place.Latitude);
    const bool lon = wasRead(&place.Longitude);
    if (!lat || !lon) {
        double zoneLatitude = 0;
        double zoneLongitude = 0;
        try {
            const kiv::TZoneData& z = kiv::ZoneDB.FindZone(place.ZoneName.toStdString());
            zoneLatitude = z.Latitude;
            zoneLongitude = z.Longitude;
        } catch (const std::exception&) {
            // A zone the database does not know: the place still keeps its clock.
        }
        if (!lat) {
            place.Latitude = zoneLatitude;
            missing(&place.Latitude, QStringLiteral("the zone's own is used"));
        }
        if (!lon) {
            place.Longitude = zoneLongitude;
            missing(&place.Longitude, QStringLiteral("the zone's own is used"));
        }
    }
    if (!wasRead(&place.Name)) {
        place.Name = place.ZoneName;
        missing(&place.Name, QStringLiteral("the zone's name is used"));
    }
    return true;
}

// How each stored check mark reaches the window, in the order loading applies
// them: one that is on runs its command as if the user had chosen it, on the
// state the ones before it left (switching the list off also switches the
// clock and the highlighting on); one that is off does nothing.
struct TCheckMarkCommand {
    bool TCheckMarks::*Mark;
    void (*Run)(TSettingsHost& host);
};
const TCheckMarkCommand CheckMarkCommands[] = {
    {&TCheckMarks::ShowClock, [](TSettingsHost& h) { h.ShowClockClick(); }},
    {&TCheckMarks::SingleMode, [](TSettingsHost& h) { h.MultiModeClick(); }},
    // The check mark only: no wallpaper is built at this point.
    {&TCheckMarks::WallpaperMode, [](TSettingsHost& h) { h.SetWallpaperChecked(true); }},
    {&TCheckMarks::TranspDesk, [](TSettingsHost& h) { h.TranspDeskClick(); }},
    {&TCheckMarks::ShowClouds, [](TSettingsHost& h) { h.ShowCloudsClick(); }},
    {&TCheckMarks::HighlightCities, [](TSettingsHost& h) { h.MIHighlightCitiesClick(); }},
};

void ApplyCheckMarks(TSettingsHost& host, const TCheckMarks& marks) {
    for (const auto& [mark, run] : CheckMarkCommands) {
        if (marks.*mark) {
            run(host);
        }
    }
}

// Switches one check mark on, as if stored on.
void SwitchOn(TSettingsHost& host, bool TCheckMarks::*mark) {
    TCheckMarks marks;
    marks.*mark = true;
    ApplyCheckMarks(host, marks);
}

TCheckMarks CheckMarksOf(const TSettingsHost& host) {
    return {host.ShowClockChecked(),  !host.MultiModeChecked(), host.WallpaperChecked(),
            host.TranspDeskChecked(), host.ShowCloudsChecked(), host.HighlightCitiesChecked()};
}

int MinusOne(int v) {
    return v == std::numeric_limits<int>::min() ? v : v - 1;
}

} // namespace

TSavedWallpaper ReadDesktopWallpaper(TRegistry& reg) {
    TSavedWallpaper saved;
    if (reg.OpenKeyReadOnly(DesktopKey)) {
        QStringList ignored;
        ReadRecord(reg, DesktopEntries, saved, ignored);
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
        SwitchOn(host, &TCheckMarks::ShowClock);
        SwitchOn(host, &TCheckMarks::HighlightCities);
        SwitchOn(host, &TCheckMarks::SingleMode);
        SwitchOn(host, &TCheckMarks::ShowClouds);
        return report;
    }
    // The check marks start off: only those stored on are applied.
    TStoredSettings stored{host.Values(), host.SingleLocation(), {}, 0};
    ReadRecord(reg, SettingEntries, stored, report.Problems);
    host.SetValues(stored.Values);
    host.SetSingleLocation(stored.Single);

    // The places, in list mode (the stored mode is applied below). A missing
    // subkey is skipped; a place that lacks values keeps what it has.
    for (int i = 0; i < std::min(stored.LocationCount, KeptPlacesLimit); ++i) {
        TStoredLocation place;
        if (!reg.OpenKeyReadOnly(PlaceKey(i)) || !ReadPlace(reg, report.Problems, place)) {
            continue;
        }
        if (i < StoredPlacesLimit) {
            host.AddLocation(place.Name, place.ZoneName, place.Latitude, place.Longitude);
        } else {
            report.NotLoaded.push_back(place);
        }
    }
    ApplyCheckMarks(host, stored.Checks);
    host.SetShadowRefreshCounter(MinusOne(stored.Values.SMUpdate));
    return report;
}

void WriteSettings(const TSettingsHost& host, TRegistry& reg,
                   const std::vector<TStoredLocation>& notLoaded) {
    std::vector<TStoredLocation> places = host.Locations();
    places.insert(places.end(), notLoaded.begin(), notLoaded.end());
    const TStoredSettings stored{host.Values(), host.SingleLocation(), CheckMarksOf(host),
                                 static_cast<int>(places.size())};
    reg.Discard();
    reg.OpenKey(SettingsKey, true);
    WriteRecord(reg, SettingEntries, stored);
    for (std::size_t i = 0; i < places.size(); ++i) {
        reg.OpenKey(PlaceKey(static_cast<int>(i)), true);
        WriteRecord(reg, PlaceEntries, places[i]);
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

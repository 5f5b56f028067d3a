// What the stored settings and the options dialog need of the main window: the
// values it keeps, the check marks of its commands and the commands that flip
// them, the list of places, the shadow-refresh counter and the record of the
// user's own desktop wallpaper. The settings code includes this header and
// never the window; the window (or an adapter of it) implements it.
#pragma once

#include "app/settings/DisplaySettings.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace app {

// A colour as the window system's 32-bit colour word: 0x00BBGGRR for an
// explicit colour, 0xFF0000nn for the system colour with index nn.
using TColorWord = std::uint32_t;
// The system colours the clock line uses by default.
constexpr TColorWord ButtonFaceColor = 0xFF00000F;
constexpr TColorWord WindowTextColor = 0xFF000008;

// Where a cloud image would come from. Stored and edited only: nothing is ever
// fetched from it.
inline const QString DefaultCloudSource =
    QStringLiteral("http://clouds.example.org/clouds/clouds_2048.jpg");

// The settings the window keeps as plain values, with the values it has when
// it is created: the display values its clock reads, and the ones only the
// store and the options dialog use.
struct TSettingsValues : TDisplayValues {
    TColorWord ClockBGColor = ButtonFaceColor; // the clock panel
    TColorWord ClockFGColor = WindowTextColor; // the clock text
    // Cloud layer settings: stored and edited, nothing else reads them.
    QString Proxy;
    int ProxyPort = 0;
    QString CloudSource = DefaultCloudSource;
    int CloudIntensity = 90; // per cent

    bool operator==(const TSettingsValues&) const = default;
};

// One place as it is stored: a row of the list, or the single location.
struct TStoredLocation {
    QString Name;
    QString ZoneName;
    double Latitude = 0;  // degrees, north positive
    double Longitude = 0; // degrees, east positive
    int UtcOffset = 0;    // minutes, as the last clock tick found it

    bool operator==(const TStoredLocation&) const = default;
};

// The single location the window starts with.
inline const TStoredLocation DefaultSingleLocation{QStringLiteral("Melbourne, Australia"),
                                                   QStringLiteral("Australia/Melbourne"), -37.81667,
                                                   144.96667, 0};

// The user's own desktop wallpaper values, captured when the settings are
// loaded so that switching wallpaper mode off can put them back.
struct TSavedWallpaper {
    QString TileWallpaper;
    QString WallpaperStyle;
    QString Wallpaper;

    bool operator==(const TSavedWallpaper&) const = default;
};

class TSettingsHost {
public:
    virtual ~TSettingsHost() = default;

    // The plain values. Setting them applies them at once: the clock colours
    // show, ShowSM sets the check mark of "Show Shadow Map"; the format flags
    // show from the next tick.
    virtual TSettingsValues Values() const = 0;
    virtual void SetValues(const TSettingsValues& values) = 0;

    // The place the clock line shows while the list is switched off.
    virtual TStoredLocation SingleLocation() const = 0;
    virtual void SetSingleLocation(const TStoredLocation& location) = 0;

    // The listed places in display order, for saving.
    virtual std::vector<TStoredLocation> Locations() const = 0;
    // Adds a place as the list does: in list mode it appends it (or selects a
    // listed place within 0.001 degrees, and refuses a 16th), otherwise it
    // replaces the single location.
    virtual void AddLocation(const QString& name, const QString& zoneName, double latitude,
                             double longitude) = 0;

    // Check marks of the commands whose state is stored.
    virtual bool ShowClockChecked() const = 0;
    virtual bool MultiModeChecked() const = 0; // "Show Location List"
    virtual bool WallpaperChecked() const = 0;
    virtual bool TranspDeskChecked() const = 0;
    virtual bool ShowCloudsChecked() const = 0;
    virtual bool HighlightCitiesChecked() const = 0;

    // The commands, run as if the user had chosen them: each flips its check
    // mark and applies the new state (switching the list off also switches the
    // clock and the highlighting on).
    virtual void ShowClockClick() = 0;
    virtual void MultiModeClick() = 0;
    virtual void MIHighlightCitiesClick() = 0;
    virtual void TranspDeskClick() = 0;
    virtual void ShowCloudsClick() = 0;
    // Sets the check mark of "Wallpaper Mode" only: no wallpaper is built.
    virtual void SetWallpaperChecked(bool checked) = 0;

    // The clock tick's count of seconds since the last shadow-map refresh; a
    // tick refreshes once it exceeds SMUpdate.
    virtual void SetShadowRefreshCounter(int ticks) = 0;

    virtual void SetSavedWallpaper(const TSavedWallpaper& wallpaper) = 0;
};

} // namespace app

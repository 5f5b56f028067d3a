// The main window as the stored settings and the options dialog see it: its
// display settings, the clock's colours, the cloud values it keeps for the
// store, its list and single location, its check marks and the commands that
// flip them.
#pragma once

#include "app/settings/SettingsHost.h"

namespace app {

class TFormChronara;

class TWindowSettings : public TSettingsHost {
public:
    explicit TWindowSettings(TFormChronara& form) : Form(form) {}

    TSettingsValues Values() const override;
    void SetValues(const TSettingsValues& values) override;
    TStoredLocation SingleLocation() const override;
    void SetSingleLocation(const TStoredLocation& location) override;
    std::vector<TStoredLocation> Locations() const override;
    void AddLocation(const QString& name, const QString& zoneName, double latitude,
                     double longitude) override;
    bool ShowClockChecked() const override;
    bool MultiModeChecked() const override;
    bool WallpaperChecked() const override;
    bool TranspDeskChecked() const override;
    bool ShowCloudsChecked() const override;
    bool HighlightCitiesChecked() const override;
    void ShowClockClick() override;
    void MultiModeClick() override;
    void MIHighlightCitiesClick() override;
    void TranspDeskClick() override;
    void ShowCloudsClick() override;
    void SetWallpaperChecked(bool checked) override;
    void SetShadowRefreshCounter(int ticks) override;
    void SetSavedWallpaper(const TSavedWallpaper& wallpaper) override;

    // Shows the clock colours on the clock line.
    void ApplyClockColors();

private:
    TFormChronara& Form;
    // The values no other part of the window reads.
    TColorWord ClockBGColor = ButtonFaceColor;
    TColorWord ClockFGColor = WindowTextColor;
    QString Proxy;
    int ProxyPort = 0;
    QString CloudSource = DefaultCloudSource;
    int CloudIntensity = 90;
};

} // namespace app

// A main window reduced to what the settings need: plain fields, check marks
// and the commands' effects on each other, with a log of the commands run.
#pragma once

#include "app/settings/SettingsHost.h"

#include <QStringList>

#include <cmath>

namespace apptest {

class TFakeSettingsHost : public app::TSettingsHost {
public:
    app::TSettingsValues V;
    app::TStoredLocation Single = app::DefaultSingleLocation;
    std::vector<app::TStoredLocation> List;
    bool Clock = false, Multi = true, Wallpaper = false, Transp = false, Clouds = false,
         Highlight = false;
    int Counter = 599;
    app::TSavedWallpaper Saved;
    QStringList Log; // commands in the order they ran

    app::TSettingsValues Values() const override { return V; }
    void SetValues(const app::TSettingsValues& values) override { V = values; }
    app::TStoredLocation SingleLocation() const override { return Single; }
    void SetSingleLocation(const app::TStoredLocation& location) override { Single = location; }
    std::vector<app::TStoredLocation> Locations() const override { return List; }
    void AddLocation(const QString& name, const QString& zoneName, double latitude,
                     double longitude) override {
        if (!Multi) {
            Single = {name, zoneName, latitude, longitude, Single.UtcOffset};
            return;
        }
        for (const auto& e : List) {
            if (std::fabs(e.Latitude - latitude) < 0.001 &&
                std::fabs(e.Longitude - longitude) < 0.001) {
                return;
            }
        }
        if (List.size() < 15) {
            List.push_back({name, zoneName, latitude, longitude, 0});
        }
    }
    bool ShowClockChecked() const override { return Clock; }
    bool MultiModeChecked() const override { return Multi; }
    bool WallpaperChecked() const override { return Wallpaper; }
    bool TranspDeskChecked() const override { return Transp; }
    bool ShowCloudsChecked() const override { return Clouds; }
    bool HighlightCitiesChecked() const override { return Highlight; }
    void ShowClockClick() override {
        Log << QStringLiteral("ShowClock");
        Clock = !Clock;
    }
    void MultiModeClick() override {
        Log << QStringLiteral("MultiMode");
        Multi = !Multi;
        if (!Multi) {
            // Without the list the clock line and the highlighting are forced on.
            if (!Clock) {
                ShowClockClick();
            }
            if (!Highlight) {
                MIHighlightCitiesClick();
            }
        }
    }
    void MIHighlightCitiesClick() override {
        Log << QStringLiteral("HighlightCities");
        Highlight = !Highlight;
    }
    void TranspDeskClick() override {
        Log << QStringLiteral("TranspDesk");
        Transp = !Transp;
    }
    void ShowCloudsClick() override {
        Log << QStringLiteral("ShowClouds");
        Clouds = !Clouds;
    }
    void SetWallpaperChecked(bool checked) override {
        Log << QStringLiteral("Wallpaper");
        Wallpaper = checked;
    }
    void SetShadowRefreshCounter(int ticks) override { Counter = ticks; }
    void SetSavedWallpaper(const app::TSavedWallpaper& wallpaper) override { Saved = wallpaper; }
};

} // namespace apptest

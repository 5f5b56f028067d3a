// The main window as the stored settings and the options dialog see it: its
// display values, the clock's colours, the cloud values it keeps for the
// store, its list and single location and the states of its commands. It owns
// the options dialog, loads the settings at the first activation and saves
// them when the window closes. A command state set here reaches the window
// through a change signal, which the window handles as the command.
#pragma once

#include "app/settings/SettingsHost.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QDialog;
class QLabel;
class QTimer;
class QWidget;

namespace app {

class TDesktopIntegration;
class TLocationList;
class Toptions;

class TWindowSettings : public QObject, public TSettingsHost {
    Q_OBJECT
public:
    // The window's parts the settings read and write, by the commands' names.
    struct TParts {
        QWidget* Window = nullptr;
        QWidget* PanelClock = nullptr;
        QLabel* ClockLabel = nullptr;
        TLocationList* List = nullptr;
        TDesktopIntegration* Desktop = nullptr;
        QAction* ShowClock = nullptr;
        QAction* MultiMode = nullptr;
        QAction* Wallpaper = nullptr;
        QAction* TranspDesk = nullptr;
        QAction* ShowClouds = nullptr;
        QAction* MIHighlightCities = nullptr;
        QAction* ShowSM1 = nullptr;
        // The settings store's folder (the user's configuration folder when
        // empty).
        QString SettingsDir;
    };
    TWindowSettings(const TParts& parts, QObject* parent);
    ~TWindowSettings() override;

    // The display values the clock tick, the map and the wallpaper read, and
    // the tick's count toward the shadow refresh.
    TDisplaySettings Display;

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
    void SetShowClock(bool on) override;
    void SetMultiMode(bool on) override;
    void SetHighlightCities(bool on) override;
    void SetTranspDesk(bool on) override;
    void SetShowClouds(bool on) override;
    void SetWallpaperChecked(bool checked) override;
    void SetShadowRefreshCounter(int ticks) override;
    void SetSavedWallpaper(const TSavedWallpaper& wallpaper) override;

    // At the first activation: the stored settings applied (errors shown).
    void Load();
    // "Options...": the dialog, run by showModal; true when it was accepted.
    // Not opened twice (from the tray menu while it is open).
    bool RunOptions(const std::function<int(QDialog&)>& showModal);
    // Closing: the settings saved, unless they were never loaded (the window
    // closed before its first activation) and would overwrite the stored
    // ones. Gives the failed save's message, empty when saved.
    QString SaveOnClose();

signals:
    // The state of a command the window applies.
    void ShowClockSet(bool on);
    void MultiModeSet(bool on);
    void HighlightCitiesSet(bool on);
    // The map is to be rebuilt at once (the cloud switch changed).
    void MapChanged();

private:
    // Shows the clock colours on the clock line.
    void ApplyClockColors();

    TParts Parts;
    Toptions* Dialog = nullptr;
    // The hidden cloud switch keeps only its state: no cloud image is fetched
    // or drawn. Switching on starts the timer, which ticks once a second later
    // and stops; switching off stops it.
    QTimer* CloudDownloadTimer = nullptr;
    // The values no other part of the window reads.
    TColorWord ClockBGColor = ButtonFaceColor;
    TColorWord ClockFGColor = WindowTextColor;
    QString Proxy;
    int ProxyPort = 0;
    QString CloudSource = DefaultCloudSource;
    int CloudIntensity = 90;
};

} // namespace app

// The window's side of the stored settings: the adapter the settings code
// talks to, the options commands, loading at the first activation and saving
// when the window closes.
#include "app/window/WindowSettings.h"

#include "app/dialogs/OptionsDialog.h"
#include "app/settings/ColorWord.h"
#include "app/text/Messages.h"
#include "app/window/UnitChronara.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QSessionManager>
#include <QSignalBlocker>
#include <QTimer>

namespace app {

TSettingsValues TWindowSettings::Values() const {
    TSettingsValues v;
    static_cast<TDisplayValues&>(v) = Form.Settings;
    v.ClockBGColor = ClockBGColor;
    v.ClockFGColor = ClockFGColor;
    v.Proxy = Proxy;
    v.ProxyPort = ProxyPort;
    v.CloudSource = CloudSource;
    v.CloudIntensity = CloudIntensity;
    return v;
}

void TWindowSettings::SetValues(const TSettingsValues& v) {
    // The tick's refresh counter is not a stored value and stays as it is.
    static_cast<TDisplayValues&>(Form.Settings) = v;
    Form.ShowSM1->setChecked(v.ShowSM);
    ClockBGColor = v.ClockBGColor;
    ClockFGColor = v.ClockFGColor;
    Proxy = v.Proxy;
    ProxyPort = v.ProxyPort;
    CloudSource = v.CloudSource;
    CloudIntensity = v.CloudIntensity;
    ApplyClockColors();
}

void TWindowSettings::ApplyClockColors() {
    const QPalette system;
    for (QWidget* w :
         {static_cast<QWidget*>(Form.PanelClock), static_cast<QWidget*>(Form.ClockLabel)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, ColorOfWord(ClockBGColor, system));
        p.setColor(QPalette::WindowText, ColorOfWord(ClockFGColor, system));
        w->setPalette(p);
    }
}

TStoredLocation TWindowSettings::SingleLocation() const {
    const TSingleLocation& s = Form.Locations->SingleLocation;
    return {s.Name, s.ZoneName, s.Latitude, s.Longitude, s.UtcOffset};
}

void TWindowSettings::SetSingleLocation(const TStoredLocation& l) {
    TSingleLocation& s = Form.Locations->SingleLocation;
    s.Name = l.Name;
    s.ZoneName = l.ZoneName;
    s.Latitude = l.Latitude;
    s.Longitude = l.Longitude;
    s.UtcOffset = l.UtcOffset;
    s.ZoneError.clear();
}

std::vector<TStoredLocation> TWindowSettings::Locations() const {
    std::vector<TStoredLocation> list;
    for (const TLocationEntry& e : Form.Locations->Entries()) {
        list.push_back({e.Name, e.ZoneName, e.Latitude, e.Longitude, e.UtcOffset});
    }
    return list;
}

void TWindowSettings::AddLocation(const QString& name, const QString& zoneName, double latitude,
                                  double longitude) {
    Form.Locations->AddLocation(name, zoneName, latitude, longitude);
}

bool TWindowSettings::ShowClockChecked() const {
    return Form.ShowClock->isChecked();
}
bool TWindowSettings::MultiModeChecked() const {
    return Form.MultiMode->isChecked();
}
bool TWindowSettings::WallpaperChecked() const {
    return Form.Wallpaper->isChecked();
}
bool TWindowSettings::TranspDeskChecked() const {
    return Form.TranspDesk->isChecked();
}
bool TWindowSettings::ShowCloudsChecked() const {
    return Form.ShowClouds->isChecked();
}
bool TWindowSettings::HighlightCitiesChecked() const {
    return Form.MIHighlightCities->isChecked();
}

// The commands run as their menu items would, also while an item is disabled
// (the list switched off disables "Show Clock" and "Highlight Cities", yet the
// stored state must still be applied): flip the check, then the handler.
void TWindowSettings::ShowClockClick() {
    Form.ShowClock->setChecked(!Form.ShowClock->isChecked());
    Form.ShowClockClick();
}

void TWindowSettings::MultiModeClick() {
    Form.MultiMode->setChecked(!Form.MultiMode->isChecked());
    Form.MultiModeClick();
}

void TWindowSettings::MIHighlightCitiesClick() {
    Form.MIHighlightCities->setChecked(!Form.MIHighlightCities->isChecked());
    Form.MIHighlightCitiesClick();
}

void TWindowSettings::TranspDeskClick() {
    if (Form.TranspDesk->isEnabled()) {
        Form.TranspDesk->trigger();
    } else {
        // A desktop without an icon list keeps the stored state as it is.
        Form.TranspDesk->setChecked(!Form.TranspDesk->isChecked());
    }
}

void TWindowSettings::ShowCloudsClick() {
    Form.ShowClouds->setChecked(!Form.ShowClouds->isChecked());
    Form.ShowCloudsClick();
}

void TWindowSettings::SetWallpaperChecked(bool checked) {
    // The check mark only: no wallpaper is built and nothing is shown.
    const QSignalBlocker quiet(Form.Wallpaper);
    Form.Wallpaper->setChecked(checked);
}

void TWindowSettings::SetShadowRefreshCounter(int ticks) {
    Form.Settings.ShadowRefreshCounter = ticks;
}

void TWindowSettings::SetSavedWallpaper(const TSavedWallpaper&) {
    // The window keeps nothing of it: the wallpaper mode reads and puts back
    // the desktop's wallpaper through its own record.
}

// ---------------------------------------------------------------- the window

void TFormChronara::CreateSettings() {
    StoredSettings = std::make_unique<TWindowSettings>(*this);
    StoredSettings->ApplyClockColors();
    OptionsDialog =
        new Toptions(*StoredSettings, this, QString::fromStdString(Options.SettingsDir));
    CloudDownloadTimer = new QTimer(this);
    CloudDownloadTimer->setObjectName(QStringLiteral("CloudDownloadTimer"));
    CloudDownloadTimer->setInterval(1000);
    CloudDownloadTimer->setSingleShot(true); // its one tick stops it
    connect(ShowClouds, &QAction::triggered, this, [this] { ShowCloudsClick(); });
    // The end of the desktop session closes the window as the user would, so
    // the settings and the list are saved.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { close(); });
}

void TFormChronara::ShowCloudsClick() {
    if (ShowClouds->isChecked()) {
        CloudDownloadTimer->start();
    } else {
        CloudDownloadTimer->stop();
    }
    Guarded(this, [this] { MapRebuild(); });
}

void TFormChronara::PIOptionsClick() {
    if (OptionsDialog->isVisible()) {
        return; // opened again from the tray menu while it is open
    }
    if (ShowModal(*OptionsDialog) == QDialog::Accepted) {
        MapRebuild();
    }
}

QString TFormChronara::FormCloseQuery() {
    // Settings never loaded (the window closed before its first activation)
    // must not be written over the stored ones.
    if (OptionsDialog && OptionsDialog->SettingsLoaded()) {
        try {
            OptionsDialog->SaveSettings();
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
    }
    return {};
}

void TFormChronara::CloseOnSignal() {
    ClosingOnSignal = true;
    close();
    ClosingOnSignal = false;
}

} // namespace app

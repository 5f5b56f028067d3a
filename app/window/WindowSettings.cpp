#include "app/window/WindowSettings.h"

#include "app/dialogs/OptionsDialog.h"
#include "app/locations/LocationList.h"
#include "app/settings/ColorWord.h"
#include "app/text/Messages.h"
#include "app/window/DesktopIntegration.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>

namespace app {

TWindowSettings::TWindowSettings(const TParts& parts, QObject* parent)
    : QObject(parent), Parts(parts) {
    setObjectName(QStringLiteral("WindowSettings"));
    ApplyClockColors();
    Dialog = new Toptions(*this, Parts.Window, Parts.SettingsDir);
    CloudDownloadTimer = new QTimer(this);
    CloudDownloadTimer->setObjectName(QStringLiteral("CloudDownloadTimer"));
    CloudDownloadTimer->setInterval(1000);
    CloudDownloadTimer->setSingleShot(true); // its one tick stops it
}

TWindowSettings::~TWindowSettings() = default;

TSettingsValues TWindowSettings::Values() const {
    TSettingsValues v;
    static_cast<TDisplayValues&>(v) = Display;
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
    static_cast<TDisplayValues&>(Display) = v;
    Parts.ShowSM1->setChecked(v.ShowSM);
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
    for (QWidget* w : {Parts.PanelClock, static_cast<QWidget*>(Parts.ClockLabel)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, ColorOfWord(ClockBGColor, system));
        p.setColor(QPalette::WindowText, ColorOfWord(ClockFGColor, system));
        w->setPalette(p);
    }
}

TStoredLocation TWindowSettings::SingleLocation() const {
    const TSingleLocation& s = Parts.List->SingleLocation;
    return {s.Name, s.ZoneName, s.Latitude, s.Longitude, s.UtcOffset};
}

void TWindowSettings::SetSingleLocation(const TStoredLocation& l) {
    TSingleLocation& s = Parts.List->SingleLocation;
    s.Name = l.Name;
    s.ZoneName = l.ZoneName;
    s.Latitude = l.Latitude;
    s.Longitude = l.Longitude;
    s.UtcOffset = l.UtcOffset;
    s.ZoneError.clear();
}

std::vector<TStoredLocation> TWindowSettings::Locations() const {
    std::vector<TStoredLocation> list;
    for (const TLocationEntry& e : Parts.List->Entries()) {
        list.push_back({e.Name, e.ZoneName, e.Latitude, e.Longitude, e.UtcOffset});
    }
    return list;
}

void TWindowSettings::AddLocation(const QString& name, const QString& zoneName, double latitude,
                                  double longitude) {
    Parts.List->AddLocation(name, zoneName, latitude, longitude);
}

bool TWindowSettings::ShowClockChecked() const {
    return Parts.ShowClock->isChecked();
}
bool TWindowSettings::MultiModeChecked() const {
    return Parts.MultiMode->isChecked();
}
bool TWindowSettings::WallpaperChecked() const {
    return Parts.Wallpaper->isChecked();
}
bool TWindowSettings::TranspDeskChecked() const {
    return Parts.TranspDesk->isChecked();
}
bool TWindowSettings::ShowCloudsChecked() const {
    return Parts.ShowClouds->isChecked();
}
bool TWindowSettings::HighlightCitiesChecked() const {
    return Parts.MIHighlightCities->isChecked();
}

// The states apply also while a command is disabled (the list switched off
// disables "Show Clock" and "Highlight Cities", yet the stored state must
// still be applied).
void TWindowSettings::SetShowClock(bool on) {
    emit ShowClockSet(on);
}

void TWindowSettings::SetMultiMode(bool on) {
    emit MultiModeSet(on);
}

void TWindowSettings::SetHighlightCities(bool on) {
    emit HighlightCitiesSet(on);
}

void TWindowSettings::SetTranspDesk(bool on) {
    Parts.TranspDesk->setChecked(on);
    // A desktop without an icon list keeps the stored state as it is.
    if (Parts.TranspDesk->isEnabled()) {
        Guarded(Parts.Window, [this] { Parts.Desktop->TranspDeskClick(); });
    }
}

void TWindowSettings::SetShowClouds(bool on) {
    Parts.ShowClouds->setChecked(on);
    if (on) {
        CloudDownloadTimer->start();
    } else {
        CloudDownloadTimer->stop();
    }
    emit MapChanged();
}

void TWindowSettings::SetWallpaperChecked(bool checked) {
    // The check mark only: no wallpaper is built and nothing is shown.
    const QSignalBlocker quiet(Parts.Wallpaper);
    Parts.Wallpaper->setChecked(checked);
}

void TWindowSettings::SetShadowRefreshCounter(int ticks) {
    Display.ShadowRefreshCounter = ticks;
}

void TWindowSettings::SetSavedWallpaper(const TSavedWallpaper&) {
    // The window keeps nothing of it: the wallpaper mode reads and puts back
    // the desktop's wallpaper through its own record.
}

// ---------------------------------------------------------------- load, options, save

void TWindowSettings::Load() {
    Guarded(Parts.Window, [this] { Dialog->LoadSettings(); });
}

bool TWindowSettings::RunOptions(const std::function<int(QDialog&)>& showModal) {
    if (Dialog->isVisible()) {
        return false; // opened again from the tray menu while it is open
    }
    return showModal(*Dialog) == QDialog::Accepted;
}

QString TWindowSettings::SaveOnClose() {
    if (Dialog->SettingsLoaded()) {
        try {
            Dialog->SaveSettings();
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
    }
    return {};
}

} // namespace app

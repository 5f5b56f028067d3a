// The settings and the list of places in the store, read into the main window
// and written from it through the settings table. No widgets: the options
// dialog calls these, and so do the tests and benchmarks without a window.
#pragma once

#include "app/settings/SettingsHost.h"
#include "platform/Registry.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace app {

// The settings key below the current user's root; place i is its subkey "i".
inline const std::string SettingsKey = "\\Software\\Kiv\\Chronara\\Data";
// The user's own desktop wallpaper values, on a system with a registry.
inline const std::string DesktopKey = "\\Control Panel\\Desktop";

struct TLoadReport {
    // No settings were stored yet: the first-run toggles were run.
    bool FirstRun = false;
    // Values that were present but could not be read (wrong kind, not a
    // number), and values a place lacks; each kept its default.
    QStringList Problems;
    // Places stored beyond the list's limit: not listed, and written back
    // after the list by WriteSettings so the file keeps them.
    std::vector<TStoredLocation> NotLoaded;
};

// Reads the stored settings into the host: the values in the store's order,
// the places through AddLocation (in list mode, in subkey order), then the
// stored check marks, and the shadow-refresh counter. Each value is read on
// its own: a missing or unreadable one keeps the value the host has, one out
// of its bounds takes its default, and loading goes on. A place without a zone is not listed; one
// without coordinates takes its zone's, one without a name its zone's name
// (each noted as a problem). Without a settings key (a first start) it
// runs the first-start toggles instead. Never throws a store error.
TLoadReport ReadSettings(TSettingsHost& host, platform::TRegistry& registry);

// Stages every value and place of the host in the store's order, then the
// places that were not loaded, and commits them all at once. Subkeys of a
// longer earlier list stay (loading ignores them). Throws platform::ERegistryException "Failed to
// set data for '%s'" when the store cannot be written; the store then stays as it was.
void WriteSettings(const TSettingsHost& host, platform::TRegistry& registry,
                   const std::vector<TStoredLocation>& notLoaded = {});

// The user's desktop wallpaper values from the store's desktop key (empty
// texts where there are none).
TSavedWallpaper ReadDesktopWallpaper(platform::TRegistry& registry);

} // namespace app

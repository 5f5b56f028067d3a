// The window's stored state besides the list: what the rows and the clock line
// show, the shadow map's refresh, the wallpaper's width. Grouped in one record
// so that loading, saving and the options dialog reach it in one place.
#pragma once

namespace app {

// The stored display values, with the values the window has when it is
// created. The options dialog's record holds them as they are.
struct TDisplayValues {
    // Seconds between shadow refreshes; 0 or less never refreshes.
    int SMUpdate = 600;
    int WallpaperWidth = 1024; // pixels
    // What each list row shows besides the time.
    bool ShowDate = true;
    bool ShowZA = true;
    bool ShowSA = false;
    // What the clock line shows; CShowCty: the whole place name, not only the
    // part before its first comma.
    bool CShowDate = true;
    bool CShowZA = false;
    bool CShowSA = false;
    bool CShowCty = false;
    // The shadow map is drawn and refreshed; also the check mark of "Show
    // Shadow Map".
    bool ShowSM = true;

    bool operator==(const TDisplayValues&) const = default;
};

// What the window's clock tick works with: the stored values and its count of
// ticks since the shadow map's last refresh.
struct TDisplaySettings : TDisplayValues {
    // The first refresh comes on the second tick.
    int ShadowRefreshCounter = 599;
};

} // namespace app

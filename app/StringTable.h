// The texts the program shows while it runs (message boxes, captions that
// change, read-outs), translated from the "STRING_TABLE" section of the
// translation file. Every such text is named here, so that the shipped
// translations can be checked for all of them.
#pragma once

#include <QString>

#include <array>

namespace app::strings {

inline constexpr const char* About = "About";
inline constexpr const char* PercentUsed = "% Used";
inline constexpr const char* NotConnected =
    "You don't seem to be connected to the internet. Do you wish to connect now?";
inline constexpr const char* ListLimit =
    "The List is limited to 15 entrys.\nPlease delete an entry first!";
inline constexpr const char* ClearListQuestion = "This will empty your city list. Are you sure?";
inline constexpr const char* PanHint = "Hint: Hold left button down to pan!";
inline constexpr const char* AddLocation = "Add Location...";
inline constexpr const char* ChangeLocation = "Change Location...";
inline constexpr const char* ClockHint = "Double Click on Map or select from PopUp Menu";
inline constexpr const char* Night = "Night";
inline constexpr const char* Busy = "BUSY";

inline constexpr const char* NotInteger = "'%1' is not a valid integer value";
inline constexpr const char* WallpaperWidthRange =
    "The wallpaper width must be from %1 to %2 pixels.";

inline constexpr const char* WallpaperMode =
    "Your wallpaper gets now updated every time the Shadow Map is updated.\r\n"
    "If the Shadow Map is disabled, this feature has no effect!\r\n"
    "IMPORTANT: If you have Web Contents enabled, this feature wont work!";
inline constexpr const char* NoWallpaper =
    "This desktop offers no way for Chronara to set the wallpaper, so Wallpaper Mode stays off.";

inline constexpr std::array All = {
    About,   PercentUsed, NotConnected,        ListLimit,     ClearListQuestion,
    PanHint, AddLocation, ChangeLocation,      ClockHint,     Night,
    Busy,    NotInteger,  WallpaperWidthRange, WallpaperMode, NoWallpaper};

} // namespace app::strings

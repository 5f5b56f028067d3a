// The texts the program shows while it runs (message boxes, captions that
// change, read-outs), translated from the "STRING_TABLE" section of the
// translation file. Every such text is named here, so that the shipped
// translations can be checked for all of them.
#pragma once

#include "app/commandline/ZoneRulesText.h"

#include <QString>

#include <array>

namespace app::strings {

inline constexpr const char* About = "About";
inline constexpr const char* PercentUsed = "% Used";
inline constexpr const char* NotConnected =
    "You don't seem to be connected to the internet. Do you wish to connect now?";
inline constexpr const char* NoOpener = "There is no program on this computer to open %1.";
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

// The settings file: values that could not be read, places beyond the list.
inline constexpr const char* SettingsDamaged =
    "Some settings in '%1' could not be read and keep their defaults:\n%2";
inline constexpr const char* AndMore = "(and %1 more)";
inline constexpr const char* SettingsCopied = "The file as it was is kept as '%1'.";
inline constexpr const char* SettingsNotCopied =
    "No copy of the file could be kept (%1); it stays as it was until the settings are saved.";
inline constexpr const char* PlacesNotLoaded =
    "%1 places in '%2' were not loaded: the list holds at most 15. They stay in the settings "
    "file and are listed once there is room.";

// The record of the user's own wallpaper, kept while the map is the wallpaper.
inline constexpr const char* WallpaperRecordDamaged =
    "The record of your own wallpaper, '%1', could not be read whole (%2). It is kept as '%3'; "
    "what could be read of it is used.";
inline constexpr const char* WallpaperRecordNotKept =
    "The record of your own wallpaper, '%1', could not be read whole (%2), and it could not be "
    "kept aside; what could be read of it is used.";
inline constexpr const char* WallpaperRecordMissing =
    "Chronara's map is still your wallpaper from an earlier run, but no record of your own "
    "wallpaper was found for it in '%1'. When Wallpaper Mode ends, the desktop's default "
    "wallpaper is put back.";
inline constexpr const char* WallpaperRecordUnsaved =
    "The record of your own wallpaper could not be saved as '%1' (%2). So that your wallpaper is "
    "never lost, Chronara does not set its map as the wallpaper until the record can be saved.";

// Clocks of a zone: its tooltip, its next change.
inline constexpr const char* ClocksForward = "Clocks go forward %1 on %2 at %3 local time";
inline constexpr const char* ClocksBack = "Clocks go back %1 on %2 at %3 local time";
inline constexpr const char* NoClockChange = "The clocks keep one offset all year";
inline constexpr const char* OneHour = "1 hour";
inline constexpr const char* Hours = "%1 hours";
inline constexpr const char* Minutes = "%1 minutes";
inline constexpr const char* HoursMinutes = "%1 h %2 min";
// Date patterns (QLocale's letters): a change's day, and a date read aloud.
inline constexpr const char* ChangeDateFormat = "ddd d MMM yyyy";
inline constexpr const char* SpokenDateFormat = "dddd d MMMM";

// The map's tooltip: the time clocks show under the pointer.
inline constexpr const char* AreaDaylightTime =
    "%1 area: %2 %3 (%4), daylight saving time; standard time %5";
inline constexpr const char* AreaStandardTime = "%1 area: %2 %3 (%4), standard time";
inline constexpr const char* NoRuleKnown =
    "%1 (%2), standard time; no daylight-saving rule is known here";
inline constexpr const char* LocalSunTimes = "sunrise %1, sunset %2 local time";
inline constexpr const char* NoSunriseSunset = "no sunrise or sunset today";

// What a screen reader reads.
inline constexpr const char* LocationsName = "Locations";
inline constexpr const char* SpokenSunAngle = "sun angle %1 degrees";
inline constexpr const char* NearestPlace = "Nearest place";
inline constexpr const char* StandardTimeName = "Standard time";
inline constexpr const char* Sunrise = "Sunrise";
inline constexpr const char* Sunset = "Sunset";
inline constexpr const char* DayLength = "Day length";
inline constexpr const char* SunAngle = "Sun angle";
inline constexpr const char* UtcOffsetName = "UTC offset";
inline constexpr const char* Position = "Position";
inline constexpr const char* LatitudeLongitude = "latitude %1, longitude %2";
inline constexpr const char* Degrees = "%1 degrees";
inline constexpr const char* NoneToday = "none today";
inline constexpr const char* Unknown = "unknown";
inline constexpr const char* MoreThanADay = "more than 24 hours";

// Planning a meeting across the places: working hours, the overlap band, the
// found moment and the calendar file.
inline constexpr const char* WorkingHoursOf = "Working hours of %1, in its local time:";
inline constexpr const char* OverlapBandName = "Places within working hours";
inline constexpr const char* OverlapCount = "%1 of %2 places within working hours at %3";
inline constexpr const char* WithinHours = "within working hours";
inline constexpr const char* OutsideHours = "outside working hours";
inline constexpr const char* Tomorrow = "tomorrow";
inline constexpr const char* Yesterday = "yesterday";
inline constexpr const char* SameTime = "same time";
inline constexpr const char* NoCommonHour =
    "No quarter hour in the next 14 days suits every place. Shown is the first one that suits "
    "the most: %1 of %2.";
inline constexpr const char* MeetingSummary = "Meeting";
inline constexpr const char* CalendarFilter = "Calendar files (*.ics)";
inline constexpr const char* CalendarNotSaved =
    "The calendar event could not be saved as '%1' (%2).";

inline constexpr std::array All = {About,
                                   PercentUsed,
                                   NotConnected,
                                   NoOpener,
                                   ListLimit,
                                   ClearListQuestion,
                                   PanHint,
                                   AddLocation,
                                   ChangeLocation,
                                   ClockHint,
                                   Night,
                                   Busy,
                                   NotInteger,
                                   WallpaperWidthRange,
                                   WallpaperMode,
                                   NoWallpaper,
                                   SettingsDamaged,
                                   AndMore,
                                   SettingsCopied,
                                   SettingsNotCopied,
                                   PlacesNotLoaded,
                                   WallpaperRecordDamaged,
                                   WallpaperRecordNotKept,
                                   WallpaperRecordMissing,
                                   WallpaperRecordUnsaved,
                                   ClocksForward,
                                   ClocksBack,
                                   NoClockChange,
                                   OneHour,
                                   Hours,
                                   Minutes,
                                   HoursMinutes,
                                   ChangeDateFormat,
                                   SpokenDateFormat,
                                   AreaDaylightTime,
                                   AreaStandardTime,
                                   NoRuleKnown,
                                   LocalSunTimes,
                                   NoSunriseSunset,
                                   LocationsName,
                                   SpokenSunAngle,
                                   NearestPlace,
                                   StandardTimeName,
                                   Sunrise,
                                   Sunset,
                                   DayLength,
                                   SunAngle,
                                   UtcOffsetName,
                                   Position,
                                   LatitudeLongitude,
                                   Degrees,
                                   NoneToday,
                                   Unknown,
                                   MoreThanADay,
                                   ZoneRulesSystem,
                                   ZoneRulesShipped,
                                   ZoneRulesText,
                                   ZoneFileUnusable,
                                   ZoneDatabaseUnusable,
                                   ZoneFileMissing,
                                   ZoneFileNotAFile,
                                   ZoneFileUnreadable,
                                   ZoneFileNotZoneFile,
                                   ZoneFileTruncated,
                                   ZoneFileDamaged,
                                   WorkingHoursOf,
                                   OverlapBandName,
                                   OverlapCount,
                                   WithinHours,
                                   OutsideHours,
                                   Tomorrow,
                                   Yesterday,
                                   SameTime,
                                   NoCommonHour,
                                   MeetingSummary,
                                   CalendarFilter,
                                   CalendarNotSaved};

} // namespace app::strings

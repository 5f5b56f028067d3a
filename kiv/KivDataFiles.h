// The shipped data files the program reads, each named once, relative to the
// program's folder (ProgramPath makes them whole).
#pragma once

namespace kiv::datafiles {

// The zone database's four tables (TTimeZone::LoadDatabase).
inline constexpr const char* ZoneColors = "data/tz_colors.dat";
inline constexpr const char* Places = "data/moreplaces.dat";
inline constexpr const char* Zones = "data/tz_data.dat";
inline constexpr const char* DaylightRules = "data/tz_dst.dat";

// The map's pictures.
inline constexpr const char* DayImage = "data/earth_day.png";
inline constexpr const char* NightImage = "data/earth_night.jpg";
inline constexpr const char* ZoneImage = "data/earth_tz.png";
inline constexpr const char* WallpaperMask = "data/mask.png";

// The text form of the IANA zone database, by its name within its folder (the
// data folder on Windows, or $TZDIR).
inline constexpr const char* ZoneText = "tzdata.zi";

} // namespace kiv::datafiles

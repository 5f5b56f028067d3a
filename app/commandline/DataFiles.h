// The shipped data files the program reads, each named once, relative to the
// program's folder (kiv::ProgramPath makes them whole), and the one way an
// image is read: whole, or left empty.
#pragma once

#include "kiv/KivFastDIB.h"

namespace app::datafiles {

inline constexpr const char* DayImage = "data/earth_day.png";
inline constexpr const char* NightImage = "data/earth_night.jpg";
inline constexpr const char* ZoneImage = "data/earth_tz.png";
inline constexpr const char* WallpaperMask = "data/mask.png";
inline constexpr const char* ZoneRules = "data/tz_data.dat";

// Runs `load` on `image`; where it throws, the image is emptied before the
// error goes on, so a half-read image is never used.
template <class Load> void LoadOrClear(kiv::TFastDIB& image, Load&& load) {
    try {
        load(image);
    } catch (...) {
        image.Clear();
        throw;
    }
}

} // namespace app::datafiles

// The shipped data files the program reads (named once, in kiv/KivDataFiles.h,
// relative to the program's folder: kiv::ProgramPath makes them whole), and the
// one way an image is read: whole, or left empty.
#pragma once

#include "kiv/KivDataFiles.h"
#include "kiv/KivFastDIB.h"

namespace app::datafiles {

using kiv::datafiles::DayImage;
using kiv::datafiles::NightImage;
using kiv::datafiles::WallpaperMask;
using kiv::datafiles::ZoneImage;
// The zone table, whose header names the release of the shipped rules.
inline constexpr const char* ZoneRules = kiv::datafiles::Zones;

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

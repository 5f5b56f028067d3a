#include "app/commandline/BatchMode.h"

#include "app/commandline/DataFiles.h"
#include "kiv/KivData.h"
#include "kiv/KivErrors.h"
#include "kiv/KivFastDIB.h"
#include "kiv/KivFastDibLoaders.h"
#include "solar/ShadowMap.h"

#include <algorithm>
#include <exception>
#include <new>
#include <ostream>
#include <system_error>
#include <thread>

namespace app {

namespace {

// Loads the day and the night image side by side: the night on a helper
// thread while this one decodes the day (or both here when no thread starts).
void LoadDayAndNight(kiv::TFastDIB& day, kiv::TFastDIB& night, const std::string& programDir) {
    const std::string dayName = kiv::ProgramPath(datafiles::DayImage, programDir);
    const std::string nightName = kiv::ProgramPath(datafiles::NightImage, programDir);
    std::exception_ptr nightError;
    const auto loadNight = [&] {
        try {
            kiv::LoadJpegImage(night, nightName);
        } catch (...) {
            nightError = std::current_exception();
        }
    };
    std::thread helper;
    try {
        helper = std::thread(loadNight);
    } catch (const std::system_error&) {
        loadNight();
    }
    std::exception_ptr dayError;
    try {
        kiv::LoadPngImage(day, dayName);
    } catch (...) {
        dayError = std::current_exception();
    }
    if (helper.joinable()) {
        helper.join();
    }
    // The day image's error first, as when they are loaded one after the other.
    if (dayError) {
        std::rethrow_exception(dayError);
    }
    if (nightError) {
        std::rethrow_exception(nightError);
    }
}

} // namespace

int RunBatchMode(const TBatchRequest& request, std::ostream& errors, const kiv::TClock& clock,
                 const std::string& programDir) {
    if (request.TooFew) {
        errors
            << "chronara: -C needs a file name and a width: -C FILE WIDTH; see chronara --help\n";
        return bsBadCommand;
    }
    // The width and the time are checked before anything is loaded, so a
    // mistyped command costs nothing and writes nothing.
    int width = 0;
    std::string message;
    if (!ParseBatchWidth(request.WidthText, width, message)) {
        errors << "chronara: " << message << '\n';
        return bsBadCommand;
    }
    kiv::TDateTime utc = 0;
    if (request.HasAt) {
        if (request.AtText.empty()) {
            errors << "chronara: --at needs a date and time, such as 2026-12-21T12:00Z\n";
            return bsBadCommand;
        }
        std::string reason;
        if (!kiv::TryParseMoment(request.AtText, clock, utc, &reason)) {
            errors << "chronara: \"" << request.AtText
                   << "\" is not a valid time for --at: " << reason
                   << "; give an ISO 8601 date and time such as 2026-12-21T12:00Z, "
                      "2026-12-21T12:00+01:00 or 2026-12-21T12:00 (local time)\n";
            return bsBadCommand;
        }
    } else {
        utc = clock.UtcNow();
    }
    try {
        kiv::TFastDIB day;
        kiv::TFastDIB night;
        LoadDayAndNight(day, night, programDir);
        // The mask takes no part in the map; it is only checked, so that a batch
        // run fails as the window would when that shipped image is missing.
        kiv::CheckPngFile(kiv::ProgramPath(datafiles::WallpaperMask, programDir));

        const int height = BatchHeight(day.Width(), day.Height(), width);
        const kiv::TFastDIB mix = solar::ComposeDayNightMix(day, night, utc);
        day.Clear();
        night.Clear();
        // The map is stretched strip by strip straight into the file, on every
        // core, so the whole picture is never held in memory.
        const int threads =
            static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
        kiv::SaveImageFileInStrips(
            request.FileName, width, height,
            [&](int first, int last, std::uint8_t* out, std::size_t stride) {
                kiv::ResampleBilinearRows(mix, width, height, first, last, out, stride);
            },
            threads);
    } catch (const std::bad_alloc&) {
        errors << "chronara: not enough memory for a map " << width << " pixels wide\n";
        return bsFailed;
    } catch (const std::exception& e) {
        errors << "chronara: " << e.what() << '\n';
        return bsFailed;
    }
    return bsWritten;
}

int RunBatchMode(const TBatchRequest& request, std::ostream& errors) {
    return RunBatchMode(request, errors, kiv::CurrentClock());
}

} // namespace app

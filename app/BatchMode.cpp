#include "app/BatchMode.h"

#include "kiv/KivClock.h"
#include "kiv/KivData.h"
#include "kiv/KivFastDibLoaders.h"
#include "solar/shadow.h"

#include <exception>
#include <new>
#include <ostream>

namespace app {

int RunBatchMode(const TBatchRequest& request, std::ostream& errors, kiv::TDateTime utc,
                 const std::string& programDir) {
    if (request.TooFew) {
        return bsBadCommand;
    }
    // The width is checked before anything is loaded, so a mistyped command
    // costs nothing and writes nothing.
    int width = 0;
    std::string message;
    if (!ParseBatchWidth(request.WidthText, width, message)) {
        errors << "chronara: " << message << '\n';
        return bsBadCommand;
    }
    try {
        kiv::TFastDIB day;
        kiv::TFastDIB night;
        kiv::TFastDIB mask;
        kiv::LoadPngImage(day, kiv::ProgramPath("data/earth_day.png", programDir));
        kiv::LoadJpegImage(night, kiv::ProgramPath("data/earth_night.jpg", programDir));
        // The composition does not use the mask; it is read so that a batch run
        // fails as the window would when a shipped image is missing.
        kiv::LoadPngImage(mask, kiv::ProgramPath("data/mask.png", programDir));

        const int height = BatchHeight(day.Width(), day.Height(), width);
        kiv::TFastDIB output(width, height, 24);
        solar::ComposeDayNight(output, day, night, true, utc);
        kiv::SaveBitmapFile(output, request.FileName);
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
    return RunBatchMode(request, errors, kiv::CurrentClock().UtcNow());
}

} // namespace app

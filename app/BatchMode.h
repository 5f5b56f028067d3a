// The batch mode "-C FILE WIDTH": writes the shaded map for the current UTC
// moment as a 24-bit BMP and ends. Uses only kiv and solar: no window and no
// display are needed.
#pragma once

#include "app/CommandLine.h"
#include "kiv/KivDateTime.h"

#include <iosfwd>
#include <string>

namespace app {

// Exit statuses of the batch mode.
enum TBatchStatus : int {
    bsWritten = 0,    // the image was written
    bsFailed = 1,     // an image could not be read or decoded, or the output not written
    bsBadCommand = 2, // the width is invalid, or the parameters are too few
};

// Runs the batch request: validates the width, loads "data/earth_day.png",
// "data/earth_night.jpg" and "data/mask.png" below `programDir` (the program's
// own directory when empty), composes the map for `utc` and saves it. Too
// few parameters end at once with bsBadCommand and no message; every other
// failure writes one line to `errors`. The output file is replaced whole or not
// at all.
int RunBatchMode(const TBatchRequest& request, std::ostream& errors, kiv::TDateTime utc,
                 const std::string& programDir = {});

// The same for the current UTC moment of the clock.
int RunBatchMode(const TBatchRequest& request, std::ostream& errors);

} // namespace app

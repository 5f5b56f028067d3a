// The batch mode "-C FILE WIDTH [--at TIME]": writes the shaded map for the
// current UTC moment, or the moment asked for, as an image file and ends. Uses
// only kiv and solar: no window and no display are needed.
#pragma once

#include "app/commandline/CommandLine.h"
#include "kiv/KivClock.h"
#include "kiv/KivDateTime.h"

#include <iosfwd>
#include <string>

namespace app {

// Exit statuses of the batch mode.
enum TBatchStatus : int {
    bsWritten = 0,    // the image was written
    bsFailed = 1,     // an image could not be read or decoded, or the output not written
    bsBadCommand = 2, // the command line is not understood: an unknown option, too few
                      // parameters, an invalid width or time
};

// Runs the batch request: validates the width and the time of "--at", checks
// "data/mask.png" and loads "data/earth_day.png" and "data/earth_night.jpg"
// below `programDir` (the program's own directory when empty), composes the map
// for the moment and writes it in the format the file name asks for (PNG, JPEG,
// otherwise BMP). The moment is the one of "--at", read with `clock`'s machine
// offsets when it has no offset of its own, or else `clock`'s present. Every
// failure, too few parameters among them, writes one line to `errors`. The
// output file is replaced whole or not at all.
int RunBatchMode(const TBatchRequest& request, std::ostream& errors, const kiv::TClock& clock,
                 const std::string& programDir = {});

// The same with the current clock.
int RunBatchMode(const TBatchRequest& request, std::ostream& errors);

} // namespace app

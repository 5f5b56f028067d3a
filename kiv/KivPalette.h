// Images with few colours kept at 8 bits: the zone image uses a few hundred
// pixels' worth of distinct colours over millions of pixels.
#pragma once

#include "kiv/KivFastDIB.h"

namespace kiv {

// Turns a 24-bit image of at most 256 distinct colours into an 8-bit one whose
// palette holds those colours (in order of first appearance, scanning stored
// rows from 0), so that every pixel reads back as the same colour at a third of
// the memory. Returns false and leaves the image unchanged when it is not
// 24-bit or has more colours.
bool ReduceToPalette(TFastDIB& image);

} // namespace kiv

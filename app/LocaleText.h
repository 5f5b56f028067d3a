// The user's locale's order of names, handed to the core, which sorts without
// knowing any locale.
#pragma once

#include "kiv/KivText.h"

namespace app {

// Compares two UTF-8 names in the order of the user's locale, letter case
// ignored (in the C locale: by code point, letter case ignored).
kiv::TTextCompare LocaleCompare();

} // namespace app

// The user's locale's order of names, handed to the core, which sorts without
// knowing any locale.
#pragma once

#include "kiv/KivText.h"

#include <QCollator>

namespace app {

// The order of names in the user's locale, letter case ignored; in the C
// locale, which has no alphabet, Unicode's default order. Every list of names
// (the wizard's, the map menu's places) sorts with it.
QCollator NameCollator();

// Compares two UTF-8 names with NameCollator().
kiv::TTextCompare LocaleCompare();

} // namespace app

// Colour words as the settings store them (0x00BBGGRR for an explicit colour,
// 0xFF0000nn for the system colour with index nn) and the colours they name.
#pragma once

#include "app/settings/SettingsHost.h"

#include <QColor>
#include <QPalette>

namespace app {

// The colour a word names; system colours come from the palette given.
QColor ColorOfWord(TColorWord word, const QPalette& palette = QPalette());
// The word of an explicit colour.
TColorWord WordOfColor(const QColor& color);

} // namespace app

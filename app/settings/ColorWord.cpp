#include "app/settings/ColorWord.h"

namespace app {

namespace {

// The window system's colour indexes and the palette roles that play them.
QPalette::ColorRole RoleOfSystemColor(unsigned index) {
    switch (index) {
    case 0x05: // window
        return QPalette::Base;
    case 0x06: // window frame
    case 0x15: // 3-D dark shadow
        return QPalette::Shadow;
    case 0x08: // window text
        return QPalette::WindowText;
    case 0x0D: // highlight
        return QPalette::Highlight;
    case 0x0E: // highlight text
        return QPalette::HighlightedText;
    case 0x10: // button shadow
        return QPalette::Dark;
    case 0x11: // grey text
        return QPalette::PlaceholderText;
    case 0x12: // button text
        return QPalette::ButtonText;
    case 0x14: // button highlight
        return QPalette::Light;
    case 0x16: // 3-D light
        return QPalette::Midlight;
    case 0x17: // tooltip text
        return QPalette::ToolTipText;
    case 0x18: // tooltip background
        return QPalette::ToolTipBase;
    case 0x1A: // hot-tracking
        return QPalette::Link;
    case 0x0F: // button face
        return QPalette::Button;
    default:
        return QPalette::Window;
    }
}

} // namespace

QColor ColorOfWord(TColorWord word, const QPalette& palette) {
    if ((word & 0xFF000000u) == 0xFF000000u) {
        return palette.color(QPalette::Active, RoleOfSystemColor(word & 0xFFu));
    }
    return QColor(static_cast<int>(word & 0xFFu), static_cast<int>((word >> 8) & 0xFFu),
                  static_cast<int>((word >> 16) & 0xFFu));
}

TColorWord WordOfColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<TColorWord>(rgb.red()) | (static_cast<TColorWord>(rgb.green()) << 8) |
           (static_cast<TColorWord>(rgb.blue()) << 16);
}

} // namespace app

// The program's name on free desktops: its menu entry
// ("io.github.chronara.Chronara.desktop"), its icon in the icon theme, its
// software-centre component and its autostart entry. The command stays
// "chronara". Before the reverse-domain name, all of them were "chronara".
#pragma once

namespace platform {

inline constexpr const char* DesktopId = "io.github.chronara.Chronara";
inline constexpr const char* FormerDesktopId = "chronara";

} // namespace platform

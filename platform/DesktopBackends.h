// The desktop back ends of the free desktops, made by CreateDesktop and by the
// tests, which hand them their own program runner or D-Bus call.
#pragma once

#include "platform/Desktop.h"

namespace platform {

// GSettings: GNOME family ("GNOME"), "Cinnamon" or "MATE", through the
// `gsettings` program (and `dconf`, when present, to tell values the user set
// from defaults).
std::unique_ptr<TDesktop> CreateGSettingsDesktop(const QString& family, TRunProgram run);

// XFCE: the xfce4-desktop channel of xfconf through `xfconf-query`, every
// monitor and workspace. monitorNames are the connectors of the screens (used
// when the channel holds no backdrop yet).
std::unique_ptr<TDesktop> CreateXfceDesktop(TRunProgram run, QStringList monitorNames = {});

// KDE Plasma: scripts evaluated by the shell. The call takes a script and
// returns what it printed; it raises EDesktopError when the shell cannot be
// reached.
using TPlasmaEvaluate = std::function<QString(const QString& script)>;
std::unique_ptr<TDesktop> CreatePlasmaDesktop(TPlasmaEvaluate evaluate);
// The shell's scripting call over the session bus.
QString PlasmaEvaluateOverDBus(const QString& script);
// True when the Plasma shell is on the session bus.
bool PlasmaShellRunning();

// Other X11 window managers: `feh`, which keeps the user's own background in
// ~/.fehbg (run again to restore it).
std::unique_ptr<TDesktop> CreateFehDesktop(TRunProgram run, const QString& homeDir);

} // namespace platform

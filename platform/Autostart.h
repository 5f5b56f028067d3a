// Starting Chronara with the user's session. On freedesktop systems that is an
// entry "io.github.chronara.Chronara.desktop" in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart, else ~/.config/autostart); on Windows a value in
// the user's "Run" key. The choice is the presence of that entry: nothing else
// stores it, so removing the entry by hand switches it off too.
#pragma once

#include <QString>

#include <stdexcept>

namespace platform {

// Writing or removing the entry failed; the message names the entry and why.
class EAutostartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the entry lies. `configDir` stands for $XDG_CONFIG_HOME when given.
QString AutostartEntryPath(const QString& configDir = {});

// True when the entry exists and is not switched off ("Hidden=true", or
// "X-GNOME-Autostart-enabled=false").
bool AutostartEnabled(const QString& configDir = {});

// Writes the entry, starting `program` (an absolute path) without parameters,
// so that Chronara goes to the tray; or removes it. Creates the autostart folder
// when needed; the entry is replaced whole or not at all. Throws EAutostartError.
void SetAutostart(bool enabled, const QString& program, const QString& configDir = {});

// An entry of the name used before the reverse-domain one ("chronara.desktop")
// becomes the entry of the new name for `program` (an entry of the new name
// already there is kept), and the old one goes, so the session does not start
// the program twice and the options show the state. Nothing to do on Windows,
// whose value kept its name. Throws EAutostartError.
void MigrateAutostart(const QString& program, const QString& configDir = {});

// The text of the entry for `program`.
QString AutostartEntryText(const QString& program);

} // namespace platform

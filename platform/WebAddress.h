// Opening an address with the user's browser (or the program for its file),
// and whether the machine is on the internet.
#pragma once

#include <QString>

#include <optional>

class QUrl;

namespace platform {

// The home page the installer recorded for the program ("URLInfoAbout" of its
// uninstall key, empty when the key has no such value); nothing when there is
// no such key, and always nothing where programs are not installed that way.
std::optional<QString> InstallerHomePage(const QString& title);

// True when the system reports the internet reachable, and when it cannot
// tell (no network-state service): the question is only asked when the
// system knows the machine is offline.
bool InternetConnected();

// Hands the address to the desktop; false when nothing could open it.
bool OpenAddress(const QUrl& address);

} // namespace platform

// Opening an address with the user's browser (or the program for its file),
// and whether the machine is on the internet.
#pragma once

class QUrl;

namespace platform {

// True when the system reports the internet reachable, and when it cannot
// tell (no network-state service): the question is only asked when the
// system knows the machine is offline.
bool InternetConnected();

// Hands the address to the desktop; false when nothing could open it.
bool OpenAddress(const QUrl& address);

} // namespace platform

// Ending the program from outside (kill, Ctrl+C in a terminal, a closed
// terminal) closes the window as the user would, so nothing is lost.
#pragma once

#include <functional>

class QWidget;

namespace app {

// From now on SIGTERM, SIGINT and SIGHUP close the window on its own thread,
// through closeWindow when given (else the window's close()). Does nothing on
// systems without these signals.
void CloseOnQuitSignals(QWidget* window, std::function<void()> closeWindow = {});

} // namespace app

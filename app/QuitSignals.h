// Ending the program from outside (kill, Ctrl+C in a terminal, a closed
// terminal) closes the window as the user would, so nothing is lost.
#pragma once

class QWidget;

namespace app {

// From now on SIGTERM, SIGINT and SIGHUP close the window on its own thread.
// Does nothing on systems without these signals.
void CloseOnQuitSignals(QWidget* window);

} // namespace app

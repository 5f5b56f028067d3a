// The map menu's "Places Nearby": refilled at each opening with the places the
// database lists near the pointer, in the locale's order; choosing one adds it
// to the list. The submenu and the separator before it show only while there
// are places.
#pragma once

class QAction;
class QMenu;
class QWidget;

namespace app {

class TLocationList;

// Fills `menu` anew; errors of adding a place are shown over `window`.
void FillPlacesMenu(QMenu& menu, QAction& separator, TLocationList& list, QWidget* window);

} // namespace app

// The main window's height while the map is hidden: the window shrinks to the
// list and the clock line, keeps the user's width, and follows the list as
// rows come and go; showing the map lifts the lock again.
#pragma once

class QMainWindow;
class QWidget;

namespace app {

class TWindowHeight {
public:
    // mapPanel and statusBar hide with the map; listPanel holds the rows.
    TWindowHeight(QMainWindow& window, QWidget& mapPanel, QWidget& statusBar, QWidget& listPanel)
        : Window(window), MapPanel(mapPanel), StatusBar(statusBar), ListPanel(listPanel) {}

    bool MapHidden() const;
    // "Show Map" with the list shown: the map and the status bar shown (the
    // window 200 pixels taller) or hidden (the window as high as the rest).
    void ShowMap(bool show);
    // The list grew or shrank by delta pixels.
    void ListHeightChanged(int delta);
    // Rows were added or removed: a hidden map's window keeps its new height.
    void RowsChanged();

private:
    void LiftHeightLock();
    void LockHeight();

    QMainWindow& Window;
    QWidget& MapPanel;
    QWidget& StatusBar;
    QWidget& ListPanel;
};

} // namespace app

// The main window's status bar: eight panels, each as wide as its widest text,
// the first (the place under the pointer, the hints) taking the rest. It shows
// the pointer's read-outs; panel n is named "StatusPanel<n>".
#pragma once

#include "app/map/Readouts.h"

#include <QStatusBar>
#include <QString>

#include <array>

namespace app {

class TStatusPanel;

class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent);

    // The width that shows every panel's widest text.
    int FullWidth() const { return WantedWidth; }
    void SetPanel(int n, const QString& text);
    QString PanelText(int n) const;
    // The read-outs at the pointer: where, the sun, and (over a known zone)
    // the offset and local time.
    void ShowReadouts(const TPointReadouts& readouts);

private:
    std::array<TStatusPanel*, 8> Panels{};
    int WantedWidth = 0;
};

} // namespace app

// The hidden cloud switch: a check-mark command, a one-second timer and an
// in-memory cloud image. No cloud image is fetched, read or drawn, and no
// network request is ever made; the switch keeps only its own state so that
// the stored "ShowClouds" and the cloud settings behave as they always have.
#pragma once

#include "kiv/KivFastDIB.h"

#include <QObject>

class QAction;
class QTimer;

namespace app {

class TCloudSwitch : public QObject {
    Q_OBJECT
public:
    // The command `ShowClouds` (the window's, hidden) drives the switch: each
    // trigger flips its check mark and runs ShowCloudsClick.
    TCloudSwitch(QAction* showClouds, QObject* parent = nullptr);

    // Applies the check mark: on starts CloudDownloadTimer, off stops it and
    // empties the cloud image; either way the map is rebuilt.
    void ShowCloudsClick();
    // One tick a second after switching on: the timer stops, nothing else.
    void CloudDownloadTimerTimer();

    QAction* ShowClouds;
    QTimer* CloudDownloadTimer;
    // The cloud image the map would lay over the day image (always empty here
    // once switched off).
    kiv::TFastDIB CloudImage;

signals:
    // The map is to be rebuilt (the window's map-rebuild routine).
    void MapRebuildNeeded();
};

} // namespace app

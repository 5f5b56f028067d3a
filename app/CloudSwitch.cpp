#include "app/CloudSwitch.h"

#include <QAction>
#include <QTimer>

namespace app {

TCloudSwitch::TCloudSwitch(QAction* showClouds, QObject* parent)
    : QObject(parent), ShowClouds(showClouds), CloudDownloadTimer(new QTimer(this)) {
    CloudDownloadTimer->setObjectName(QStringLiteral("CloudDownloadTimer"));
    CloudDownloadTimer->setInterval(1000);
    connect(CloudDownloadTimer, &QTimer::timeout, this, &TCloudSwitch::CloudDownloadTimerTimer);
    connect(ShowClouds, &QAction::triggered, this, &TCloudSwitch::ShowCloudsClick);
}

void TCloudSwitch::ShowCloudsClick() {
    if (ShowClouds->isChecked()) {
        CloudDownloadTimer->start();
    } else {
        CloudDownloadTimer->stop();
        CloudImage.SetSize(0, 0, 24);
    }
    emit MapRebuildNeeded();
}

void TCloudSwitch::CloudDownloadTimerTimer() {
    CloudDownloadTimer->stop();
}

} // namespace app

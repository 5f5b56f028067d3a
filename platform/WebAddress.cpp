#include "platform/WebAddress.h"

#include <QDesktopServices>
#include <QNetworkInformation>
#include <QUrl>

namespace platform {

bool InternetConnected() {
    if (QNetworkInformation::instance() == nullptr &&
        !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        return true;
    }
    const auto reachability = QNetworkInformation::instance()->reachability();
    return reachability == QNetworkInformation::Reachability::Online ||
           reachability == QNetworkInformation::Reachability::Unknown;
}

bool OpenAddress(const QUrl& address) {
    return QDesktopServices::openUrl(address);
}

} // namespace platform

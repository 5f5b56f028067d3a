#include "platform/WebAddress.h"

#include <QDesktopServices>
#include <QNetworkInformation>
#include <QUrl>

#ifdef _WIN32
#include <QSettings>
#endif

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

std::optional<QString> InstallerHomePage(const QString& title) {
#ifdef _WIN32
    const QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                                       "CurrentVersion\\Uninstall\\") +
                            title + QStringLiteral("_is1"),
                        QSettings::NativeFormat);
    if (key.childKeys().isEmpty() && key.childGroups().isEmpty()) {
        return std::nullopt; // the installer's key is not there
    }
    return key.value(QStringLiteral("URLInfoAbout")).toString();
#else
    (void)title;
    return std::nullopt;
#endif
}

bool OpenAddress(const QUrl& address) {
    return QDesktopServices::openUrl(address);
}

} // namespace platform

// Whether the desktop has a tray to hold the program's icon, and word when one
// comes later. A tray is either a StatusNotifierItem watcher with a host on the
// session bus, or the owner of the X11 system-tray selection of the display.
// Windows always has its notification area.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace platform {

class TTrayHost : public QObject {
    Q_OBJECT
public:
    // Where to look; by default nowhere, so no tray is ever found.
    struct TWhere {
        bool SessionBus = false; // the user's session bus
        QString BusAddress;      // else the bus at this address, if any
        // The display in DISPLAY; only where the windows are on that display.
        bool X11 = false;
    };
    explicit TTrayHost(const TWhere& where, QObject* parent = nullptr);
    ~TTrayHost() override;

    // A tray is there now.
    bool Present() const;

signals:
    // A tray has come where there was none.
    void Appeared();

private slots:
    // Looks again; says Appeared when a tray is there and was not before.
    void Recheck();

private:
    struct TWatch;
    std::unique_ptr<TWatch> Watch;
    bool WasPresent = false;
};

} // namespace platform

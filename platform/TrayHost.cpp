// Other systems than Windows: a StatusNotifierItem watcher on the session bus,
// or the X11 system-tray selection, looked for through a connection of our own
// to the display, so the toolkit's first tray icon is only made once a tray is
// there (it settles on the kind of tray when that icon is made).
#if !defined(_WIN32)
#include "platform/TrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace platform {

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
constexpr int BusTimeoutMs = 2000;

// The selection owner of the display's tray, and the announcements of a new one
// (the MANAGER message a tray sends to the root window when it takes the
// selection).
class TX11Tray {
public:
    TX11Tray() {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            return;
        }
        int screenNumber = 0;
        Connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(Connection) != 0) {
            xcb_disconnect(Connection);
            Connection = nullptr;
            return;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(Connection));
        for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
            xcb_screen_next(&it);
        }
        if (it.rem == 0) {
            return;
        }
        Root = it.data->root;
        Selection = Atom("_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
        Manager = Atom("MANAGER");
        // Our own connection's interest in the root window; other clients'
        // interests are their own.
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(Connection, Root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(Connection);
    }
    ~TX11Tray() {
        if (Connection != nullptr) {
            xcb_disconnect(Connection);
        }
    }
    TX11Tray(const TX11Tray&) = delete;
    TX11Tray& operator=(const TX11Tray&) = delete;

    bool Usable() const { return Connection != nullptr && Selection != XCB_NONE; }
    int Descriptor() const { return xcb_get_file_descriptor(Connection); }

    bool Present() const {
        if (!Usable()) {
            return false;
        }
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
            Connection, xcb_get_selection_owner(Connection, Selection), nullptr);
        const bool owned = reply != nullptr && reply->owner != XCB_NONE;
        std::free(reply);
        return owned;
    }

    // Reads what has arrived; true when a tray announced itself.
    bool TakeAnnouncements() {
        bool announced = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(Connection)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                reinterpret_cast<xcb_client_message_event_t*>(event)->type == Manager) {
                announced = true;
            }
            std::free(event);
        }
        return announced;
    }

private:
    xcb_atom_t Atom(const std::string& name) const {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            Connection,
            xcb_intern_atom(Connection, 0, static_cast<uint16_t>(name.size()), name.c_str()),
            nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }

    xcb_connection_t* Connection = nullptr;
    xcb_window_t Root = XCB_NONE;
    xcb_atom_t Selection = XCB_NONE;
    xcb_atom_t Manager = XCB_NONE;
};

QDBusConnection BusOf(const TTrayHost::TWhere& where, QString& ownName) {
    if (where.SessionBus) {
        return QDBusConnection::sessionBus();
    }
    if (where.BusAddress.isEmpty()) {
        // No bus: a connection by a name never made, which is not connected.
        return QDBusConnection(QStringLiteral("chronara-no-bus"));
    }
    // A connection of its own, named for this host.
    static std::atomic<int> count{0};
    ownName = QStringLiteral("chronara-tray-host-%1").arg(++count);
    return QDBusConnection::connectToBus(where.BusAddress, ownName);
}

} // namespace

struct TTrayHost::TWatch {
    explicit TWatch(const TWhere& where) : Bus(BusOf(where, OwnBusName)) {
        if (where.X11) {
            X11 = std::make_unique<TX11Tray>();
            if (!X11->Usable()) {
                X11.reset();
            }
        }
    }
    ~TWatch() {
        if (!OwnBusName.isEmpty()) {
            QDBusConnection::disconnectFromBus(OwnBusName);
        }
    }

    // A watcher is on the bus and says a host has registered with it.
    bool WatcherWithHost() const {
        if (!Bus.isConnected() || !Bus.interface()->isServiceRegistered(WatcherService).value()) {
            return false;
        }
        QDBusMessage get = QDBusMessage::createMethodCall(
            WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusMessage reply = Bus.call(get, QDBus::Block, BusTimeoutMs);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
               reply.arguments().front().value<QDBusVariant>().variant().toBool();
    }

    QString OwnBusName;
    QDBusConnection Bus;
    std::unique_ptr<TX11Tray> X11;
};

TTrayHost::TTrayHost(const TWhere& where, QObject* parent)
    : QObject(parent), Watch(std::make_unique<TWatch>(where)) {
    QDBusConnection& bus = Watch->Bus;
    if (bus.isConnected()) {
        // A watcher that comes or goes, and a host that registers with it.
        auto* services = new QDBusServiceWatcher(WatcherService, bus,
                                                 QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(services, &QDBusServiceWatcher::serviceOwnerChanged, this, &TTrayHost::Recheck);
        bus.connect(WatcherService, WatcherPath, WatcherService,
                    QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(Recheck()));
    }
    if (Watch->X11) {
        auto* notifier = new QSocketNotifier(Watch->X11->Descriptor(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            if (Watch->X11->TakeAnnouncements()) {
                Recheck();
            }
        });
    }
    WasPresent = Present();
}

TTrayHost::~TTrayHost() = default;

bool TTrayHost::Present() const {
    return Watch->WatcherWithHost() || (Watch->X11 && Watch->X11->Present());
}

void TTrayHost::Recheck() {
    const bool present = Present();
    const bool appeared = present && !WasPresent;
    WasPresent = present;
    if (appeared) {
        emit Appeared();
    }
}

} // namespace platform

#endif // !_WIN32

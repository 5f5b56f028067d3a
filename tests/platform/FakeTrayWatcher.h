// A desktop panel's tray on a private session bus: it takes the name of the
// StatusNotifierItem watcher, says a host has registered with it, and keeps
// the icons that register. It answers on a thread of its own, as a panel in
// another process would, so a caller that blocks on it gets its answer.
#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QStringList>
#include <QThread>

#include <atomic>

namespace testsupport {

class TFakeTrayWatcher : public QDBusVirtualObject {
public:
    explicit TFakeTrayWatcher(const QString& busAddress)
        : Name(QStringLiteral("fake-tray-watcher-%1").arg(++Count())),
          Bus(QDBusConnection::connectToBus(busAddress, Name)) {
        Answering.start();
        moveToThread(&Answering);
    }
    ~TFakeTrayWatcher() override {
        Bus.unregisterObject(Path);
        Bus.unregisterService(Service);
        Answering.quit();
        Answering.wait();
        QDBusConnection::disconnectFromBus(Name);
    }

    // Takes the watcher's name; the host announces itself as a panel does.
    bool Start() {
        if (!Bus.registerVirtualObject(Path, this) || !Bus.registerService(Service)) {
            return false;
        }
        Bus.send(QDBusMessage::createSignal(Path, Service,
                                            QStringLiteral("StatusNotifierHostRegistered")));
        return true;
    }

    // The icons registered so far.
    QStringList Items() const {
        QMutexLocker lock(&M);
        return Registered;
    }

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" direction=\"in\"/>"
            "</method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<signal name=\"StatusNotifierItemRegistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierHostRegistered\"/>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == QLatin1String("Get") && message.arguments().size() == 2) {
            connection.send(message.createReply(
                QVariant::fromValue(QDBusVariant(Property(message.arguments()[1].toString())))));
            return true;
        }
        if (member == QLatin1String("GetAll")) {
            QVariantMap all;
            for (const char* name : {"RegisteredStatusNotifierItems",
                                     "IsStatusNotifierHostRegistered", "ProtocolVersion"}) {
                all.insert(QLatin1String(name), Property(QLatin1String(name)));
            }
            connection.send(message.createReply(all));
            return true;
        }
        if (member == QLatin1String("RegisterStatusNotifierItem")) {
            QString item = message.arguments().value(0).toString();
            if (!item.startsWith(QLatin1Char(':'))) {
                item = message.service() + item;
            }
            {
                QMutexLocker lock(&M);
                Registered << item;
            }
            connection.send(message.createReply());
            connection.send(QDBusMessage::createSignal(
                                Path, Service, QStringLiteral("StatusNotifierItemRegistered"))
                            << item);
            return true;
        }
        if (member == QLatin1String("RegisterStatusNotifierHost")) {
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

private:
    static std::atomic<int>& Count() {
        static std::atomic<int> count{0};
        return count;
    }
    QVariant Property(const QString& name) const {
        if (name == QLatin1String("IsStatusNotifierHostRegistered")) {
            return true;
        }
        if (name == QLatin1String("ProtocolVersion")) {
            return 0;
        }
        QMutexLocker lock(&M);
        return Registered;
    }

    inline static const QString Service = QStringLiteral("org.kde.StatusNotifierWatcher");
    inline static const QString Path = QStringLiteral("/StatusNotifierWatcher");
    QString Name;
    QDBusConnection Bus;
    QThread Answering;
    mutable QMutex M;
    QStringList Registered;
};

} // namespace testsupport

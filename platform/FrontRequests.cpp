#include "platform/FrontRequests.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <algorithm>

namespace platform {

namespace {

const QByteArray Request = QByteArrayLiteral("front\n");

} // namespace

QString TFrontRequests::Name(const TSingleInstance& instance) {
    QString name = QString::fromStdString(instance.LockPath());
    if (name.endsWith(QLatin1String(".lock"))) {
        name.chop(5);
    }
#if defined(_WIN32)
    // The lock is the session's mutex; pipe names are machine-wide, so the
    // user's name keeps the users of one machine apart.
    name += QLatin1Char('-') + qEnvironmentVariable("USERNAME");
#endif
    return name + QStringLiteral(".front");
}

TFrontRequests::TFrontRequests(const TSingleInstance& instance, QObject* parent)
    : QObject(parent), Server(new QLocalServer(this)) {
    const QString name = Name(instance);
    // Whoever listened here before has ended: this copy holds the lock.
    QLocalServer::removeServer(name);
    Server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(Server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = Server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains(Request.trimmed())) {
                    client->disconnectFromServer();
                    emit Requested();
                }
            });
        }
    });
    Server->listen(name);
}

bool TFrontRequests::Listening() const {
    return Server->isListening();
}

bool TFrontRequests::Ask(const TSingleInstance& instance, int timeoutMs) {
    const QString name = Name(instance);
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(name);
        const auto wait = static_cast<int>(std::min<qint64>(250, deadline.remainingTime()));
        if (socket.waitForConnected(wait)) {
            socket.write(Request);
            const bool sent = socket.waitForBytesWritten(
                static_cast<int>(std::max<qint64>(deadline.remainingTime(), 100)));
            socket.disconnectFromServer();
            return sent;
        }
        socket.abort();
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(100);
    }
}

} // namespace platform

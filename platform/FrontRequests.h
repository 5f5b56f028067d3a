// A second start asks the running copy to bring its window to the front. The
// running copy listens on a local socket beside its single-instance lock (a
// named pipe on Windows), open to the same user only; a second start connects,
// says so and ends.
#pragma once

#include "platform/SingleInstance.h"

#include <QObject>
#include <QString>

class QLocalServer;

namespace platform {

class TFrontRequests : public QObject {
    Q_OBJECT
public:
    // The running copy, which holds `instance`: listens for later starts.
    explicit TFrontRequests(const TSingleInstance& instance, QObject* parent = nullptr);
    bool Listening() const;

    // A later start, which did not get `instance`: asks the running copy to come
    // to the front, waiting at most `timeoutMs` for it (a copy that is just
    // starting listens a moment after it took the lock). Needs a QCoreApplication.
    // False when no copy answered.
    static bool Ask(const TSingleInstance& instance, int timeoutMs = 3000);

    // Where the requests go for `instance`.
    static QString Name(const TSingleInstance& instance);

signals:
    void Requested();

private:
    QLocalServer* Server = nullptr;
};

} // namespace platform

#include "platform/PostedCalls.h"

#include <QPointer>

#include <utility>

namespace platform {

TPostedCalls::TPostedCalls(QObject* parent) : QObject(parent) {}

void TPostedCalls::Post(std::function<void()> call) {
    bool first = false;
    {
        const std::lock_guard guard(Lock);
        first = Posted.empty();
        Posted.push_back(std::move(call));
    }
    // One wake-up runs every call waiting by then. The call goes by name so
    // that Qt alone builds the queued event: nothing this thread writes is
    // read on the other side except through the mutex.
    if (first) {
        QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
    }
}

void TPostedCalls::RunPosted() {
    std::deque<std::function<void()>> calls;
    {
        const std::lock_guard guard(Lock);
        calls.swap(Posted);
    }
    // A call may end this object's life (its owner closes); the rest are
    // then dropped, as Qt drops the calls queued for an object it destroys.
    const QPointer<TPostedCalls> alive(this);
    for (std::function<void()>& call : calls) {
        if (alive.isNull()) {
            return;
        }
        call();
    }
}

} // namespace platform

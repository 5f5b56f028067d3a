// Calls handed from worker threads to the thread an object lives on, run there
// in the order they were posted (a worker's result reaching the window).
//
// A queued Qt call would do the same. The hand-over here goes through a mutex
// of the standard library, which the thread checker of the test builds follows,
// while Qt's own queue is not visible to it (Qt is not built for it): what a
// worker wrote before posting is then seen as handed over, not as a race.
#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class TPostedCalls : public QObject {
    Q_OBJECT
public:
    // Lives on the thread of its parent, which runs the calls.
    explicit TPostedCalls(QObject* parent);

    // From any thread while this object exists: `call` runs later on this
    // object's thread. Calls still waiting when it is destroyed are dropped.
    // A call must not throw.
    void Post(std::function<void()> call);

private:
    Q_INVOKABLE void RunPosted();

    std::mutex Lock;
    std::deque<std::function<void()>> Posted;
};

} // namespace platform

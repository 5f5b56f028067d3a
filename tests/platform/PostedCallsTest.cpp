// Calls posted from worker threads to the owner's thread: where and in which
// order they run, and what happens to those still waiting when the owner goes.
#include "platform/PostedCalls.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

using platform::TPostedCalls;

namespace {

int Argc = 1;
char Arg0[] = "test_platform";
char* Argv[] = {Arg0, nullptr};

// Runs the owner thread's events until `done` holds or a minute has passed.
template <class F> bool RunEventsUntil(F done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

} // namespace

// Two workers post bursts while the owner thread runs its events: every call
// runs once, on the owner thread, each worker's in its order, and sees what
// its worker wrote before posting (the hand-over the thread checker follows).
TEST(PostedCalls, RunOnTheOwnerThreadInOrderWithTheWorkersData) {
    QCoreApplication app(Argc, Argv);
    QObject owner;
    auto* posted = new TPostedCalls(&owner);
    constexpr int PerWorker = 2000;
    std::vector<std::vector<int>> seen(2);
    int wrongThread = 0;
    int ran = 0;
    QThread* const ownerThread = QThread::currentThread();
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < PerWorker; ++i) {
                auto payload = std::make_shared<std::vector<int>>(64, i);
                posted->Post([&, w, payload] {
                    wrongThread += QThread::currentThread() != ownerThread;
                    seen[w].push_back(payload->back());
                    ++ran;
                });
            }
        });
    }
    const bool allRan = RunEventsUntil([&] { return ran == 2 * PerWorker; });
    for (std::thread& t : workers) {
        t.join();
    }
    ASSERT_TRUE(allRan);
    EXPECT_EQ(wrongThread, 0);
    for (const std::vector<int>& calls : seen) {
        ASSERT_EQ(calls.size(), std::size_t{PerWorker});
        for (int i = 0; i < PerWorker; ++i) {
            ASSERT_EQ(calls[i], i);
        }
    }
}

// Calls still waiting when the object is destroyed never run, whether the
// owner destroys it between two event rounds or one of its calls does.
TEST(PostedCalls, WaitingCallsAreDroppedWithTheObject) {
    QCoreApplication app(Argc, Argv);
    int ran = 0;
    {
        auto* posted = new TPostedCalls(nullptr);
        std::thread([&] {
            posted->Post([&] { ++ran; });
            posted->Post([&] { ++ran; });
        }).join();
        delete posted;
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(ran, 0);

    auto* owner = new QObject;
    auto* posted = new TPostedCalls(owner);
    std::thread([&] {
        posted->Post([&] {
            ++ran;
            delete owner;
        });
        posted->Post([&] { ++ran; });
    }).join();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);
}

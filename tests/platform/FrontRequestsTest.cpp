// A later start's request to bring the running copy to the front, over the
// real local socket: answered by the copy that holds the lock, also where a
// crashed copy left its socket behind; unanswered when no copy listens.
#include "platform/FrontRequests.h"

#include "tests/TempDir.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

int Argc = 1;
char Arg0[] = "test_platform";
char* Argv[] = {Arg0, nullptr};

} // namespace

TEST(FrontRequests, TheRunningCopyHearsALaterStart) {
    QCoreApplication app(Argc, Argv);
    testsupport::TempDir dir;
    const platform::TSingleInstance first("Chronara-front-test", dir.Path.string());
    ASSERT_TRUE(first.IsFirst());
    const platform::TSingleInstance later("Chronara-front-test", dir.Path.string());
    ASSERT_FALSE(later.IsFirst());

    // Nobody listens yet.
    EXPECT_FALSE(platform::TFrontRequests::Ask(later, 200));

#if !defined(_WIN32)
    // What a copy that crashed left behind is no obstacle.
    QFile stale(platform::TFrontRequests::Name(first));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
#endif
    platform::TFrontRequests requests(first);
    ASSERT_TRUE(requests.Listening());
    QSignalSpy asked(&requests, &platform::TFrontRequests::Requested);
    EXPECT_TRUE(platform::TFrontRequests::Ask(later));
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked.count() == 1; }));
}

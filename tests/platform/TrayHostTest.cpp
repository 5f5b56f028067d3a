// Looking for a tray on a real private session bus: none, one that is there
// from the start, and one that comes later.
#include "platform/TrayHost.h"
#include "FakeTrayWatcher.h"
#include "PrivateSession.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

int Argc = 1;
char Arg0[] = "test_platform";
char* Argv[] = {Arg0, nullptr};

platform::TTrayHost::TWhere OnBus(const QString& address) {
    platform::TTrayHost::TWhere where;
    where.BusAddress = address;
    return where;
}

} // namespace

TEST(TrayHost, FoundOnTheBusAtTheStartOrWhenItComes) {
    QCoreApplication app(Argc, Argv);
    testsupport::TPrivateSession session;
    if (!session.Ok()) {
        GTEST_SKIP() << "skipped: " << session.Error;
    }
    // Nowhere to look, and a display that cannot be reached: no tray.
    platform::TTrayHost::TWhere nowhere;
    nowhere.X11 = true;
    session.Set("DISPLAY", QStringLiteral(":4711"));
    EXPECT_FALSE(platform::TTrayHost(nowhere).Present());

    // A bus without a watcher; the watcher comes after the start.
    platform::TTrayHost later(OnBus(session.Address));
    QSignalSpy appeared(&later, &platform::TTrayHost::Appeared);
    EXPECT_FALSE(later.Present());
    auto watcher = std::make_unique<testsupport::TFakeTrayWatcher>(session.Address);
    ASSERT_TRUE(watcher->Start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return appeared.count() > 0; }));
    EXPECT_EQ(appeared.count(), 1);
    EXPECT_TRUE(later.Present());

    // There from the start.
    EXPECT_TRUE(platform::TTrayHost(OnBus(session.Address)).Present());
}

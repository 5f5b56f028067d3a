// The Plasma back end over a real session bus: a stand-in shell on a private bus
// answers the scripting call, so the D-Bus transport is exercised end to end.
#include "PrivateSession.h"
#include "platform/DesktopBackends.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QThread>

#include <mutex>

namespace {

class TShellStub : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")
public:
    QStringList Scripts() {
        std::lock_guard guard(M);
        return Received;
    }

public slots:
    QString evaluateScript(const QString& script) {
        std::lock_guard guard(M);
        Received << script;
        return script.contains(QLatin1String("lines.push"))
                   ? QStringLiteral("3\torg.kde.image\tfile:///home/u/mine.jpg\t1\n")
                   : QString();
    }

private:
    std::mutex M;
    QStringList Received;
};

int Argc = 1;
char Arg0[] = "test_platform";
char* Argv[] = {Arg0, nullptr};

} // namespace

TEST(PlasmaDesktopOverDBus, TheShellReceivesTheScriptsAndAnswersTheRead) {
    QCoreApplication app(Argc, Argv);
    testsupport::TPrivateSession session;
    if (!session.Ok()) {
        GTEST_SKIP() << "skipped: " << session.Error;
    }
    EXPECT_FALSE(platform::PlasmaShellRunning());

    // The stand-in lives on a thread of its own, with its own connection.
    QThread shellThread;
    TShellStub shell;
    shell.moveToThread(&shellThread);
    shellThread.start();
    QDBusConnection shellBus =
        QDBusConnection::connectToBus(session.Address, QStringLiteral("shell"));
    ASSERT_TRUE(shellBus.registerObject(QStringLiteral("/PlasmaShell"), &shell,
                                        QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(shellBus.registerService(QStringLiteral("org.kde.plasmashell")));
    EXPECT_TRUE(platform::PlasmaShellRunning());

    auto desktop = platform::CreatePlasmaDesktop(platform::PlasmaEvaluateOverDBus);
    const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
    EXPECT_EQ(saved.Get(QStringLiteral("3/Image")), "file:///home/u/mine.jpg");
    desktop->SetWallpaper(QStringLiteral("/tmp/Wallpaper.bmp"));
    desktop->RestoreWallpaper(saved);
    const QStringList scripts = shell.Scripts();
    ASSERT_EQ(scripts.size(), 3);
    EXPECT_TRUE(scripts[1].contains(QLatin1String("file:///tmp/Wallpaper.bmp")));
    EXPECT_TRUE(scripts[2].contains(QLatin1String("desktopById(3)")));

    shellBus.unregisterService(QStringLiteral("org.kde.plasmashell"));
    QDBusConnection::disconnectFromBus(QStringLiteral("shell"));
    shellThread.quit();
    shellThread.wait();
    // A shell that has gone is an error the caller reports.
    EXPECT_THROW(desktop->SetWallpaper(QStringLiteral("/tmp/Wallpaper.bmp")),
                 platform::EDesktopError);
}

#include "DesktopPlasmaBusTest.moc"

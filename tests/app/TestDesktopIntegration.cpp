// Wallpaper mode, the icon-text commands and Stay on Top, on a plain window with
// the menu commands and a recording desktop.
#include "AppTestSupport.h"

#include "app/window/DesktopIntegration.h"
#include "tests/FullDisk.h"

#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>

using namespace apptest;
using app::TDesktopIntegration;

namespace {

struct TRig {
    explicit TRig(bool canSet = true) : Desktop(std::make_shared<TRecordingDesktop>(canSet)) {
        for (QAction** a :
             {&Commands.Wallpaper, &Commands.TranspDesk, &Commands.PISetDesktopIconTextColor,
              &Commands.Stayontop1, &Commands.PIStayOnTop}) {
            *a = new QAction(&Window);
            (*a)->setEnabled(false);
        }
        for (QAction* a :
             {Commands.Wallpaper, Commands.TranspDesk, Commands.Stayontop1, Commands.PIStayOnTop}) {
            a->setCheckable(true);
        }
        Commands.TranspDesk->setText(QStringLiteral("Transparent Desktop Icons"));
        Menu.addAction(Commands.TranspDesk);
        Integration =
            std::make_unique<TDesktopIntegration>(&Window, Commands, Desktop, World.ProgramDir());
        Integration->ShadowBusy = [this] { return Busy; };
        Integration->RefreshSoon = [this] { ++Refreshes; };
    }
    TTestWorld World;
    QMainWindow Window;
    QMenu Menu;
    TDesktopIntegration::TCommands Commands;
    std::shared_ptr<TRecordingDesktop> Desktop;
    std::unique_ptr<TDesktopIntegration> Integration;
    bool Busy = false;
    int Refreshes = 0;
};

// A 1024 x 512 day image of one colour.
kiv::TFastDIB Day() {
    kiv::TFastDIB day(1024, 512, 24);
    day.Fill(60);
    return day;
}

} // namespace

class TestDesktopIntegration : public QObject {
    Q_OBJECT
private slots:
    // On: the message, and a refresh on the tick after next unless one runs.
    void ModeOnShowsTheMessageAndRefreshesUnlessBusy_data() {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<int>("refreshes");
        QTest::newRow("idle") << false << 1;
        QTest::newRow("computing") << true << 0;
    }
    void ModeOnShowsTheMessageAndRefreshesUnlessBusy() {
        QFETCH(bool, busy);
        QFETCH(int, refreshes);
        TRig rig;
        rig.Busy = busy;
        TMessageRecorder messages;
        rig.Commands.Wallpaper->trigger();
        QVERIFY(rig.Commands.Wallpaper->isChecked());
        QCOMPARE(rig.Refreshes, refreshes);
        QCOMPARE(messages.Texts, QStringList{app::WallpaperModeMessage});
        QCOMPARE(messages.Kinds.front(), app::TMessageKind::Information);
    }

    // The stored mode only checks the item.
    void StoredModeOnlyChecks() {
        TRig rig;
        TMessageRecorder messages;
        rig.Integration->SetWallpaperChecked(true);
        QVERIFY(rig.Commands.Wallpaper->isChecked());
        QVERIFY(messages.Texts.isEmpty());
        QCOMPARE(rig.Refreshes, 0);
    }

    void ADesktopWithoutWallpaperSaysSoAndUnchecks() {
        TRig rig(false);
        TMessageRecorder messages;
        rig.Commands.Wallpaper->trigger();
        QVERIFY(!rig.Commands.Wallpaper->isChecked());
        QCOMPARE(messages.Texts, QStringList{app::NoWallpaperMessage});
        rig.Integration->BuildWallpaper(Day(), 256);
        QVERIFY(!rig.Integration->Builder().Busy());
        QVERIFY(rig.Desktop->Recorded().isEmpty());
    }

    // Each build is handed over under a new name; off and close put the user's
    // wallpaper back, and no build follows.
    void BuildsWhileOnAndRestoresWhenOffAndAtClose() {
        TRig rig;
        TMessageRecorder messages;
        rig.Integration->ReadUserWallpaper();
        rig.Integration->BuildWallpaper(Day(), 256); // off: nothing
        QVERIFY(!rig.Integration->Builder().Busy());

        rig.Commands.Wallpaper->trigger();
        QSignalSpy built(rig.Integration.get(), &TDesktopIntegration::WallpaperBuilt);
        for (int i = 0; i < 2; ++i) {
            rig.Integration->BuildWallpaper(Day(), 256);
            QVERIFY(built.count() > i || built.wait(30000));
            QCOMPARE(built.at(i).at(1).toString(), QString());
        }
        rig.Commands.Wallpaper->trigger(); // off
        QCOMPARE(rig.Desktop->Recorded(), (QStringList{QStringLiteral("set Wallpaper.bmp"),
                                                       QStringLiteral("set Wallpaper-1.bmp"),
                                                       QStringLiteral("restore mine.png")}));
        QVERIFY(QFileInfo::exists(QString::fromStdString(rig.World.ProgramDir()) +
                                  QStringLiteral("/Wallpaper.bmp")));

        rig.Commands.Wallpaper->trigger(); // on again, then the window closes
        rig.Integration->FormClose();
        QVERIFY(!rig.Commands.Wallpaper->isChecked());
        QCOMPARE(rig.Desktop->Recorded().last(), QStringLiteral("restore mine.png"));
    }

    // A run that ended with our picture on the desktop left the user's record
    // beside it: the next start takes that one, and it goes once put back at
    // the close, also when the mode comes up off (killed before it was saved).
    void TheUsersWallpaperSurvivesARunThatEndedWithoutRestoring_data() {
        QTest::addColumn<bool>("modeOn");
        QTest::newRow("mode stored on") << true;
        QTest::newRow("mode stored off") << false;
    }
    void TheUsersWallpaperSurvivesARunThatEndedWithoutRestoring() {
        QFETCH(bool, modeOn);
        TRig rig;
        TMessageRecorder messages;
        rig.Integration->ReadUserWallpaper();
        rig.Integration->SetWallpaperChecked(true);
        QSignalSpy built(rig.Integration.get(), &TDesktopIntegration::WallpaperBuilt);
        rig.Integration->BuildWallpaper(Day(), 64);
        QVERIFY(built.wait(30000));
        const QString kept =
            QString::fromStdString(rig.World.ProgramDir()) + QStringLiteral("/SavedWallpaper.json");
        QVERIFY(QFileInfo::exists(kept));

        // The next run finds our picture set.
        class TOursSet : public TRecordingDesktop {
            platform::TSavedWallpaper ReadWallpaper() override {
                return {true, {{QStringLiteral("picture"), QStringLiteral("/x/Wallpaper-1.bmp")}}};
            }
        };
        auto desktop = std::make_shared<TOursSet>();
        TDesktopIntegration next(&rig.Window, rig.Commands, desktop, rig.World.ProgramDir());
        next.ReadUserWallpaper();
        QCOMPARE(next.SavedWallpaper().Get(QStringLiteral("picture")), QStringLiteral("mine.png"));
        next.SetWallpaperChecked(modeOn);
        next.FormClose();
        QCOMPARE(desktop->Recorded(), QStringList{QStringLiteral("restore mine.png")});
        QVERIFY(!QFileInfo::exists(kept));
    }

    // A full disk: the record of the user's wallpaper cannot be written, so
    // ours is not set (a kill would lose the user's); said once, with the
    // cause. Once there is room, the record goes first, then ours.
    void ARecordThatCannotBeWrittenIsReportedOnceAndOursIsNotSet() {
        TRig rig;
        TMessageRecorder messages;
        rig.Integration->ReadUserWallpaper();
        rig.Integration->SetWallpaperChecked(true);
        {
            testsupport::TFullDisk full(16);
            for (int i = 0; i < 2; ++i) {
                rig.Integration->BuildWallpaper(Day(), 64);
            }
        }
        QCOMPARE(messages.Texts.size(), 1);
        const QString record =
            QString::fromStdString(rig.World.ProgramDir()) + QStringLiteral("/SavedWallpaper.json");
        QVERIFY2(messages.Texts[0].contains(record), qPrintable(messages.Texts[0]));
        QVERIFY(!rig.Integration->Builder().Busy());
        QVERIFY(rig.Desktop->Recorded().isEmpty());
        QVERIFY(!QFileInfo::exists(record));

        QSignalSpy built(rig.Integration.get(), &TDesktopIntegration::WallpaperBuilt);
        rig.Integration->BuildWallpaper(Day(), 64);
        QVERIFY(QFileInfo::exists(record));
        QVERIFY(built.wait(30000));
        QCOMPARE(rig.Desktop->Recorded(), QStringList{QStringLiteral("set Wallpaper.bmp")});
        QCOMPARE(messages.Texts.size(), 1);
    }

    // A 4096-wide build runs off the window thread: the call returns at once and
    // the window's events go on while it runs.
    void AWideBuildLeavesTheWindowThreadFree() {
        TRig rig;
        rig.Integration->SetWallpaperChecked(true);
        QSignalSpy built(rig.Integration.get(), &TDesktopIntegration::WallpaperBuilt);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(0);
        rig.Integration->BuildWallpaper(Day(), 4096);
        QVERIFY(rig.Integration->Builder().Busy());
        QVERIFY(built.wait(60000));
        QVERIFY(ticks > 0);
        QCOMPARE(built.at(0).at(1).toString(), QString());
        QCOMPARE(rig.Desktop->Recorded(), QStringList{QStringLiteral("set Wallpaper.bmp")});
    }

    // A build that fails is reported once, not at every refresh.
    void AFailingBuildIsReportedOnce() {
        TRig rig;
        TMessageRecorder messages;
        QFile::remove(rig.World.DataFile(QStringLiteral("mask.png")));
        rig.Integration->SetWallpaperChecked(true);
        QSignalSpy built(rig.Integration.get(), &TDesktopIntegration::WallpaperBuilt);
        for (int i = 0; i < 2; ++i) {
            rig.Integration->BuildWallpaper(Day(), 256);
            QVERIFY(built.count() > i || built.wait(30000));
        }
        QCOMPARE(messages.Texts.size(), 1);
        QVERIFY(messages.Texts[0].contains(QLatin1String("mask.png")));
        QVERIFY(rig.Desktop->Recorded().isEmpty());
    }

    // Without an icon list: both icon commands disabled, saying why; the
    // transparency check is kept as loaded and closing leaves it.
    void IconCommandsAreDisabledWithAReasonWhereThereIsNoIconList() {
        TRig rig;
        for (QAction* a : {rig.Commands.TranspDesk, rig.Commands.PISetDesktopIconTextColor}) {
            QVERIFY(!a->isEnabled());
            QCOMPARE(a->toolTip(), app::NoIconListTip);
        }
        QVERIFY(rig.Menu.toolTipsVisible());
        rig.Commands.TranspDesk->setChecked(true);
        rig.Integration->FormClose();
        QVERIFY(rig.Commands.TranspDesk->isChecked());
    }

    // Either item flips both and the window's stay-on-top state.
    void StayOnTopItemsStayInStep() {
        TRig rig;
        rig.Window.show();
        rig.Commands.Stayontop1->trigger();
        QVERIFY(rig.Commands.PIStayOnTop->isChecked());
        QVERIFY(rig.Window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(rig.Window.isVisible());
        rig.Commands.PIStayOnTop->trigger();
        QVERIFY(!rig.Commands.Stayontop1->isChecked());
        QVERIFY(!rig.Window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(rig.Window.isVisible());
    }
};

QTEST_MAIN(TestDesktopIntegration)
#include "TestDesktopIntegration.moc"

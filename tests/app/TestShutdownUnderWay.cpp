// Ending the program while work is under way: a shadow computation, a
// wallpaper build or a settings save. Each way of closing (the close box, a
// quit signal, "Exit") ends cleanly, stores the settings whole and leaves no
// temporary file behind.
#include "AppTestSupport.h"

#include "app/map/MapComposer.h"
#include "app/moment/MomentControl.h"
#include "app/moment/MomentShadow.h"
#include "app/settings/StoredSettings.h"
#include "app/window/QuitSignals.h"
#include "platform/PostedCalls.h"
#include "platform/Registry.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSignalSpy>

#include <condition_variable>
#include <csignal>

using namespace apptest;
using app::TFormChronara;

namespace {

// A desktop whose background colour, asked for by every wallpaper build on its
// thread, is answered only when the test says so: the build is then under way
// for as long as the test needs.
class THeldDesktop : public TRecordingDesktop {
public:
    QString BackgroundColor() override {
        std::unique_lock guard(Lock);
        Entered = true;
        Changed.notify_all();
        Changed.wait(guard, [this] { return Released; });
        return TRecordingDesktop::BackgroundColor();
    }
    bool BuildEntered() {
        std::lock_guard guard(Lock);
        return Entered;
    }
    void Release() {
        std::lock_guard guard(Lock);
        Released = true;
        Changed.notify_all();
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    bool Entered = false;
    bool Released = false;
};

// Drops the shadow map's completions posted to the map controller: the
// computation then stays under way for as long as the test needs.
class TCompletionHold : public QObject {
public:
    explicit TCompletionHold(TFormChronara* window) : QObject(window) {
        apptest::MapOf(*window)
            ->findChild<platform::TPostedCalls*>(QString(), Qt::FindDirectChildrenOnly)
            ->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return event->type() == QEvent::MetaCall || QObject::eventFilter(watched, event);
    }
};

// Holds the picked moment's shadow thread before each computation: Pass lets
// one computation on, Open all from then on.
class TMomentGate {
public:
    void Wait() {
        std::unique_lock guard(Lock);
        ++Arrived;
        Changed.notify_all();
        Changed.wait(guard, [this] { return Opened || Passes > 0; });
        if (!Opened) {
            --Passes;
        }
    }
    void Pass() {
        std::lock_guard guard(Lock);
        ++Passes;
        Changed.notify_all();
    }
    bool Reached(int count) {
        std::unique_lock guard(Lock);
        return Changed.wait_for(guard, std::chrono::seconds(30), [&] { return Arrived >= count; });
    }
    void Open() {
        std::lock_guard guard(Lock);
        Opened = true;
        Changed.notify_all();
    }

private:
    std::mutex Lock;
    std::condition_variable Changed;
    int Arrived = 0;
    int Passes = 0;
    bool Opened = false;
};

QStringList Temporaries(const QString& dir) {
    QStringList found;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        if (name.endsWith(QLatin1String(".tmp")) ||
            name.startsWith(QLatin1String("Chronara.reg."))) {
            found << name;
        }
    }
    return found;
}

} // namespace

class TestShutdownUnderWay : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    QString ProgramDir() const { return QString::fromStdString(World->ProgramDir()); }

    // Closes the window by the way the row names: "close box" or "quit signal".
    void CloseBy(const QString& way) {
        if (way == QLatin1String("quit signal")) {
            app::CloseOnQuitSignals(Form.get());
            std::raise(SIGTERM);
            QTRY_VERIFY(!Form->isVisible());
        } else {
            Form->close();
        }
    }

    // A shadow refresh started, still under way.
    void StartRefresh() {
        DisplayOf(*Form).ShadowRefreshCounter = 700;
        RunTick(*Form);
        QVERIFY(ShadowMapOf(*Form)->Busy());
    }

    // The settings as stored: whole, with the window's state.
    void CheckStore(int smUpdate, bool wallpaperMode) {
        platform::TRegistry store;
        QVERIFY(store.Problems().empty());
        QVERIFY(store.OpenKeyReadOnly(app::SettingsKey));
        QCOMPARE(store.ReadInteger("SMUpdate"), smUpdate);
        QCOMPARE(store.ReadBool("WallpaperMode"), wallpaperMode);
        QCOMPARE(store.ReadInteger("LocationCount"), 1);
        QVERIFY(store.OpenKeyReadOnly(app::SettingsKey + "\\0"));
        QCOMPARE(store.ReadString("Name"), std::string("Kolkata"));
        QCOMPARE(store.ReadFloat("Longitude"), 88.36);
    }

    void CheckNoTemporaries() {
        for (const QString& dir : {ProgramDir(), World->ConfigHome()}) {
            const QStringList left = Temporaries(dir);
            QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
        }
    }

    void AddKolkata() {
        LocationsOf(*Form)->AddLocation(QStringLiteral("Kolkata"), QStringLiteral("Asia/Kolkata"),
                                        22.57, 88.36);
    }

    static void Ways() {
        QTest::addColumn<QString>("way");
        QTest::newRow("close box") << QStringLiteral("close box");
        QTest::newRow("quit signal") << QStringLiteral("quit signal");
    }

private slots:
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    void closingWhileTheShadowIsComputed_data() { Ways(); }
    void closingWhileTheShadowIsComputed() {
        QFETCH(QString, way);
        QVERIFY(OpenWindow());
        AddKolkata();
        StartRefresh();
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        CloseBy(way);
        QCOMPARE(closed.count(), 1);
        CheckStore(600, false);
        // The completion that comes after the close changes nothing stored and
        // shows nothing; the window then goes while nothing runs.
        QTRY_VERIFY(!ShadowMapOf(*Form)->Busy());
        QCoreApplication::processEvents();
        Form.reset();
        QVERIFY(Messages->Texts.isEmpty());
        CheckStore(600, false);
        CheckNoTemporaries();
    }

    void closingWhileAWallpaperIsBuilt_data() { Ways(); }
    void closingWhileAWallpaperIsBuilt() {
        QFETCH(QString, way);
        auto held = std::make_shared<THeldDesktop>();
        Desktop = held;
        auto release = qScopeGuard([&] { held->Release(); });
        QVERIFY(OpenWindow());
        AddKolkata();
        {
            const QSignalBlocker quiet(ActionOf(*Form, "Wallpaper"));
            ActionOf(*Form, "Wallpaper")->setChecked(true);
        }
        StartRefresh();
        QTRY_VERIFY(!ShadowMapOf(*Form)->Busy());
        QTRY_VERIFY(held->BuildEntered());
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        CloseBy(way);
        QCOMPARE(closed.count(), 1);
        // The mode is stored as on, so it comes back at the next start.
        CheckStore(600, true);
        // The build ends after the close; its picture never reaches the
        // desktop, which keeps the user's own.
        held->Release();
        Form.reset();
        QCOMPARE(held->Recorded(), QStringList{QStringLiteral("restore mine.png")});
        QVERIFY(Messages->Texts.isEmpty());
        CheckStore(600, true);
        CheckNoTemporaries();
    }

    // A moment picked on the time control, its shadow held on its thread; in
    // some rows a second moment waits behind it. After the close nothing of
    // either reaches the window, and the thread ends when the window goes.
    void closingWhileAMomentShadowIsComputed_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("waiting");
        for (const char* way : {"close box", "quit signal"}) {
            QTest::addRow("%s", way) << QString::fromLatin1(way) << false;
            QTest::addRow("%s, a moment waiting", way) << QString::fromLatin1(way) << true;
        }
    }
    void closingWhileAMomentShadowIsComputed() {
        QFETCH(QString, way);
        QFETCH(bool, waiting);
        QVERIFY(OpenWindow());
        AddKolkata();
        app::TMomentShadow& shadow = *Part<app::TMomentShadow>(*Form, "MomentShadow");
        TMomentGate gate;
        auto open = qScopeGuard([&] { gate.Open(); });
        shadow.BeforeCompute = [&gate](kiv::TDateTime) { gate.Wait(); };
        QSignalSpy ready(&shadow, &app::TMomentShadow::Ready);
        QTest::keyClick(MomentBarOf(*Form)->Slider, Qt::Key_Right);
        QVERIFY(gate.Reached(1));
        if (waiting) {
            QTest::keyClick(MomentBarOf(*Form)->Slider, Qt::Key_Right);
        }
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        CloseBy(way);
        QCOMPARE(closed.count(), 1);
        // The waiting moment is dropped at the close, never computed.
        QCOMPARE(shadow.Dropped.load(), waiting ? 1 : 0);
        CheckStore(600, false);

        // Let the held shadow end. A moment asked for afterwards comes to the
        // thread (and is held there) only once the held one is done and
        // handed on: whatever it handed on has come by then.
        gate.Pass();
        shadow.Request(Clock->UtcNow());
        QVERIFY(gate.Reached(2));
        QCoreApplication::processEvents();
        QCOMPARE(ready.count(), 0);
        QCOMPARE(shadow.Computed.load(), 1);
        shadow.Cancel();
        gate.Open();
        Form.reset(); // waits for the thread: it must end
        QVERIFY(Messages->Texts.isEmpty());
        CheckStore(600, false);
        CheckNoTemporaries();
    }

    // The moment's map fails to compose (its day image is gone) just after
    // the close: the error is for nobody and is not shown.
    void aMomentMapFailingAfterTheCloseSaysNothing() {
        QVERIFY(OpenWindow());
        AddKolkata();
        QVERIFY(QFile::remove(World->DataFile(QStringLiteral("earth_day.png"))));
        QSignalSpy failed(Part<app::TMapComposer>(*Form, "MomentComposer"),
                          &app::TMapComposer::Failed);
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        // Closed the moment the shadow is handed on, after the window asked
        // for the map (its own handler comes first).
        connect(Part<app::TMomentShadow>(*Form, "MomentShadow"), &app::TMomentShadow::Ready,
                Form.get(), [this] { Form->close(); });
        QTest::keyClick(MomentBarOf(*Form)->Slider, Qt::Key_Right);
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 30000);
        QCoreApplication::processEvents();
        QVERIFY2(Messages->Texts.isEmpty(), qPrintable(Messages->Texts.join(QLatin1String(" | "))));
        Form.reset();
        CheckStore(600, false);
        CheckNoTemporaries();
    }

    void aQuitSignalDuringTheOptionsSaveClosesAfterIt() {
        QVERIFY(OpenWindow());
        AddKolkata();
        app::CloseOnQuitSignals(Form.get());
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        Form->SetShowModal([](QDialog& dialog) {
            dialog.show();
            dialog.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("5"));
            // The signal comes while the dialog saves: it is taken up between
            // events, never in the middle of a save.
            std::raise(SIGTERM);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ButtonOK")),
                              Qt::LeftButton);
            return dialog.result();
        });
        QVERIFY(TriggerAction(Form.get(), "PIOptions"));
        QTRY_COMPARE(closed.count(), 1);
        Form.reset();
        QVERIFY(Messages->Texts.isEmpty());
        CheckStore(300, false);
        CheckNoTemporaries();
    }

    void aFailedSaveWithAClosingUnderItsMessage() {
        QVERIFY(OpenWindow());
        AddKolkata();
        // The settings folder becomes a file: no save can succeed.
        const QString folder = World->ConfigHome() + QStringLiteral("/chronara");
        QVERIFY(QDir(folder).removeRecursively());
        {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.write("not a folder");
        }
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        // The close comes while the save's error is on screen.
        bool closing = false;
        app::SetMessageAnswerer([&](app::TMessageKind, const QString& text) {
            Messages->Texts << text;
            if (!closing) {
                closing = true;
                Form->close();
            }
            return QMessageBox::Ok;
        });
        Form->SetShowModal([](QDialog& dialog) {
            dialog.show();
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ButtonOK")),
                              Qt::LeftButton);
            return dialog.result();
        });
        QVERIFY(TriggerAction(Form.get(), "PIOptions"));
        QCOMPARE(closed.count(), 1);
        QCOMPARE(Messages->Texts.size(), 2);
        for (const QString& text : Messages->Texts) {
            QVERIFY2(text.startsWith(QStringLiteral("Failed to set data for '")), qPrintable(text));
        }
        Form.reset();
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::ReadOnly));
        QCOMPARE(blocker.readAll(), QByteArray("not a folder"));
        CheckNoTemporaries();
    }

    // Last: the program's quit leaves this process's event loops ended until
    // the test restarts them.
    void aQuitSignalWhileExitWaitsForTheShadowEndsTheWait() {
        QVERIFY(OpenWindow());
        AddKolkata();
        app::CloseOnQuitSignals(Form.get());
        // As the program does: the window closed ends the application.
        connect(Form.get(), &TFormChronara::Closed, qApp, &QCoreApplication::quit);
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        auto* hold = new TCompletionHold(Form.get());
        StartRefresh();
        QTimer::singleShot(100, [] { std::raise(SIGTERM); });
        QVERIFY(TriggerAction(Form.get(), "PIExit"));
        QCOMPARE(closed.count(), 1);
        QVERIFY(ShadowMapOf(*Form)->Busy());
        CheckStore(600, false);
        delete hold;
        Form.reset();
        CheckNoTemporaries();
        // The quit is over: event loops run again for what follows.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
};

QTEST_MAIN(TestShutdownUnderWay)
#include "TestShutdownUnderWay.moc"

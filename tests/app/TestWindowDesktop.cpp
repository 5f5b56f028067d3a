// The window's desktop commands and keys: wallpaper mode through the map rebuild
// and closing, Stay on Top in both menus, and the keys over the map.
#include "AppTestSupport.h"

#include <QKeyEvent>
#include <QMenu>
#include <QSignalSpy>

using namespace apptest;
using app::TDesktopIntegration;

class TestWindowDesktop : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(Form.get(), &press);
    }

private slots:
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    void DesktopCommandsAreReady() {
        QVERIFY(OpenWindow());
        for (QAction* a : {ActionOf(*Form, "Wallpaper"), ActionOf(*Form, "Stayontop1"),
                           ActionOf(*Form, "PIStayOnTop")}) {
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        }
        // The recording desktop has no icon list, like every desktop but Windows.
        QVERIFY(!ActionOf(*Form, "TranspDesk")->isEnabled());
        QCOMPARE(ActionOf(*Form, "PISetDesktopIconTextColor")->toolTip(), app::NoIconListTip);
        QVERIFY(MenuOf(*Form, "PopupMenu2")->toolTipsVisible());
    }

    // On: the message and a refresh on the tick after next; each rebuild hands
    // the wallpaper over; closing puts the user's back.
    void WallpaperModeFollowsTheRebuildsAndCloseRestores() {
        QVERIFY(OpenWindow());
        DisplayOf(*Form).WallpaperWidth = 256;
        ActionOf(*Form, "Wallpaper")->trigger();
        QCOMPARE(Messages->Texts, QStringList{app::WallpaperModeMessage});
        QCOMPARE(DisplayOf(*Form).ShadowRefreshCounter, DisplayOf(*Form).SMUpdate - 1);

        QSignalSpy built(Part<app::TDesktopIntegration>(*Form),
                         &TDesktopIntegration::WallpaperBuilt);
        MapOf(*Form)->MapRebuild();
        QVERIFY(built.wait(30000));
        QCOMPARE(built.at(0).at(1).toString(), QString());
        Form->close();
        QCOMPARE(Desktop->Recorded(), (QStringList{QStringLiteral("set Wallpaper.bmp"),
                                                   QStringLiteral("restore mine.png")}));
        QCOMPARE(Messages->Texts.size(), 1);
    }

    // Closing with the mode on puts the user's wallpaper back but stores the
    // mode as on: the next start is in wallpaper mode without the message.
    void ClosingWithTheModeOnKeepsItForTheNextStart() {
        QVERIFY(OpenWindow());
        ActionOf(*Form, "Wallpaper")->trigger();
        Form->close();
        QCOMPARE(Desktop->Recorded(), QStringList{QStringLiteral("restore mine.png")});
        Form.reset();
        Messages->Texts.clear();

        QVERIFY(OpenWindow());
        QVERIFY(ActionOf(*Form, "Wallpaper")->isChecked());
        QVERIFY(Messages->Texts.isEmpty());
        QSignalSpy built(Part<app::TDesktopIntegration>(*Form),
                         &TDesktopIntegration::WallpaperBuilt);
        DisplayOf(*Form).WallpaperWidth = 128;
        MapOf(*Form)->MapRebuild();
        QVERIFY(built.wait(30000));
        QCOMPARE(Desktop->Recorded().last(), QStringLiteral("set Wallpaper.bmp"));
    }

    void StayOnTopIsCheckedInBothMenus() {
        QVERIFY(OpenWindow());
        ActionOf(*Form, "Stayontop1")->trigger();
        QVERIFY(ActionOf(*Form, "PIStayOnTop")->isChecked());
        QVERIFY(Form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        ActionOf(*Form, "PIStayOnTop")->trigger();
        QVERIFY(!ActionOf(*Form, "Stayontop1")->isChecked());
        QVERIFY(!Form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    // Arrows pan by 10 map pixels; only the keypad's minus and plus zoom.
    void KeysPanAndZoomTheMap() {
        QVERIFY(OpenWindow());
        app::TMapView& view = PaintBoxOf(*Form)->View;
        view.SetView(300, 100, 0.5f);
        PaintBoxOf(*Form)->LayoutView(false);
        const float x = view.OffsetX.Value;
        const float y = view.OffsetY.Value;
        Key(Qt::Key_Right);
        QCOMPARE(view.OffsetX.Value, x + 10);
        Key(Qt::Key_Left);
        Key(Qt::Key_Left);
        QCOMPARE(view.OffsetX.Value, x - 10);
        Key(Qt::Key_Down);
        QCOMPARE(view.OffsetY.Value, y + 10);
        Key(Qt::Key_Up);
        QCOMPARE(view.OffsetY.Value, y);

        const float zoom = view.Zoom.Value;
        Key(Qt::Key_Minus); // the main keyboard's minus: no zoom
        QCOMPARE(view.Zoom.Value, zoom);
        Key(Qt::Key_Minus, Qt::KeypadModifier);
        QVERIFY(view.Zoom.Value > zoom);
        Key(Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(view.Zoom.Value, zoom);
    }

    // Any key lays the view out again: a view left beyond its bounds comes back.
    void AnUnlistedKeyLaysOutTheView() {
        QVERIFY(OpenWindow());
        app::TMapView& view = PaintBoxOf(*Form)->View;
        view.SetView(-5000, -5000, view.Zoom.Value);
        Key(Qt::Key_A);
        QVERIFY(view.OffsetX.Value > -5000);
        QVERIFY(view.OffsetY.Value > -5000);
    }
};

QTEST_MAIN(TestWindowDesktop)
#include "TestWindowDesktop.moc"

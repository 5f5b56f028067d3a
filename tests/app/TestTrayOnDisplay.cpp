// The program on a real X11 display (Xvfb) with a private session bus, as on a
// desktop without a tray: its window shows; a panel's StatusNotifierItem
// watcher that comes later gets the program's icon registered with it.
// Skipped where Xvfb is not installed (scripts/install-deps.sh installs it).
#include "../platform/FakeTrayWatcher.h"
#include "../platform/PrivateSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// The map states of the top-level windows of class "chronara-window".
QList<int> ProgramWindowStates(const QByteArray& display) {
    QList<int> states;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(display.constData(), &screenNumber);
    if (xcb_connection_has_error(c) != 0) {
        xcb_disconnect(c);
        return states;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    const int count = tree != nullptr ? xcb_query_tree_children_length(tree) : 0;
    const xcb_window_t* children = tree != nullptr ? xcb_query_tree_children(tree) : nullptr;
    for (int i = 0; i < count; ++i) {
        xcb_get_property_reply_t* wmClass = xcb_get_property_reply(
            c, xcb_get_property(c, 0, children[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
            nullptr);
        const QByteArray name =
            wmClass != nullptr
                ? QByteArray(static_cast<const char*>(xcb_get_property_value(wmClass)),
                             xcb_get_property_value_length(wmClass))
                : QByteArray();
        std::free(wmClass);
        if (name.startsWith("chronara-window")) {
            xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
                c, xcb_get_window_attributes(c, children[i]), nullptr);
            if (attributes != nullptr) {
                states << attributes->map_state;
            }
            std::free(attributes);
        }
    }
    std::free(tree);
    xcb_disconnect(c);
    return states;
}

// The display takes connections: Xvfb names its number before it is ready.
// (It is started with -noreset: by default it resets whenever its last client
// goes, as this probe and the program's own display check do, and a program
// connecting during the reset finds no display.)
bool DisplayAnswers(const QByteArray& display) {
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    const bool answers = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return answers;
}

} // namespace

class TestTrayOnDisplay : public QObject {
    Q_OBJECT

private slots:
    void theWindowShowsAndALaterTrayGetsTheIcon() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            QSKIP("Xvfb is not installed");
        }
        testsupport::TPrivateSession session;
        if (!session.Ok()) {
            QSKIP(session.Error.c_str());
        }
        // A display of its own, on the first free number.
        QProcess server;
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp"), QStringLiteral("-noreset")});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 10000);
        const QByteArray display = ':' + server.readLine().trimmed();
        QTRY_VERIFY_WITH_TIMEOUT(DisplayAnswers(display), 10000);

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // Under AddressSanitizer: the X11 keyboard library reads its keymap
        // names with strndup over buffers without an end mark, which the strict
        // string check reports before the window can open.
        if (env.contains(QStringLiteral("ASAN_OPTIONS"))) {
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       env.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":strict_string_checks=0"));
        }
        // Settings, data and the single-instance lock of its own: neither the
        // user's nor those of another test running at the same time.
        QTemporaryDir home;
        QVERIFY(home.isValid());
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            const QString folder = home.filePath(QString::fromLatin1(name));
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::setPermissions(folder,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            env.insert(QString::fromLatin1(name), folder);
        }
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(CHRONARA_BIN_DIR "/chronara-window"), {});
        QVERIFY(program.waitForStarted());
        // No tray: the window is mapped and viewable (no -max given).
        QTRY_VERIFY_WITH_TIMEOUT(ProgramWindowStates(display).contains(XCB_MAP_STATE_VIEWABLE),
                                 20000);

        // A panel with a tray comes: the toolkit's icon registers with it.
        testsupport::TFakeTrayWatcher tray(session.Address);
        QVERIFY(tray.Start());
        QTRY_COMPARE_WITH_TIMEOUT(tray.Items().size(), qsizetype(1), 20000);
        QVERIFY(ProgramWindowStates(display).contains(XCB_MAP_STATE_VIEWABLE));

        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        server.terminate();
        server.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestTrayOnDisplay)
#include "TestTrayOnDisplay.moc"

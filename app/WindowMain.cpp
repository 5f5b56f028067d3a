#include "app/WindowMain.h"

#include "app/Icons.h"
#include "app/Messages.h"
#include "app/UnitChronara.h"
#include "app/WindowLauncher.h"
#include "platform/SingleInstance.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace app {

namespace {

// While the toolkit opens the display, its messages are held back: when it
// cannot open one it reports a fatal error (and would abort with a core dump);
// the program ends instead with its own one-line message and status 1.
QtMessageHandler ToolkitDefaultHandler = nullptr;
std::vector<std::pair<QtMsgType, QString>> HeldMessages;

void HoldStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(NoDisplayMessage, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    HeldMessages.emplace_back(type, text);
}

void ReleaseStartupMessages() {
    qInstallMessageHandler(ToolkitDefaultHandler);
    for (const auto& [type, text] : HeldMessages) {
        ToolkitDefaultHandler(type, QMessageLogContext(), text);
    }
    HeldMessages.clear();
}

} // namespace

int RunWindow(int& argc, char** argv, const TCommandLine& commandLine) {
    // A second copy ends before it touches the display: silently, at once.
    platform::TSingleInstance instance(ApplicationTitle);
    if (!instance.IsFirst()) {
        return 0;
    }
    if (!DisplayConfigured()) {
        std::fputs(NoDisplayMessage, stderr);
        return 1;
    }
    ToolkitDefaultHandler = qInstallMessageHandler(HoldStartupMessage);
    QApplication application(argc, argv);
    ReleaseStartupMessages();
    // Qt adopts the user's locale for the C library; numbers stay with ".".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setApplicationDisplayName(ApplicationTitle);
    QApplication::setWindowIcon(AppIcon());
    // The window hides into the tray; closing it is what ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TStartOptions options;
    options.Max = commandLine.HasSwitch("max");
    TFormChronara form(options);
    QObject::connect(&form, &TFormChronara::Closed, &application, &QApplication::quit);
    form.show();
    return QApplication::exec();
}

} // namespace app

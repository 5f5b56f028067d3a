#include "app/WindowMain.h"

#include "app/Icons.h"
#include "app/Messages.h"
#include "app/UnitChronara.h"
#include "platform/SingleInstance.h"

#include <QApplication>

#include <clocale>

namespace app {

int RunWindow(int& argc, char** argv, const TCommandLine& commandLine) {
    // A second copy ends before it touches the display: silently, at once.
    platform::TSingleInstance instance(ApplicationTitle);
    if (!instance.IsFirst()) {
        return 0;
    }
    QApplication application(argc, argv);
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

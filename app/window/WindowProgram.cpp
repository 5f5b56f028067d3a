#include "app/window/WindowProgram.h"

#include "app/commandline/WindowLauncher.h"
#include "app/icons/Icons.h"
#include "app/text/Messages.h"
#include "app/text/Translation.h"
#include "app/window/QuitSignals.h"
#include "app/window/UnitChronara.h"
#include "kiv/KivData.h"
#include "platform/DesktopId.h"
#include "platform/ProcessMemory.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace app {

namespace {

// Until the toolkit has opened the display, its messages are held back: a
// second copy ends silently, and when no display can be opened the toolkit
// reports a fatal error (and would abort with a core dump); the program ends
// instead with its own one-line message and status 1.
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

void ReleaseStartupMessages(bool show) {
    qInstallMessageHandler(ToolkitDefaultHandler);
    if (show) {
        for (const auto& [type, text] : HeldMessages) {
            ToolkitDefaultHandler(type, QMessageLogContext(), text);
        }
    }
    HeldMessages.clear();
}

} // namespace

std::unique_ptr<platform::TFrontRequests>
BringToFrontOnLaterStarts(const platform::TSingleInstance& instance, TFormChronara& form) {
    auto requests = std::make_unique<platform::TFrontRequests>(instance);
    QObject::connect(requests.get(), &platform::TFrontRequests::Requested, &form,
                     [&form] { form.ApplicationEventsRestore(); });
    return requests;
}

void SetUpApplication() {
    // Qt adopts the user's locale for the C library; numbers stay with ".".
    std::setlocale(LC_NUMERIC, "C");
    // The name only: a display name would be appended to every window's caption.
    QApplication::setApplicationName(ApplicationTitle);
    // The menu entry the windows belong to, for the desktop's task list.
    QGuiApplication::setDesktopFileName(QLatin1String(platform::DesktopId));
    QApplication::setWindowIcon(AppIcon());
    // The window hides into the tray; closing it is what ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
}

int RunWindow(int& argc, char** argv, const TCommandLine& commandLine) {
    platform::PreferSmallPages();
    ToolkitDefaultHandler = qInstallMessageHandler(HoldStartupMessage);
    // A second copy ends before it touches the display, silently, once it has
    // asked the first to bring its window to the front: started again from the
    // menu, the program comes up whether or not the desktop has a tray.
    platform::TSingleInstance instance(ApplicationTitle.toStdString());
    if (!instance.IsFirst()) {
        ReleaseStartupMessages(false);
        const QCoreApplication core(argc, argv);
        platform::TFrontRequests::Ask(instance);
        return 0;
    }
    if (!DisplayConfigured()) {
        ReleaseStartupMessages(false);
        std::fputs(NoDisplayMessage, stderr);
        return 1;
    }
    QApplication application(argc, argv);
    ReleaseStartupMessages(true);
    SetUpApplication();
    // The interface texts: lang.txt beside the program, else the shipped
    // translation for the user's language. Every window translates itself.
    // Qt's own texts (the buttons of message boxes, the colour dialog) follow
    // where the system has Qt's translations for the language.
    QTranslator qtTexts;
    if (!LoadLanguage(kiv::ProgramDir(), QLocale::system()).empty() &&
        qtTexts.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    TStartOptions options;
    options.Max = commandLine.HasSwitch("max");
    TFormChronara form(options);
    QObject::connect(&form, &TFormChronara::Closed, &application, &QApplication::quit);
    CloseOnQuitSignals(&form, [&form] { form.CloseOnSignal(); });
    const auto laterStarts = BringToFrontOnLaterStarts(instance, form);
    form.show();
    return QApplication::exec();
}

} // namespace app

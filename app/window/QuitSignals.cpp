#include "app/window/QuitSignals.h"

#include <QPointer>
#include <QWidget>

#if defined(Q_OS_UNIX)
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace app {

#if defined(Q_OS_UNIX)

namespace {

// The handler may only do what is safe inside a signal: it writes one byte
// into a socket, and the window thread reads it.
int SignalSocket[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(SignalSocket[0], &byte, 1);
}

} // namespace

void CloseOnQuitSignals(QWidget* window, std::function<void()> closeWindow) {
    if (SignalSocket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, SignalSocket) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(SignalSocket[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window,
                     [window = QPointer<QWidget>(window), closeWindow = std::move(closeWindow)] {
                         char byte = 0;
                         [[maybe_unused]] const auto read = ::read(SignalSocket[1], &byte, 1);
                         if (!window) {
                             return;
                         }
                         if (closeWindow) {
                             closeWindow();
                         } else {
                             window->close();
                         }
                     });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

#else

void CloseOnQuitSignals(QWidget*, std::function<void()>) {}

#endif

} // namespace app

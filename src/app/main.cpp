// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationCore.h"
#include "MainWindow.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"
#include "TarnvelloVersion.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <memory>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* Usage =
    "Usage: tarnvello [Qt options]\n"
    "Configures an electronic coin selector over a serial port: reads its parameter memory,\n"
    "edits, teaches and calibrates it, keeps configurations in coin data files (.cdt) and\n"
    "programs the selector again. Opens the main window; the port is chosen in its System\n"
    "menu (Com1..Com4, Com9), each standing for the device named under [Ports] in the\n"
    "settings file.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and licence and exit\n"
    "Qt's own options (-platform, -style, ...) are taken as every Qt program takes them.\n"
    "\n"
    "Files:\n"
    "  ~/.config/tarnvello/tarnvello.conf   the settings (window placement, [Ports])\n"
    "  ~/.local/share/tarnvello/tarnvello/  the data folder: the recent files and port\n"
    "                                       choice (cmose.sys), the default coin data\n"
    "                                       files and the journal of every read and\n"
    "                                       programming\n"
    "Both move with XDG_CONFIG_HOME and XDG_DATA_HOME.\n"
    "\n"
    "SIGTERM and SIGINT close the program as closing its main window does.\n";

// Answered before any window exists, so that they need no display.
bool answeredAboutItself(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tarnvello %s\n%s", TarnvelloVersion::Number, TarnvelloVersion::Notice);
            return true;
        }
    }
    return false;
}

#ifdef Q_OS_LINUX
// SIGTERM and SIGINT arrive as readable bytes on a descriptor, so the event loop closes the
// main window in its own time, as the window's close button would (no Qt work in a handler).
// Blocked before Qt starts threads of its own, so none of them takes the signals.
int blockTerminationSignals()
{
    sigset_t terminating;
    sigemptyset(&terminating);
    sigaddset(&terminating, SIGTERM);
    sigaddset(&terminating, SIGINT);
    pthread_sigmask(SIG_BLOCK, &terminating, nullptr);
    return signalfd(-1, &terminating, SFD_CLOEXEC | SFD_NONBLOCK);
}

void takeSignals(int signalFd)
{
    signalfd_siginfo received{};
    while (read(signalFd, &received, sizeof received) == sizeof received) {
    }
}
#else
// Elsewhere the system ends the program in its own way.
int blockTerminationSignals()
{
    return -1;
}

void takeSignals(int) {}
#endif

} // namespace

int main(int argc, char* argv[])
{
    if (answeredAboutItself(argc, argv))
        return 0;
    const int signalFd = blockTerminationSignals();

    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationVersion(QLatin1String(TarnvelloVersion::Number));

    SystemLinkClock clock;
    ApplicationCore core(std::make_unique<SerialLinkPort>(), clock);
    MainWindow window(core);

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (signalFd >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &window,
                         [&window, signalFd] {
                             takeSignals(signalFd);
                             window.close();
                         });
    }

    window.startUp();
    window.show();
    return QApplication::exec();
}

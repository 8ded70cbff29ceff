// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationCore.h"
#include "MainWindow.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"
#include "TarnvelloVersion.h"
#include "TerminationSignals.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>

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
    "SIGTERM and SIGINT close the program as closing its main window does (a programming\n"
    "under way is finished first).\n";

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

} // namespace

int main(int argc, char* argv[])
{
    if (answeredAboutItself(argc, argv))
        return 0;
    TerminationSignals::block();

    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationVersion(QLatin1String(TarnvelloVersion::Number));

    SystemLinkClock clock;
    ApplicationCore core(std::make_unique<SerialLinkPort>(), clock);
    MainWindow window(core);

    // As the close box: a programming under way is finished first.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &window,
                     &MainWindow::close);

    window.startUp();
    window.show();
    return QApplication::exec();
}

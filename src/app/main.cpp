// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationCore.h"
#include "MainWindow.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationName(QStringLiteral("tarnvello"));

    SystemLinkClock clock;
    ApplicationCore core(std::make_unique<SerialLinkPort>(), clock);
    MainWindow window(core);
    window.startUp();
    window.show();
    return QApplication::exec();
}

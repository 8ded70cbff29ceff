// SPDX-License-Identifier: GPL-3.0-or-later
// screenshots: pictures of every window of the program, made offscreen against the virtual
// selector, for the read-me.

#include "ApplicationCore.h"
#include "MainWindow.h"
#include "ScreenshotTour.h"
#include "SelectorSimulator.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    // The same pictures on every machine: no desktop style, and neither the user's settings
    // nor their files.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());

    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationName(QStringLiteral("tarnvello"));
    if (!home.isValid() || QCoreApplication::arguments().size() != 2) {
        qWarning("usage: screenshots FOLDER");
        return 2;
    }

    selectorsim::SelectorSimulator simulator;
    if (!simulator.start()) {
        qWarning("screenshots: %s", simulator.errorString().c_str());
        return 1;
    }
    QSettings().setValue(QStringLiteral("Ports/Com1"),
                         QString::fromStdString(simulator.devicePath()));

    SystemLinkClock clock;
    ApplicationCore core(std::make_unique<SerialLinkPort>(), clock);
    MainWindow window(core);
    window.startUp();
    window.show();

    ScreenshotTour tour(window, simulator, QCoreApplication::arguments().at(1));
    QObject::connect(&tour, &ScreenshotTour::finished, &application,
                     [](bool succeeded) { QCoreApplication::exit(succeeded ? 0 : 1); });
    QTimer::singleShot(0, &tour, &ScreenshotTour::start);
    return QApplication::exec();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The USB rig's hand on the main window: builds the real window (offscreen), maps Com1 to the
// device given on the command line and takes one command a line on standard input, so that the
// host can pull adapters out and plug them in between commands:
//   edit          "Edit Coin Selector"
//   program FILE  "Open & Program" with FILE
//   status        the status line
//   quit          ends the program
// Each answer is one line on standard output: "done OP colour=C editor=0|1 status=TEXT"; the
// first, "done start ...", once the window has started up.
// The link's own reports come as lines too: "reopened", "reopen-failed TEXT",
// "port-failed TEXT".
#include "ApplicationCore.h"
#include "MainWindow.h"
#include "SelectorLink.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSettings>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

const char* colourName(StatusColour colour)
{
    switch (colour) {
    case StatusColour::Red:
        return "red";
    case StatusColour::Green:
        return "green";
    case StatusColour::Blue:
        break;
    }
    return "blue";
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationName(QStringLiteral("tarnvello"));
    if (argc != 2) {
        std::fputs("usage: RigWindowDriver DEVICE   (Com1's device; commands on standard input)\n",
                   stderr);
        return 2;
    }
    QSettings().setValue(QStringLiteral("Ports/Com1"), QString::fromLocal8Bit(argv[1]));

    SystemLinkClock clock;
    ApplicationCore core(std::make_unique<SerialLinkPort>(), clock);
    MainWindow window(core);
    QString file;
    window.setFileChooser([&file](const QString&) { return file; }, {});
    window.startUp();
    window.show();

    QString operation; // the one under way, answered when the link is idle again
    const auto answer = [&] {
        say(QStringLiteral("done %1 colour=%2 editor=%3 status=%4")
                .arg(operation, QLatin1String(colourName(core.statusColour())))
                .arg(window.editor() != nullptr)
                .arg(core.statusText().simplified()));
        operation.clear();
    };
    SelectorLink& link = core.link();
    // A programming's blocks free the link between them: it ends when no block follows.
    const auto underWay = [&] { return link.isBusy() || core.isProgramming(); };
    QObject::connect(&link, &SelectorLink::busyChanged, &window, [&](bool busy) {
        // Past the idle signal's own handlers, which show the outcome or start the next block.
        if (!busy && !operation.isEmpty())
            QTimer::singleShot(0, &window, [&] {
                if (!operation.isEmpty() && !underWay())
                    answer();
            });
    });
    QObject::connect(&link, &SelectorLink::reopened, &window, [] { say("reopened"); });
    QObject::connect(&link, &SelectorLink::reopenFailed, &window,
                     [](const QString& reason) { say("reopen-failed " + reason.simplified()); });
    QObject::connect(&link, &SelectorLink::portFailed, &window,
                     [](const QString& reason) { say("port-failed " + reason.simplified()); });

    operation = QStringLiteral("start");
    answer();
    const auto start = [&](const QString& name, const std::function<void()>& trigger) {
        operation = name;
        trigger();
        // Refused before it began: nothing will turn the link idle.
        if (!underWay())
            answer();
    };
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &window, [&] {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            window.close();
            return;
        }
        pending.append(buffer, count);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromLocal8Bit(pending.left(end)).trimmed();
            if (line == QLatin1String("edit")) {
                start(line, [&] { window.findChild<QPushButton*>("ComEdit")->click(); });
            } else if (line.startsWith(QLatin1String("program "))) {
                file = line.mid(8);
                start(QStringLiteral("program"),
                      [&] { window.findChild<QAction*>("mnuOpen_Program")->trigger(); });
            } else if (line == QLatin1String("quit")) {
                QCoreApplication::quit();
            } else if (line == QLatin1String("status")) {
                operation = line;
                answer();
            } else {
                say("unknown " + line);
            }
        }
    });
    return application.exec();
}

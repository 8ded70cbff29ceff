// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationCore.h"
#include "CliSession.h"
#include "CommandLine.h"
#include "LinkTrace.h"
#include "MultiPortSession.h"
#include "SerialLinkPort.h"
#include "SystemLinkClock.h"
#include "TerminalScreen.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Progress is drawn on a terminal only; a file or pipe gets the final lines alone.
bool stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) == 1;
#endif
}

// SIGTERM and SIGINT (Ctrl+C) during a programming let it finish its blocks, its result said
// as usual: a selector left with one block new and the others old accepts what it should not.
// At any other time, before the first frame of a programming too, they end the program as they
// always did: a shell sees 128 + the signal's number.
template <typename Session>
void finishProgrammingOnSignal(TerminationSignals& terminationSignals, Session& session,
                               QIODevice& err)
{
    QObject::connect(&session, &Session::programmingAboutToStart, &terminationSignals,
                     &TerminationSignals::takePending);
    QObject::connect(&terminationSignals, &TerminationSignals::received, &session,
                     [&session, &err, said = false](int signalNumber) mutable {
                         if (!session.isProgramming())
                             TerminationSignals::endAsSignalled(signalNumber);
                         if (!std::exchange(said, true))
                             err.write("\ntarnvello-cli: finishing the programming before "
                                       "ending\n");
                     });
}

} // namespace

int main(int argc, char* argv[])
{
    TerminationSignals::block();
    QCoreApplication application(argc, argv);
    // The same settings (port map) and data folder (journal) as the window program.
    QCoreApplication::setOrganizationName(QStringLiteral("tarnvello"));
    QCoreApplication::setApplicationName(QStringLiteral("tarnvello"));

    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return static_cast<int>(ExitCode::Usage);

    const auto parsed = CommandLine::parse(QCoreApplication::arguments().mid(1));
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        err.write(QStringLiteral("tarnvello-cli: %1\nTry 'tarnvello-cli --help'.\n")
                      .arg(*problem)
                      .toUtf8());
        return static_cast<int>(ExitCode::Usage);
    }
    const CliRequest& request = std::get<CliRequest>(parsed);
    if (request.trace)
        LinkTrace::enable();

    SystemLinkClock clock;
    TerminationSignals terminationSignals;
    const auto finish = [](int exitCode) { QCoreApplication::exit(exitCode); };
    if (request.ports.size() > 1) {
        // Whatever is said while the progress board shows goes through the screen that keeps
        // its place.
        TerminalScreen screen(err, TerminalScreen::standardErrorSize());
        const bool progress = stderrIsTerminal();
        QIODevice& errors = progress ? static_cast<QIODevice&>(screen) : err;
        MultiPortSession session(
            request,
            [&clock] {
                return std::make_unique<ApplicationCore>(std::make_unique<SerialLinkPort>(), clock);
            },
            out, errors, progress);
        QObject::connect(&session, &MultiPortSession::finished, &application, finish);
        finishProgrammingOnSignal(terminationSignals, session, errors);
        QTimer::singleShot(0, &session, &MultiPortSession::start);
        return QCoreApplication::exec();
    }
    ApplicationCore core(std::make_unique<SerialLinkPort>(), clock);
    CliSession session(core, request, out, err, stderrIsTerminal());
    QObject::connect(&session, &CliSession::finished, &application, finish);
    finishProgrammingOnSignal(terminationSignals, session, err);
    QTimer::singleShot(0, &session, &CliSession::start);
    return QCoreApplication::exec();
}

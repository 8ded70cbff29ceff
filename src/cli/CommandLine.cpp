// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "PortMap.h"
#include "PortName.h"
#include "TarnvelloVersion.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QSettings>

namespace {

struct CommandShape
{
    const char* name;
    CliRequest::Command command;
    int minFiles;
    int maxFiles;
};

constexpr CommandShape Commands[] = {
    {"read", CliRequest::Command::Read, 0, 0},
    {"program", CliRequest::Command::Program, 1, 1},
    {"diff", CliRequest::Command::Diff, 1, 2},
    {"show", CliRequest::Command::Show, 1, 1},
    {"ports", CliRequest::Command::Ports, 0, 0},
    {"log", CliRequest::Command::Log, 0, 0},
    {"check", CliRequest::Command::Check, 0, 0},
    {"help", CliRequest::Command::Help, 0, 0}, // as --help
};

// What a command takes beyond its files; the empty text when the request is sound.
QString misuse(const CliRequest& request)
{
    using Command = CliRequest::Command;
    const bool hasPort = !request.port.isEmpty();
    const bool severalPorts = request.ports.size() > 1;
    switch (request.command) {
    case Command::Help:
    case Command::Version:
        break;
    case Command::Read:
        if (!hasPort)
            return QStringLiteral("read needs --port");
        if (request.json && request.output == QLatin1String("-"))
            return QStringLiteral("--json and -o - both want standard output");
        if (severalPorts && (request.output.isEmpty() || request.output == QLatin1String("-")))
            return QStringLiteral("a read of several ports needs -o FOLDER");
        break;
    case Command::Program:
        if (!hasPort)
            return QStringLiteral("program needs --port");
        break;
    case Command::Check:
        if (!hasPort)
            return QStringLiteral("check needs --port");
        break;
    case Command::Diff:
        if (request.files.size() + (hasPort ? 1 : 0) != 2)
            return QStringLiteral("diff compares two files, or one file and --port");
        break;
    case Command::Show:
    case Command::Ports:
    case Command::Log:
        if (hasPort)
            return QStringLiteral("only read, program, diff and check take --port");
        break;
    }
    if (request.command != Command::Log && request.since.isValid())
        return QStringLiteral("only log takes --since");
    if (request.command != Command::Read && !request.output.isEmpty())
        return QStringLiteral("only read takes -o");
    if (request.command != Command::Program && request.verify)
        return QStringLiteral("only program takes --verify");
    return QString();
}

// An ISO date stands for its first moment, local time; a date and time without an offset is
// local time too.
QDateTime sinceTime(const QString& text)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (time.isValid())
        return time;
    return QDate::fromString(text, Qt::ISODate).startOfDay();
}

} // namespace

namespace CommandLine {

std::variant<CliRequest, QString> parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("P"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption verify(QStringLiteral("verify"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption trace(QStringLiteral("trace"), QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption since(QStringLiteral("since"), QString(), QStringLiteral("DATE"));
    parser.addOptions({help, version, port, output, verify, json, trace, since});
    if (!parser.parse(QStringList{QStringLiteral("tarnvello-cli")} + arguments))
        return parser.errorText();

    CliRequest request;
    if (parser.isSet(help))
        return request;
    if (parser.isSet(version)) {
        request.command = CliRequest::Command::Version;
        return request;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return QStringLiteral("no command given");
    const QString name = positional.takeFirst();
    const CommandShape* shape = nullptr;
    for (const CommandShape& candidate : Commands)
        if (name == QLatin1String(candidate.name))
            shape = &candidate;
    if (!shape)
        return QStringLiteral("unknown command: %1").arg(name);
    if (positional.size() < shape->minFiles || positional.size() > shape->maxFiles)
        return QStringLiteral("%1 takes %2 file%3")
            .arg(name)
            .arg(shape->minFiles == shape->maxFiles
                     ? QString::number(shape->minFiles)
                     : QStringLiteral("%1 or %2").arg(shape->minFiles).arg(shape->maxFiles))
            .arg(shape->maxFiles == 1 ? QString() : QStringLiteral("s"));

    request.command = shape->command;
    request.files = positional;
    request.ports = parser.values(port);
    request.port = request.ports.value(0);
    if (parser.isSet(since)) {
        request.since = sinceTime(parser.value(since));
        if (!request.since.isValid())
            return QStringLiteral("--since takes a date or a date and time (2026-12-07, "
                                  "2026-12-07T14:30): %1")
                .arg(parser.value(since));
    }
    request.output = parser.value(output);
    request.verify = parser.isSet(verify);
    request.json = parser.isSet(json);
    request.trace = parser.isSet(trace);
    const QString problem = misuse(request);
    if (!problem.isEmpty())
        return problem;
    return request;
}

QString helpText()
{
    return QStringLiteral(
        "Usage: tarnvello-cli COMMAND [options]\n"
        "Reads, programs and compares electronic coin selectors over a serial port, and\n"
        "the coin data files (.cdt) they are kept in.\n"
        "\n"
        "Commands:\n"
        "  read --port P [-o FILE]        read the selector's whole memory; -o writes it as a\n"
        "                                 coin data file (-o - to standard output), otherwise\n"
        "                                 its parameters are listed\n"
        "  program FILE --port P [--verify]\n"
        "                                 program the coin data file with the standard blocks;\n"
        "                                 --verify reads the selector back and compares every\n"
        "                                 address that was written\n"
        "  diff A B | diff A --port P     list the parameters in which two coin data files (or\n"
        "                                 a file and the selector) differ\n"
        "  show FILE                      list the parameters of a coin data file\n"
        "  ports                          list the serial devices present, with their stable\n"
        "                                 names, drivers, latency timers and the Com items\n"
        "                                 mapped to them\n"
        "  log [--since DATE]             print the production log: one line per programming\n"
        "                                 (DATE as 2026-12-07 or 2026-12-07T14:30)\n"
        "  check --port P                 read address 0 of the selector and say whether it\n"
        "                                 answers, how quickly, or what is in the way\n"
        "  help                           print this help\n"
        "\n"
        "read, program, diff and check take several --port options and run on every port at\n"
        "once; a read then writes -o as a folder of one file per port. One summary line per\n"
        "port ends the run (with --json an array of one object per port); the exit code is\n"
        "the highest of the ports' codes.\n"
        "\n"
        "Options:\n"
        "  --port P       a device path (/dev/ttyUSB0, /dev/serial/by-id/...), or Com1..Com9\n"
        "                 as mapped in the program's settings ([Ports] section)\n"
        "  --json         results as JSON on standard output\n"
        "  --trace        every frame, time-out, retry and pause on standard error\n"
        "  -h, --help     print this help and exit\n"
        "  --version      print the version and licence and exit\n"
        "\n"
        "Progress goes to standard error when it is a terminal. Every successful read and\n"
        "programming is also kept in the journal folder of the program's data folder.\n"
        "Ctrl+C or SIGTERM during a programming lets it finish its blocks first.\n"
        "\n"
        "Exit codes:\n"
        "  0  success, or no difference\n"
        "  1  a difference, or --verify found bytes the selector does not hold\n"
        "  2  bad usage, or a file that cannot be read or written\n"
        "  3  the selector did not answer (read, programming or check failed)\n"
        "  4  the port cannot be opened\n");
}

QString versionText()
{
    return QStringLiteral("tarnvello-cli %1\n%2")
        .arg(QLatin1String(TarnvelloVersion::Number), QLatin1String(TarnvelloVersion::Notice));
}

QString portDevice(const QString& port, const QSettings& settings)
{
    static const QRegularExpression comName(QStringLiteral("^com([1-9])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(port);
    return match.hasMatch() ? PortMap::device(settings, match.captured(1).toInt()) : port;
}

QString namedTwice(const QStringList& ports, const QSettings& settings)
{
    QStringList devices;
    for (const QString& port : ports) {
        const QString device = portDevice(port, settings);
        for (qsizetype earlier = 0; earlier < devices.size(); ++earlier)
            if (PortName::same(devices[earlier], device))
                return QStringLiteral("%1 and %2 are the same port").arg(ports[earlier], port);
        devices.append(device);
    }
    return QString();
}

} // namespace CommandLine

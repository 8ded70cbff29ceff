// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <variant>

class QSettings;

// What the command-line program ends with; scripts on a production bench act on it.
enum class ExitCode : int
{
    Success = 0,
    Difference = 1,      // diff found a difference, or --verify found bytes not held
    Usage = 2,           // bad usage, or a file that cannot be read or written
    NoAnswer = 3,        // the selector did not answer as it must; nothing was shown as success
    PortUnavailable = 4, // the port cannot be opened
};

struct CliRequest
{
    enum class Command
    {
        Help,
        Version,
        Read,
        Program,
        Diff,
        Show,
        Ports,
        Log,
        Check
    };

    Command command = Command::Help;
    QStringList files;
    QString port;      // as given: a device path (a stable name included) or Com1..Com9
    QStringList ports; // every --port, in order; port is the first
    QString output;    // read's -o; "-" is standard output; a folder for several ports
    QDateTime since;   // log's --since; invalid for all
    bool verify = false;
    bool json = false;
    bool trace = false;
};

namespace CommandLine {

// The request the arguments (program name excluded) ask for, or the usage error to show.
std::variant<CliRequest, QString> parse(const QStringList& arguments);

QString helpText();
// "tarnvello-cli VERSION" and the licence notice.
QString versionText();

// Com1..Com9 (any case) stand for the devices the program's port map gives them; anything else
// is taken as a device path.
QString portDevice(const QString& port, const QSettings& settings);

// The usage error when two of ports name one device (written alike, by a Com item, or through
// a link such as a stable name); empty when each names its own.
QString namedTwice(const QStringList& ports, const QSettings& settings);

} // namespace CommandLine

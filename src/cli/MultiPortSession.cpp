// SPDX-License-Identifier: GPL-3.0-or-later
#include "MultiPortSession.h"

#include "ApplicationCore.h"
#include "CliSession.h"
#include "PortChoices.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <algorithm>

struct MultiPortSession::Lane
{
    QString port;
    std::unique_ptr<ApplicationCore> core;
    // The port's own session speaks JSON into these; the summary is made from it.
    QBuffer out;
    QBuffer err;
    std::unique_ptr<CliSession> session;
    int exitCode = -1;
};

MultiPortSession::MultiPortSession(CliRequest request, CoreFactory makeCore, QIODevice& out,
                                   QIODevice& err, bool showProgress, QObject* parent)
    : QObject(parent), m_request(std::move(request)), m_makeCore(std::move(makeCore)), m_out(out),
      m_err(err), m_showProgress(showProgress)
{
}

MultiPortSession::~MultiPortSession() = default;

QString MultiPortSession::readFileOf(const QString& port) const
{
    const QString device = CommandLine::portDevice(port, QSettings());
    const QString stable = PortChoices::stableNameOf(device, PortChoices::stableNameFolder());
    return QDir(m_request.output)
        .filePath(QFileInfo(stable.isEmpty() ? device : stable).fileName() +
                  QStringLiteral(".cdt"));
}

void MultiPortSession::start()
{
    // Refused before any port is opened, so that nothing is sent to a selector twice.
    const QString twice = CommandLine::namedTwice(m_request.ports, QSettings());
    if (!twice.isEmpty()) {
        refuse(twice);
        return;
    }
    const bool reads = m_request.command == CliRequest::Command::Read;
    QStringList readFiles;
    if (reads) {
        for (const QString& port : m_request.ports) {
            const QString file = readFileOf(port);
            if (readFiles.contains(file)) {
                refuse(QStringLiteral("two ports would be read into %1").arg(file));
                return;
            }
            readFiles.append(file);
        }
        if (!QDir().mkpath(m_request.output)) {
            refuse(QStringLiteral("Can not create the folder %1").arg(m_request.output));
            return;
        }
    }

    if (m_showProgress)
        m_board.emplace(m_err, m_request.ports);
    for (qsizetype i = 0; i < m_request.ports.size(); ++i) {
        auto lane = std::make_unique<Lane>();
        lane->port = m_request.ports[i];
        lane->core = m_makeCore();
        lane->out.open(QIODevice::ReadWrite);
        lane->err.open(QIODevice::ReadWrite);
        CliRequest request = m_request;
        request.port = lane->port;
        request.ports = {lane->port};
        request.json = true;
        if (reads)
            request.output = readFiles[i];
        const TerminalProgress progress =
            m_board ? TerminalProgress(m_err, *m_board, int(i)) : TerminalProgress(m_err, false);
        lane->session = std::make_unique<CliSession>(*lane->core, std::move(request), lane->out,
                                                     lane->err, progress);
        Lane& ref = *lane;
        connect(lane->session.get(), &CliSession::finished, this,
                [this, &ref](int exitCode) { laneFinished(ref, exitCode); });
        connect(lane->session.get(), &CliSession::programmingAboutToStart, this,
                &MultiPortSession::programmingAboutToStart);
        connect(lane->core.get(), &ApplicationCore::productionLogFailed, this,
                &MultiPortSession::noteOnce);
        m_lanes.push_back(std::move(lane));
    }
    m_running = int(m_lanes.size());
    for (const auto& lane : m_lanes)
        lane->session->start();
}

bool MultiPortSession::isProgramming() const
{
    return std::any_of(m_lanes.begin(), m_lanes.end(),
                       [](const auto& lane) { return lane->core->isProgramming(); });
}

void MultiPortSession::laneFinished(Lane& lane, int exitCode)
{
    lane.exitCode = exitCode;
    if (--m_running > 0)
        return;

    int worst = 0;
    QJsonArray results;
    QByteArray summary;
    for (const auto& each : m_lanes) {
        worst = std::max(worst, each->exitCode);
        QJsonObject result = QJsonDocument::fromJson(each->out.data()).object();
        result.insert(QStringLiteral("port"), each->port);
        result.insert(QStringLiteral("exitCode"), each->exitCode);
        results.append(result);
        summary += (summaryLine(*each, result) + QLatin1Char('\n')).toUtf8();
    }
    // What each port's own session said (a file not complete, a failure and its hint, a slow
    // adapter), after its port; what every port said alike is said once, below.
    for (const auto& each : m_lanes)
        for (const QString& line : QString::fromUtf8(each->err.data()).split(QLatin1Char('\n')))
            if (!line.isEmpty() && !m_notes.contains(line))
                m_err.write(QStringLiteral("%1: %2\n").arg(each->port, line).toUtf8());
    for (const QString& note : m_notes)
        m_err.write((note + QLatin1Char('\n')).toUtf8());
    m_out.write(m_request.json ? QJsonDocument(results).toJson(QJsonDocument::Indented) : summary);
    emit finished(worst);
}

QString MultiPortSession::summaryLine(const Lane& lane, const QJsonObject& result) const
{
    QStringList addresses;
    for (const QJsonValue& difference : result.value(QStringLiteral("differences")).toArray())
        addresses.append(QString::number(difference[QLatin1String("address")].toInt()));
    QString outcome;
    switch (static_cast<ExitCode>(lane.exitCode)) {
    case ExitCode::Success:
        if (m_request.command == CliRequest::Command::Read)
            outcome = QStringLiteral("read into %1").arg(result.value("file").toString());
        else if (m_request.command == CliRequest::Command::Diff)
            outcome = QStringLiteral("no difference");
        else if (m_request.command == CliRequest::Command::Check)
            outcome = result.value(QStringLiteral("text")).toString();
        else
            outcome = m_request.verify ? QStringLiteral("programmed and verified")
                                       : QStringLiteral("programmed");
        break;
    case ExitCode::Difference:
        outcome = (m_request.command == CliRequest::Command::Diff
                       ? QStringLiteral("differs at addresses %1")
                       : QStringLiteral("programmed, but the selector does not hold the bytes "
                                        "at addresses %1"))
                      .arg(addresses.join(QStringLiteral(", ")));
        break;
    default:
        outcome = QStringLiteral("failed (exit code %1): %2")
                      .arg(lane.exitCode)
                      .arg(result.value(QStringLiteral("error")).toString());
        break;
    }
    return QStringLiteral("%1  %2").arg(lane.port, outcome);
}

void MultiPortSession::refuse(const QString& text)
{
    m_err.write(QStringLiteral("tarnvello-cli: %1\n").arg(text).toUtf8());
    emit finished(static_cast<int>(ExitCode::Usage));
}

void MultiPortSession::noteOnce(const QString& text)
{
    if (!m_notes.contains(text))
        m_notes.append(text);
}

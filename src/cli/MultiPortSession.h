// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"
#include "ProgressBoard.h"

#include <QJsonObject>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ApplicationCore;
class QIODevice;

// A command run on several ports at once, as a production bench does: each port has its own
// core and link and runs the single-port session, all in one event loop. Nothing but the
// progress board shows until every port has ended; then each port's own lines on standard
// error, after its port, one summary line per port (or a JSON array of one object per port),
// and the highest of the ports' exit codes.
class MultiPortSession : public QObject
{
    Q_OBJECT
public:
    using CoreFactory = std::function<std::unique_ptr<ApplicationCore>()>;

    MultiPortSession(CliRequest request, CoreFactory makeCore, QIODevice& out, QIODevice& err,
                     bool showProgress, QObject* parent = nullptr);
    ~MultiPortSession() override;

    void start();
    // Whether any port is being programmed.
    bool isProgramming() const;

signals:
    void finished(int exitCode);
    // Before each port's programming, as CliSession::programmingAboutToStart.
    void programmingAboutToStart();

private:
    struct Lane;

    // The coin data file a read of port writes in the -o folder, named after its device.
    QString readFileOf(const QString& port) const;
    void laneFinished(Lane& lane, int exitCode);
    // From what the port's own session said (as JSON).
    QString summaryLine(const Lane& lane, const QJsonObject& result) const;
    void refuse(const QString& text);
    // Kept for the end, said once however many ports have it, after the progress board.
    void noteOnce(const QString& text);

    const CliRequest m_request;
    CoreFactory m_makeCore;
    QIODevice& m_out;
    QIODevice& m_err;
    bool m_showProgress;
    std::optional<ProgressBoard> m_board;
    std::vector<std::unique_ptr<Lane>> m_lanes;
    QStringList m_notes;
    int m_running = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliReport.h"
#include "CommandLine.h"
#include "SelectorImage.h"
#include "TerminalProgress.h"

#include <QJsonObject>
#include <QObject>

#include <functional>

class ApplicationCore;
class CheckCommand;
class QIODevice;

// One run of the command-line program: the request carried out on the application core, with
// the same transfers, checks, retries and pauses as the windows. Ends with finished(), once.
class CliSession : public QObject
{
    Q_OBJECT
public:
    // out takes results (a coin data file, a listing, JSON); err takes progress, failures and
    // notes. Progress is drawn only when showProgress is set (err is a terminal).
    CliSession(ApplicationCore& core, CliRequest request, QIODevice& out, QIODevice& err,
               bool showProgress, QObject* parent = nullptr);
    // The same, drawing its progress where progress says (a row among several ports).
    CliSession(ApplicationCore& core, CliRequest request, QIODevice& out, QIODevice& err,
               TerminalProgress progress, QObject* parent = nullptr);

    void start();
    bool isProgramming() const;

    // The hint to show when the selector's answers came so late that the adapter must be
    // holding them back (a check says it by its own, quickest-answer rule); empty otherwise.
    QString slowAnswerHint() const;

signals:
    void finished(int exitCode);
    // The port is open and the programming's first frame goes next, without the event loop
    // running in between: a signal that came before must be taken now, or it would count as
    // one that came during the programming.
    void programmingAboutToStart();

private:
    void read();
    void program();
    // Names the addresses the programming could not make the selector hold, with what it
    // holds there instead.
    void showUnconfirmed(const SelectorImage& programmed);
    void diff();
    void show();
    void ports();
    void log();
    // Lists the differences under heading, or says agreed when there are none.
    void report(const QList<ByteDifference>& found, const QString& heading, const QString& agreed);

    bool openPort();
    bool loadFile(const QString& path, SelectorImage& image);
    // Loads any file show and diff can list, saying when it is not a complete coin data file;
    // one without a single number is refused when refuseWithoutNumbers is set.
    bool loadListed(const QString& path, SelectorImage& image, bool refuseWithoutNumbers);
    // Reads the whole selector into the core's image, then runs then; fails the session when
    // the selector does not answer.
    void readSelector(std::function<void()> then);
    void failTransfer(const QString& fallback);

    void writeOut(const QByteArray& bytes);
    void say(const QString& text);
    void printJson(const QJsonObject& object);
    void succeed(const QJsonObject& json = {});
    void fail(ExitCode code, const QString& text, const QString& hint = QString());
    void finish(ExitCode code);

    ApplicationCore& m_core;
    const CliRequest m_request;
    QIODevice& m_out;
    QIODevice& m_err;
    TerminalProgress m_progress;
    QString m_device;
    bool m_finished = false;
    const CheckCommand* m_check = nullptr;
};

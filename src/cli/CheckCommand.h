// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"
#include "PortCheck.h"

#include <QObject>

class QIODevice;
class SelectorLink;

// `tarnvello-cli check --port P`: the port's check on the link; the verdict on standard
// output when the selector answers, otherwise on standard error; --json prints it as JSON.
class CheckCommand : public QObject
{
    Q_OBJECT
public:
    CheckCommand(SelectorLink& link, const CliRequest& request, QIODevice& out, QIODevice& err,
                 QObject* parent = nullptr);

    void start();
    // Once finished: the hint for a slow answer, by the check's own rule; else empty.
    QString hint() const { return m_hint; }

signals:
    void finished(ExitCode code);

private:
    void report(const PortCheck::Result& result);

    const CliRequest& m_request;
    QIODevice& m_out;
    QIODevice& m_err;
    QString m_device;
    QString m_hint;
    PortCheck m_check;
};

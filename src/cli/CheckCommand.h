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

signals:
    void finished(ExitCode code);

private:
    void report(const PortCheck::Result& result);

    const CliRequest& m_request;
    QIODevice& m_out;
    QIODevice& m_err;
    QString m_device;
    PortCheck m_check;
};

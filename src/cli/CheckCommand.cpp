// SPDX-License-Identifier: GPL-3.0-or-later
#include "CheckCommand.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

namespace {

QString verdictName(PortCheck::Verdict verdict)
{
    switch (verdict) {
    case PortCheck::Verdict::Answers:
        return QStringLiteral("answers");
    case PortCheck::Verdict::AnswersSlowly:
        return QStringLiteral("slow");
    case PortCheck::Verdict::Silent:
        return QStringLiteral("silent");
    case PortCheck::Verdict::Stray:
        return QStringLiteral("stray bytes");
    case PortCheck::Verdict::Echo:
        return QStringLiteral("echo");
    case PortCheck::Verdict::CannotOpen:
        return QStringLiteral("cannot open");
    case PortCheck::Verdict::Busy:
        return QStringLiteral("busy");
    case PortCheck::Verdict::Lost:
        return QStringLiteral("lost");
    }
    return QString();
}

ExitCode exitCode(PortCheck::Verdict verdict)
{
    switch (verdict) {
    case PortCheck::Verdict::Answers:
    case PortCheck::Verdict::AnswersSlowly:
        return ExitCode::Success;
    case PortCheck::Verdict::CannotOpen:
        return ExitCode::PortUnavailable;
    default:
        return ExitCode::NoAnswer;
    }
}

} // namespace

CheckCommand::CheckCommand(SelectorLink& link, const CliRequest& request, QIODevice& out,
                           QIODevice& err, QObject* parent)
    : QObject(parent), m_request(request), m_out(out), m_err(err),
      m_device(CommandLine::portDevice(request.port, QSettings())), m_check(link, m_device)
{
    connect(&m_check, &PortCheck::finished, this, &CheckCommand::report);
}

void CheckCommand::start()
{
    m_check.start();
}

void CheckCommand::report(const PortCheck::Result& result)
{
    const ExitCode code = exitCode(result.verdict);
    const QString text = result.text();
    if (result.answered() && !m_request.json)
        m_out.write((text + QLatin1Char('\n')).toUtf8());
    if (!result.answered())
        m_err.write(QStringLiteral("tarnvello-cli: %1\n").arg(text).toUtf8());
    m_hint = result.hint();
    if (m_request.json) {
        QJsonObject json{
            {QStringLiteral("command"), QStringLiteral("check")},
            {QStringLiteral("ok"), result.answered()},
            {QStringLiteral("port"), m_device},
            {QStringLiteral("result"), verdictName(result.verdict)},
            {result.answered() ? QStringLiteral("text") : QStringLiteral("error"), text}};
        if (result.answered()) {
            json.insert(QStringLiteral("roundTripMs"), qRound(result.roundTripMs));
            json.insert(QStringLiteral("lateMs"), qRound(result.lateMs()));
            if (result.latencyTimerMs)
                json.insert(QStringLiteral("latencyTimerMs"), *result.latencyTimerMs);
        } else {
            json.insert(QStringLiteral("exitCode"), static_cast<int>(code));
        }
        if (!result.stray.isEmpty())
            json.insert(QStringLiteral("firstByte"), result.firstStrayByte());
        m_out.write(QJsonDocument(json).toJson(QJsonDocument::Indented));
    }
    emit finished(code);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkTrace.h"

#include <QElapsedTimer>

Q_LOGGING_CATEGORY(linkTrace, "tarnvello.link", QtInfoMsg)

namespace LinkTrace {

namespace {
double millisecondsSinceStart()
{
    static const QElapsedTimer sinceStart = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
}
} // namespace

void bytes(const char* what, const QByteArray& bytes)
{
    if (linkTrace().isDebugEnabled())
        event(QLatin1String(what) + QLatin1Char(' ') +
              QString::fromLatin1(bytes.toHex(' ').toUpper()));
}

void event(const QString& text)
{
    if (!linkTrace().isDebugEnabled())
        return;
    const QString stamp = QString::number(millisecondsSinceStart(), 'f', 1).rightJustified(10);
    qCDebug(linkTrace).noquote() << stamp + QStringLiteral(" ms  ") + text;
}

void enable()
{
    QLoggingCategory::setFilterRules(QStringLiteral("tarnvello.link.debug=true"));
}

} // namespace LinkTrace

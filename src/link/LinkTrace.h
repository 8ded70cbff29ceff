// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

// The frame trace: every frame sent and received, every time-out, retry, drop and pause, one
// line each with a monotonic time stamp, so that a support case reads like a line capture.
// Off by default; on with QT_LOGGING_RULES="tarnvello.link.debug=true".
Q_DECLARE_LOGGING_CATEGORY(linkTrace)

namespace LinkTrace {

// "<milliseconds since start> <what> <bytes in hexadecimal>"; costs nothing while off.
void bytes(const char* what, const QByteArray& bytes);
// "<milliseconds since start> <text>".
void event(const QString& text);
// Turns the trace on (as the command line's --trace does).
void enable();

} // namespace LinkTrace

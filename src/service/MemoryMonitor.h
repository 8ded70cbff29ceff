// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// What the memory window's monitor rows and event log make of the messages read from the line:
// every message shows in the last-message row, the answers to the service queries go to their
// rows by their first bytes, and the sensor-time events are kept for the log file.
class MemoryMonitor
{
public:
    static constexpr int RowBoxCount = 5;
    static constexpr int MaxLogRecords = 300;

    enum class Row
    {
        LastMessage,
        Id,
        Chp,
        Cpr
    };
    struct RowUpdate
    {
        Row row;
        std::array<QString, RowBoxCount> texts;
    };
    struct LogRecord
    {
        quint8 cntAH;
        quint8 time1;
        quint8 time2;
    };

    // The rows one read fills: none for fewer than five bytes; otherwise the last-message row
    // (decimal when asked, else hexadecimal) and the query row whose pattern matches, always
    // in hexadecimal. A sensor-time event is logged while the log has room.
    QList<RowUpdate> take(const QByteArray& bytes, bool decimal);

    const QList<LogRecord>& log() const { return m_log; }
    // The log file: a header line, then one line per record, each ended by CR LF.
    QByteArray logFileText() const;
    // Replaces the file as a whole; false, with the reason in errorText, when it could not be
    // written.
    bool writeLog(const QString& path, QString* errorText = nullptr) const;

private:
    QList<LogRecord> m_log;
};

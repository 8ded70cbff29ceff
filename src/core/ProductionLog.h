// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QFile;

// One programming as the production log keeps it.
struct ProductionRecord
{
    QDateTime time;
    QString port;
    QString stableName;   // by-id name of the port's device, where the system has one
    QString serialNumber; // of the port's device, where the system tells it
    QString file;         // the coin data file programmed, or "image" (a window's own image)
    QString sha256;       // of the file's bytes; empty for "image"
    QString outcome;      // see ProductionLog::Outcome
    bool verified = false;
    QList<int> differing; // addresses the read-back found holding other bytes
};

// production.csv: one line per programming, from every command and window, so a bench can
// tell afterwards which selector got which file and whether it holds it. Several processes
// may program at once: each record is one write on a file opened for appending, so records
// never interleave. The file is rotated to "<name>.1" at a size limit, one old file kept; a
// lock file beside it ("<name>.lock") makes the rotation and a new file's header one process's.
class ProductionLog
{
public:
    static constexpr qint64 DefaultRotationBytes = 10 * 1024 * 1024;

    // The outcome column.
    struct Outcome
    {
        static constexpr const char* Programmed = "programmed";
        static constexpr const char* NotHeld = "bytes not held";
        static constexpr const char* NoAnswer = "no answer";
    };

    explicit ProductionLog(QString path, qint64 rotationBytes = DefaultRotationBytes);

    QString path() const { return m_path; }
    static QStringList columns();

    // Appends the record (with the header when the file is new); the failure text, or empty.
    QString append(const ProductionRecord& record) const;

    // The records of the old file and then of the current one, each as its fields in column
    // order, from since on (by the time column; an invalid since takes all).
    QList<QStringList> entries(const QDateTime& since = {}) const;

    // Fields joined with commas, ended by CR LF; a field holding a comma, a quote or a line
    // break is quoted, its quotes doubled (a file name may hold any of them).
    static QByteArray csvLine(const QStringList& fields);

private:
    // Closes the full file, and moves it to the old one's name unless another process did.
    void rotate(QFile& file) const;

    QString m_path;
    qint64 m_rotationBytes;
};

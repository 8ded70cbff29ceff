// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductionLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <cstdlib>
#include <filesystem>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// How long an append waits for another program's rotation; the lock is held for a rename and
// a header, so only a stale lock of a program that died with it takes this long.
constexpr int LockPatienceMs = 5000;

QString oldPath(const QString& path)
{
    return path + QStringLiteral(".1");
}

bool openToAppend(QFile& file)
{
    // Append maps to O_APPEND and Unbuffered to one write call per write(): the whole record
    // lands at the end of the file at once, whatever other processes write.
    return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

// Whether path still names the file open on descriptor: another process may have rotated it
// away since it was opened, and renaming what now stands there would throw away the file that
// process has just rotated.
bool stillNamed(const QString& path, [[maybe_unused]] int descriptor)
{
#ifdef Q_OS_UNIX
    struct stat named
    {
    };
    struct stat open
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           ::fstat(descriptor, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
#else
    return QFileInfo::exists(path);
#endif
}

// Local time with its offset, written out even when it is zero ("+00:00", not "Z"), so every
// line reads alike.
QString isoTime(const QDateTime& time)
{
    const int offset = time.offsetFromUtc();
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offset) / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString joinedAddresses(const QList<int>& addresses)
{
    QStringList texts;
    for (const int address : addresses)
        texts.append(QString::number(address));
    return texts.join(QLatin1Char(' '));
}

// The records of CSV text as csvLine writes them: a line break inside quotes is the field's.
QList<QStringList> csvRecords(QByteArrayView bytes)
{
    QList<QStringList> records;
    QStringList fields;
    QByteArray field;
    bool quoted = false;
    const auto endField = [&] {
        fields.append(QString::fromUtf8(field));
        field.clear();
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted && c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"')
            field += bytes[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (quoted || (c != ',' && c != '\n' && c != '\r'))
            field += c;
        else if (c == ',')
            endField();
        else if (c == '\n') {
            endField();
            records.append(std::exchange(fields, {}));
        }
    }
    if (!field.isEmpty() || !fields.isEmpty()) {
        endField();
        records.append(fields);
    }
    return records;
}

} // namespace

ProductionLog::ProductionLog(QString path, qint64 rotationBytes)
    : m_path(std::move(path)), m_rotationBytes(rotationBytes)
{
}

QStringList ProductionLog::columns()
{
    return {QStringLiteral("time"),
            QStringLiteral("port"),
            QStringLiteral("stable name"),
            QStringLiteral("serial number"),
            QStringLiteral("file"),
            QStringLiteral("sha256"),
            QStringLiteral("outcome"),
            QStringLiteral("verified"),
            QStringLiteral("differing addresses")};
}

QByteArray ProductionLog::csvLine(const QStringList& fields)
{
    static const QRegularExpression needsQuotes(QStringLiteral("[,\"\r\n]"));
    QStringList texts;
    for (QString field : fields) {
        if (field.contains(needsQuotes))
            field = QLatin1Char('"') + field.replace(QLatin1String("\""), QLatin1String("\"\"")) +
                    QLatin1Char('"');
        texts.append(field);
    }
    return (texts.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

QString ProductionLog::append(const ProductionRecord& record) const
{
    const QByteArray line =
        csvLine({isoTime(record.time), record.port, record.stableName, record.serialNumber,
                 record.file, record.sha256, record.outcome,
                 record.verified ? QStringLiteral("yes") : QStringLiteral("no"),
                 joinedAddresses(record.differing)});

    const auto failure = [this](const QString& reason) {
        return QStringLiteral("Can not write the production log %1: %2")
            .arg(QDir::toNativeSeparators(m_path), reason);
    };
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return failure(QStringLiteral("its folder cannot be created"));
    QFile file(m_path);
    if (!openToAppend(file))
        return failure(file.errorString());
    const auto write = [&](const QByteArray& bytes) {
        return file.write(bytes) == bytes.size() ? QString() : failure(file.errorString());
    };
    if (file.size() > 0 && file.size() < m_rotationBytes)
        return write(line);
    // One process at a time decides a rename and a new file's header: two that found the file
    // full would both rename it, the second an empty file over the records the first kept, and
    // two that found it new would both write the header. Without the lock (one left by a
    // program that hangs) the record is written all the same: it outweighs a tidy file.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (lock.tryLock(LockPatienceMs) && file.size() >= m_rotationBytes) {
        rotate(file);
        if (!openToAppend(file))
            return failure(file.errorString());
    }
    return write(file.size() == 0 ? csvLine(columns()) + line : line);
}

void ProductionLog::rotate(QFile& file) const
{
    const bool mine = stillNamed(m_path, file.handle());
    // Closed first: Windows renames no file that is open.
    file.close();
    if (!mine)
        return;
    // rename replaces the old file atomically; a process still writing to the file it had
    // open writes into the old file, which is kept.
    std::error_code ignored;
    std::filesystem::rename(QFile::encodeName(m_path).toStdString(),
                            QFile::encodeName(oldPath(m_path)).toStdString(), ignored);
}

QList<QStringList> ProductionLog::entries(const QDateTime& since) const
{
    const QStringList header = columns();
    QList<QStringList> found;
    for (const QString& path : {oldPath(m_path), m_path}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (QStringList& fields : csvRecords(file.readAll())) {
            if (fields == header || (fields.size() == 1 && fields.constFirst().isEmpty()))
                continue;
            fields.resize(header.size());
            if (since.isValid() && QDateTime::fromString(fields.constFirst(), Qt::ISODate) < since)
                continue;
            found.append(fields);
        }
    }
    return found;
}

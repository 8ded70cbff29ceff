// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductionLog.h"

#include "CoinDataFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QString oldPath(const QString& path)
{
    return path + QStringLiteral(".1");
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
    QStringList texts;
    for (QString field : fields) {
        field.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')))
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
    // Append maps to O_APPEND and Unbuffered to one write call per write(): the whole line
    // lands at the end of the file at once, whatever other processes write.
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return failure(file.errorString());
    if (file.size() >= m_rotationBytes) {
        rotate(file.handle());
        file.close();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return failure(file.errorString());
    }
    const QByteArray bytes = file.size() == 0 ? csvLine(columns()) + line : line;
    if (file.write(bytes) != bytes.size())
        return failure(file.errorString());
    return QString();
}

void ProductionLog::rotate(int descriptor) const
{
    if (!stillNamed(m_path, descriptor))
        return;
    // rename replaces the old file atomically; a process still writing to the file it had
    // open writes into the old file, which is kept.
    std::error_code ignored;
    std::filesystem::rename(QFile::encodeName(m_path).toStdString(),
                            QFile::encodeName(oldPath(m_path)).toStdString(), ignored);
}

QList<QStringList> ProductionLog::entries(const QDateTime& since) const
{
    const QByteArray header = csvLine(columns()).trimmed();
    const qsizetype columnCount = columns().size();
    QList<QStringList> found;
    for (const QString& path : {oldPath(m_path), m_path}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QByteArray record = line.trimmed();
            if (record.isEmpty() || record == header)
                continue;
            QStringList fields = CoinDataFile::parseFields(record, int(columnCount),
                                                           CoinDataFile::QuoteRule::DoubledQuote);
            while (fields.size() < columnCount)
                fields.append(QString());
            if (since.isValid() && QDateTime::fromString(fields.constFirst(), Qt::ISODate) < since)
                continue;
            found.append(fields);
        }
    }
    return found;
}

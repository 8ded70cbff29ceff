// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include "CoinDataFile.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

namespace {

const QString Suffix = QStringLiteral(".cdt");

// Names sort in the order they were written: the time stamp leads.
const QRegularExpression& journalName()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\d{8}-\d{6}\.\d{3}(~\d{2})?-[a-z0-9-]+\.cdt$)"));
    return pattern;
}

} // namespace

Journal::Journal(QString folder, int keptFiles)
    : m_folder(std::move(folder)), m_keptFiles(keptFiles)
{
}

QString Journal::record(const SelectorImage& image, const QString& operation)
{
    if (!QDir().mkpath(m_folder))
        return QStringLiteral("Can not create the journal folder %1").arg(m_folder);
    const QString path = freshPath(operation);
    QString error;
    if (!CoinDataFile::save(path, image, &error))
        return QStringLiteral("Can not save journal file %1: %2").arg(path, error);
    removeOldest();
    return QString();
}

QString Journal::freshPath(const QString& operation) const
{
    const QDir folder(m_folder);
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss.zzz"));
    // Records within one millisecond take a counter after the stamp, so that names still sort
    // in the order they were written, whatever their operations.
    QString unique = stamp;
    for (int n = 2; !folder.entryList({unique + QLatin1Char('*')}, QDir::Files).isEmpty(); ++n)
        unique = stamp + QStringLiteral("~%1").arg(n, 2, 10, QLatin1Char('0'));
    return folder.filePath(unique + QLatin1Char('-') + operation + Suffix);
}

void Journal::removeOldest() const
{
    QDir folder(m_folder);
    const QStringList names =
        folder.entryList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Name)
            .filter(journalName());
    for (qsizetype i = 0; i < names.size() - m_keptFiles; ++i)
        folder.remove(names[i]);
}

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
        QStringLiteral(R"(^\d{8}-\d{6}\.\d{3}-[a-z0-9-]+(~\d+)?\.cdt$)"));
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
    const QString stem =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss.zzz-")) + operation;
    QString path = folder.filePath(stem + Suffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder.filePath(QStringLiteral("%1~%2%3").arg(stem).arg(n).arg(Suffix));
    return path;
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

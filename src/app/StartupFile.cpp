#include "StartupFile.h"

#include "CoinDataFile.h"

#include <QFile>
#include <QSaveFile>

namespace StartupFile {

namespace {

constexpr qint64 MaxFileSize = 64 * 1024;
constexpr int LineCount = 6;
const QString TrueText = QStringLiteral("#TRUE#");
const QString FalseText = QStringLiteral("#FALSE#");

QByteArray quoted(const QString& text)
{
    return '"' + text.toUtf8() + "\"\r\n";
}

QByteArray flag(bool value)
{
    return (value ? TrueText : FalseText).toLatin1() + "\r\n";
}

} // namespace

void read(const QString& path, StartupSettings& settings)
{
    QFile file(path);
    if (file.size() > MaxFileSize || !file.open(QIODevice::ReadOnly))
        return;
    const QStringList fields = CoinDataFile::parseFields(file.read(MaxFileSize), LineCount);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString& field = fields.at(i);
        if (i == 0) {
            settings.currentFile = field;
        } else if (i == 1) {
            settings.previousFile = field;
        } else if (field == TrueText || field == FalseText) {
            settings.comChecked[static_cast<std::size_t>(i - 2)] = field == TrueText;
        } else {
            return;
        }
    }
}

QByteArray serialize(const StartupSettings& settings)
{
    QByteArray bytes = quoted(settings.currentFile) + quoted(settings.previousFile);
    for (bool checked : settings.comChecked)
        bytes += flag(checked);
    return bytes;
}

bool write(const QString& path, const StartupSettings& settings)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(serialize(settings));
    return file.commit();
}

} // namespace StartupFile

// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFile.h"

#include "AtomicFile.h"
#include "CoinDataFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace StartupFile {

namespace {

constexpr qint64 MaxFileSize = 64 * 1024;
constexpr int LineCount = 6;
const QString TrueText = QStringLiteral("#TRUE#");
const QString FalseText = QStringLiteral("#FALSE#");

// A quote inside a name is doubled ("a""b" for a"b), which reading takes back as one quote.
// Readers that end a quoted text at its next quote still find every line where it was; they
// only cut such a name short. A name without a quote is written as it is, up to its first line
// break (a path may hold one): the break would split the line and shift the port checks.
QByteArray quoted(const QString& text)
{
    QByteArray name = text.toUtf8();
    name.truncate(
        std::find_if(name.cbegin(), name.cend(), [](char c) { return c == '\r' || c == '\n'; }) -
        name.cbegin());
    return '"' + name.replace('"', "\"\"") + "\"\r\n";
}

QByteArray flag(bool value)
{
    return (value ? TrueText : FalseText).toLatin1() + "\r\n";
}

} // namespace

void read(const QString& path, StartupSettings& settings)
{
    // Devices and pipes are refused before opening: reading one could block start-up for good.
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > MaxFileSize || !file.open(QIODevice::ReadOnly))
        return;
    parse(file.read(MaxFileSize), settings);
}

void parse(const QByteArray& bytes, StartupSettings& settings)
{
    const QStringList fields =
        CoinDataFile::parseFields(bytes, LineCount, CoinDataFile::QuoteRule::DoubledQuote);
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
    return AtomicFile::write(path, serialize(settings));
}

} // namespace StartupFile

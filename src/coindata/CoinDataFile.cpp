#include "CoinDataFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool isSeparator(char c)
{
    return c == ',' || isLineEnd(c);
}

// Position after the separator at `at`; the end stays the end. CRs followed by LF are one line
// end, but CRs alone are one line end each: old Mac files mark an empty line by CR CR.
qsizetype skipSeparator(const QByteArray& bytes, qsizetype at)
{
    if (at >= bytes.size())
        return at;
    qsizetype next = at;
    while (next < bytes.size() && bytes[next] == '\r')
        ++next;
    if (next > at && next < bytes.size() && bytes[next] == '\n')
        return next + 1;
    return at + 1;
}

qsizetype skipByteOrderMark(const QByteArray& bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

// A field's text as written: a byte order mark at its start is text, not a header to drop.
QString decodeField(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

QStringView upToFirstLineBreak(const QString& text)
{
    qsizetype length = 0;
    while (length < text.size() && text[length] != u'\r' && text[length] != u'\n')
        ++length;
    return QStringView(text).first(length);
}

} // namespace

QByteArray CoinDataFile::serialize(const SelectorImage& image)
{
    QByteArray bytes;
    for (int address = 0; address < SelectorImage::CellCount; ++address) {
        bytes += '"';
        bytes += upToFirstLineBreak(image.cell(address)).toUtf8();
        bytes += "\"\r\n";
    }
    return bytes;
}

QStringList CoinDataFile::parseFields(const QByteArray& bytes, int maxFields)
{
    QStringList fields;
    const qsizetype end = bytes.size();
    qsizetype at = skipByteOrderMark(bytes);
    while (fields.size() < maxFields && at < end) {
        while (at < end && isBlank(bytes[at]))
            ++at;
        if (at == end)
            break;
        qsizetype first = at;
        qsizetype last = at;
        if (bytes[at] == '"') {
            first = ++at;
            while (at < end && bytes[at] != '"' && !isLineEnd(bytes[at]))
                ++at;
            last = at;
            while (at < end && !isSeparator(bytes[at]))
                ++at;
        } else {
            while (at < end && !isSeparator(bytes[at]))
                ++at;
            last = at;
            while (last > first && isBlank(bytes[last - 1]))
                --last;
        }
        fields.append(decodeField(QByteArrayView(bytes).sliced(first, last - first)));
        at = skipSeparator(bytes, at);
    }
    return fields;
}

CoinDataFile::LoadResult CoinDataFile::load(const QString& path, SelectorImage& image)
{
    // Devices and pipes are refused before opening: reading one could block or never end.
    if (!QFileInfo(path).isFile())
        return LoadResult::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return LoadResult::Unreadable;
    if (bytes.size() > MaxFileSize)
        return LoadResult::TooLarge;
    if (bytes.contains('\0'))
        return LoadResult::NotText;
    int address = 0;
    for (const QString& field : parseFields(bytes))
        image.setCell(address++, field);
    return LoadResult::Loaded;
}

bool CoinDataFile::save(const QString& path, const SelectorImage& image, QString* errorText)
{
    QSaveFile file(path);
    const QByteArray bytes = serialize(image);
    // commit() alone misses a failure of the last buffered write (Qt 6.4) and would put a
    // truncated file in place, so the flush is checked first; an uncommitted file is discarded.
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                       file.flush() && file.commit();
    if (!saved && errorText)
        *errorText = file.errorString();
    return saved;
}

#include "CoinDataFile.h"

#include "AtomicFile.h"
#include "FieldValue.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

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
// loneCrsEnd keeps where the last run of lone CRs ends, so that such a run is scanned once and
// not again for each of its line ends.
qsizetype skipSeparator(const QByteArray& bytes, qsizetype at, qsizetype& loneCrsEnd)
{
    if (at >= bytes.size())
        return at;
    if (at < loneCrsEnd)
        return at + 1;
    qsizetype next = at;
    while (next < bytes.size() && bytes[next] == '\r')
        ++next;
    if (next > at && next < bytes.size() && bytes[next] == '\n')
        return next + 1;
    loneCrsEnd = next;
    return at + 1;
}

// Position of the quote that closes a quoted field whose text starts at `at`, or of the line
// end or end that cuts it short.
qsizetype closingQuote(const QByteArray& bytes, qsizetype at, CoinDataFile::QuoteRule quotes)
{
    const qsizetype end = bytes.size();
    while (at < end && !isLineEnd(bytes[at])) {
        if (bytes[at] == '"') {
            const bool doubled = quotes == CoinDataFile::QuoteRule::DoubledQuote && at + 1 < end &&
                                 bytes[at + 1] == '"';
            if (!doubled)
                return at;
            ++at;
        }
        ++at;
    }
    return at;
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

bool isBlankText(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
}

bool isUtf8(const QByteArray& bytes)
{
    // Stateless: a sequence cut short at the end is an error, not a wait for more bytes.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder(bytes);
    return !decoder.hasError();
}

// A file that is programmed as it stands must say what every selector byte is.
bool isComplete(const QByteArray& bytes, const QStringList& fields)
{
    if (fields.size() < SelectorImage::SelectorByteCount || !isUtf8(bytes))
        return false;
    return std::all_of(fields.begin(), fields.begin() + SelectorImage::SelectorByteCount,
                       [](const QString& field) {
                           return isBlankText(field) || FieldValue::leadingNumber(field);
                       });
}

using FileCheck = bool (*)(const QByteArray& bytes, const QStringList& fields);

// Reads the file and stores its fields unless it is not a coin data file by the general
// rules (too large, NUL bytes, no text in any field) or by `check`.
CoinDataFile::LoadResult loadChecked(const QString& path, SelectorImage& image, FileCheck check)
{
    using LoadResult = CoinDataFile::LoadResult;
    // Devices and pipes are refused before opening: reading one could block or never end.
    if (!QFileInfo(path).isFile())
        return LoadResult::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.read(CoinDataFile::MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return LoadResult::Unreadable;
    if (bytes.size() > CoinDataFile::MaxFileSize || bytes.contains('\0'))
        return LoadResult::NotCoinData;
    const QStringList fields = CoinDataFile::parseFields(bytes);
    if (std::all_of(fields.begin(), fields.end(), isBlankText) || !check(bytes, fields))
        return LoadResult::NotCoinData;
    int address = 0;
    for (const QString& field : fields)
        image.setCell(address++, field);
    return LoadResult::Loaded;
}

} // namespace

QByteArray CoinDataFile::serialize(const SelectorImage& image)
{
    QByteArray bytes;
    bytes.reserve(SelectorImage::CellCount * 8); // three digits and the marks each, and spare
    for (int address = 0; address < SelectorImage::CellCount; ++address) {
        bytes += '"';
        const QString& text = image.cell(address);
        if (!text.isEmpty())
            bytes += upToFirstLineBreak(text).toUtf8();
        bytes += "\"\r\n";
    }
    return bytes;
}

QStringList CoinDataFile::parseFields(const QByteArray& bytes, int maxFields, QuoteRule quotes)
{
    QStringList fields;
    const qsizetype end = bytes.size();
    qsizetype at = skipByteOrderMark(bytes);
    qsizetype loneCrsEnd = 0;
    while (fields.size() < maxFields && at < end) {
        while (at < end && isBlank(bytes[at]))
            ++at;
        if (at == end)
            break;
        qsizetype first = at;
        qsizetype last = at;
        const bool quoted = bytes[at] == '"';
        if (quoted) {
            first = at + 1;
            at = last = closingQuote(bytes, first, quotes);
            while (at < end && !isSeparator(bytes[at]))
                ++at;
        } else {
            while (at < end && !isSeparator(bytes[at]))
                ++at;
            last = at;
            while (last > first && isBlank(bytes[last - 1]))
                --last;
        }
        QString field = decodeField(QByteArrayView(bytes).sliced(first, last - first));
        // Inside the quotes every quote left is one of a doubled pair.
        if (quoted && quotes == QuoteRule::DoubledQuote)
            field.replace(QLatin1String("\"\""), QLatin1String("\""));
        fields.append(field);
        at = skipSeparator(bytes, at, loneCrsEnd);
    }
    return fields;
}

CoinDataFile::LoadResult CoinDataFile::load(const QString& path, SelectorImage& image)
{
    return loadChecked(path, image, [](const QByteArray&, const QStringList&) { return true; });
}

CoinDataFile::LoadResult CoinDataFile::loadComplete(const QString& path, SelectorImage& image)
{
    return loadChecked(path, image, isComplete);
}

bool CoinDataFile::save(const QString& path, const SelectorImage& image, QString* errorText)
{
    return AtomicFile::write(path, serialize(image), errorText);
}

QString CoinDataFile::failureText(LoadResult result, const QString& path)
{
    switch (result) {
    case LoadResult::Loaded:
        break;
    case LoadResult::Unreadable:
        return QStringLiteral("Can not read file %1").arg(path);
    case LoadResult::NotCoinData:
        return QStringLiteral("Not a coin data file: %1").arg(path);
    }
    return QString();
}

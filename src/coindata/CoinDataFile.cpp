// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataFile.h"

#include "AtomicFile.h"
#include "FieldValue.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <utility>

namespace {

// What a byte is to the reading rule, found by one look-up: the scans below visit every byte of
// a file, and under the fuzzer every comparison they make is traced.
enum ByteClass : unsigned char
{
    Blank = 1,   // space, tab
    LineEnd = 2, // CR, LF
    Comma = 4,
    Quote = 8,
};
constexpr unsigned char Separator = LineEnd | Comma;

// A plain array: indexed by a byte, it needs no bounds check.
struct ByteClassTable
{
    unsigned char of[256];
};

constexpr ByteClassTable ByteClasses = [] {
    ByteClassTable table{};
    for (const char c : {' ', '\t'})
        table.of[static_cast<unsigned char>(c)] = Blank;
    for (const char c : {'\r', '\n'})
        table.of[static_cast<unsigned char>(c)] = LineEnd;
    table.of[static_cast<unsigned char>(',')] = Comma;
    table.of[static_cast<unsigned char>('"')] = Quote;
    return table;
}();

unsigned char classOf(char c)
{
    return ByteClasses.of[static_cast<unsigned char>(c)];
}

// The first byte from `at` on of one of `classes`, or the end.
const char* findFirst(const char* at, const char* end, unsigned char classes)
{
    while (at < end && (classOf(*at) & classes) == 0)
        ++at;
    return at;
}

const char* skipBlanks(const char* at, const char* end)
{
    while (at < end && classOf(*at) == Blank)
        ++at;
    return at;
}

// Position after the separator at `at`; the end stays the end. CRs followed by LF are one line
// end, but CRs alone are one line end each: old Mac files mark an empty line by CR CR.
const char* skipSeparator(const char* at, const char* end, const char*& loneCrsEnd)
{
    if (at == end)
        return at;
    if (at < loneCrsEnd)
        return at + 1;
    const char* next = at;
    while (next < end && *next == '\r')
        ++next;
    if (next > at && next < end && *next == '\n')
        return next + 1;
    loneCrsEnd = next;
    return at + 1;
}

// Position of the quote that closes a quoted field whose text starts at `at`, or of the line
// end or end that cuts it short.
const char* closingQuote(const char* at, const char* end, CoinDataFile::QuoteRule quotes)
{
    for (;;) {
        at = findFirst(at, end, LineEnd | Quote);
        const bool doubled = quotes == CoinDataFile::QuoteRule::DoubledQuote && end - at > 1 &&
                             at[0] == '"' && at[1] == '"';
        if (!doubled)
            return at;
        at += 2;
    }
}

// A field's text as written: a byte order mark at its start is text, not a header to drop.
QString decodeField(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
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
    // Encoded at once, not cell by cell: the same bytes, without a temporary for every cell.
    QString text;
    text.reserve(SelectorImage::CellCount * 8); // three digits and the marks each, and spare
    for (const QString& cell : image.cells()) {
        const QChar* const begin = cell.constData();
        text += u'"';
        text.append(begin, std::find_if(begin, begin + cell.size(), isLineBreak) - begin);
        text += QLatin1String("\"\r\n");
    }
    return text.toUtf8();
}

CoinDataFile::FieldReader::FieldReader(QByteArrayView bytes, QuoteRule quotes)
    : m_at(bytes.data() + (bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0)),
      m_end(bytes.data() + bytes.size()), m_loneCrsEnd(m_at), m_quotes(quotes)
{
}

std::optional<CoinDataFile::RawField> CoinDataFile::FieldReader::next()
{
    m_at = skipBlanks(m_at, m_end);
    if (m_at == m_end)
        return std::nullopt;
    const bool quoted = *m_at == '"';
    const char* const first = quoted ? m_at + 1 : m_at;
    const char* last = first;
    if (quoted) {
        last = closingQuote(first, m_end, m_quotes);
        m_at = findFirst(last, m_end, Separator);
    } else {
        m_at = last = findFirst(first, m_end, Separator);
        while (last > first && classOf(last[-1]) == Blank)
            --last;
    }
    m_at = skipSeparator(m_at, m_end, m_loneCrsEnd);
    return RawField{QByteArrayView(first, last), quoted};
}

QStringList CoinDataFile::parseFields(const QByteArray& bytes, int maxFields, QuoteRule quotes)
{
    QStringList fields;
    // Every field takes one byte at least.
    fields.reserve(std::clamp<qsizetype>(maxFields, 0, bytes.size()));
    FieldReader reader(bytes, quotes);
    while (fields.size() < maxFields) {
        const std::optional<RawField> raw = reader.next();
        if (!raw)
            break;
        QString field = decodeField(raw->text);
        // Inside the quotes every quote left is one of a doubled pair.
        if (raw->quoted && quotes == QuoteRule::DoubledQuote)
            field.replace(QLatin1String("\"\""), QLatin1String("\""));
        fields.append(std::move(field));
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

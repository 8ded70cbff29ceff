#include "CoinDataFile.h"

#include <cstdint>
#include <cstdlib>

// Any bytes parse into at most 256 fields, and an image saved from them reads back the same,
// every field in its place. The doubled-quote rule of the start-up file reads the same fields
// wherever no two quotes stand together.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList fields = CoinDataFile::parseFields(bytes);
    if (fields.size() > SelectorImage::CellCount)
        std::abort();

    // Compared undecoded, field by field as far as a file is read: the same raw fields decode to
    // the same texts.
    const bool pairedQuotes = bytes.contains("\"\"");
    CoinDataFile::FieldReader plain(bytes);
    CoinDataFile::FieldReader doubled(bytes, CoinDataFile::QuoteRule::DoubledQuote);
    for (int i = 0; i < SelectorImage::CellCount; ++i) {
        const std::optional<CoinDataFile::RawField> field = doubled.next();
        if (!pairedQuotes && field != plain.next())
            std::abort();
        if (!field)
            break;
    }

    SelectorImage image;
    for (qsizetype i = 0; i < fields.size(); ++i)
        image.setCell(static_cast<int>(i), fields.at(i));
    const QStringList again =
        CoinDataFile::parseFields(CoinDataFile::serialize(image), static_cast<int>(fields.size()));
    if (again.size() != fields.size())
        std::abort();
    // A field never holds a line break; one that holds a quote reads back up to it.
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QStringView field = fields.at(i);
        const qsizetype quote = field.indexOf(QLatin1Char('"'));
        if (again.at(i) != (quote < 0 ? field : field.first(quote)))
            std::abort();
    }
    return 0;
}

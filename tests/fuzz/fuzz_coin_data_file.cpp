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

    const QStringList doubled = CoinDataFile::parseFields(bytes, SelectorImage::CellCount,
                                                          CoinDataFile::QuoteRule::DoubledQuote);
    if (doubled.size() > SelectorImage::CellCount || (!bytes.contains("\"\"") && doubled != fields))
        std::abort();

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

#include "CoinDataFile.h"

#include <cstdint>
#include <cstdlib>

// Any bytes parse into at most 256 fields, and an image saved from them reads back the same.
// The doubled-quote rule of the start-up file reads the same fields wherever no two quotes
// stand together.
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
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (!fields.at(i).contains(QLatin1Char('"')) && !fields.at(i).contains(QLatin1Char('\n')) &&
            !fields.at(i).contains(QLatin1Char('\r')) && again.at(i) != fields.at(i))
            std::abort();
    return 0;
}

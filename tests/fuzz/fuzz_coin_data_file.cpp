// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataFile.h"

#include <QStringEncoder>

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

    // Saved and read back, every field stands in its place: the UTF-8 of the text it held or, if
    // that held a quote, of the text before it (a field never holds a line break). Compared raw
    // through one buffer kept from run to run: a second list of texts would cost an allocation a
    // field, most of what a run costs.
    SelectorImage image;
    for (qsizetype i = 0; i < fields.size(); ++i)
        image.setCell(static_cast<int>(i), fields.at(i));
    const QByteArray saved = CoinDataFile::serialize(image);
    CoinDataFile::FieldReader readBack(saved);
    QStringEncoder utf8(QStringEncoder::Utf8);
    static QByteArray meantBytes;
    for (const QString& field : fields) {
        const qsizetype quote = field.indexOf(QLatin1Char('"'));
        const QStringView meant = quote < 0 ? QStringView(field) : QStringView(field).first(quote);
        meantBytes.resize(utf8.requiredSpace(meant.size()));
        const char* const meantEnd = utf8.appendToBuffer(meantBytes.data(), meant);
        const std::optional<CoinDataFile::RawField> raw = readBack.next();
        if (!raw || raw->text != QByteArrayView(meantBytes.constData(), meantEnd))
            std::abort();
    }
    return 0;
}

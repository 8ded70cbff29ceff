// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SelectorImage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Coin data files (".cdt"): a whole image as 256 lines, one per cell in address order, each the
// cell's text between double quotes and ended by CR LF. Text is UTF-8 both ways, so any cell
// text survives, and files of plain digits are the same bytes in every 8-bit encoding.
class CoinDataFile
{
public:
    enum class LoadResult
    {
        Loaded,      // cells 0..n-1 took the n fields read (n <= 256); the others kept their text
        Unreadable,  // missing, not a regular file, or a read error; the image is untouched
        NotCoinData, // too large, holding NUL bytes or no text at all, or (loadComplete) not a
                     // complete coin data file; the image is untouched
    };

    // How a field in double quotes treats a double quote inside it.
    enum class QuoteRule
    {
        QuoteEndsField, // the next quote ends the field (coin data files)
        DoubledQuote,   // "" stands for one quote; a single quote ends the field
    };

    // A full file of 256 cells of numbers stays far below this; anything larger is not one.
    static constexpr qint64 MaxFileSize = 64 * 1024;

    CoinDataFile() = delete;

    // A cell text is written unchanged, except that it ends at its first line break: a line
    // break would split the line and shift every later cell on reading. The number the text
    // begins with never changes by this.
    static QByteArray serialize(const SelectorImage& image);

    // A field as it stands in the bytes: its text without the quotes around it, not yet decoded
    // and, under DoubledQuote, its quotes not yet undoubled.
    struct RawField
    {
        QByteArrayView text;
        bool quoted = false;

        friend bool operator==(const RawField&, const RawField&) = default;
    };

    // Reads fields one by one by the reading rule of parseFields, without copying any text:
    // each RawField views the bytes, which must outlive it.
    class FieldReader
    {
    public:
        explicit FieldReader(QByteArrayView bytes, QuoteRule quotes = QuoteRule::QuoteEndsField);

        // The next field; nothing once the bytes hold no more.
        std::optional<RawField> next();

    private:
        const char* m_at;
        const char* m_end;
        // Where the last run of lone CRs ends, so that such a run is scanned once and not again
        // for each of its line ends.
        const char* m_loneCrsEnd;
        QuoteRule m_quotes;
    };

    // The reading rule, for at most maxFields fields:
    // - fields are separated by commas and line ends (CR LF, LF alone or CR alone); a run of
    //   CRs followed by LF is one line end too, as a file converted twice has them; an empty
    //   line is an empty field, so line k stays cell k; blanks alone at the end make no field;
    // - blanks (space, tab) around a field are dropped;
    // - a field that begins with a double quote ends at its closing quote (see QuoteRule) or
    //   at the line end and may hold commas and blanks; whatever follows up to the next
    //   separator is dropped, so a cell text holding a quote reads back as the text before it
    //   (its number is kept);
    // - a UTF-8 byte order mark at the start is skipped.
    static QStringList parseFields(const QByteArray& bytes,
                                   int maxFields = SelectorImage::CellCount,
                                   QuoteRule quotes = QuoteRule::QuoteEndsField);

    // Reads up to 256 fields into cells 0 onwards; data after the 256th field is ignored.
    // A file whose fields hold nothing but blanks is not a coin data file.
    static LoadResult load(const QString& path, SelectorImage& image);

    // As load, but only a complete coin data file is taken, since it is programmed as it stands:
    // valid UTF-8, at least the 189 fields of the selector's memory, each of them blank or
    // beginning with a number (FieldValue::leadingNumber).
    static LoadResult loadComplete(const QString& path, SelectorImage& image);

    // What a refused load says to the user ("Can not read file <path>", "Not a coin data file:
    // <path>"); empty for a file that was loaded.
    static QString failureText(LoadResult result, const QString& path);

    // Replaces the file atomically: a save that fails leaves the previous file as it was.
    static bool save(const QString& path, const SelectorImage& image, QString* errorText = nullptr);
};

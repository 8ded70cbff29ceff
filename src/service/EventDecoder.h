// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TransferDisplay.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The selector's unsolicited event messages: a code and three value bytes (a fifth byte that
// nobody checks). Decoding says what the status line and the live display's value boxes show.
class EventDecoder
{
public:
    static constexpr int MessageSize = 5;
    static constexpr int ValueBoxCount = 5;

    struct StatusLine
    {
        QString text;
        StatusColour colour;
    };
    struct Decoded
    {
        std::optional<StatusLine> status;                        // unchanged when empty
        std::array<std::optional<QString>, ValueBoxCount> boxes; // unchanged when empty
    };

    // Nothing for fewer than five bytes; only the first five of a longer read are looked at.
    static std::optional<Decoded> decode(const QByteArray& bytes);

    // "1F0A": b3 in hexadecimal, then b2 as two hexadecimal digits.
    static QString diameterText(quint8 b2, quint8 b3);
};

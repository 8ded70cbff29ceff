// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>

// What each selector address holds, named as the parameter map names it, and its byte decoded
// by the encodings the editor uses: for listings and comparisons a technician can read.
struct ParameterName
{
    QString field; // "Money", "CoinFlags", "PriceA", "Std1L", ...
    int coin = 0;  // 1..12 for the per-coin parameters, otherwise 0
    QChar bank;    // 'A' or 'B' for per-coin and per-bank parameters, otherwise null

    // "coin 3 bank A Money", "PriceB (bank B)", "OutputMode".
    QString text() const;
};

namespace ParameterNames {

// The parameter at a selector address (0..188); an empty field elsewhere.
ParameterName at(int address);

// The byte as the editor shows it: the fields of CoinFlags, OutputMode and MT1 ("Disable Yes,
// Separator 2, tolerance A 5"), the plain number for everything else.
QString decoded(int address, quint8 byte);

// True when decoded() says more than the number itself.
bool isPacked(int address);

} // namespace ParameterNames

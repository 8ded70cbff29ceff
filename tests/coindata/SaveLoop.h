// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinDataFile.h"
#include "StartupFile.h"

// What the save loop writes turn by turn, so that a test knows every whole file it may find.
namespace SaveLoop {

enum class Target
{
    CoinData,
    Startup,
};

inline SelectorImage image(int turn)
{
    SelectorImage image;
    for (int address = 0; address < SelectorImage::CellCount; ++address)
        image.setNumber(address, turn == 0 ? address : 1000 + address);
    return image;
}

inline StartupSettings settings(int turn)
{
    return {QStringLiteral("/data/%1.cdt").arg(QString(turn * 40, u'n')),
            QStringLiteral("/data/previous.cdt"),
            {turn == 0, turn == 1, turn == 0, turn == 1}};
}

inline QByteArray bytes(Target target, int turn)
{
    return target == Target::CoinData ? CoinDataFile::serialize(image(turn))
                                      : StartupFile::serialize(settings(turn));
}

inline bool save(Target target, const QString& path, int turn)
{
    return target == Target::CoinData ? CoinDataFile::save(path, image(turn))
                                      : StartupFile::write(path, settings(turn));
}

} // namespace SaveLoop

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinDataShift.h"

#include <QObject>
#include <QString>

class ApplicationCore;

// Programs a selector from a coin data file taught on another one: the file's coin data, this
// selector's own upper memory (read first), the coin references shifted by the difference of
// the two selectors' calibration records, then the standard programming. The channels that
// need teaching again are left in the core's STRCH.
class CoinDataProgramming : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        FileRefused,  // not a complete coin data file; nothing was read or sent
        ReadFailed,   // the selector's upper memory could not be read; nothing was programmed
        Programmed,   // the standard programming ran to its end and succeeded
        ProgramFailed // the standard programming gave up
    };

    explicit CoinDataProgramming(ApplicationCore& core, QObject* parent = nullptr);

    // False when the link is busy: nothing is done then.
    bool start(const QString& path);

signals:
    void finished(CoinDataProgramming::Outcome outcome);

private:
    void onSelectorRead(bool succeeded);

    ApplicationCore& m_core;
    CoinDataShift::Record m_fileRecord{};
};

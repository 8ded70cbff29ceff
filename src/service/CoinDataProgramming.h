// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoinDataShift.h"
#include "SelectorImage.h"

#include <QObject>
#include <QString>

class ApplicationCore;

// Programs a selector from a coin data file taught on another one: the file's coin data, this
// selector's own upper memory (read first), the coin references shifted by the difference of
// the two selectors' calibration records, then the standard programming. The channels that
// need teaching again are left in the core's STRCH. A record that calibration itself would
// reject is no measure to shift by: the programming stops there, said in red on the core's
// status line.
class CoinDataProgramming : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        FileRefused,   // not a complete coin data file; nothing was read or sent
        RecordRefused, // the file's or the selector's calibration record fails calibration's
                       // checks; nothing was programmed and the image holds the file
        ReadFailed,    // the selector's upper memory could not be read; nothing was programmed
        Programmed,    // the standard programming ran to its end and succeeded
        ProgramFailed  // the standard programming gave up
    };

    explicit CoinDataProgramming(ApplicationCore& core, QObject* parent = nullptr);

    // False when the link is busy: nothing is done then.
    bool start(const QString& path);

signals:
    void finished(CoinDataProgramming::Outcome outcome);

private:
    void onSelectorRead(bool succeeded);
    // False, with the red text, when the record fails calibration's checks.
    bool acceptRecord(const CoinDataShift::Record& record, const QString& whose);

    ApplicationCore& m_core;
    SelectorImage m_file;
};

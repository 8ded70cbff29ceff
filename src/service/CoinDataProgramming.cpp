// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataProgramming.h"

#include "ApplicationCore.h"
#include "CalibrationStatistics.h"
#include "SelectorLink.h"

#include <QPointer>

CoinDataProgramming::CoinDataProgramming(ApplicationCore& core, QObject* parent)
    : QObject(parent), m_core(core)
{
}

bool CoinDataProgramming::start(const QString& path)
{
    if (m_core.link().isBusy())
        return false;
    if (!m_core.openFileToProgram(path)) {
        emit finished(Outcome::FileRefused);
        return true;
    }
    m_file = m_core.image();
    if (!acceptRecord(CoinDataShift::secondRecord(m_file), QStringLiteral("file"))) {
        emit finished(Outcome::RecordRefused);
        return true;
    }
    QPointer<CoinDataProgramming> self(this);
    m_core.ThisReadSelector_Click([self](bool succeeded) {
        if (self)
            self->onSelectorRead(succeeded);
    });
    return true;
}

void CoinDataProgramming::onSelectorRead(bool succeeded)
{
    if (!succeeded) {
        emit finished(Outcome::ReadFailed);
        return;
    }
    const CoinDataShift::Record selectorRecord = CoinDataShift::secondRecord(m_core.image());
    if (!acceptRecord(selectorRecord, QStringLiteral("selector"))) {
        m_core.image() = m_file;
        emit finished(Outcome::RecordRefused);
        return;
    }
    const CoinDataShift shift(CoinDataShift::secondRecord(m_file), selectorRecord);
    m_core.setStrch(shift.apply(m_core.image()));
    QPointer<CoinDataProgramming> self(this);
    m_core.mnuProgram_Click([self](bool programmed) {
        if (self)
            emit self->finished(programmed ? Outcome::Programmed : Outcome::ProgramFailed);
    });
}

bool CoinDataProgramming::acceptRecord(const CoinDataShift::Record& record, const QString& whose)
{
    // Offsets 1 and 3 of the record: the AB high byte and BM.
    const QString fault = CalibrationStatistics::limitFault(record[1], record[3]);
    if (fault.isEmpty())
        return true;
    m_core.showStatus(QStringLiteral("Calibration record of the %1 refused (%2)").arg(whose, fault),
                      StatusColour::Red);
    return false;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataProgramming.h"

#include "ApplicationCore.h"
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
    m_fileRecord = CoinDataShift::secondRecord(m_core.image());
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
    const CoinDataShift shift(m_fileRecord, CoinDataShift::secondRecord(m_core.image()));
    m_core.setStrch(shift.apply(m_core.image()));
    QPointer<CoinDataProgramming> self(this);
    m_core.mnuProgram_Click([self](bool programmed) {
        if (self)
            emit self->finished(programmed ? Outcome::Programmed : Outcome::ProgramFailed);
    });
}

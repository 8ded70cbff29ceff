// SPDX-License-Identifier: GPL-3.0-or-later
#include "BlockSequence.h"

#include "BlockVerification.h"
#include "ImageTransfer.h"
#include "TransferDisplay.h"

QList<BlockSequence::Block> BlockSequence::standardBlocks()
{
    return {{0, 84}, {86, 123}, {128, 188}};
}

QString BlockSequence::failureText()
{
    return QStringLiteral("Program to selector error");
}

QString BlockSequence::unconfirmedText(const QList<int>& addresses)
{
    return failureText() + QStringLiteral(": the selector does not hold ") +
           BlockVerification::addressList(addresses);
}

BlockSequence::BlockSequence(QList<Block> blocks, SelectorLink& link, SelectorImage& image,
                             TransferDisplay& display, QObject* parent)
    : QObject(parent), m_blocks(std::move(blocks)), m_link(link), m_image(image), m_display(display)
{
}

bool BlockSequence::start()
{
    m_next = 0;
    m_allSucceeded = true;
    m_everyBlockAnswered = true;
    m_unconfirmed.clear();
    m_failure.clear();
    return startBlock();
}

bool BlockSequence::startBlock()
{
    if (m_next >= m_blocks.size()) {
        emit finished(m_allSucceeded);
        return true;
    }
    const Block block = m_blocks.at(m_next++);
    const bool last = m_next >= m_blocks.size();
    auto* transfer =
        ImageTransfer::programBlock(block.begin, block.total, m_link, m_image, m_display, this);
    // After a failure no later block may close the window: the failure is shown at the end.
    transfer->setClosesWindowOnSuccess(m_allSucceeded);
    transfer->setVerifyAfterProgramming(m_verifyAfterProgramming);
    connect(transfer, &ImageTransfer::completed, this, [this, transfer, last](bool succeeded) {
        const bool earlierFailed = !m_allSucceeded;
        m_allSucceeded = m_allSucceeded && succeeded;
        m_unconfirmed += transfer->unconfirmedAddresses();
        if (!succeeded && !transfer->answered())
            m_everyBlockAnswered = false;
        if (!succeeded && m_failure.isEmpty())
            m_failure = transfer->failureText();
        // A last block that completed after an earlier one failed: its pause follows, but the
        // outcome of the whole sequence shows right away. (One that failed showed it itself.)
        if (last && succeeded && earlierFailed)
            showFailure();
    });
    connect(transfer, &ImageTransfer::finished, this, [this, transfer] {
        transfer->deleteLater();
        if (!startBlock()) {
            m_allSucceeded = false;
            m_everyBlockAnswered = false;
            showFailure();
            emit finished(false);
        }
    });
    if (!transfer->start()) {
        delete transfer;
        return false;
    }
    return true;
}

void BlockSequence::showFailure()
{
    m_display.showWindow();
    m_display.setStatus(m_failure.isEmpty() ? failureText() : m_failure, StatusColour::Red);
    m_display.enableClose();
}

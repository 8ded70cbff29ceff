// SPDX-License-Identifier: GPL-3.0-or-later
#include "BlockVerification.h"

#include "LinkClock.h"
#include "LinkCommands.h"
#include "TransferDisplay.h"

#include <QPointer>
#include <QStringList>

namespace {
const QString TimeoutText = QStringLiteral("Communication time out !");

QList<int> addressesOf(const QList<BlockVerification::SentByte>& bytes)
{
    QList<int> addresses;
    for (const BlockVerification::SentByte& byte : bytes)
        addresses.append(byte.address);
    return addresses;
}

} // namespace

QString BlockVerification::statusText(Step step, int address)
{
    switch (step) {
    case Step::Verify:
        return QStringLiteral("Verify byte: %1").arg(address);
    case Step::WriteAgain:
        return QStringLiteral("Write again byte: %1").arg(address);
    case Step::VerifyAgain:
        break;
    }
    return QStringLiteral("Verify again byte: %1").arg(address);
}

QString BlockVerification::addressList(const QList<int>& addresses)
{
    QStringList numbers;
    for (int address : addresses)
        numbers.append(QString::number(address));
    return QStringLiteral("%1 %2").arg(addresses.size() == 1 ? QStringLiteral("address")
                                                             : QStringLiteral("addresses"),
                                       numbers.join(QStringLiteral(", ")));
}

BlockVerification::BlockVerification(QList<SentByte> sent, SelectorLink& link,
                                     TransferDisplay& display, QObject* parent)
    : QObject(parent), m_sent(std::move(sent)), m_link(link), m_display(display)
{
}

BlockVerification::~BlockVerification()
{
    if (m_running)
        m_link.abandonWait();
}

QList<int> BlockVerification::rewritten() const
{
    return addressesOf(m_rewritten);
}

QList<int> BlockVerification::stillDiffering() const
{
    return m_answered && m_step == Step::VerifyAgain ? addressesOf(m_differing) : QList<int>();
}

QString BlockVerification::failure() const
{
    if (m_answered)
        return {};
    const QString unconfirmed = QStringLiteral("not confirmed: ") + addressList(m_unconfirmed);
    return m_onlyEchoed ? EchoTally::text() + QStringLiteral("; ") + unconfirmed
                        : QStringLiteral("no answer; ") + unconfirmed;
}

void BlockVerification::start()
{
    beginStep(Step::Verify, m_sent);
}

void BlockVerification::beginStep(Step step, QList<SentByte> bytes)
{
    m_step = step;
    m_bytes = std::move(bytes);
    m_differing.clear();
    m_index = 0;
    m_running = true;
    if (m_bytes.isEmpty())
        endStep();
    else
        sendCurrent(true);
}

void BlockVerification::sendCurrent(bool newAddress)
{
    const SentByte byte = m_bytes.at(m_index);
    if (newAddress) {
        m_budget = RetryBudget();
        m_display.setStatus(statusText(m_step, byte.address), StatusColour::Blue);
        m_display.setProgress(byte.address);
        // No answer that came before the request is taken for it.
        m_link.discardInput();
    } else {
        m_display.setStatusColour(StatusColour::Blue);
    }
    const LinkFrame request = m_step == Step::WriteAgain
                                  ? LinkCommands::writeRequest(byte.address, byte.value)
                                  : LinkCommands::readRequest(byte.address);
    const bool write = m_step == Step::WriteAgain;
    m_link.startAttempt(
        request, [this](const SelectorLink::AttemptResult& result) { onAttempt(result); },
        [write, address = byte.address](const QByteArray& reply) {
            return write ? LinkCommands::isValidWriteReply(reply)
                         : LinkCommands::isValidReadReply(reply, address);
        },
        write ? SelectorLink::LoneCopy::AtOnce : SelectorLink::LoneCopy::AfterQuiet);
}

void BlockVerification::onAttempt(const SelectorLink::AttemptResult& result)
{
    switch (result.outcome) {
    case SelectorLink::Outcome::PortFailed:
    case SelectorLink::Outcome::Cancelled:
        endUnanswered();
        return;
    case SelectorLink::Outcome::TimedOut:
        m_display.setStatus(TimeoutText, StatusColour::Red);
        onFailedAttempt(result.outcome);
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    const SentByte byte = m_bytes.at(m_index);
    if (m_step == Step::WriteAgain) {
        if (!LinkCommands::isValidWriteReply(result.reply)) {
            onFailedAttempt(result.outcome);
            return;
        }
    } else {
        if (!LinkCommands::isValidReadReply(result.reply, byte.address)) {
            onFailedAttempt(result.outcome);
            return;
        }
        if (m_step == Step::Verify)
            m_echoes.record(result.requestCopy);
        if (static_cast<quint8>(result.reply.at(3)) != byte.value)
            m_differing.append(byte);
    }
    nextAddress();
}

void BlockVerification::onFailedAttempt(SelectorLink::Outcome outcome)
{
    if (m_budget.recordFailure()) {
        endUnanswered();
        return;
    }
    m_link.prepareRepeat(outcome, [this] { sendCurrent(false); });
}

void BlockVerification::nextAddress()
{
    if (++m_index < m_bytes.size())
        sendCurrent(true);
    else
        endStep();
}

void BlockVerification::endStep()
{
    switch (m_step) {
    case Step::Verify:
        // A write cannot be told from its echo; its read-back can.
        if (m_echoes.onlyEchoed(m_link.lineEchoes())) {
            m_onlyEchoed = true;
            m_differing.clear();
            m_index = 0;
            endUnanswered();
        } else if (m_differing.isEmpty()) {
            end(true);
        } else {
            m_rewritten = m_differing;
            beginStep(Step::WriteAgain, m_rewritten);
        }
        return;
    case Step::WriteAgain: {
        // The bytes written again are a block of their own: end frame, then the quiet pause.
        m_link.sendFrame(LinkCommands::endOfBlock());
        QPointer<BlockVerification> self(this);
        m_link.pauseThen(static_cast<float>(m_link.clock().now()), [self] {
            if (self && self->m_running)
                self->beginStep(Step::VerifyAgain, self->m_rewritten);
        });
        return;
    }
    case Step::VerifyAgain:
        end(m_differing.isEmpty());
        return;
    }
}

void BlockVerification::endUnanswered()
{
    // What was found different so far, and every byte the step had not got to: in the second
    // read-back, the rest of those written again; in the write again, all of them.
    m_unconfirmed = addressesOf(m_differing);
    if (m_step == Step::WriteAgain)
        m_unconfirmed = addressesOf(m_rewritten);
    else
        for (qsizetype i = m_index; i < m_bytes.size(); ++i)
            m_unconfirmed.append(m_bytes.at(i).address);
    m_answered = false;
    end(false);
}

void BlockVerification::end(bool succeeded)
{
    m_running = false;
    emit finished(succeeded);
}
